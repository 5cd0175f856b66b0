// A level as its author writes it: brushes, lights, the player start and the
// compile settings. docs/MAP_FORMAT.md describes the text form.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "compiler/Geometry.h"
#include "compiler/Reporter.h"

namespace orvcompile {

// How a texture lies on a face: world units per repeat, offset in repeats,
// rotation in degrees. An empty name makes the face untextured. Maps from the
// editors give the axes themselves: u = uAxis · p + offsetU, v likewise.
struct TextureProjection {
    std::string name;
    double scaleU = 16, scaleV = 16;
    double offsetU = 0, offsetV = 0;
    double rotation = 0;
    bool explicitAxes = false;
    Vec3 uAxis, vAxis;           // repeats per world unit, when explicitAxes
    bool sky = false;            // where sunlight enters the level
    bool undrawn = false;        // the face makes no polygon (its brush is solid all the same)
    double lightmapDensity = 0;  // world units per lightmap texel on the face; 0: the map's
};

// One bounding plane of a brush, through three integer points; the cross rule
// of Plane gives the normal, which points out of the brush.
struct MapFace {
    Vec3 points[3];
    TextureProjection texture;
};

struct MapBrush {
    int line = 0;  // where the brush starts in the map file, for messages
    std::vector<MapFace> faces;
    // False for a brush drawn but walked through (the editors' func_illusionary):
    // its faces show from outside it, and its space stays open.
    bool solid = true;
};

// How a light weakens with distance d: to nothing at its radius, as
// reference / d, as (reference / d)², or not at all.
enum class Falloff : std::uint8_t { Linear, Inverse, InverseSquare, None };

struct MapLight {
    int line = 0;
    Vec3 position;
    Vec3 colour{1, 1, 1};  // 0..1 per channel
    double intensity = 1;
    double radius = 0;  // the light reaches nothing beyond this distance
    Falloff falloff = Falloff::Linear;
    double reference = 1;  // where an inverse fall-off gives the full intensity
    // A surface gets (1 − angleScale) + angleScale × cosine of the light's
    // angle of incidence.
    double angleScale = 1;
    // A spotlight shines along `axis` (a unit vector; zero for a light that
    // shines every way): fully within the inner cone, fading to nothing at
    // the outer one. The cones are given by the cosines of their half-angles.
    Vec3 axis;
    double outerCosine = -1, innerCosine = -1;
};

// Light from the sky, entering through the sky faces: a sun from one
// direction and an even dome, each as colour times intensity.
struct SkyLight {
    Vec3 towardSun{0, 1, 0};  // unit
    Vec3 sun;
    Vec3 dome;
    double angleScale = 1;
};

struct Map {
    std::string level;  // names the outputs: LEVEL.bsp, LEVEL-lm000.bmp ...
    // Level units per map unit. The compiler cuts, floods and lights in the
    // map's own units, where the planes through integer points are exact,
    // and scales only the finished level.
    double levelScale = 1;
    Vec3 start;                  // the player's eye point; the outside flood starts here
    double lightmapDensity = 4;  // world units per luxel
    int lightmapPages = 1;
    Vec3 ambient;      // light added everywhere, darkened by ambient occlusion
    Vec3 minLight;     // the least light anywhere: a floor under all other light, applied last
    double gamma = 1;  // light c becomes c^(1/gamma) (before the floor): above 1 brightens
    SkyLight sky;
    double dirtDistance = 16;  // reach of the ambient occlusion rays; 0 turns it off
    double bounce = 0.5;       // share of direct light the surfaces pass on; 0 turns it off
    Vec3 modelPatch{1, 1, 1};  // colour of the patch kept for the model in every page
    std::vector<MapBrush> brushes;
    std::vector<MapLight> lights;
    // Maps from the editors: a brush that is not a convex solid, or a light
    // in solid space or outside the level, is left out with a warning rather
    // than refusing the map.
    bool lenient = false;
    // As few lightmap pages as hold the charts, up to lightmapPages, with
    // coarser texels (density doubled) while even that many do not.
    bool fitLightmaps = false;
};

// The longest level name: its lightmap names "LEVEL-lmNNN" must fit the
// engine's 31-character names.
constexpr std::size_t kMaxLevelName = 25;
// The coarsest lightmap texels, in world units.
constexpr double kMaxLightmapDensity = 1024;
// The engine's lightmap table holds this many names.
constexpr int kMaxLightmapPages = 32;

// Reads a map from its text; false when it is not a map, with the reason
// and its line given to `reporter`.
bool ParseMap(const std::string& text, Map& map, Reporter& reporter);

}  // namespace orvcompile
