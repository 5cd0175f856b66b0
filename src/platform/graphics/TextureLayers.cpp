// The texture arrays and the program that draws from them.
#include "platform/graphics/internal/TextureLayers.h"

#include <SDL.h>

#include <algorithm>
#include <functional>
#include <string>

#include "platform/graphics/Direct3D.h"
#include "platform/graphics/internal/DisplayObjects.h"

namespace {

// Unit 0 shows the lightmap, unit 1 multiplies in the texture, unit 2
// multiplies by the lit colour: the same products in the same order as the
// fixed-function units make them, each unit's texture coordinates divided by
// their q as the units' projected lookup does. The layer rides in r, the two
// arrays in the third set's s and t (the same at every corner, so the same
// for every pixel a run of the program shades: the sampler's index is
// uniform there, as GLSL asks). Arrays of kArrays samplers each.
std::string FragmentProgram() {
    return R"(#version 400 compatibility
uniform sampler2DArray lightmaps[)" +
           std::to_string(TextureLayers::kArrays) + R"(];
uniform sampler2DArray textures[)" +
           std::to_string(TextureLayers::kArrays) + R"(];
void main() {
    vec4 a = gl_TexCoord[0];
    vec4 b = gl_TexCoord[1];
    vec4 arrays = gl_TexCoord[2];
    vec4 lightmap = texture(lightmaps[int(arrays.s + 0.5)], vec3(a.st * (1.0 / a.q), a.p));
    vec4 texel = texture(textures[int(arrays.t + 0.5)], vec3(b.st * (1.0 / b.q), b.p));
    gl_FragColor = vec4(texel.rgb * lightmap.rgb * gl_Color.rgb, lightmap.a);
}
)";
}

bool layersOn = true;
unsigned layerBooks = 0;

template <typename Function>
bool Resolve(Function& function, const char* name) {
    function = reinterpret_cast<Function>(SDL_GL_GetProcAddress(name));
    return function != nullptr;
}

}  // namespace

void SetTextureLayers(bool on) { layersOn = on; }

bool TextureLayers::Ready() const { return program != 0 && layersOn; }

TextureLayers::TextureLayers() : serial(++layerBooks) {
    PFNGLCREATESHADERPROC CreateShader;
    PFNGLSHADERSOURCEPROC ShaderSource;
    PFNGLCOMPILESHADERPROC CompileShader;
    PFNGLGETSHADERIVPROC GetShaderiv;
    PFNGLDELETESHADERPROC DeleteShader;
    PFNGLCREATEPROGRAMPROC CreateProgram;
    PFNGLATTACHSHADERPROC AttachShader;
    PFNGLLINKPROGRAMPROC LinkProgram;
    PFNGLGETPROGRAMIVPROC GetProgramiv;
    PFNGLGETUNIFORMLOCATIONPROC GetUniformLocation;
    PFNGLUNIFORM1IVPROC Uniform1iv;
    if (!(Resolve(CreateShader, "glCreateShader") && Resolve(ShaderSource, "glShaderSource") &&
          Resolve(CompileShader, "glCompileShader") && Resolve(GetShaderiv, "glGetShaderiv") &&
          Resolve(DeleteShader, "glDeleteShader") && Resolve(CreateProgram, "glCreateProgram") &&
          Resolve(AttachShader, "glAttachShader") && Resolve(LinkProgram, "glLinkProgram") &&
          Resolve(GetProgramiv, "glGetProgramiv") && Resolve(GetUniformLocation, "glGetUniformLocation") &&
          Resolve(Uniform1iv, "glUniform1iv") && Resolve(UseProgram, "glUseProgram") &&
          Resolve(DeleteProgram, "glDeleteProgram") && Resolve(TexImage3D, "glTexImage3D") &&
          Resolve(TexSubImage3D, "glTexSubImage3D") && Resolve(ActiveTexture, "glActiveTexture") &&
          Resolve(BindSampler, "glBindSampler")))
        return;
    GLint layers = 0, units = 0;
    glGetIntegerv(GL_MAX_ARRAY_TEXTURE_LAYERS, &layers);
    glGetIntegerv(GL_MAX_TEXTURE_IMAGE_UNITS, &units);
    if (glGetError() != GL_NO_ERROR || layers < 2 || units < kFirstUnit + 2 * kArrays) return;
    mostLayers = layers;

    // A fragment program linked alone (GL's fixed function transforms the
    // vertices), or 0.
    auto build = [&](const std::string& source) -> GLuint {
        const GLuint shader = CreateShader(GL_FRAGMENT_SHADER);
        if (!shader) return 0;
        const char* text = source.c_str();
        ShaderSource(shader, 1, &text, nullptr);
        CompileShader(shader);
        GLint compiled = GL_FALSE;
        GetShaderiv(shader, GL_COMPILE_STATUS, &compiled);
        const GLuint made = compiled ? CreateProgram() : 0;
        if (made) {
            AttachShader(made, shader);
            LinkProgram(made);
        }
        DeleteShader(shader);  // kept while the program holds it
        GLint linked = GL_FALSE;
        if (made) GetProgramiv(made, GL_LINK_STATUS, &linked);
        if (!linked && made) DeleteProgram(made);
        return linked ? made : 0;
    };
    const GLuint made = build(FragmentProgram());
    if (!made) return;
    blank = build("#version 400 compatibility\nvoid main() { gl_FragColor = vec4(0.0); }\n");
    if (!blank) {
        DeleteProgram(made);
        return;
    }
    GLint lightmapUnits[kArrays], textureUnits[kArrays];
    for (int i = 0; i < kArrays; ++i) {
        lightmapUnits[i] = kFirstUnit + i;
        textureUnits[i] = kFirstUnit + kArrays + i;
    }
    UseProgram(made);
    Uniform1iv(GetUniformLocation(made, "lightmaps"), kArrays, lightmapUnits);
    Uniform1iv(GetUniformLocation(made, "textures"), kArrays, textureUnits);
    UseProgram(0);
    program = made;
}

