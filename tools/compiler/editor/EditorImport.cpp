#include "compiler/editor/EditorImport.h"

#include "compiler/editor/EditorLights.h"

#include <algorithm>
#include <cctype>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <numbers>
#include <set>
#include <sstream>
#include <tuple>
#include <vector>

namespace orvcompile {

namespace {

// Reach of the ambient occlusion rays, in editor units: a corner darkens
// over about the height of a step.
constexpr double kDirtEditorUnits = 64;
// Lightmap texels start this many editor units wide, unless the map says
// ("_lightmap_scale"); a level too large for its pages gets coarser texels.
constexpr double kDensityEditorUnits = 24;
// A player start's origin this far inside the brush under it still stands on it.
constexpr double kSunkenStart = 32;
// Brushes and lights farther from the start than this, in editor units, are
// left out: the compiler's geometry holds a quarter of its working extent.
constexpr double kMaxLevelDistance = kWorldExtent / 4;
// A light inside a liquid is lifted this many editor units above its surface.
constexpr double kLiquidLift = 1;
// Texture scales nearer 0 than this count as 1, as a scale of 0 does.
constexpr double kMinTextureScale = 1e-6;
std::string ClassOf(const EditorEntity& entity) { return Lower(entity.Value("classname")); }

double ScaleOf(double scale) { return std::fabs(scale) < kMinTextureScale ? 1 : scale; }

bool IsSky(const std::string& texture) { return Lower(BaseName(texture)).rfind("sky", 0) == 0; }

// The world, the grouping entities and the brush entities that stand still:
// their brushes make the level (func_illusionary's drawn but not solid).
bool IsStatic(const std::string& classname) {
    return classname == "worldspawn" || classname == "func_group" || classname.rfind("func_detail", 0) == 0 ||
           classname == "func_wall" || classname == "func_illusionary";
}

// A tool texture's name: the last part, lower case, with a "tools" prefix
// taken off ("tools/toolsclip", "common/clip" and "clip" alike).
std::string ToolName(const std::string& texture) {
    std::string name = Lower(BaseName(texture));
    if (name.rfind("tools", 0) == 0 && name.size() > 5) name.erase(0, 5);
    return name;
}

// The editors' tool brushes, left out whole. Clip brushes too: the player
// collides with the level's one tree, the same that is drawn, so a brush that
// blocked without being drawn would leave holes where it meets other brushes.
bool IsToolBrush(const EditorBrush& brush) {
    static const char* const kTools[] = {"clip", "playerclip", "monsterclip", "botclip", "weapclip",  "fullclip",
                                         "hint", "hintskip",   "origin",      "trigger", "areaportal"};
    for (const EditorFace& face : brush.faces) {
        const std::string name = ToolName(face.texture);
        for (const char* tool : kTools)
            if (name == tool) return true;
    }
    return false;
}

// Faces the editors mark as never seen: their brush stays solid, but they
// make no polygon.
bool IsUndrawn(const std::string& texture) {
    const std::string name = ToolName(texture);
    return name == "skip" || name == "caulk" || name == "nodraw";
}

// The brushes that make the level, and what was left out of it, for the
// warnings.
struct BrushSelection {
    struct LeftOutClass {
        std::string classname;
        int count = 0;
        int firstLine = 0;
    };
    std::vector<const EditorBrush*> brushes;
    std::vector<LeftOutClass> entities;        // brush entities of other classes, by class in order of first use
    int inOmittedLayers = 0;                   // brushes of TrenchBroom layers left out of the build
    int tools = 0;                             // the editors' tool brushes
    std::set<const EditorBrush*> illusionary;  // among `brushes`: drawn, not solid
    std::vector<const EditorBrush*> liquids;   // among `brushes`
};

// Liquids by their texture: "*water", "*lava" (and "!water" in some games).
bool IsLiquid(const EditorBrush& brush) {
    return std::any_of(brush.faces.begin(), brush.faces.end(), [](const EditorFace& face) {
        const std::string name = BaseName(face.texture);
        return !name.empty() && (name[0] == '*' || name[0] == '!');
    });
}

// The entities in TrenchBroom's layers marked to be left out of the build:
// the layer itself and everything in it, in groups within groups too.
std::set<const EditorEntity*> OmittedEntities(const EditorMap& map) {
    std::set<std::string> omittedLayers;
    std::map<std::string, const EditorEntity*> groups;
    for (const EditorEntity& entity : map.entities) {
        if (entity.Value("_tb_type") == "_tb_layer" && entity.Value("_tb_layer_omit_from_export") == "1")
            omittedLayers.insert(entity.Value("_tb_id"));
        if (entity.Value("_tb_type") == "_tb_group") groups[entity.Value("_tb_id")] = &entity;
    }
    std::set<const EditorEntity*> omitted;
    if (omittedLayers.empty()) return omitted;
    for (const EditorEntity& entity : map.entities) {
        const EditorEntity* at = &entity;
        // Up through the groups to the layer; a cycle of groups ends the walk.
        for (std::size_t depth = 0; at && depth <= groups.size(); ++depth) {
            if (at->Value("_tb_type") == "_tb_layer" ? omittedLayers.count(at->Value("_tb_id")) > 0
                                                     : omittedLayers.count(at->Value("_tb_layer")) > 0) {
                omitted.insert(&entity);
                break;
            }
            const auto group = at->Has("_tb_group") ? groups.find(at->Value("_tb_group")) : groups.end();
            at = group == groups.end() ? nullptr : group->second;
        }
    }
    return omitted;
}

BrushSelection SelectBrushes(const EditorMap& map, const std::set<const EditorEntity*>& omitted) {
    BrushSelection selection;
    for (const EditorEntity& entity : map.entities) {
        if (entity.brushes.empty()) continue;
        if (omitted.count(&entity)) {
            selection.inOmittedLayers += static_cast<int>(entity.brushes.size());
            continue;
        }
        const std::string classname = ClassOf(entity);
        if (!IsStatic(classname) && !(classname.empty() && &entity == &map.entities.front())) {
            auto& entities = selection.entities;
            auto at =
                std::find_if(entities.begin(), entities.end(), [&](const auto& e) { return e.classname == classname; });
            if (at == entities.end())
                entities.push_back({classname, 1, entity.line});
            else
                ++at->count;
            continue;
        }
        for (const EditorBrush& brush : entity.brushes) {
            if (IsToolBrush(brush)) {
                ++selection.tools;
                continue;
            }
            if (classname == "func_illusionary") selection.illusionary.insert(&brush);
            selection.brushes.push_back(&brush);
            if (IsLiquid(brush)) selection.liquids.push_back(&brush);
        }
    }
    return selection;
}

// The parts joined as "1 brush, 2 lights and 1 other entity".
std::string CountList(const std::vector<std::string>& counted) {
    std::string list;
    for (std::size_t i = 0; i < counted.size(); ++i)
        list += (i == 0 ? "" : i + 1 == counted.size() ? " and " : ", ") + counted[i];
    return list;
}

// Warns about what the map loses before the compile, and notes the brushes
// in the summary.
void WarnLeftOut(const std::set<const EditorEntity*>& omitted, const BrushSelection& selection, EditorSummary& summary,
                 Reporter& reporter) {
    for (const auto& [classname, count, firstLine] : selection.entities) {
        summary.brushesLeftOut.push_back({classname, count});
        reporter.Warn(firstLine, "left out " + Counted(count, "brush entity", "brush entities") + " '" + classname +
                                     "': nothing in the level moves or triggers; only the world's brushes, "
                                     "func_group, func_detail, func_wall and func_illusionary make it");
    }
    // The point entities of the omitted layers (the layers and their groups
    // only hold things; their brushes are counted with the brushes).
    int lights = 0, others = 0;
    for (const EditorEntity* entity : omitted) {
        const std::string classname = ClassOf(*entity);
        if (entity->Has("_tb_type") || !entity->brushes.empty()) continue;
        ++(classname == "light" || classname.rfind("light_", 0) == 0 ? lights : others);
    }
    std::vector<std::string> dropped;
    if (selection.inOmittedLayers > 0) {
        dropped.push_back(Counted(selection.inOmittedLayers, "brush", "brushes"));
        summary.brushesLeftOut.push_back({"in omitted layers", selection.inOmittedLayers});
    }
    if (lights > 0) dropped.push_back(Counted(lights, "light", "lights"));
    if (others > 0) dropped.push_back(Counted(others, "other entity", "other entities"));
    if (!dropped.empty())
        reporter.Warn("left out " + CountList(dropped) + " of layers marked to be left out of the build");
    if (selection.tools > 0) {
        summary.brushesLeftOut.push_back({"tool brushes", selection.tools});
        reporter.Warn("left out " + Counted(selection.tools, "tool brush", "tool brushes") +
                      " (clip, hint, origin, trigger, areaportal)");
    }
}

Bounds BoundsOf(const std::vector<const EditorBrush*>& brushes) {
    Bounds bounds;
    for (const EditorBrush* brush : brushes)
        for (const EditorFace& face : brush->faces)
            for (Vec3 p : face.points) bounds.Add(p);
    return bounds;
}

// The outward plane of an editor face: its points run the other way round
// from the compiler's own rule.
Plane EditorPlane(const EditorFace& face) { return PlaneFromPoints(face.points[0], face.points[2], face.points[1]); }

// Where the vertical line through `at` runs inside the brush, from lo to hi;
// false when it misses the brush.
bool VerticalSpan(const EditorBrush& brush, Vec3 at, double& lo, double& hi) {
    lo = -1e300, hi = 1e300;
    for (const EditorFace& face : brush.faces) {
        const Plane plane = EditorPlane(face);
        if (Length(plane.normal) < 0.5) continue;  // three points on a line
        const double rest = plane.dist - plane.normal.x * at.x - plane.normal.y * at.y;
        if (std::fabs(plane.normal.z) < 1e-9) {
            if (rest < -1e-6) return false;
        } else if (plane.normal.z > 0) {
            hi = std::min(hi, rest / plane.normal.z);
        } else {
            lo = std::max(lo, rest / plane.normal.z);
        }
    }
    return hi - lo > 1e-6;
}

// The height of the highest brush top on the vertical line through `at` that
// lies below it, or a little above it when the brush holds `at` (a start
// sunk into the floor).
bool FloorBelow(const std::vector<const EditorBrush*>& brushes, Vec3 at, double& floor) {
    bool found = false;
    for (const EditorBrush* brush : brushes) {
        double lo, hi;
        if (VerticalSpan(*brush, at, lo, hi) && lo < at.z && hi <= at.z + kSunkenStart && (!found || hi > floor)) {
            floor = hi;
            found = true;
        }
    }
    return found;
}

// The standard form's texture axes: the world axes of the plane nearest to
// the face (floors and ceilings x and −y, walls their horizontal axis and
// −z), turned by the rotation and divided by the scales.
void StandardAxes(const EditorFace& face, Vec3 axes[2]) {
    static const Vec3 kBase[6][3] = {{{0, 0, 1}, {1, 0, 0}, {0, -1, 0}}, {{0, 0, -1}, {1, 0, 0}, {0, -1, 0}},
                                     {{1, 0, 0}, {0, 1, 0}, {0, 0, -1}}, {{-1, 0, 0}, {0, 1, 0}, {0, 0, -1}},
                                     {{0, 1, 0}, {1, 0, 0}, {0, 0, -1}}, {{0, -1, 0}, {1, 0, 0}, {0, 0, -1}}};
    const Vec3 normal = EditorPlane(face).normal;
    int best = 0;
    double bestDot = 0;
    for (int i = 0; i < 6; ++i) {
        const double d = Dot(normal, kBase[i][0]);
        if (d > bestDot) {
            bestDot = d;
            best = i;
        }
    }
    // Quarter turns exactly, so axial faces keep exact axes.
    double sine, cosine;
    SineCosine(face.rotation, sine, cosine);
    auto axisOf = [](Vec3 v) { return v.x != 0 ? 0 : v.y != 0 ? 1 : 2; };
    const int s = axisOf(kBase[best][1]), t = axisOf(kBase[best][2]);
    for (int i = 0; i < 2; ++i) {
        double v[3] = {kBase[best][i + 1].x, kBase[best][i + 1].y, kBase[best][i + 1].z};
        const double ns = cosine * v[s] - sine * v[t];
        const double nt = sine * v[s] + cosine * v[t];
        v[s] = ns;
        v[t] = nt;
        axes[i] = Vec3{v[0], v[1], v[2]} * (1 / ScaleOf(face.scale[i]));
    }
}

// A brush primitive's texture axes for a face with this normal: the normal
// turned onto x, with (0, 1, 0) and (0, 0, −1) turned alike.
void PrimitiveAxes(Vec3 normal, Vec3& s, Vec3& t) {
    auto clean = [](double v) { return std::fabs(v) < 1e-6 ? 0.0 : v; };
    normal = {clean(normal.x), clean(normal.y), clean(normal.z)};
    const double rotY = -std::atan2(normal.z, std::sqrt(normal.x * normal.x + normal.y * normal.y));
    const double rotZ = std::atan2(normal.y, normal.x);
    s = {-std::sin(rotZ), std::cos(rotZ), 0};
    t = {-std::sin(rotY) * std::cos(rotZ), -std::sin(rotY) * std::sin(rotZ), -std::cos(rotY)};
}

// The face's placement as level-space axes in repeats of the texture.
TextureProjection Projection(const EditorFace& face, const LevelTexture& texture, const EditorTransform& transform) {
    Vec3 axes[2];
    double offset[2] = {face.offset[0], face.offset[1]};
    double size[2] = {static_cast<double>(std::max(1, texture.width)),
                      static_cast<double>(std::max(1, texture.height))};
    if (face.primitive) {
        // Already in repeats: u = A x + B y + C.
        Vec3 s, t;
        PrimitiveAxes(EditorPlane(face).normal, s, t);
        for (int i = 0; i < 2; ++i) {
            axes[i] = s * face.matrix[i][0] + t * face.matrix[i][1];
            offset[i] = face.matrix[i][2];
            size[i] = 1;
        }
    } else if (face.valve) {
        axes[0] = face.uAxis * (1 / ScaleOf(face.scale[0]));
        axes[1] = face.vAxis * (1 / ScaleOf(face.scale[1]));
    } else {
        StandardAxes(face, axes);
    }
    TextureProjection projection;
    projection.name = texture.name;
    projection.explicitAxes = true;
    const Vec3 unit[3] = {{1, 0, 0}, {0, 1, 0}, {0, 0, 1}};
    Vec3 level[2];
    for (int i = 0; i < 2; ++i) {
        // editor s = a · p + offset, with p = ToEditor(q) = DirectionToEditor(q) + origin.
        level[i] =
            Vec3{Dot(transform.DirectionToEditor(unit[0]), axes[i]), Dot(transform.DirectionToEditor(unit[1]), axes[i]),
                 Dot(transform.DirectionToEditor(unit[2]), axes[i])} *
            (1 / size[i]);
    }
    projection.uAxis = level[0];
    projection.vAxis = level[1];
    // Whole repeats of the offset change nothing: they are dropped, so that
    // coordinates stay small however far the map lies from its origin.
    projection.offsetU = std::fmod(Dot(transform.origin, axes[0]) + offset[0], size[0]) / size[0];
    projection.offsetV = std::fmod(Dot(transform.origin, axes[1]) + offset[1], size[1]) / size[1];
    return projection;
}

// The way an entity looks, in degrees: the yaw of "angles" (pitch yaw roll)
// or of "mangle" (yaw first), else "angle" (whose negative values mean up
// and down in the editors' games); 0, east, when none is given.
double YawOf(const EditorEntity& entity) {
    double angles[3];
    if (Numbers(entity.Value("angles"), angles, 3)) return angles[1];
    if (Numbers(entity.Value("mangle"), angles, 1)) return angles[0];
    if (Numbers(entity.Value("angle"), angles, 1) && angles[0] >= 0) return angles[0];
    return 0;
}

struct Start {
    const EditorEntity* entity = nullptr;
    Vec3 origin;
    double yaw = 0;  // east, as the editors' games take a start without an angle
};

// The start the game uses: of the first kind the map has, the first start
// without a targetname (one with a targetname is where the player arrives from
// another level), else the first; a warning names the others.
bool FindStart(const EditorMap& editor, const std::set<const EditorEntity*>& omitted, Start& start,
               Reporter& reporter) {
    static const char* const kStarts[] = {"info_player_start", "info_player_deathmatch", "info_player_coop",
                                          "info_player_start2", "info_player_teamspawn"};
    for (const char* kind : kStarts) {
        std::vector<std::pair<const EditorEntity*, Vec3>> starts;
        for (const EditorEntity& entity : editor.entities) {
            if (ClassOf(entity) != kind || omitted.count(&entity)) continue;
            double origin[3];
            if (Numbers(entity.Value("origin"), origin, 3))
                starts.push_back({&entity, {origin[0], origin[1], origin[2]}});
            else
                reporter.Warn(entity.line, std::string("the ") + kind + " has no usable origin; left out");
        }
        if (starts.empty()) continue;
        const auto chosen =
            std::find_if(starts.begin(), starts.end(), [](const auto& s) { return !s.first->Has("targetname"); });
        std::tie(start.entity, start.origin) = chosen == starts.end() ? starts.front() : *chosen;
        start.yaw = YawOf(*start.entity);
        if (kind != kStarts[0]) {
            reporter.Warn(std::string("the map has no info_player_start; the player starts at the ") + kind +
                          " of line " + std::to_string(start.entity->line));
        } else if (starts.size() > 1) {
            std::string others;
            for (const auto& [entity, origin] : starts)
                if (entity != start.entity)
                    others += (others.empty() ? "line " : ", line ") + std::to_string(entity->line) +
                              (entity->Has("targetname") ? " (targetname '" + entity->Value("targetname") + "')" : "");
            reporter.Warn("the map has " + std::to_string(starts.size()) +
                          " info_player_start entities; the player starts at the one of line " +
                          std::to_string(start.entity->line) +
                          (chosen == starts.end() ? " (all have a targetname)" : " (without a targetname)") +
                          "; left unused: " + others);
        }
        return true;
    }
    return reporter.Fail("the map has no player start (add an info_player_start entity)");
}

// The move from the editor's space to the level's: the floor under the player
// start to the origin, turned so that the player looks the start's way.
// False when the map has no start or no floor below it.
bool PlaceAtStart(const EditorMap& editor, const std::set<const EditorEntity*>& omitted,
                  const std::vector<const EditorBrush*>& brushes, EditorTransform& transform, std::string& startEntity,
                  EditorSummary& summary, Reporter& reporter) {
    Start start;
    if (!FindStart(editor, omitted, start, reporter)) return false;
    startEntity = ClassOf(*start.entity) + " of line " + std::to_string(start.entity->line);
    double floor = 0;
    if (!FloorBelow(brushes, start.origin, floor))
        return reporter.Fail(start.entity->line,
                             "no brush lies below the player start " + PointText(start.origin) + ": it needs a floor");
    transform.origin = {start.origin.x, start.origin.y, floor};
    transform.LookAlong(start.yaw);
    summary.start = startEntity;
    summary.startOrigin = start.origin;
    summary.startAngle = start.yaw;
    return true;
}

// The first orvanthelix_model with a usable origin (a warning names the
// others), placed in the finished level; none when the map has none.
std::optional<ModelPlace> FindModel(const EditorMap& editor, const std::set<const EditorEntity*>& omitted,
                                    const EditorTransform& transform, double levelScale, EditorSummary& summary,
                                    Reporter& reporter) {
    std::optional<ModelPlace> place;
    std::string others;
    for (const EditorEntity& entity : editor.entities) {
        if (ClassOf(entity) != kModelEntity || omitted.count(&entity)) continue;
        double origin[3];
        if (!Numbers(entity.Value("origin"), origin, 3)) {
            reporter.Warn(entity.line, std::string("the ") + kModelEntity + " has no usable origin; left out");
        } else if (place) {
            others += (others.empty() ? "line " : ", line ") + std::to_string(entity.line);
        } else {
            place.emplace();
            summary.model = std::string(kModelEntity) + " of line " + std::to_string(entity.line);
            summary.modelOrigin = {origin[0], origin[1], origin[2]};
            summary.modelAngle = YawOf(entity);
            place->position = transform.ToMap(summary.modelOrigin) * levelScale;
            double sine, cosine;
            SineCosine(summary.modelAngle, sine, cosine);
            place->front = Normalised(transform.ToMap(transform.origin + Vec3{cosine, sine, 0}));
        }
    }
    if (!others.empty())
        reporter.Warn(std::string("the map has more than one ") + kModelEntity +
                      "; the engine shows one model, the first; left unused: " + others);
    return place;
}

// The level's name, its scale, the start and what the compiler is asked for
// editor maps.
void SetCompileSettings(const ImportSettings& settings, Map& map) {
    map.level = settings.level;
    map.levelScale = 1 / settings.editorUnitsPerUnit;
    map.start = {0, kEyeHeight * settings.editorUnitsPerUnit, 0};
    map.lenient = true;
    map.fitLightmaps = true;
    map.lightmapPages = settings.lightmapPages;
    map.lightmapDensity = kDensityEditorUnits;
    map.dirtDistance = kDirtEditorUnits;
}

// The lightmap texel sizes brush entities give their brushes ("_lightmap_scale").
std::map<const EditorBrush*, double> TexelSizesOfBrushes(const EditorMap& editor) {
    std::map<const EditorBrush*, double> sizes;
    for (const EditorEntity& entity : editor.entities)
        if (const double size = LightmapScaleOf(entity); size > 0)
            for (const EditorBrush& brush : entity.brushes) sizes[&brush] = size;
    return sizes;
}

// The brushes in map space with their textures placed, less faces whose
// points lie on a line and brushes beyond the compiler's reach.
void AddBrushes(const EditorMap& editor, const BrushSelection& selection,
                const std::map<std::string, LevelTexture>& textures, const EditorTransform& transform, Map& map,
                EditorSummary& summary, Reporter& reporter) {
    const std::map<const EditorBrush*, double> texelSizes = TexelSizesOfBrushes(editor);
    int degenerate = 0, far = 0;
    for (const EditorBrush* brush : selection.brushes) {
        const auto texelSize = texelSizes.find(brush);
        MapBrush out;
        out.line = brush->line;
        out.solid = !selection.illusionary.count(brush);
        bool within = true;
        for (const EditorFace& face : brush->faces) {
            if (Length(EditorPlane(face).normal) < 0.5) {
                ++degenerate;
                continue;
            }
            MapFace mapFace;
            for (int i = 0; i < 3; ++i) {
                mapFace.points[i] = transform.ToMap(face.points[i]);
                within = within && WithinReach(mapFace.points[i]);
            }
            const auto texture = textures.find(face.texture);
            mapFace.texture = Projection(face, texture == textures.end() ? LevelTexture{} : texture->second, transform);
            mapFace.texture.sky = IsSky(face.texture);
            mapFace.texture.undrawn = IsUndrawn(face.texture);
            if (texelSize != texelSizes.end()) mapFace.texture.lightmapDensity = texelSize->second;
            out.faces.push_back(mapFace);
        }
        if (within)
            map.brushes.push_back(std::move(out));
        else
            ++far;
    }
    if (far > 0) {
        summary.brushesLeftOut.push_back({"too far", far});
        reporter.Warn("left out " + Counted(far, "brush", "brushes") + " lying too far from the player start");
    }
    if (degenerate > 0)
        reporter.Warn("left out " + Counted(degenerate, "face", "faces") + " whose three points lie on one line");
}

// The engine has no liquids: a liquid is a solid floor drawn with its
// texture, and a light placed in one shines from its surface.
void LiftLightsOutOfLiquids(const std::vector<const EditorBrush*>& liquids, const EditorTransform& transform, Map& map,
                            Reporter& reporter) {
    if (liquids.empty()) return;
    int lifted = 0;
    for (MapLight& light : map.lights) {
        Vec3 at = transform.ToEditor(light.position);
        bool moved = true;
        for (std::size_t rounds = 0; moved && rounds <= liquids.size(); ++rounds) {  // liquids stacked on liquids
            moved = false;
            for (const EditorBrush* liquid : liquids) {
                double lo, hi;
                if (VerticalSpan(*liquid, at, lo, hi) && lo < at.z && at.z < hi + kLiquidLift) {
                    at.z = hi + kLiquidLift;
                    moved = true;
                }
            }
        }
        if (at.z != transform.ToEditor(light.position).z) {
            light.position = transform.ToMap(at);
            ++lifted;
        }
    }
    reporter.Warn("the map has " + Counted(static_cast<long>(liquids.size()), "liquid brush", "liquid brushes") +
                  ": the engine has no liquids, so they are solid and seal like any brush" +
                  (lifted > 0 ? "; " + Counted(lifted, "light", "lights") + " in them shine from their surface" : ""));
}

}  // namespace

std::string PointText(Vec3 p) {
    // Without a needless ".0" or "-0".
    std::string out = "(";
    for (double v : {p.x, p.y, p.z}) {
        char text[48];
        std::snprintf(text, sizeof text, "%.1f", std::fabs(v) < 0.05 ? 0.0 : v);
        std::string number = text;
        if (number.size() > 2 && number.compare(number.size() - 2, 2, ".0") == 0) number.resize(number.size() - 2);
        out += (out.size() > 1 ? " " : "") + number;
    }
    return out + ")";
}

bool WithinReach(Vec3 point) {
    return std::fabs(point.x) <= kMaxLevelDistance && std::fabs(point.y) <= kMaxLevelDistance &&
           std::fabs(point.z) <= kMaxLevelDistance;
}

void SineCosine(double degrees, double& sine, double& cosine) {
    const double turn = std::fmod(std::fmod(degrees, 360) + 360, 360);
    if (turn == 0) {
        sine = 0, cosine = 1;
    } else if (turn == 90) {
        sine = 1, cosine = 0;
    } else if (turn == 180) {
        sine = 0, cosine = -1;
    } else if (turn == 270) {
        sine = -1, cosine = 0;
    } else {
        sine = std::sin(turn * std::numbers::pi / 180);
        cosine = std::cos(turn * std::numbers::pi / 180);
    }
}

void EditorTransform::LookAlong(double editorYaw) {
    // Editor yaw 90 (north, +y) is the engine's start view (+z) unturned.
    SineCosine(90 - editorYaw, sine, cosine);
}

Vec3 EditorTransform::ToMap(Vec3 p) const {
    const Vec3 d = p - origin;
    return {cosine * d.x - sine * d.y, d.z, sine * d.x + cosine * d.y};
}

Vec3 EditorTransform::DirectionToEditor(Vec3 v) const {
    return {cosine * v.x + sine * v.z, -sine * v.x + cosine * v.z, v.y};
}

Vec3 ModelPlace::ToLevel(Vec3 p, bool direction) const {
    // The model's +z turned to the front, its +x to the right of it.
    const Vec3 turned{p.x * front.z + p.z * front.x, p.y, p.z * front.z - p.x * front.x};
    return direction ? turned : turned + position;
}

Vec3 EditorTransform::ToEditor(Vec3 p) const { return DirectionToEditor(p) + origin; }

std::vector<std::string> LevelTextureNames(const EditorMap& map) {
    std::vector<std::string> names;
    for (const EditorBrush* brush : SelectBrushes(map, OmittedEntities(map)).brushes)
        for (const EditorFace& face : brush->faces)
            if (!IsUndrawn(face.texture) && std::find(names.begin(), names.end(), face.texture) == names.end())
                names.push_back(face.texture);
    return names;
}

bool ImportEditorMap(const EditorMap& editor, const ImportSettings& settings,
                     const std::map<std::string, LevelTexture>& textures, ImportedMap& imported, Reporter& reporter) {
    imported = ImportedMap{};
    const std::set<const EditorEntity*> omitted = OmittedEntities(editor);
    const BrushSelection selection = SelectBrushes(editor, omitted);
    WarnLeftOut(omitted, selection, imported.summary, reporter);
    if (selection.brushes.empty()) return reporter.Fail("the map has no world brushes");
    // The player stands on solid brushes only.
    std::vector<const EditorBrush*> floors;
    for (const EditorBrush* brush : selection.brushes)
        if (!selection.illusionary.count(brush)) floors.push_back(brush);
    if (!PlaceAtStart(editor, omitted, floors, imported.transform, imported.startEntity, imported.summary, reporter))
        return false;
    imported.brushBounds = BoundsOf(selection.brushes);
    SetCompileSettings(settings, imported.map);
    AddBrushes(editor, selection, textures, imported.transform, imported.map, imported.summary, reporter);
    AddLights(editor, omitted, imported.transform, imported.map, reporter);
    LiftLightsOutOfLiquids(selection.liquids, imported.transform, imported.map, reporter);
    imported.model =
        FindModel(editor, omitted, imported.transform, imported.map.levelScale, imported.summary, reporter);
    return true;
}

std::string LeakMessage(const ImportedMap& imported, const std::vector<Vec3>& path) {
    std::string message = "leak: the map is not sealed";
    if (path.empty()) return message;
    const Bounds& bounds = imported.brushBounds;
    const Vec3 eye = imported.transform.ToEditor(path.front());
    const std::string start = "the " + imported.startEntity + " (its eye at " + PointText(eye) + ")";
    if (!bounds.Contains(eye)) return "leak: " + start + " lies outside the map";
    // The way out leaves the brushes at its last point still among them (the
    // compiler names each opening by its part among the brushes); a start
    // whose own space reaches the outside has no such point but itself.
    for (auto at = path.rbegin(); at + 1 != path.rend(); ++at)
        if (bounds.Contains(imported.transform.ToEditor(*at)))
            return message + "; the way out from " + start + " leaves the brushes at " +
                   PointText(imported.transform.ToEditor(*at));
    return "leak: " + start +
           " is not enclosed by brushes (above the roof?): its space opens straight onto the outside";
}

std::string StartMessage(const ImportedMap& imported) {
    return "the eye of the " + imported.startEntity + " " + PointText(imported.transform.ToEditor(imported.map.start)) +
           " lies inside a brush: move the start";
}

std::string PointFileText(const ImportedMap& imported, const std::vector<Vec3>& path) {
    std::string text;
    for (Vec3 p : path) {
        const Vec3 e = imported.transform.ToEditor(p);
        char line[96];
        std::snprintf(line, sizeof line, "%.3f %.3f %.3f\n", e.x, e.y, e.z);
        text += line;
    }
    return text;
}

}  // namespace orvcompile
