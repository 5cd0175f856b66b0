// From an editor's map (EditorMap.h) to the compiler's Map: the brushes that
// make the level, the player start, the lights, and the change from the
// editor's z-up space in its own units to the level's y-up engine units.
#pragma once

#include <map>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "compiler/Map.h"
#include "compiler/editor/EditorMap.h"

namespace orvcompile {

// Editor units per engine unit by default: the editors' usual 16- to 18-unit
// stairs become steps of 1.33 to 1.5 (the engine's player climbs 1.5), and
// the player's eye, 5 units above the feet, sits 60 editor units up.
constexpr double kEditorUnitsPerUnit = 12;
// The eye's height above the floor, in engine units.
constexpr double kEyeHeight = 5;

// The sine and cosine of an angle in degrees, exact for quarter turns.
void SineCosine(double degrees, double& sine, double& cosine);

// Whether a point of the compiled map lies within the compiler's reach of
// the player start: brushes and lights beyond it are left out.
bool WithinReach(Vec3 point);

// Editor space to the compiled map's space: moved so that `origin` (the floor
// under the player start) comes to (0, 0, 0), y made the up axis (which also
// turns the editor's right-handed space into the engine's left-handed one,
// so nothing is mirrored on screen), then turned about the vertical by
// exactly the start's angle so that the player starts looking its way (the
// brushes are turned before the compile, so their planes may come out
// diagonal). Lengths stay in editor units: the brushes are cut and flooded
// as drawn, and only the finished level is scaled (Map::levelScale).
struct EditorTransform {
    Vec3 origin;
    // The turn, as the cosine and sine of the angle taking the level's x
    // toward its z; quarter turns are exact, so axial brushes stay axial.
    double cosine = 1, sine = 0;

    // Turns so that the editor's yaw (degrees, 0 east, 90 north) becomes the
    // engine's start view, +z.
    void LookAlong(double editorYaw);
    Vec3 ToMap(Vec3 editorPoint) const;
    Vec3 ToEditor(Vec3 mapPoint) const;
    // A direction in the map as an editor direction (no move).
    Vec3 DirectionToEditor(Vec3 mapDirection) const;
};

struct ImportSettings {
    double editorUnitsPerUnit = kEditorUnitsPerUnit;
    std::string level;                      // the level's name (Map::level)
    int lightmapPages = kMaxLightmapPages;  // at most this many pages
};

// A texture as the level uses it.
struct LevelTexture {
    std::string name;             // the engine's name for it, "" for an untextured face
    int width = 64, height = 64;  // the source image's size, which the face placement is measured in
};

// The texture names the level's brushes use, in order of first use, but the
// faces that are not drawn (skip, caulk, nodraw). The level's brushes are
// those of the world entity, of the grouping entities (func_group,
// func_detail...) and of func_wall and func_illusionary, less the editors'
// tool brushes (clip, hint, origin, trigger, areaportal) and those of
// TrenchBroom layers left out of the build.
std::vector<std::string> LevelTextureNames(const EditorMap& map);

// The point entity that stands the model in the level (tools/editor/Orvanthelix.fgd).
constexpr const char* kModelEntity = "orvanthelix_model";

// Where a map stands the model: its orvanthelix_model's origin in the
// finished level (level units), and the way the entity's angle looks there.
struct ModelPlace {
    Vec3 position;
    Vec3 front{0, 0, 1};  // horizontal, unit
    // A point (or a direction) of the model's own space, whose +z is its
    // front and whose origin it stands on, in the level.
    Vec3 ToLevel(Vec3 modelPoint, bool direction = false) const;
};

// What became of an editor map, in the editor's terms, for the summary
// orvtool prints after compiling it. The import fills in what it decides;
// BuildLevel adds what the compiler kept.
struct EditorSummary {
    int brushesKept = 0;
    std::vector<std::pair<std::string, int>> brushesLeftOut;  // why, in a word or two, and how many
    int pointLights = 0, spotlights = 0;
    bool sun = false, skyDome = false;
    std::string start;  // "info_player_start of line 12"
    Vec3 startOrigin;
    double startAngle = 0;  // degrees, 0 east
    std::string model;      // "orvanthelix_model of line 40"; empty when the map places none
    Vec3 modelOrigin;
    double modelAngle = 0;
};

struct ImportedMap {
    Map map;
    EditorTransform transform;
    Bounds brushBounds;               // the level's brushes in editor space, which a leak's way out leaves
    std::string startEntity;          // "info_player_start of line 12", for messages
    std::optional<ModelPlace> model;  // none when the map has no orvanthelix_model
    EditorSummary summary;
};

// "(X Y Z)" to a tenth of a unit, as messages give editor points.
std::string PointText(Vec3 p);

// Makes the Map from the level's brushes, with every texture in `textures`,
// warning about what it leaves out. False when the map has no player start
// or no floor below it.
bool ImportEditorMap(const EditorMap& editor, const ImportSettings& settings,
                     const std::map<std::string, LevelTexture>& textures, ImportedMap& imported, Reporter& reporter);

// What a leak message says in the editor's terms (for Reporter::Restate):
// the start it begins from and where the way out leaves the brushes, in
// editor coordinates, or that the start lies outside them. `path` runs
// in map space from the player start to the outside, as the compiler found it.
std::string LeakMessage(const ImportedMap& imported, const std::vector<Vec3>& path);

// What a compiler's refusal of the player start says in the editor's terms.
std::string StartMessage(const ImportedMap& imported);

// The path as a point file (one "X Y Z" line per point, editor space), which
// the editors draw as a line through the map.
std::string PointFileText(const ImportedMap& imported, const std::vector<Vec3>& path);

}  // namespace orvcompile