TextureLayers::~TextureLayers() {
    for (const Array& array : arrays) glDeleteTextures(1, &array.texture);
    if (program) DeleteProgram(program);
    if (blank) DeleteProgram(blank);
}

int TextureLayers::ArrayFor(int width, int height) {
    for (std::size_t i = 0; i < arrays.size(); ++i)
        if (arrays[i].width == width && arrays[i].height == height) return static_cast<int>(i);
    if (arrays.size() == kArrays) return -1;
    arrays.push_back({width, height, 0, 0, {}});
    return static_cast<int>(arrays.size()) - 1;
}

bool TextureLayers::Locate(const std::shared_ptr<Picture>& picture, Place& place,
                           const std::function<void()>& beforeLoad) {
    if (!picture || picture->width <= 0 || picture->height <= 0 ||
        picture->pixels.size() != static_cast<std::size_t>(picture->width) * static_cast<std::size_t>(picture->height))
        return false;
    Picture::LayerCopy& copy = picture->layerCopy;
    if (copy.book != serial) copy = {serial, picture->version - 1, false, -1, -1, 0};
    if (copy.checked != picture->version) {
        const std::uint16_t first = picture->pixels.front();
        copy.uniform = std::all_of(picture->pixels.begin(), picture->pixels.end(),
                                   [first](std::uint16_t pixel) { return pixel == first; });
        copy.checked = picture->version;
    }
    if (copy.uniform) return LocateColour(picture->pixels.front(), place, beforeLoad);
    return Hold(picture, place, beforeLoad);
}

bool TextureLayers::LocateColour(std::uint16_t colour, Place& place, const std::function<void()>& beforeLoad) {
    const int array = arrays.empty() ? ArrayFor(1, 1) : 0;
    std::shared_ptr<Picture>& solid = colours[{array, colour}];
    if (!solid) {
        solid = std::make_shared<Picture>();
        solid->width = arrays[static_cast<std::size_t>(array)].width;
        solid->height = arrays[static_cast<std::size_t>(array)].height;
        solid->pixels.assign(static_cast<std::size_t>(solid->width) * static_cast<std::size_t>(solid->height), colour);
    }
    return Hold(solid, place, beforeLoad);
}

