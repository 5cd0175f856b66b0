// The level compiler from map to level file and lightmap pages, as one call.
#pragma once

#include <functional>
#include <string>
#include <vector>

#include "compiler/Faces.h"
#include "compiler/LevelFile.h"
#include "compiler/Map.h"
#include "compiler/light/Lightmaps.h"

namespace orvcompile {

struct CompileOptions {
    int threads = 2;
    // Told the name and time of each finished step and the progress of long ones.
    std::function<void(const std::string&)> progress;
    // Told each finished step's name and its time in seconds (the benchmarks time the steps).
    std::function<void(const std::string& step, double seconds)> stepDone;
};

// In the level's units (Map::levelScale applied): the planes, brushes, tree,
// faces, polygons and lights, which the level file and the lamp's skin read.
// The lightmap charts and the texture projections stay in the map's units
// (the polygons' lightmap and texture coordinates are taken before the
// scaling), and so does the way out of a leak.
struct CompiledLevel {
    BrushSet brushes;
    Tree tree;
    std::vector<Face> faces;
    std::vector<std::vector<LevelPolygon>> polygons;  // per node, for the empty leaves
    Lightmaps lightmaps;
    std::vector<std::string> pageNames;  // "LEVEL-lm000" ...
    std::string levelText;               // the level file's content
    std::vector<MapLight> lights;        // the map's lights that light the level
    std::vector<Vec3> leakPath;          // after a leak: the way out (Tree.h), in the map's units
};

// False when the map makes no level (a leak, a brush that is no solid...),
// with the reason. `reporter` is also told what a lenient map loses
// (Map::lenient) and how its lightmaps were fitted.
bool Compile(const Map& map, const CompileOptions& options, CompiledLevel& level, Reporter& reporter);

// The engine's blank lightmap, white, which faces drawn full bright (the sky) name.
inline constexpr char kBlankLightmap[] = "lmblank";

// The name of a lightmap page: "LEVEL-lm000" ...
std::string PageName(const std::string& level, int page);

// Writes LEVEL.bsp and the pages as LEVEL-lmNNN.bmp into `directory`.
bool WriteOutputs(const Map& map, const CompiledLevel& level, const std::string& directory, std::string& error);

// The texture coordinates of point p on a face with this plane normal.
void TextureCoordinates(const TextureProjection& texture, Vec3 normal, Vec3 p, double uv[2]);

}  // namespace orvcompile
