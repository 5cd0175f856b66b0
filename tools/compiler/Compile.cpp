#include "compiler/Compile.h"

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <numbers>

#include "compiler/light/Lighting.h"
#include "platform/core/AtomicFile.h"

namespace orvcompile {

namespace {

class Stopwatch {
public:
    explicit Stopwatch(const CompileOptions& options) : options(options) {}
    void Done(const std::string& step) {
        const auto now = std::chrono::steady_clock::now();
        const double seconds = std::chrono::duration<double>(now - last).count();
        last = now;
        if (options.stepDone) options.stepDone(step, seconds);
        if (!options.progress) return;
        char text[32];
        std::snprintf(text, sizeof text, " (%.2f s)", seconds);
        options.progress(step + text);
    }

private:
    const CompileOptions& options;
    std::chrono::steady_clock::time_point last = std::chrono::steady_clock::now();
};

}  // namespace

std::string PageName(const std::string& level, int page) {
    char suffix[16];
    std::snprintf(suffix, sizeof suffix, "-lm%03d", page);
    return level + suffix;
}

namespace {

// Point p projected along the normal's strongest axis: floors and ceilings
// use x and z, walls the horizontal axis along them and the height (downward,
// so that pictures stand upright).
void PlaneCoordinates(Vec3 normal, Vec3 p, double& s, double& t) {
    const double ax = std::fabs(normal.x), ay = std::fabs(normal.y), az = std::fabs(normal.z);
    if (ay >= ax && ay >= az) {
        s = p.x;
        t = p.z;
    } else if (ax >= az) {
        s = p.z;
        t = -p.y;
    } else {
        s = p.x;
        t = -p.y;
    }
}

}  // namespace

void TextureCoordinates(const TextureProjection& texture, Vec3 normal, Vec3 p, double uv[2]) {
    double s, t;
    PlaneCoordinates(normal, p, s, t);
    if (texture.explicitAxes) {
        uv[0] = Dot(p, texture.uAxis) + texture.offsetU;
        uv[1] = Dot(p, texture.vAxis) + texture.offsetV;
        return;
    }
    const double angle = texture.rotation * std::numbers::pi / 180;
    const double c = std::cos(angle), d = std::sin(angle);
    uv[0] = (s * c - t * d) / texture.scaleU + texture.offsetU;
    uv[1] = (s * d + t * c) / texture.scaleV + texture.offsetV;
}

namespace {

// The sky's picture is stretched once over each sky face of a brush, upright
// on walls, rather than tiled across the world like the other textures: the
// engine draws it as it draws any texture, so a tiled sky would show its
// repeats overhead.
void StretchSkyTextures(BrushSet& set) {
    for (const Brush& brush : set.brushes)
        for (const BrushSide& side : brush.sides) {
            if (side.texture < 0 || !set.textures[static_cast<std::size_t>(side.texture)].sky) continue;
            double lo[2] = {1e300, 1e300}, hi[2] = {-1e300, -1e300};
            for (Vec3 p : side.winding) {
                double st[2];
                PlaneCoordinates(set.planes[side.plane].normal, p, st[0], st[1]);
                for (int k = 0; k < 2; ++k) lo[k] = std::min(lo[k], st[k]), hi[k] = std::max(hi[k], st[k]);
            }
            TextureProjection& texture = set.textures[static_cast<std::size_t>(side.texture)];
            texture.explicitAxes = false;
            texture.rotation = 0;
            texture.scaleU = std::max(hi[0] - lo[0], 1e-9);
            texture.scaleV = std::max(hi[1] - lo[1], 1e-9);
            texture.offsetU = -lo[0] / texture.scaleU;
            texture.offsetV = -lo[1] / texture.scaleV;
        }
}

// Brushes, the tree (built twice: the second time splitting by the visible
// faces first), flood and fill, the checks on the start and the lights, and
// the faces.
bool BuildGeometry(const Map& map, Stopwatch& watch, CompiledLevel& level, Reporter& reporter) {
    if (!BuildBrushes(map, level.brushes, reporter)) return false;
    if (level.brushes.brushes.empty()) return reporter.Fail("the map has no brushes that make a solid");
    StretchSkyTextures(level.brushes);
    watch.Done(Counted(static_cast<long>(level.brushes.brushes.size()), "brush", "brushes"));

    level.tree = BuildTree(level.brushes, {});
    watch.Done("tree of " + Counted(static_cast<long>(level.tree.nodes.size()), "node", "nodes"));
    std::string error;
    if (!FloodAndFill(level.tree, level.brushes, map.start, error, &level.leakPath)) return reporter.Fail(error);
    watch.Done(Counted(static_cast<long>(level.tree.portals.size()), "portal", "portals") + ", flood and fill");

    std::vector<char> visible(level.brushes.textures.size(), 0);
    for (const Face& face : MakeFaces(level.tree, level.brushes)) visible[static_cast<std::size_t>(face.texture)] = 1;
    level.tree = BuildTree(level.brushes, visible);
    if (!FloodAndFill(level.tree, level.brushes, map.start, error, &level.leakPath)) return reporter.Fail(error);
    for (const MapLight& light : map.lights) {
        const int leaf = LeafAt(level.tree, level.brushes.planes, light.position);
        if (level.tree.nodes[static_cast<std::size_t>(leaf)].reached) {
            level.lights.push_back(light);
            continue;
        }
        const std::string problem = "the light lies in solid space or outside the map";
        if (!map.lenient) return reporter.Fail(light.line, problem);
        reporter.Warn(light.line, problem + "; left out");
    }
    level.faces = MakeFaces(level.tree, level.brushes);
    MergeFaces(level.faces, level.brushes.planes);
    FixTJunctions(level.faces);
    MergeSolidSiblings(level.tree);
    watch.Done("rebuilt from the visible faces: " + Counted(static_cast<long>(level.faces.size()), "face", "faces"));
    return true;
}

bool FullBright(const Face& face, const BrushSet& set) {
    return face.texture >= 0 && set.textures[static_cast<std::size_t>(face.texture)].sky;
}

// Per face: world units per lightmap texel, its own or else the map's, times
// `coarser` (up to the coarsest); 0 for a face drawn full bright (the sky),
// which gets no chart.
std::vector<double> TexelSizes(const Map& map, const CompiledLevel& level, double coarser) {
    std::vector<double> sizes;
    for (const Face& face : level.faces) {
        if (FullBright(face, level.brushes)) {
            sizes.push_back(0);
            continue;
        }
        const double own = level.brushes.textures[static_cast<std::size_t>(face.texture)].lightmapDensity;
        sizes.push_back(std::min((own > 0 ? own : map.lightmapDensity) * coarser, kMaxLightmapDensity));
    }
    return sizes;
}

// Lays out the charts into the map's pages; a map that asks for fitting gets
// as few pages as hold them, and coarser texels while even all do not. Faces
// drawn full bright take one entry of the engine's lightmap table, the blank.
bool FitCharts(const Map& map, CompiledLevel& level, Reporter& reporter, std::string& error) {
    const bool blank = std::any_of(level.faces.begin(), level.faces.end(),
                                   [&](const Face& face) { return FullBright(face, level.brushes); });
    const int pageLimit = std::min(map.lightmapPages, kMaxLightmapPages - (blank ? 1 : 0));
    auto layOut = [&](double coarser, int pages) {
        return LayOutCharts(level.faces, level.brushes.planes, TexelSizes(map, level, coarser), pages, level.lightmaps,
                            error);
    };
    if (!map.fitLightmaps) return layOut(1, pageLimit);
    if (layOut(1, 1)) return true;  // the usual case
    const std::vector<double> sizes = TexelSizes(map, level, 1);
    double finest = kMaxLightmapDensity;
    for (double size : sizes)
        if (size > 0) finest = std::min(finest, size);
    double coarser = 1;
    while (!layOut(coarser, pageLimit)) {
        if (finest * coarser * 2 > kMaxLightmapDensity) return false;
        coarser *= 2;
    }
    if (coarser != 1) {
        char text[120];
        std::snprintf(text, sizeof text, "the lightmaps fit only with texels %g units wide",
                      map.lightmapDensity * coarser);
        reporter.WarnAsIs(text);
    }
    // The fewest pages that hold the charts: all of them do; search below.
    int fits = pageLimit, fails = coarser == 1 ? 1 : 0;
    while (fits - fails > 1) {
        const int pages = (fits + fails) / 2;
        if (layOut(coarser, pages))
            fits = pages;
        else
            fails = pages;
    }
    error.clear();
    return layOut(coarser, fits);
}

// The faces as the engine's triangles, in the leaves that hold them; returns their number.
std::size_t MakePolygons(CompiledLevel& level) {
    level.polygons.assign(level.tree.nodes.size(), {});
    std::size_t triangles = 0;
    for (std::size_t f = 0; f < level.faces.size(); ++f) {
        const Face& face = level.faces[f];
        const TextureProjection& texture = level.brushes.textures[static_cast<std::size_t>(face.texture)];
        const Vec3 normal = level.brushes.planes[face.plane].normal;
        const int chart = level.lightmaps.faceChart[f];  // none: full bright
        for (const Triangle& triangle : Triangulate(face.winding)) {
            LevelPolygon polygon;
            polygon.textureName = texture.name;
            polygon.lightmapName = chart < 0 ? kBlankLightmap
                                             : level.pageNames[static_cast<std::size_t>(
                                                   level.lightmaps.charts[static_cast<std::size_t>(chart)].page)];
            for (int i = 0; i < 3; ++i) {
                polygon.v[i].position = triangle.v[i];
                if (chart >= 0) level.lightmaps.Coordinates(static_cast<int>(f), triangle.v[i], polygon.v[i].lightmap);
                TextureCoordinates(texture, normal, triangle.v[i], polygon.v[i].texture);
            }
            level.polygons[static_cast<std::size_t>(face.leaf)].push_back(polygon);
            ++triangles;
        }
    }
    return triangles;
}

// The sky faces by the empty leaf they look into, for the sunlight; none
// when the level has none.
void SetSkyFaces(const CompiledLevel& level, LightSettings& settings) {
    std::vector<std::vector<SkyFace>> sky(level.tree.nodes.size());
    bool any = false;
    for (const Face& face : level.faces) {
        if (face.texture < 0 || !level.brushes.textures[static_cast<std::size_t>(face.texture)].sky) continue;
        sky[static_cast<std::size_t>(face.leaf)].push_back({level.brushes.planes[face.plane], face.winding});
        any = true;
    }
    if (any) settings.skyFaces = std::move(sky);
}

// The finished level moved to the level's units: everything the level file
// and the lamp's skin read. The lightmap charts, the texture projections and
// the leak path stay in the map's units.
void ScaleLevel(double scale, CompiledLevel& level) {
    auto scaled = [scale](Winding& winding) {
        for (Vec3& p : winding) p = p * scale;
    };
    level.brushes.planes.Scale(scale);
    for (Brush& brush : level.brushes.brushes) {
        for (BrushSide& side : brush.sides) scaled(side.winding);
        brush.bounds = {brush.bounds.min * scale, brush.bounds.max * scale};
    }
    for (Portal& portal : level.tree.portals) {
        portal.plane.dist *= scale;
        for (Vec3& p : portal.plane.points) p = p * scale;
        scaled(portal.winding);
    }
    level.tree.box = {level.tree.box.min * scale, level.tree.box.max * scale};
    for (Face& face : level.faces) scaled(face.winding);
    for (auto& leaf : level.polygons)
        for (LevelPolygon& polygon : leaf)
            for (LevelVertex& v : polygon.v) v.position = v.position * scale;
    for (MapLight& light : level.lights) {
        light.position = light.position * scale;
        light.radius *= scale;
        light.reference *= scale;
    }
}

}  // namespace

bool Compile(const Map& map, const CompileOptions& options, CompiledLevel& level, Reporter& reporter) {
    Stopwatch watch(options);
    level = CompiledLevel{};
    if (!BuildGeometry(map, watch, level, reporter)) return false;

    Lightmaps& lightmaps = level.lightmaps;
    std::string error;
    if (!FitCharts(map, level, reporter, error)) return reporter.Fail(error);
    watch.Done(Counted(static_cast<long>(lightmaps.charts.size()), "lightmap chart", "lightmap charts") + " on " +
               Counted(lightmaps.pageCount, "page", "pages") + " of " + std::to_string(lightmaps.pageSize) + " x " +
               std::to_string(lightmaps.pageSize));
    LightSettings settings = SettingsOf(map);
    settings.lights = level.lights;
    SetSkyFaces(level, settings);
    BakeLightmaps(level.faces, level.brushes.planes, level.tree, settings, options.threads, options.progress,
                  lightmaps);
    watch.Done("lightmaps");

    for (int page = 0; page < lightmaps.pageCount; ++page) level.pageNames.push_back(PageName(map.level, page));
    const std::size_t triangles = MakePolygons(level);
    if (map.levelScale != 1) ScaleLevel(map.levelScale, level);
    level.levelText = LevelText(level.tree, level.brushes.planes, level.polygons, map.level);
    watch.Done(std::to_string(triangles) + " triangles");
    return true;
}

bool WriteOutputs(const Map& map, const CompiledLevel& level, const std::string& directory, std::string& error) {
    const std::string prefix = directory.empty() ? "" : directory + "/";
    if (!WriteFileAtomically(prefix + map.level + ".bsp", {level.levelText}, error)) return false;
    for (std::size_t page = 0; page < level.lightmaps.pages.size(); ++page)
        if (!WriteFileAtomically(prefix + level.pageNames[page] + ".bmp", {BmpBytes(level.lightmaps.pages[page])},
                                 error))
            return false;
    return true;
}

}  // namespace orvcompile