// The picture's own layer, made and loaded as needed.
bool TextureLayers::Hold(const std::shared_ptr<Picture>& picture, Place& place,
                         const std::function<void()>& beforeLoad) {
    Picture::LayerCopy& copy = picture->layerCopy;
    if (copy.book != serial) copy = {serial, picture->version - 1, false, -1, -1, 0};
    if (copy.layer < 0) {
        const int index = ArrayFor(picture->width, picture->height);
        if (index < 0) return false;
        Array& array = arrays[static_cast<std::size_t>(index)];
        // A layer whose picture is gone, else a new one.
        auto free = std::find_if(array.layers.begin(), array.layers.end(),
                                 [](const std::weak_ptr<Picture>& held) { return held.expired(); });
        if (free == array.layers.end()) {
            if (static_cast<int>(array.layers.size()) >= mostLayers) return false;
            free = array.layers.emplace(array.layers.end());
        }
        *free = picture;
        copy.array = index;
        copy.layer = static_cast<int>(free - array.layers.begin());
        copy.loaded = picture->version - 1;
    }
    Array& array = arrays[static_cast<std::size_t>(copy.array)];
    if (array.capacity < static_cast<int>(array.layers.size())) {
        beforeLoad();
        Grow(array);  // loads every layer
    } else if (copy.loaded != picture->version) {
        beforeLoad();
        Load(array, copy.layer, *picture);
        copy.loaded = picture->version;
    }
    place = {copy.array, copy.layer};
    return true;
}

// A new texture twice as deep, every picture loaded into it again.
void TextureLayers::Grow(Array& array) {
    if (array.texture) glDeleteTextures(1, &array.texture);
    array.capacity = std::min(mostLayers, std::max(4, 2 * static_cast<int>(array.layers.size())));
    glGenTextures(1, &array.texture);
    glBindTexture(GL_TEXTURE_2D_ARRAY, array.texture);
    glTexParameteri(GL_TEXTURE_2D_ARRAY, GL_TEXTURE_MAX_LEVEL, 0);  // surfaces have no mipmap levels
    TexImage3D(GL_TEXTURE_2D_ARRAY, 0, GL_RGB, array.width, array.height, array.capacity, 0, GL_RGB,
               GL_UNSIGNED_SHORT_5_6_5, nullptr);
    for (std::size_t i = 0; i < array.layers.size(); ++i)
        if (const std::shared_ptr<Picture> picture = array.layers[i].lock()) {
            Load(array, static_cast<int>(i), *picture);
            picture->layerCopy.loaded = picture->version;
        }
}

void TextureLayers::Load(const Array& array, int layer, const Picture& picture) const {
    glBindTexture(GL_TEXTURE_2D_ARRAY, array.texture);
    glPixelStorei(GL_UNPACK_ALIGNMENT, 2);
    glPixelStorei(GL_UNPACK_ROW_LENGTH, 0);
    // As a picture's own texture: rows top first, each texel's 16 bits kept.
    TexSubImage3D(GL_TEXTURE_2D_ARRAY, 0, 0, 0, layer, array.width, array.height, 1, GL_RGB, GL_UNSIGNED_SHORT_5_6_5,
                  picture.pixels.data());
}

void TextureLayers::Begin(GLuint lightmapSampler, GLuint textureSampler) {
    UseProgram(program);
    for (int i = 0; i < static_cast<int>(arrays.size()); ++i) {
        const GLuint texture = arrays[static_cast<std::size_t>(i)].texture;
        for (const auto& [unit, sampler] :
             {std::pair{kFirstUnit + i, lightmapSampler}, std::pair{kFirstUnit + kArrays + i, textureSampler}}) {
            ActiveTexture(static_cast<GLenum>(GL_TEXTURE0 + unit));
            glBindTexture(GL_TEXTURE_2D_ARRAY, texture);
            BindSampler(static_cast<GLuint>(unit), sampler);
        }
    }
    ActiveTexture(GL_TEXTURE0);
}

void TextureLayers::ShadeNothing(bool on) { UseProgram(on ? blank : program); }

void TextureLayers::End() { UseProgram(0); }
