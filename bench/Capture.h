// The renderers as the benchmarks run them: unchanged, except that for one
// frame they note every triangle DrawPolygon passes on, placed in the world
// as GL receives it, with the textures it is drawn with. The ideal draw is
// made from that record.
#pragma once

#include <cstdint>
#include <vector>

#include "platform/display/Gl.h"
#include "render/Renderer.h"
#include "render/d3d/D3DRenderer.h"
#include "render/gl/OpenGLRenderer.h"

struct CapturedVertex {
    float position[3];
    float lightmap[2];
    float texture[2];
};

// What a triangle is drawn with: a surface of the display (the Direct3D-style
// renderer; its GL texture is looked up after the frame), or a GL texture.
struct TextureSource {
    IDirectDrawSurface7* surface = nullptr;
    GLuint name = 0;
};

struct CapturedTriangle {
    TextureSource lightmap;
    TextureSource texture;  // none for the OpenGL renderer, which draws lightmaps only
    CapturedVertex vertices[3];
};

CapturedTriangle Capture(const D3DRenderer& renderer, const Polygon& polygon, const Matrix& world);
CapturedTriangle Capture(const OpenGLRenderer& renderer, const Polygon& polygon, const Matrix& world);

// The GL texture a captured source stands for, 0 for none. Call it outside
// the frame: looking up a surface's texture binds it.
GLuint GlTextureOf(const TextureSource& source);

template <class Base>
class Capturing : public Base {
public:
    bool capturing = false;
    std::vector<CapturedTriangle> triangles;

    bool RenderFrame() override {
        world = MakeIdentity();  // the frame starts with the level, in world coordinates
        return Base::RenderFrame();
    }
    void SetMatrix(MatrixKind kind, Matrix matrix) override {
        if (kind == MatrixKind::World) world = matrix;
        Base::SetMatrix(kind, matrix);
    }
    HRESULT DrawPolygon(Polygon polygon) override {
        if (capturing) triangles.push_back(Capture(*this, polygon, world));
        return Base::DrawPolygon(polygon);
    }

private:
    Matrix world = MakeIdentity();
};
