// Texture memory: what the running renderer holds on the GPU side for the
// demo level, computed from the textures it made (width x height x bytes per
// texel in the format it asks for, every mipmap level included), against one
// texture per record and against each distinct image once.
#include <benchmark/benchmark.h>

#include <fstream>
#include <functional>
#include <iterator>
#include <map>
#include <set>
#include <string_view>

#include "Benchmarks.h"
#include "Figures.h"
#include "globals/Globals.h"
#include "level/BspWalk.h"
#include "platform/core/Files.h"
#include "platform/graphics/SurfaceContents.h"

namespace {

// Records and the image files they were loaded from.
std::map<Texture*, std::string> TextureRecords(const Renderer& renderer) {
    std::map<Texture*, std::string> records;
    if (g_Bsp.root)
        WalkSubtree(
            g_Bsp.root, [](const BspNode* node) { return node->front; },
            [&records](BspNode* node) {
                if (!node->isLeaf) return;
                for (std::int32_t i = 0; i < node->polygonCount; ++i) {
                    const Polygon& polygon = node->polygons[i];
                    if (polygon.texture && polygon.texture != g_pBlankTexture)
                        records[polygon.texture] = std::string(polygon.textureName) + ".bmp";
                }
            });
    for (Texture& entry : renderer.lightmapTable->entries)
        if (entry.inUse) records[&entry] = std::string(entry.name) + ".bmp";
    records[g_pBlankTexture] = "lmblank.bmp";
    return records;
}

// Bytes of a texture of this size: the Direct3D-style renderer's surfaces are
// 16-bit without mipmaps; the OpenGL renderer builds 24-bit mipmaps down to 1x1.
double TexelBytes(RendererKind kind, int width, int height) {
    if (kind == RendererKind::D3d) return 2.0 * width * height;
    double bytes = 0;
    for (;;) {
        bytes += 3.0 * width * height;
        if (width == 1 && height == 1) return bytes;
        width = width > 1 ? width / 2 : 1;
        height = height > 1 ? height / 2 : 1;
    }
}

// The GPU texture a record holds and its bytes; none when it holds none.
std::pair<std::uintptr_t, double> HeldTexture(RendererKind kind, const Texture& record) {
    if (kind == RendererKind::D3d) {
        const auto* pixels = record.surface ? SurfacePixels(record.surface) : nullptr;
        if (!pixels) return {0, 0.0};
        return {reinterpret_cast<std::uintptr_t>(pixels), double(sizeof(std::uint16_t) * pixels->size())};
    }
    if (!record.glTexture || !glIsTexture(record.glTexture)) return {0, 0.0};
    glBindTexture(GL_TEXTURE_2D, record.glTexture);
    double bytes = 0;
    for (GLint level = 0;; ++level) {
        GLint width = 0, height = 0;
        glGetTexLevelParameteriv(GL_TEXTURE_2D, level, GL_TEXTURE_WIDTH, &width);
        glGetTexLevelParameteriv(GL_TEXTURE_2D, level, GL_TEXTURE_HEIGHT, &height);
        if (width == 0 || height == 0) break;
        bytes += 3.0 * width * height;
    }
    return {record.glTexture, bytes};
}

void TextureMemory(benchmark::State& state, RendererKind kind) {
    Renderer& renderer = UseRenderer(kind);
    TextureFigure figure{NameOf(kind), 0, 0, 0, 0.0, 0.0, 0.0};
    for (auto _ : state) {
        figure = {NameOf(kind), 0, 0, 0, 0.0, 0.0, 0.0};
        std::set<std::uintptr_t> textures;
        std::set<std::pair<std::size_t, std::size_t>> images;
        for (const auto& [record, file] : TextureRecords(renderer)) {
            const auto [texture, bytes] = HeldTexture(kind, *record);
            if (!texture) continue;
            ++figure.records;
            figure.unsharedBytes += bytes;
            if (textures.insert(texture).second) figure.sharedBytes += bytes;
            std::ifstream in(ResolveFileName(file), std::ios::binary);
            const std::string content{std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
            if (!images.insert({content.size(), std::hash<std::string_view>{}(content)}).second) continue;
            int width = 0, height = 0;
            renderer.ReadImageSize(file.c_str(), &width, &height);
            figure.distinctBytes += TexelBytes(kind, width, height < 0 ? -height : height);
        }
        figure.textures = static_cast<int>(textures.size());
        figure.distinctImages = static_cast<int>(images.size());
    }
    state.counters["held_MiB"] = figure.sharedBytes / (1024.0 * 1024.0);
    state.counters["unshared_MiB"] = figure.unsharedBytes / (1024.0 * 1024.0);
    state.counters["held_per_distinct"] = figure.sharedBytes / figure.distinctBytes;
    g_Figures.textures.push_back(figure);
}

}  // namespace

void RegisterTextureMemoryBenchmark(RendererKind kind) {
    benchmark::RegisterBenchmark((std::string("TextureMemory/") + NameOf(kind)).c_str(),
                                 [kind](benchmark::State& state) { TextureMemory(state, kind); })
        ->Iterations(1)
        ->Unit(benchmark::kMillisecond);
}
