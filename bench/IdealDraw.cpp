#include "IdealDraw.h"

#include <SDL.h>

#include <algorithm>
#include <cstddef>
#include <cstring>
#include <utility>

#include "Session.h"
#include "platform/display/VirtualDisplay.h"

namespace {

struct SortedTriangle {
    GLuint textures[2];
    const CapturedTriangle* triangle;
};

template <typename Entry>
void Load(Entry& entry, const char* name) {
    entry = reinterpret_cast<Entry>(SDL_GL_GetProcAddress(name));
    if (!entry) Fail(std::string("no GL entry point ") + name);
}

}  // namespace

IdealDraw::IdealDraw(const std::vector<CapturedTriangle>& triangles, int textureUnits,
                     const GLfloat projectionMatrix[16], const GLfloat viewMatrix[16])
    : units(textureUnits) {
    std::memcpy(projection, projectionMatrix, sizeof projection);
    std::memcpy(view, viewMatrix, sizeof view);
    if (!LoadGlEntryPoints(gl)) Fail("no GL entry points");
    Load(buffers.GenBuffers, "glGenBuffers");
    Load(buffers.DeleteBuffers, "glDeleteBuffers");
    Load(buffers.BindBuffer, "glBindBuffer");
    Load(buffers.BufferData, "glBufferData");

    SaveEngineState();
    std::vector<SortedTriangle> sorted;
    for (const CapturedTriangle& triangle : triangles)
        sorted.push_back({{GlTextureOf(triangle.lightmap), units > 1 ? GlTextureOf(triangle.texture) : 0}, &triangle});
    std::stable_sort(sorted.begin(), sorted.end(), [](const SortedTriangle& a, const SortedTriangle& b) {
        return std::make_pair(a.textures[0], a.textures[1]) < std::make_pair(b.textures[0], b.textures[1]);
    });
    std::vector<CapturedVertex> vertices;
    for (const SortedTriangle& entry : sorted) {
        const auto first = static_cast<GLint>(vertices.size());
        vertices.insert(vertices.end(), std::begin(entry.triangle->vertices), std::end(entry.triangle->vertices));
        if (groups.empty() || groups.back().textures[0] != entry.textures[0] ||
            groups.back().textures[1] != entry.textures[1])
            groups.push_back({{entry.textures[0], entry.textures[1]}, first, 0});
        groups.back().count += 3;
    }
    buffers.GenBuffers(1, &buffer);
    buffers.BindBuffer(GL_ARRAY_BUFFER, buffer);
    buffers.BufferData(GL_ARRAY_BUFFER, static_cast<GLsizeiptr>(vertices.size() * sizeof(CapturedVertex)),
                       vertices.data(), GL_STATIC_DRAW);
    // The engine's filtering: the Direct3D-style renderer samples the lightmap
    // linearly and the texture by nearest texel; the OpenGL renderer's
    // lightmaps carry their own (linear, mipmapped) filters.
    gl.GenSamplers(2, samplers);
    gl.SamplerParameteri(samplers[0], GL_TEXTURE_MIN_FILTER, GL_LINEAR_MIPMAP_LINEAR);
    gl.SamplerParameteri(samplers[0], GL_TEXTURE_MAG_FILTER, GL_LINEAR);
    gl.SamplerParameteri(samplers[1], GL_TEXTURE_MIN_FILTER, GL_NEAREST);
    gl.SamplerParameteri(samplers[1], GL_TEXTURE_MAG_FILTER, GL_NEAREST);
    RestoreEngineState();
}

IdealDraw::~IdealDraw() {
    buffers.DeleteBuffers(1, &buffer);
    gl.DeleteSamplers(2, samplers);
}

void IdealDraw::SaveEngineState() {
    glPushAttrib(GL_ALL_ATTRIB_BITS);
    glPushClientAttrib(GL_CLIENT_ALL_ATTRIB_BITS);
    for (int unit = 0; unit < 2; ++unit) {
        gl.ActiveTexture(GL_TEXTURE0 + unit);
        glGetIntegerv(GL_SAMPLER_BINDING, &savedSamplers[unit]);
    }
    gl.ActiveTexture(GL_TEXTURE0);
    glMatrixMode(GL_PROJECTION);
    glPushMatrix();
    glMatrixMode(GL_MODELVIEW);
    glPushMatrix();
}

void IdealDraw::RestoreEngineState() {
    buffers.BindBuffer(GL_ARRAY_BUFFER, 0);
    for (int unit = 0; unit < 2; ++unit) gl.BindSampler(unit, static_cast<GLuint>(savedSamplers[unit]));
    glMatrixMode(GL_PROJECTION);
    glPopMatrix();
    glMatrixMode(GL_MODELVIEW);
    glPopMatrix();
    glPopClientAttrib();
    glPopAttrib();
}

void IdealDraw::Draw() {
    glViewport(0, 0, kDisplayWidth, kDisplayHeight);
    for (GLenum capability : {GL_LIGHTING, GL_ALPHA_TEST, GL_CULL_FACE, GL_BLEND, GL_SCISSOR_TEST})
        glDisable(capability);
    glEnable(GL_DEPTH_TEST);
    glDepthFunc(GL_LEQUAL);
    glDepthMask(GL_TRUE);
    glColor4f(1, 1, 1, 1);
    glClearColor(0, 0, 0, 0);
    glClearDepth(1.0);
    glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
    glMatrixMode(GL_PROJECTION);
    glLoadMatrixf(projection);
    glMatrixMode(GL_MODELVIEW);
    glLoadMatrixf(view);

    buffers.BindBuffer(GL_ARRAY_BUFFER, buffer);
    constexpr GLsizei kStride = sizeof(CapturedVertex);
    glEnableClientState(GL_VERTEX_ARRAY);
    glVertexPointer(3, GL_FLOAT, kStride, reinterpret_cast<const void*>(offsetof(CapturedVertex, position)));
    glDisableClientState(GL_NORMAL_ARRAY);
    glDisableClientState(GL_COLOR_ARRAY);
    const std::size_t coordinates[2] = {offsetof(CapturedVertex, lightmap), offsetof(CapturedVertex, texture)};
    for (int unit = 0; unit < 2; ++unit) {
        gl.ActiveTexture(GL_TEXTURE0 + unit);
        gl.ClientActiveTexture(GL_TEXTURE0 + unit);
        if (unit >= units) {
            glDisable(GL_TEXTURE_2D);
            glDisableClientState(GL_TEXTURE_COORD_ARRAY);
            continue;
        }
        glEnable(GL_TEXTURE_2D);
        glTexEnvi(GL_TEXTURE_ENV, GL_TEXTURE_ENV_MODE, unit == 0 ? GL_REPLACE : GL_MODULATE);
        gl.BindSampler(unit, units > 1 ? samplers[unit] : 0);
        glEnableClientState(GL_TEXTURE_COORD_ARRAY);
        glTexCoordPointer(2, GL_FLOAT, kStride, reinterpret_cast<const void*>(coordinates[unit]));
    }
    GLuint bound[2] = {~0u, ~0u};
    for (const Group& group : groups) {
        for (int unit = 0; unit < units; ++unit) {
            if (bound[unit] == group.textures[unit]) continue;
            gl.ActiveTexture(GL_TEXTURE0 + unit);
            glBindTexture(GL_TEXTURE_2D, group.textures[unit]);
            bound[unit] = group.textures[unit];
        }
        glDrawArrays(GL_TRIANGLES, group.first, group.count);
    }
    gl.ActiveTexture(GL_TEXTURE0);
    gl.ClientActiveTexture(GL_TEXTURE0);
    PresentVirtualDisplay();
}
