#include "Capture.h"

#include <cstring>

#include "platform/graphics/SurfaceContents.h"

namespace {

void Transform(const float point[3], const Matrix& m, float out[3]) {
    for (int c = 0; c < 3; ++c)
        out[c] = point[0] * m.m[c] + point[1] * m.m[4 + c] + point[2] * m.m[8 + c] + m.m[12 + c];
}

const Texture* LightmapEntry(const Renderer& renderer, const Polygon& polygon) {
    if (!renderer.lightmapTable || polygon.lightmapIndex < 0 || polygon.lightmapIndex >= kLightmapCount) return nullptr;
    return &renderer.lightmapTable->entries[polygon.lightmapIndex];
}

}  // namespace

// As the device receives it: positions through the world matrix in force, an
// untextured polygon's second pair (0, 0).
CapturedTriangle Capture(const D3DRenderer& renderer, const Polygon& polygon, const Matrix& world) {
    CapturedTriangle triangle;
    if (const Texture* entry = LightmapEntry(renderer, polygon)) triangle.lightmap.surface = entry->surface;
    if (polygon.texture) triangle.texture.surface = polygon.texture->surface;
    for (int i = 0; i < 3; ++i) {
        const Vertex& from = polygon.vertices[i];
        CapturedVertex& to = triangle.vertices[i];
        Transform(from.position, world, to.position);
        std::memcpy(to.lightmap, from.lightmapCoord, sizeof to.lightmap);
        to.texture[0] = polygon.textured ? from.textureCoord[0] : 0.0f;
        to.texture[1] = polygon.textured ? from.textureCoord[1] : 0.0f;
    }
    return triangle;
}

// As glVertex3f receives it: z mirrored; the lightmap alone.
CapturedTriangle Capture(const OpenGLRenderer& renderer, const Polygon& polygon, const Matrix&) {
    CapturedTriangle triangle;
    if (const Texture* entry = LightmapEntry(renderer, polygon)) triangle.lightmap.name = entry->glTexture;
    for (int i = 0; i < 3; ++i) {
        const Vertex& from = polygon.vertices[i];
        CapturedVertex& to = triangle.vertices[i];
        to.position[0] = from.position[0];
        to.position[1] = from.position[1];
        to.position[2] = -from.position[2];
        std::memcpy(to.lightmap, from.lightmapCoord, sizeof to.lightmap);
        to.texture[0] = to.texture[1] = 0.0f;
    }
    return triangle;
}

GLuint GlTextureOf(const TextureSource& source) {
    if (!source.surface) return source.name;
    return SurfaceTexture(source.surface);
}
