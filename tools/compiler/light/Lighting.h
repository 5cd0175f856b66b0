// Light at points of the level: point lights and spotlights with their
// fall-offs, sunlight and the sky's dome through the sky faces, all with
// shadows traced through the solid leaves of the tree; ambient occlusion,
// which darkens the ambient light; and one bounce between patches.
#pragma once

#include <vector>

#include "compiler/Map.h"
#include "compiler/Tree.h"

namespace orvcompile {

// A face sunlight enters through.
struct SkyFace {
    Plane plane;
    Winding winding;
};

struct LightSettings {
    std::vector<MapLight> lights;
    Vec3 ambient;
    Vec3 minLight;
    double gamma = 1;
    double dirtDistance = 0;
    double bounce = 0;
    Vec3 modelPatch;
    SkyLight sky;
    // Per tree node: the sky faces an empty leaf holds, where sunlight
    // enters. Empty when the level has no sky.
    std::vector<std::vector<SkyFace>> skyFaces;
};

LightSettings SettingsOf(const Map& map);

// The fraction along a→b at which the segment first enters solid space, or
// a value above 1 when it stays in empty space.
double TraceSolid(const Tree& tree, const PlaneSet& planes, Vec3 a, Vec3 b);

bool PointSolid(const Tree& tree, const PlaneSet& planes, Vec3 p);

// Direct light at p on a surface with normal n: the lights', and the sky's
// through the sky faces.
Vec3 DirectLight(const LightSettings& settings, const Tree& tree, const PlaneSet& planes, Vec3 p, Vec3 n);

// The share of the hemisphere above p that stays open within the dirt
// distance, 0 (closed in) to 1 (open).
double AmbientOcclusion(const LightSettings& settings, const Tree& tree, const PlaneSet& planes, Vec3 p, Vec3 n);

// A piece of surface that passes light on.
struct Patch {
    Vec3 position;
    Vec3 normal;
    double area = 0;
    Vec3 emitted;  // light leaving it: the direct light times the bounce share
};

// The light each patch receives from all the others. Runs on `threads` threads.
std::vector<Vec3> GatherBounce(const std::vector<Patch>& patches, const Tree& tree, const PlaneSet& planes,
                               int threads);

}  // namespace orvcompile
