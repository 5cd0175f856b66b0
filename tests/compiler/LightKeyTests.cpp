// The light keys of the editors' maps, checked texel by texel: every floor
// texel of a small compiled room against the value the keys give at its
// sample point, worked out here from what each key means.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <functional>
#include <numbers>
#include <optional>

#include "support/files/CompileHelpers.h"

using namespace orvcompile;

namespace {

// The room: the floor's top at z = 0, the ceiling's underside at z = 256,
// the inside from −512 to 512 on x and y, a light value 1 being 1 of 255.
constexpr int kHalf = 512, kHeight = 256;

double Degrees(double radians) { return radians * 180 / std::numbers::pi; }

// The room's map with the world's KEYS, a ceiling of CEILING, further world
// BRUSHES, then the ENTITIES (lights).
std::string Room(const std::string& keys, const std::string& ceiling, const std::string& brushes,
                 const std::string& entities) {
    const int w = kHalf + 16;
    return "{\n\"classname\" \"worldspawn\"\n" + keys + Box(-w, -w, -16, w, w, 0, "floor0") +
           Box(-w, -w, kHeight, w, w, kHeight + 16, ceiling) + Box(-w, -w, 0, -kHalf, w, kHeight) +
           Box(kHalf, -w, 0, w, w, kHeight) + Box(-kHalf, -w, 0, kHalf, -kHalf, kHeight) +
           Box(-kHalf, kHalf, 0, kHalf, w, kHeight) + brushes +
           "}\n{\n\"classname\" \"info_player_start\"\n\"origin\" \"-400 -400 24\"\n}\n" + entities;
}

// What the keys give at a floor point (editor space), on the 0..255 scale;
// none where the point lies too near an edge of light to say.
using Expected = std::function<std::optional<double>(Vec3)>;

// Compiles MAP with no bounce, ambient light or occlusion, so that a texel
// holds only what the keys give, and compares each lit floor texel a texel or
// more from the walls with EXPECTED at its sample point (the texel's centre,
// lifted off the floor as the compiler lifts it), to within rounding. Returns
// the expected values compared.
std::vector<double> CompareFloor(const std::string& map, const Expected& expected) {
    EditorMap editor;
    ImportedMap imported;
    Reporter reporter("lights.map");
    if (!ImportEditorText(map, kEditorUnitsPerUnit, editor, imported, reporter)) {
        ADD_FAILURE() << reporter.Error();
        return {};
    }
    imported.map.bounce = 0;
    imported.map.dirtDistance = 0;
    imported.map.ambient = {};
    imported.map.minLight = {};
    const Compiled compiled = CompileMap(imported.map);
    EXPECT_EQ(compiled.error, "");
    const Lightmaps& lightmaps = compiled.level.lightmaps;
    std::vector<double> compared;
    for (const Chart& chart : lightmaps.charts) {
        const Plane& plane = compiled.level.brushes.planes[chart.plane];
        if (plane.normal.y < 0.99) continue;
        const Picture& page = lightmaps.pages[static_cast<std::size_t>(chart.page)];
        for (int j = 0; j < chart.height; ++j)
            for (int i = 0; i < chart.width; ++i) {
                const std::size_t at = static_cast<std::size_t>((chart.y + j) * lightmaps.pageSize + chart.x + i);
                if (lightmaps.texels[static_cast<std::size_t>(chart.page)][at] != Texel::Lit) continue;
                const Vec3 sample = imported.transform.ToEditor(
                    chart.Point(chart.sMin + i + 0.5, chart.tMin + j + 0.5, plane) + plane.normal * 0.1);
                const double margin = kHalf - 2 * imported.map.lightmapDensity;
                if (std::fabs(sample.z - 0.1) > 1e-6 || std::fabs(sample.x) > margin || std::fabs(sample.y) > margin)
                    continue;
                const std::optional<double> value = expected(sample);
                if (!value) continue;
                const double clamped = std::clamp(*value, 0.0, 255.0);
                EXPECT_NEAR(page.rgb[at * 3], clamped, 0.6) << "at " << sample.x << " " << sample.y;
                compared.push_back(clamped);
            }
    }
    return compared;
}

// A light entity at AT with KEYS.
std::string Light(Vec3 at, const std::string& keys) {
    return "{\n\"classname\" \"light\"\n\"origin\" \"" + std::to_string(at.x) + " " + std::to_string(at.y) + " " +
           std::to_string(at.z) + "\"\n" + keys + "}\n";
}

// A light's value at floor point P below it, before its cone: VALUE × the
// fall-off at P's distance × the angle's shade (the default angle scale,
// 0.5: half the light is independent of the angle of incidence).
double PointLight(Vec3 light, Vec3 p, double value, const std::function<double(double)>& falloff) {
    const double d = Length(light - p);
    return value * falloff(d) * (0.5 + 0.5 * (light.z - p.z) / d);
}

// The linear fall-off of "delay" 0: the light's value in units, to 0.
std::function<double(double)> Linear(double value) {
    return [value](double d) { return d < value ? 1 - d / value : 0; };
}

int Count(const std::vector<double>& values, const std::function<bool(double)>& which) {
    return static_cast<int>(std::count_if(values.begin(), values.end(), which));
}

// "_cone" is the cone's full angle across, "mangle" its axis (yaw, pitch with
// up positive); inside the cone the light is whole, outside there is none.
TEST(EditorLightKeys, AMangleSpotlightLightsItsConeOnly) {
    const Vec3 light{40, -30, 200};
    const std::vector<double> values = CompareFloor(
        Room("", "ceiling0", "", Light(light, "\"light\" \"300\"\n\"mangle\" \"0 -90 0\"\n\"_cone\" \"50\"\n")),
        [&](Vec3 p) -> std::optional<double> {
            const double off = Degrees(std::acos((light.z - p.z) / Length(light - p)));
            if (std::fabs(off - 25) < 0.2) return std::nullopt;
            return off < 25 ? PointLight(light, p, 300, Linear(300)) : 0;
        });
    EXPECT_GT(Count(values, [](double v) { return v > 20; }), 40) << "texels inside the cone";
    EXPECT_GT(Count(values, [](double v) { return v == 0; }), 400) << "texels outside it";
}

// A spotlight aimed at the entity its "target" names, with a soft edge:
// whole within "_softangle" across, none beyond "_cone", between them graded
// by the cosine of the angle off the axis.
TEST(EditorLightKeys, ATargetSpotlightsSoftEdgeIsGraded) {
    const Vec3 light{-60, 20, 220}, target{60, 80, 0};
    const Vec3 axis = Normalised(target - light);
    const double inner = std::cos(15 * std::numbers::pi / 180), outer = std::cos(30 * std::numbers::pi / 180);
    int whole = 0, graded = 0, none = 0;
    CompareFloor(
        Room("", "ceiling0", "",
             Light(light, "\"light\" \"450\"\n\"target\" \"there\"\n\"_cone\" \"60\"\n\"_softangle\" \"30\"\n") +
                 "{\n\"classname\" \"info_null\"\n\"targetname\" \"there\"\n\"origin\" \"60 80 0\"\n}\n"),
        [&](Vec3 p) -> std::optional<double> {
            const double c = Dot(axis, Normalised(p - light));
            const double share = std::clamp((c - outer) / (inner - outer), 0.0, 1.0);
            ++(share == 1 ? whole : share == 0 ? none : graded);
            return PointLight(light, p, 450, Linear(450)) * share;
        });
    EXPECT_GT(whole, 20);
    EXPECT_GT(graded, 20) << "texels of the soft edge";
    EXPECT_GT(none, 400);
}

// "delay" 1 falls off inversely with the distance, whole at 128 units and
// reaching 128 times its value; "delay" 0 linearly to its value in units.
TEST(EditorLightKeys, DelayOneFallsOffInverselyAndDelayZeroLinearly) {
    const Vec3 light{30, 10, 100};
    const std::vector<double> inverse = CompareFloor(
        Room("", "ceiling0", "", Light(light, "\"light\" \"100\"\n\"delay\" \"1\"\n")),
        [&](Vec3 p) { return std::optional(PointLight(light, p, 100, [](double d) { return 128 / d; })); });
    EXPECT_EQ(Count(inverse, [](double v) { return v < 5; }), 0) << "the inverse light reaches every corner";
    EXPECT_GT(Count(inverse, [](double v) { return v > 100; }), 10);
    const std::vector<double> linear =
        CompareFloor(Room("", "ceiling0", "", Light(light, "\"light\" \"300\"\n\"delay\" \"0\"\n")),
                     [&](Vec3 p) { return std::optional(PointLight(light, p, 300, Linear(300))); });
    EXPECT_GT(Count(linear, [](double v) { return v == 0; }), 400) << "beyond the linear light's reach";
    EXPECT_GT(Count(linear, [](double v) { return v > 50; }), 50);
}

// Sunlight comes through the sky faces: a floor point is lit by the sun where
// the way toward the sun ("_sun_mangle" is the way its light travels) meets
// the sky ceiling before a wall or the block hanging in the room, whatever
// leaves of the tree it crosses on the way.
TEST(EditorLightKeys, SunlightReachesEveryPointThatSeesTheSky) {
    const double yaw = 30 * std::numbers::pi / 180, pitch = -50 * std::numbers::pi / 180;
    const Vec3 toward = Vec3{std::cos(yaw) * std::cos(pitch), std::sin(yaw) * std::cos(pitch), std::sin(pitch)} * -1;
    const Vec3 lo{-120, -80, 60}, hi{40, 100, 140};  // the block
    auto seesSky = [&](Vec3 p) {
        const double reach = (kHeight - p.z) / toward.z;
        const Vec3 sky = p + toward * reach;
        if (std::fabs(sky.x) >= kHalf || std::fabs(sky.y) >= kHalf) return false;
        double enter = 0, leave = reach;  // where the ray is within the block's slabs
        for (int k = 0; k < 3; ++k) {
            const double from = k == 0   ? p.x
                                : k == 1 ? p.y
                                         : p.z,
                         way = k == 0   ? toward.x
                               : k == 1 ? toward.y
                                        : toward.z;
            const double a = ((k == 0 ? lo.x : k == 1 ? lo.y : lo.z) - from) / way;
            const double b = ((k == 0 ? hi.x : k == 1 ? hi.y : hi.z) - from) / way;
            enter = std::max(enter, std::min(a, b));
            leave = std::min(leave, std::max(a, b));
        }
        return enter >= leave;
    };
    const std::vector<double> values =
        CompareFloor(Room("\"_sunlight\" \"200\"\n\"_sun_mangle\" \"30 -50 0\"\n", "sky1",
                          Box(static_cast<int>(lo.x), static_cast<int>(lo.y), static_cast<int>(lo.z),
                              static_cast<int>(hi.x), static_cast<int>(hi.y), static_cast<int>(hi.z)),
                          ""),
                     [&](Vec3 p) -> std::optional<double> {
                         const bool sees = seesSky(p);
                         for (Vec3 nudge : {Vec3{1, 0, 0}, Vec3{-1, 0, 0}, Vec3{0, 1, 0}, Vec3{0, -1, 0}})
                             if (seesSky(p + nudge) != sees) return std::nullopt;
                         return sees ? 200 * (0.5 + 0.5 * toward.z) : 0;
                     });
    EXPECT_GT(Count(values, [](double v) { return v == 0; }), 30) << "texels in the block's shadow or the walls'";
    EXPECT_GT(Count(values, [](double v) { return v > 0; }), 400) << "sunlit texels";
}

}  // namespace
