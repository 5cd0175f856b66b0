#include "compiler/editor/EditorLights.h"

#include <algorithm>
#include <cmath>
#include <numbers>
#include <set>

namespace orvcompile {

namespace {

// A light's "light" value when it gives none, as the editors' games take it.
constexpr double kDefaultLightValue = 300;
// Light values are on the 0..255 scale of an 8-bit lightmap.
constexpr double kLightValueScale = 255;
// Light everywhere when the map has lights but does not ask for any, and
// when it has none at all (so that the level is not black).
constexpr double kDefaultAmbient = 0.08;
constexpr double kUnlitAmbient = 0.7;
// A light's value and reach are taken up to this many editor units.
constexpr double kMaxLightValue = 1e5;
// Inverse fall-offs give a light its full value this many editor units away.
constexpr double kFalloffReference = 128;
// How much a surface's angle to a light darkens it, unless the map says.
constexpr double kDefaultAngleScale = 0.5;
// A spotlight's cone, in degrees across, unless the light says.
constexpr double kDefaultCone = 10;
// The world's "_range" that leaves the lights' brightness as it is.
constexpr double kDefaultRange = 0.5;
// The finest lightmap texels "_lightmap_scale" may ask for, in editor units.
constexpr double kFinestTexel = 1;
// The keys of light entities and of the world that the compiler honours;
// other keys of lights, and the world's keys starting with '_', are light
// keys it does not (the editors' own "_tb_" keys aside).
const std::set<std::string> kLightKeys = {"classname", "origin", "targetname", "spawnflags", "light",
                                          "_light",    "_color", "color",      "wait",       "delay",
                                          "mangle",    "target", "_cone",      "_softangle", "_anglescale"};
const std::set<std::string> kWorldLightKeys = {
    "_minlight",  "_sunlight",        "_sun_mangle",  "_sunlight_mangle", "_sunlight_color",
    "_sunlight2", "_sunlight2_color", "_dirt",        "_anglescale",      "_range",
    "_gamma",     "_bounce",          "_bouncescale", "_lightmap_scale"};

// The world entity: worldspawn, or else the first.
const EditorEntity& World(const EditorMap& editor) {
    const auto at = std::find_if(editor.entities.begin(), editor.entities.end(),
                                 [](const EditorEntity& e) { return Lower(e.Value("classname")) == "worldspawn"; });
    return at == editor.entities.end() ? editor.entities.front() : *at;
}

// A colour "R G B", 0 to 1 or (when any is above 1) 0 to 255; false unless all three read.
bool ColourOf(const std::string& value, Vec3& colour) {
    double c[3];
    if (!Numbers(value, c, 3)) return false;
    colour = {c[0], c[1], c[2]};
    if (colour.x > 1 || colour.y > 1 || colour.z > 1) colour = colour * (1 / 255.0);
    colour = {std::min(colour.x, 1.0), std::min(colour.y, 1.0), std::min(colour.z, 1.0)};
    return true;
}

// The editors' "mangle" (yaw and pitch in degrees, pitch up positive) as a
// level direction; false unless both read.
bool MangleDirection(const std::string& value, const EditorTransform& transform, Vec3& direction) {
    double angles[2];
    if (!Numbers(value, angles, 2)) return false;
    const double yaw = angles[0] * std::numbers::pi / 180, pitch = angles[1] * std::numbers::pi / 180;
    const Vec3 editor{std::cos(yaw) * std::cos(pitch), std::sin(yaw) * std::cos(pitch), std::sin(pitch)};
    direction = Normalised(transform.ToMap(transform.origin + editor));
    return true;
}

// Light keys the compiler does not honour, each with the entities that give
// it ("light of line 40"), in order of first use.
using KeysNotHonoured = std::vector<std::pair<std::string, std::vector<std::string>>>;

// Adds the light keys of an entity that the compiler does not honour.
void NotHonoured(const EditorEntity& entity, bool world, KeysNotHonoured& keys) {
    for (const auto& [key, value] : entity.keys) {
        const std::string name = Lower(key);
        const bool ignored = name.empty() || name.rfind("_tb_", 0) == 0 ||
                             (world ? name[0] != '_' || kWorldLightKeys.count(name) : kLightKeys.count(name) > 0);
        if (ignored) continue;
        auto at = std::find_if(keys.begin(), keys.end(), [&](const auto& k) { return k.first == name; });
        if (at == keys.end()) at = keys.insert(keys.end(), {name, {}});
        at->second.push_back((world ? std::string("worldspawn") : Lower(entity.Value("classname"))) + " of line " +
                             std::to_string(entity.line));
    }
}

// "style (light of line 40, light of line 52 and 3 more), _sunlight3 (worldspawn of line 2)".
std::string NotHonouredList(const KeysNotHonoured& keys) {
    constexpr std::size_t kNamed = 2;  // entities named per key
    std::string list;
    for (const auto& [key, entities] : keys) {
        std::string where;
        for (std::size_t i = 0; i < std::min(entities.size(), kNamed); ++i) where += (i ? ", " : "") + entities[i];
        if (entities.size() > kNamed) where += " and " + std::to_string(entities.size() - kNamed) + " more";
        list += (list.empty() ? "" : ", ") + key + " (" + where + ")";
    }
    return list;
}

// A spotlight's axis and cones: "mangle", or the way to the entity its
// "target" names; none for a light that shines every way.
void SpotAxis(const EditorMap& editor, const EditorEntity& entity, Vec3 origin, const EditorTransform& transform,
              MapLight& light) {
    if (!MangleDirection(entity.Value("mangle"), transform, light.axis)) {
        if (!entity.Has("target")) return;
        const auto target = std::find_if(editor.entities.begin(), editor.entities.end(), [&](const EditorEntity& e) {
            return e.Has("targetname") && e.Value("targetname") == entity.Value("target");
        });
        double at[3];
        if (target == editor.entities.end() || !Numbers(target->Value("origin"), at, 3)) return;
        const Vec3 way = Vec3{at[0], at[1], at[2]} - origin;
        if (Length(way) == 0) return;
        light.axis = Normalised(transform.ToMap(transform.origin + way));
    }
    double cone = kDefaultCone, soft = 0;
    if (!Numbers(entity.Value("_cone"), &cone, 1) || cone <= 0) cone = kDefaultCone;
    cone = std::min(cone, 360.0);
    light.outerCosine = std::cos(cone / 2 * std::numbers::pi / 180);
    light.innerCosine = Numbers(entity.Value("_softangle"), &soft, 1) && soft > 0 && soft < cone
                            ? std::cos(soft / 2 * std::numbers::pi / 180)
                            : light.outerCosine;
}

// The fall-off of "delay" (0 linear, 1 inverse, 2 inverse square, 3 none)
// and the reach that goes with it: where the light's value, on the 0..255
// scale, falls below 1.
void SetFalloff(const EditorEntity& entity, double value, MapLight& light, Reporter& reporter) {
    // "wait" stretches the distances of every fall-off.
    double wait = 1;
    if (Numbers(entity.Value("wait"), &wait, 1) && wait <= 0) wait = 1;
    double delay = 0, reach = value;
    Numbers(entity.Value("delay"), &delay, 1);
    if (delay == 1) {
        light.falloff = Falloff::Inverse;
        reach = kFalloffReference * value;
    } else if (delay == 2) {
        light.falloff = Falloff::InverseSquare;
        reach = kFalloffReference * std::sqrt(value);
    } else if (delay == 3) {
        light.falloff = Falloff::None;
        reach = kMaxLightValue;
    } else if (delay != 0) {
        reporter.Warn(entity.line, "the light's delay " + entity.Value("delay") +
                                       " is not a known fall-off (0 to 3); it falls off linearly");
    }
    light.reference = kFalloffReference / wait;
    light.radius = std::min(reach / wait, kMaxLightValue);
}

double AngleScaleOf(const EditorEntity& entity, double otherwise) {
    double scale = otherwise;
    return Numbers(entity.Value("_anglescale"), &scale, 1) ? std::clamp(scale, 0.0, 1.0) : otherwise;
}

void AddPointLights(const EditorMap& editor, const std::set<const EditorEntity*>& omitted,
                    const EditorTransform& transform, Map& map, KeysNotHonoured& notHonoured, Reporter& reporter) {
    const double angleScale = AngleScaleOf(World(editor), kDefaultAngleScale);
    // The world's "_range" scales every light's brightness, not its reach.
    double range = kDefaultRange;
    if (!Numbers(World(editor).Value("_range"), &range, 1) || range <= 0) range = kDefaultRange;
    for (const EditorEntity& entity : editor.entities) {
        const std::string classname = Lower(entity.Value("classname"));
        if ((classname != "light" && classname.rfind("light_", 0) != 0) || omitted.count(&entity)) continue;
        NotHonoured(entity, false, notHonoured);
        const std::string subject = "the " + classname;
        double origin[3];
        if (!Numbers(entity.Value("origin"), origin, 3)) {
            reporter.Warn(entity.line, subject + " has no usable origin; left out");
            continue;
        }
        MapLight light;
        light.line = entity.line;
        light.position = transform.ToMap({origin[0], origin[1], origin[2]});
        double value = kDefaultLightValue;
        // "light" VALUE, or "_light" as VALUE or R G B VALUE (colour 0..255).
        const std::vector<double> numbers = AllNumbers(entity.Value(entity.Has("light") ? "light" : "_light"));
        if (numbers.size() == 1) value = numbers[0];
        if (numbers.size() >= 4) {
            light.colour = Vec3{numbers[0], numbers[1], numbers[2]} * (1 / 255.0);
            value = numbers[3];
        }
        ColourOf(entity.Value(entity.Has("_color") ? "_color" : "color"), light.colour);
        light.colour = {std::min(light.colour.x, 1.0), std::min(light.colour.y, 1.0), std::min(light.colour.z, 1.0)};
        if (light.colour.x < 0 || light.colour.y < 0 || light.colour.z < 0 || value <= 0) {
            reporter.Warn(entity.line, subject + " gives no light (its value or colour is not positive); left out");
            continue;
        }
        value = std::min(value, kMaxLightValue);
        light.intensity = value / kLightValueScale * (range / kDefaultRange);
        SetFalloff(entity, value, light, reporter);
        light.angleScale = AngleScaleOf(entity, angleScale);
        SpotAxis(editor, entity, {origin[0], origin[1], origin[2]}, transform, light);
        if (!WithinReach(light.position)) {
            reporter.Warn(entity.line, subject + " lies too far from the player start; left out");
            continue;
        }
        map.lights.push_back(light);
    }
}

// A brightness key on the 0..255 scale times its colour key.
Vec3 Brightness(const EditorEntity& world, const std::string& key, const std::string& colourKey) {
    double value = 0;
    if (!Numbers(world.Value(key), &value, 1) || value <= 0) return {};
    Vec3 colour{1, 1, 1};
    ColourOf(world.Value(colourKey), colour);
    return colour * (std::min(value, kMaxLightValue) / kLightValueScale);
}

// The world's light: the sky's sun and dome, ambient occlusion on or off
// ("_dirt"), and the ambient light, a floor under the rest when the world
// asks for one ("_minlight" or "light"); else a faint one added beside
// lights, and an even one for a map without any (so that the level is not
// black). Called once the brushes and lights are in.
void SetWorldLight(const EditorMap& editor, const EditorTransform& transform, Map& map, KeysNotHonoured& notHonoured,
                   Reporter& reporter) {
    const EditorEntity& world = World(editor);
    NotHonoured(world, true, notHonoured);
    map.sky.sun = Brightness(world, "_sunlight", "_sunlight_color");
    map.sky.dome = Brightness(world, "_sunlight2", "_sunlight2_color");
    map.sky.angleScale = AngleScaleOf(world, kDefaultAngleScale);
    // The mangle gives the way the sunlight travels, straight down unless given.
    Vec3 travel{0, -1, 0};
    if (!MangleDirection(world.Value(world.Has("_sun_mangle") ? "_sun_mangle" : "_sunlight_mangle"), transform, travel))
        travel = {0, -1, 0};
    map.sky.towardSun = travel * -1;
    const bool sunlit = Length(map.sky.sun) > 0 || Length(map.sky.dome) > 0;
    const bool sky = std::any_of(map.brushes.begin(), map.brushes.end(), [](const MapBrush& brush) {
        return std::any_of(brush.faces.begin(), brush.faces.end(), [](const MapFace& f) { return f.texture.sky; });
    });
    if (sunlit && !sky) {
        reporter.Warn("the map has sunlight but no sky faces (textures named sky...) for it to enter by");
        map.sky.sun = map.sky.dome = {};  // so that nothing says there is any
    }

    double dirt = 1;
    if (Numbers(world.Value("_dirt"), &dirt, 1) && dirt <= 0) map.dirtDistance = 0;

    // The floor takes nothing away: a map with lights keeps its faint
    // ambient light, and only a map with neither lights nor a floor gets the
    // even one.
    double minimum = 0;
    const bool floor = Numbers(world.Value(world.Has("_minlight") ? "_minlight" : "light"), &minimum, 1);
    if (floor) map.minLight = Vec3{1, 1, 1} * (std::clamp(minimum, 0.0, kLightValueScale) / kLightValueScale);
    if (!map.lights.empty() || (sunlit && sky)) {
        map.ambient = {kDefaultAmbient, kDefaultAmbient, kDefaultAmbient};
    } else if (!floor) {
        map.ambient = {kUnlitAmbient, kUnlitAmbient, kUnlitAmbient};
        reporter.Warn("the map has no lights; every surface gets an even light");
    }
}

// The world's keys for how the lightmaps are made: the texel size
// ("_lightmap_scale"), the bounce ("_bounce" 0 turns it off, "_bouncescale"
// scales the share passed on, up to all of it) and the gamma ("_gamma").
void SetLightmapKeys(const EditorEntity& world, Map& map) {
    if (const double scale = LightmapScaleOf(world); scale > 0) map.lightmapDensity = scale;
    double value = 0;
    if (Numbers(world.Value("_bounce"), &value, 1) && value <= 0) map.bounce = 0;
    if (Numbers(world.Value("_bouncescale"), &value, 1) && value >= 0) map.bounce = std::min(map.bounce * value, 1.0);
    if (Numbers(world.Value("_gamma"), &value, 1) && value > 0) map.gamma = value;
}

}  // namespace

double LightmapScaleOf(const EditorEntity& entity) {
    double scale = 0;
    if (!Numbers(entity.Value("_lightmap_scale"), &scale, 1) || !(scale > 0)) return 0;
    return std::clamp(scale, kFinestTexel, kMaxLightmapDensity);
}

void AddLights(const EditorMap& editor, const std::set<const EditorEntity*>& omitted, const EditorTransform& transform,
               Map& map, Reporter& reporter) {
    KeysNotHonoured notHonoured;
    AddPointLights(editor, omitted, transform, map, notHonoured, reporter);
    SetWorldLight(editor, transform, map, notHonoured, reporter);
    SetLightmapKeys(World(editor), map);
    if (!notHonoured.empty())
        reporter.Warn("light keys the compiler does not honour, left without effect: " + NotHonouredList(notHonoured));
}

}  // namespace orvcompile
