// The device's pictures as layers of texture arrays, one array for each
// picture size, and one fragment program that draws the commonest stages with
// them: a lightmap, times a texture, times the lit colour. Under GL's fixed
// function every change of texture is a change of state, which a software
// rasteriser pays for with a copy of its whole fragment state; a level of
// many textures changes them at nearly every triangle. With the arrays the
// picture is a vertex's array and layer, every array is bound at once (to
// units of their own, after the fixed-function ones), and triangles of any
// pictures go to GL in one draw, still in their order.
//
// The program samples and combines as the fixed-function units do (the
// texture coordinates divided by q, the products in the units' order), and
// the vertices still pass GL's fixed-function transform and lighting, so the
// picture is the same pixel for pixel. A picture of one colour samples as
// that colour whatever its size, so it takes a layer of the first array.
#pragma once

#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <utility>
#include <vector>

#include "platform/display/Gl.h"

struct Picture;

class TextureLayers {
public:
    // Compiles the program in the current context; without GLSL 4.00,
    // texture arrays and 2 * kArrays image units after kFirstUnit it stays
    // unready and the device draws as before.
    TextureLayers();
    ~TextureLayers();
    TextureLayers(const TextureLayers&) = delete;
    TextureLayers& operator=(const TextureLayers&) = delete;

    // Arrays of this many picture sizes at most; a picture of another size
    // has no place. Each is bound twice, as a lightmap and as a texture,
    // each with its stage's filtering, from unit kFirstUnit on.
    static constexpr int kArrays = 12;
    static constexpr int kFirstUnit = 8;
    // The texture coordinate set that carries each vertex's two arrays.
    static constexpr int kArraysCoordinates = 2;

    // Made, and not switched off (SetTextureLayers).
    bool Ready() const;

    // Where a picture is drawn from: an array and its layer.
    struct Place {
        int array = -1;
        int layer = 0;
    };
    // The picture's place: its own layer in the array of its size, loaded
    // when new or changed, or for a picture of one colour a layer of that
    // colour. `beforeLoad` is called before any layer is loaded, as what was
    // batched must be drawn first. False when its size would make one array
    // too many, or its array has no layer left.
    bool Locate(const std::shared_ptr<Picture>& picture, Place& place, const std::function<void()>& beforeLoad);
    // A layer all of `colour` (RGB565).
    bool LocateColour(std::uint16_t colour, Place& place, const std::function<void()>& beforeLoad);

    // Draws with the program and every array, filtered as the samplers of the
    // lightmap's and the texture's stage say, until End, which gives GL back
    // its fixed function.
    void Begin(GLuint lightmapSampler, GLuint textureSampler);
    // Between Begin and End: draws with a program that samples nothing, for
    // depths alone, or back with the other. GL's fixed function transforms
    // the vertices for both, so their depths are the same.
    void ShadeNothing(bool on);
    void End();

private:
    struct Array {
        int width = 0;
        int height = 0;
        GLuint texture = 0;
        int capacity = 0;
        std::vector<std::weak_ptr<Picture>> layers;  // expired: free
    };

    // The array of that size's index, made as needed; -1 when kArrays are made.
    int ArrayFor(int width, int height);
    bool Hold(const std::shared_ptr<Picture>& picture, Place& place, const std::function<void()>& beforeLoad);
    void Grow(Array& array);
    void Load(const Array& array, int layer, const Picture& picture) const;

    PFNGLTEXIMAGE3DPROC TexImage3D = nullptr;
    PFNGLTEXSUBIMAGE3DPROC TexSubImage3D = nullptr;
    PFNGLUSEPROGRAMPROC UseProgram = nullptr;
    PFNGLDELETEPROGRAMPROC DeleteProgram = nullptr;
    PFNGLACTIVETEXTUREPROC ActiveTexture = nullptr;
    PFNGLBINDSAMPLERPROC BindSampler = nullptr;
    GLuint program = 0;
    GLuint blank = 0;  // the ShadeNothing program
    unsigned serial;   // tells this one's copies from an earlier one's
    int mostLayers = 0;
    std::vector<Array> arrays;
    // The one-colour layers, by array and colour, held for as long as this.
    std::map<std::pair<int, std::uint16_t>, std::shared_ptr<Picture>> colours;
};
