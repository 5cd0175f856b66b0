// Maps saved by the level editors: reading them, turning them into the
// compiler's maps, and the levels compiled from them.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <fstream>
#include <numbers>
#include <optional>
#include <set>
#include <sstream>

#include "compiler/editor/BuildLevel.h"
#include "compiler/editor/EditorImport.h"
#include "compiler/editor/EditorMap.h"
#include "support/files/CompileHelpers.h"

using namespace orvcompile;

namespace {

std::string MapText(const std::string& name) {
    std::ifstream in(ORV_SOURCE_DIR "/tests/compiler/maps/" + name);
    std::ostringstream text;
    text << in.rdbuf();
    return text.str();
}

std::string ReadError(const std::string& text) {
    EditorMap map;
    Reporter reporter("bad.map");
    EXPECT_FALSE(ReadEditorMap(text, map, reporter));
    return reporter.Error();
}

bool Contains(const std::vector<std::string>& lines, const std::string& part) {
    for (const std::string& line : lines)
        if (line.find(part) != std::string::npos) return true;
    return false;
}

// An editor map compiled as orvtool compiles it; every texture is 64 × 32.
struct EditorCompiled {
    EditorMap editor;
    ImportedMap imported;
    CompiledLevel level;
    ReadLevel read;
    std::vector<std::string> warnings;
    std::string error;
};

// The steps up to the compiled level; false when one refuses the map.
bool CompileEditorMap(const std::string& text, double scale, EditorCompiled& result, Reporter& reporter) {
    return ImportEditorText(text, scale, result.editor, result.imported, reporter) &&
           Compile(result.imported.map, {}, result.level, reporter);
}

EditorCompiled CompileEditorMap(const std::string& text, const std::string& fileName = "m.map",
                                double scale = kEditorUnitsPerUnit) {
    EditorCompiled result;
    Reporter reporter(fileName);
    if (CompileEditorMap(text, scale, result, reporter))
        result.read = ReadLevel::Parse(result.level.levelText, result.error);
    else
        result.error = reporter.Error();
    result.warnings = reporter.Warnings();
    return result;
}

// Texture coordinates that differ by whole repeats show the same spot.
void ExpectSameSpot(double coordinate, double expected) {
    const double d = coordinate - expected;
    EXPECT_NEAR(d, std::round(d), 1e-4) << coordinate << " against " << expected;
}

Vector AsVector(Vec3 p) { return {static_cast<float>(p.x), static_cast<float>(p.y), static_cast<float>(p.z)}; }

Vec3 LevelPoint(const EditorCompiled& c, Vec3 editorPoint) {
    return c.imported.transform.ToMap(editorPoint) * c.imported.map.levelScale;
}

Vec3 EditorPoint(const EditorCompiled& c, Vector levelPoint) {
    return c.imported.transform.ToEditor(Vec3{levelPoint.x, levelPoint.y, levelPoint.z} *
                                         (1 / c.imported.map.levelScale));
}

// A level point as the engine asks it, given in editor coordinates.
bool SolidAtEditorPoint(const EditorCompiled& c, Vec3 editorPoint) {
    return c.read.IsPointSolid(AsVector(LevelPoint(c, editorPoint)));
}

TEST(EditorMap, ReadsBothTextureFormsAndLeavesOutBlocksItCannotUse) {
    EditorMap map;
    Reporter reporter("one-room.map");
    ASSERT_TRUE(ReadEditorMap(MapText("one-room.map"), map, reporter)) << reporter.Error();
    ASSERT_EQ(map.entities.size(), 3u);
    EXPECT_EQ(map.entities[0].Value("wad"), "C:\\quake\\id1\\");  // a backslash before the closing quote
    ASSERT_EQ(map.entities[0].brushes.size(), 7u);
    const EditorFace& standard = map.entities[0].brushes[0].faces[0];
    EXPECT_FALSE(standard.valve);
    EXPECT_EQ(standard.texture, "floor0");
    EXPECT_EQ(standard.points[1].y, -143);
    EXPECT_EQ(map.entities[0].brushes[4].faces[0].texture, "*lava");
    const EditorFace& primitive = map.entities[0].brushes[6].faces[0];
    EXPECT_TRUE(primitive.primitive);
    EXPECT_EQ(primitive.matrix[1][1], 0.015625);
    EXPECT_EQ(primitive.texture, "base/crate");
    EXPECT_EQ(reporter.Warnings(),
              (std::vector<std::string>{
                  "one-room.map: left out 1 'brushDef3' block (only brushes of face planes are read)",
                  "one-room.map: left out 1 'patchDef2' block (only brushes of face planes are read)"}));

    Reporter valveReporter("v.map");
    ASSERT_TRUE(
        ReadEditorMap("Version 2\n{ \"message\" \"say \\\"hi\\\"\" { ( 1 2 3 ) ( 4 5 6 ) ( 7 8 9 ) {grate "
                      "[ 1 0 0 16 ] [ 0 -1 0 8 ] 45 0.5 2 } }",
                      map, valveReporter))
        << valveReporter.Error();
    EXPECT_EQ(map.entities[0].Value("message"), "say \"hi\"");
    const EditorFace& valve = map.entities[0].brushes[0].faces[0];
    EXPECT_TRUE(valve.valve);
    EXPECT_EQ(valve.texture, "{grate");
    EXPECT_EQ(valve.vAxis.y, -1);
    EXPECT_EQ(valve.offset[0], 16);
    EXPECT_EQ(valve.scale[1], 2);

    EXPECT_TRUE(LooksLikeEditorMap("// comment\n\n  {"));
    EXPECT_TRUE(LooksLikeEditorMap("Version 2\n"));
    EXPECT_TRUE(LooksLikeEditorMap("\xEF\xBB\xBF{"));
    EXPECT_FALSE(LooksLikeEditorMap(SampleMap()));
}

TEST(EditorMap, RefusesTextThatIsNoMapWithFileAndLine) {
    EXPECT_EQ(ReadError("junk"), "bad.map:1: expected '{' to open an entity, not 'junk'");
    EXPECT_EQ(ReadError("{\n\"classname\"\n}"), "bad.map:3: the key \"classname\" has no quoted value");
    EXPECT_EQ(ReadError("{\n\"a\" \"b\"\n"), "bad.map:3: the entity that starts at line 1 has no closing '}'");
    EXPECT_EQ(ReadError("{\n{\n( 0 0 0 ) ( 1 0 0 ) ( 0 1 0 ) tex 0 0 0 1\n}\n}"), "bad.map:4: '}' is not a number");
    EXPECT_EQ(ReadError("{\n{\n( 0 0 0 ) ( 1 0 0 ) ( 0 1 x ) tex 0 0 0 1 1\n}\n}"), "bad.map:3: 'x' is not a number");
    EXPECT_EQ(ReadError("{\n{\n( 0 0 0 ) ( 1 0 0 ) ( 0 1 0 )\n}\n}"), "bad.map:4: a face has no texture name");
    EXPECT_EQ(ReadError("{\n{\n( 0 0 0 ) ( 1 0 0 ) ( 0 1 0 ) t 0 0 0 1 1 1e999\n}\n}"),
              "bad.map:3: '1e999' is not a number");
    EXPECT_EQ(ReadError("{\n{\npatchDef2\n{\n"), "bad.map:5: a 'patchDef2' block has no closing '}'");
}

TEST(EditorImport, TwoRoomsBecomeALevelWithTheStartOnTheFloor) {
    // A group within a group in the omitted layer, with a brush and a light.
    const std::string nested =
        "{\n\"classname\" \"func_group\"\n\"_tb_type\" \"_tb_group\"\n\"_tb_id\" \"7\"\n"
        "\"_tb_layer\" \"2\"\n}\n{\n\"classname\" \"func_group\"\n\"_tb_type\" \"_tb_group\"\n"
        "\"_tb_id\" \"8\"\n\"_tb_group\" \"7\"\n" +
        Box(0, -8, 0, 16, 8, 200) + "}\n{\n\"classname\" \"light\"\n\"origin\" \"0 0 100\"\n\"_tb_group\" \"8\"\n}\n";
    // Brush entities that stand still are kept and drawn; func_illusionary's
    // are not solid.
    const std::string still = "{\n\"classname\" \"func_wall\"\n" + Box(40, -100, 0, 56, -84, 64, "base/wall") +
                              "}\n{\n\"classname\" \"func_illusionary\"\n" + Box(40, 84, 0, 56, 100, 64, "base/wall") +
                              "}\n";
    const EditorCompiled c = CompileEditorMap(MapText("two-rooms.map") + nested + still, "two-rooms.map");
    ASSERT_EQ(c.error, "");
    EXPECT_TRUE(SolidAtEditorPoint(c, {48, -92, 32}));
    EXPECT_FALSE(SolidAtEditorPoint(c, {48, 92, 32}));
    int stillFaces = 0;
    for (const ReadPolygon* polygon : c.read.AllPolygons()) {
        const Vec3 e = EditorPoint(c, polygon->v[0].position);
        stillFaces += e.x > 39.9 && e.x < 56.1 && std::fabs(std::fabs(e.y) - 92) < 8.1 && e.z < 64.1;
    }
    EXPECT_GE(stillFaces, 2 * 5) << "the sides and tops of both";
    EXPECT_TRUE(Contains(c.warnings, "left out 1 brush entity 'func_door'")) << c.warnings.size();
    EXPECT_TRUE(Contains(c.warnings, "left out 1 tool brush"));
    EXPECT_TRUE(Contains(c.warnings, "left out 2 brushes and 1 light of layers marked to be left out of the build"));

    // The eye 60 units above the floor under the start comes to (0, 5, 0),
    // and the start's angle 0 (east) to the engine's view along +z.
    const EditorTransform& t = c.imported.transform;
    const Vec3 eye = LevelPoint(c, {-64, 0, 60});
    EXPECT_NEAR(eye.x, 0, 1e-9);
    EXPECT_NEAR(eye.y, 5, 1e-9);
    EXPECT_NEAR(eye.z, 0, 1e-9);
    const Vec3 east = LevelPoint(c, {-52, 0, 0});
    EXPECT_NEAR(east.z, 1, 1e-9);
    const Vec3 back = t.ToEditor(t.ToMap({12.5, -7, 3}));
    EXPECT_NEAR(back.x, 12.5, 1e-9);
    EXPECT_NEAR(back.y, -7, 1e-9);
    EXPECT_NEAR(back.z, 3, 1e-9);

    EXPECT_FALSE(c.read.IsPointSolid({0, 5, 0}));
    EXPECT_TRUE(c.read.IsPointSolid({0, -0.1f, 0}));
    EXPECT_FALSE(SolidAtEditorPoint(c, {136, 0, 48}));      // the doorway
    EXPECT_TRUE(SolidAtEditorPoint(c, {136, -64, 48}));     // the wall beside it
    EXPECT_TRUE(SolidAtEditorPoint(c, {136, 0, 120}));      // the lintel
    EXPECT_FALSE(SolidAtEditorPoint(c, {8, 0, 32}));        // the clip brush, left out
    EXPECT_FALSE(SolidAtEditorPoint(c, {-112, -112, 48}));  // the door, left out
    EXPECT_TRUE(SolidAtEditorPoint(c, {-16, 80, 48}));      // the grouped pillar
    EXPECT_TRUE(SolidAtEditorPoint(c, {390, 0, 60}));       // the top step

    // Valve axes: the floor's u runs along editor x, v along −y, a texture 64 × 32.
    std::set<std::string> names;
    int floors = 0;
    for (const ReadPolygon* polygon : c.read.AllPolygons()) {
        names.insert(polygon->textureName);
        if (polygon->textureName != "base/floor") continue;
        ++floors;
        for (const ReadVertex& v : polygon->v) {
            const Vec3 e = EditorPoint(c, v.position);
            ExpectSameSpot(v.texture[0], e.x / 64);
            ExpectSameSpot(v.texture[1], -e.y / 32);
        }
    }
    EXPECT_GT(floors, 0);
    EXPECT_EQ(names, (std::set<std::string>{"base/ceiling", "base/floor", "base/lintel", "base/pillar", "base/wall",
                                            "stairs/step"}));

    ASSERT_EQ(c.level.lights.size(), 2u);
    EXPECT_NEAR(c.level.lights[0].intensity, 250 / 255.0, 1e-12);
    EXPECT_NEAR(c.level.lights[0].radius, 250 / 12.0, 1e-12);
    EXPECT_NEAR(c.level.lights[1].colour.y, 200 / 255.0, 1e-12);
    EXPECT_NEAR(c.level.lights[1].intensity, 300 / 255.0, 1e-12);
}

TEST(EditorImport, StandardFormAndAFallbackStart) {
    const EditorCompiled c = CompileEditorMap(MapText("one-room.map"));
    ASSERT_EQ(c.error, "");
    EXPECT_TRUE(Contains(c.warnings,
                         "m.map: the map has no info_player_start; the player starts at the "
                         "info_player_deathmatch of line"));
    // Angle 90 (north) is the engine's own view: no turn.
    EXPECT_EQ(c.imported.transform.cosine, 1);
    EXPECT_EQ(c.imported.transform.sine, 0);
    EXPECT_FALSE(c.read.IsPointSolid({0, 5, 0}));
    EXPECT_TRUE(c.read.IsPointSolid({0, -0.1f, 0}));
    EXPECT_TRUE(SolidAtEditorPoint(c, {0, -136, 48}));  // the lava brush is a wall
    EXPECT_TRUE(
        Contains(c.warnings, "m.map: the map has 1 liquid brush: the engine has no liquids, so they are solid"));
    EXPECT_TRUE(SolidAtEditorPoint(c, {80, 80, 16}));  // the crate, a brush primitive

    // The crate's top: the primitive's axes for an upward face are editor y and
    // x, its matrix 1/64 on each.
    int tops = 0;
    for (const ReadPolygon* polygon : c.read.AllPolygons()) {
        if (polygon->textureName != "base/crate" || polygon->normal.y < 0.99f) continue;
        ++tops;
        for (const ReadVertex& v : polygon->v) {
            const Vec3 e = EditorPoint(c, v.position);
            ExpectSameSpot(v.texture[0], e.y / 64);
            ExpectSameSpot(v.texture[1], e.x / 64);
        }
    }
    EXPECT_GT(tops, 0);

    // The standard form on a wall facing −x: u along editor y, v along −z.
    int walls = 0;
    for (const ReadPolygon* polygon : c.read.AllPolygons()) {
        if (polygon->textureName != "wall0" || polygon->normal.x < 0.99f) continue;
        ++walls;
        for (const ReadVertex& v : polygon->v) {
            const Vec3 e = EditorPoint(c, v.position);
            ExpectSameSpot(v.texture[0], e.y / 64);
            ExpectSameSpot(v.texture[1], -e.z / 32);
        }
    }
    EXPECT_GT(walls, 0);
    ASSERT_EQ(c.level.lights.size(), 1u);
    EXPECT_NEAR(c.level.lights[0].colour.y, 128 / 255.0, 1e-12);
    EXPECT_NEAR(c.level.lights[0].radius, 200 / 0.5 / 12, 1e-12);  // "wait" 0.5 doubles the reach
}

// The mean of the lit texels of the level's floors (faces looking up).
double FloorLight(const EditorCompiled& c) {
    const Lightmaps& lightmaps = c.level.lightmaps;
    double sum = 0;
    int count = 0;
    for (const Chart& chart : lightmaps.charts) {
        if (c.level.brushes.planes[chart.plane].normal.y < 0.99) continue;
        const Picture& page = lightmaps.pages[static_cast<std::size_t>(chart.page)];
        for (int j = 0; j < chart.height; ++j)
            for (int i = 0; i < chart.width; ++i) {
                const std::size_t at = static_cast<std::size_t>((chart.y + j) * lightmaps.pageSize + chart.x + i);
                if (lightmaps.texels[static_cast<std::size_t>(chart.page)][at] != Texel::Lit) continue;
                sum += page.rgb[at * 3] + page.rgb[at * 3 + 1] + page.rgb[at * 3 + 2];
                ++count;
            }
    }
    return count > 0 ? sum / count : 0;
}

TEST(EditorImport, SunlightEntersThroughTheSkyAndUnknownLightKeysAreNamed) {
    // one-room.map with its light gone and the world lit by the sun and the
    // sky dome only, through a ceiling of sky.
    std::string text = MapText("one-room.map");
    text.erase(text.rfind("{\n\"classname\" \"light\""));
    text.replace(text.find("\"wad\""), 0,
                 "\"_sunlight\" \"200\"\n\"_sun_mangle\" \"30 -60 0\"\n\"_sunlight2\" \"60\"\n"
                 "\"_sunlight3\" \"10\"\n\"_dirt\" \"-1\"\n");
    const std::string closed = text;
    for (std::size_t at; (at = text.find("ceiling0")) != std::string::npos;) text.replace(at, 8, "sky1");
    const EditorCompiled sunlit = CompileEditorMap(text +
                                                   "{\n\"classname\" \"light\"\n\"origin\" \"0 0 900\"\n"
                                                   "\"style\" \"2\"\n\"delay\" \"2\"\n}\n");
    ASSERT_EQ(sunlit.error, "");
    const auto lightLine = std::count(text.begin(), text.end(), '\n') + 1;
    EXPECT_TRUE(Contains(sunlit.warnings,
                         "light keys the compiler does not honour, left without effect: style (light "
                         "of line " +
                             std::to_string(lightLine) + "), _sunlight3 (worldspawn of line 5)"))
        << testing::PrintToString(sunlit.warnings);
    EXPECT_EQ(sunlit.imported.map.dirtDistance, 0);
    EXPECT_EQ(sunlit.imported.map.lights[0].falloff, Falloff::InverseSquare);
    const EditorCompiled dark = CompileEditorMap(closed);
    ASSERT_EQ(dark.error, "");
    EXPECT_TRUE(Contains(dark.warnings, "the map has sunlight but no sky faces"));
    EXPECT_GT(FloorLight(sunlit), 3 * 120);  // the ambient light gives 3 × 20

    // The sky is drawn full bright, with the blank lightmap, its picture
    // stretched once over the ceiling brush's face (288 units across, of
    // which the 256 between the walls show).
    double lo[2] = {1e9, 1e9}, hi[2] = {-1e9, -1e9};
    for (const ReadPolygon* polygon : sunlit.read.AllPolygons()) {
        if (polygon->textureName != "sky1") continue;
        EXPECT_EQ(polygon->lightmapName, "lmblank");
        for (const ReadVertex& v : polygon->v)
            for (int k = 0; k < 2; ++k)
                lo[k] = std::min(lo[k], double(v.texture[k])), hi[k] = std::max(hi[k], double(v.texture[k]));
    }
    for (int k = 0; k < 2; ++k) {
        EXPECT_NEAR(lo[k], 16 / 288.0, 1e-5);
        EXPECT_NEAR(hi[k], 272 / 288.0, 1e-5);
    }
}

TEST(EditorImport, ALeakNamesTheWayOutInEditorCoordinatesAndAsAPointFile) {
    std::string text = MapText("one-room.map");
    const std::size_t ceiling = text.rfind('{', text.find("ceiling0"));
    text.erase(ceiling, text.find('}', ceiling) + 1 - ceiling);
    const EditorCompiled c = CompileEditorMap(text);
    ASSERT_NE(c.error, "");
    ASSERT_GE(c.level.leakPath.size(), 2u);
    const std::string message = LeakMessage(c.imported, c.level.leakPath);
    EXPECT_EQ(message.rfind("leak: the map is not sealed; the way out from the info_player_deathmatch of line 79 (its "
                            "eye at (0 0 60)) leaves the brushes at (",
                            0),
              0u)
        << message;
    const std::string points = PointFileText(c.imported, c.level.leakPath);
    EXPECT_EQ(points.rfind("0.000 0.000 60.000\n", 0), 0u) << points;
    EXPECT_EQ(std::count(points.begin(), points.end(), '\n'), static_cast<long>(c.level.leakPath.size()));
}

// A room 256 wide and high inside, walls 16 thick; `open` leaves out one wall
// (0 -x, 1 +x, 2 -y, 3 +y, 4 -z, 5 +z), `gap` cuts a slit one unit wide through
// the +y wall. When `furnished`, the start stands on a block in the middle and
// a wedge and a many-sided brush with a sloping top stand beside it.
std::string Room(int open = -1, bool gap = false, bool furnished = true) {
    std::string world = "{\n\"classname\" \"worldspawn\"\n";
    const int walls[6][6] = {{-144, -144, -16, -128, 144, 272}, {128, -144, -16, 144, 144, 272},
                             {-144, -144, -16, 144, -128, 272}, {-144, 128, -16, 144, 144, 272},
                             {-144, -144, -16, 144, 144, 0},    {-144, -144, 256, 144, 144, 272}};
    for (int i = 0; i < 6; ++i) {
        const int* w = walls[i];
        if (i == open) continue;
        if (i == 3 && gap)
            world += Box(w[0], w[1], w[2], 10, w[4], w[5]) + Box(11, w[1], w[2], w[3], w[4], w[5]);
        else
            world += Box(w[0], w[1], w[2], w[3], w[4], w[5]);
    }
    if (!furnished) return world + "}\n{\n\"classname\" \"info_player_start\"\n\"origin\" \"0 0 40\"\n}\n";
    world += Box(-32, -32, 0, 32, 32, 16);
    // The wedge: three slanted sides, counter-clockwise seen from above.
    const int wedge[3][2] = {{-110, -20}, {-100, -100}, {-37, -113}};
    // Twelve sides about (60, 60), the corners rounded to whole units.
    std::vector<std::pair<int, int>> terrain;
    for (int k = 0; k < 12; ++k)
        terrain.push_back({static_cast<int>(std::lround(60 + 60 * std::cos(k * std::numbers::pi / 6))),
                           static_cast<int>(std::lround(60 + 60 * std::sin(k * std::numbers::pi / 6)))});
    auto prism = [&](const std::vector<std::pair<int, int>>& corners, int cx, int cy) {
        std::ostringstream out;
        out << "{\n";
        for (std::size_t k = 0; k < corners.size(); ++k) {
            const auto [ax, ay] = corners[k];
            const auto [bx, by] = corners[(k + 1) % corners.size()];
            out << "( " << ax << ' ' << ay << " 0 ) ( " << ax << ' ' << ay << " 1 ) ( " << bx << ' ' << by
                << " 0 ) w 0 0 0 1 1\n";
        }
        out << "( 0 0 0 ) ( 1 0 0 ) ( 0 1 0 ) w 0 0 0 1 1\n";
        out << "( " << cx << ' ' << cy << " 40 ) ( " << cx << ' ' << cy + 10 << " 43 ) ( " << cx + 10 << ' ' << cy
            << " 47 ) w 0 0 0 1 1\n}\n";
        return out.str();
    };
    world += prism({{wedge[0][0], wedge[0][1]}, {wedge[1][0], wedge[1][1]}, {wedge[2][0], wedge[2][1]}}, -80, -80);
    world += prism(terrain, 60, 60);
    return world + "}\n{\n\"classname\" \"info_player_start\"\n\"origin\" \"0 0 40\"\n}\n";
}

// The point a leak message names as where the way out leaves the brushes.
Vec3 LeakExit(const std::string& message) {
    Vec3 p{1e9, 1e9, 1e9};
    const std::size_t at = message.find("leaves the brushes at (");
    if (at != std::string::npos)
        std::sscanf(message.c_str() + at, "leaves the brushes at (%lf %lf %lf", &p.x, &p.y, &p.z);
    return p;
}

TEST(EditorImport, TheVerdictAndTheWayOutDoNotChangeWithTheScale) {
    std::optional<Vec3> exit;
    for (double scale : {4.0, 9.0, 12.0, 13.0, 24.0}) {
        SCOPED_TRACE(scale);
        const EditorCompiled sealed = CompileEditorMap(Room(), "m.map", scale);
        EXPECT_EQ(sealed.error, "");
        EXPECT_EQ(sealed.level.brushes.brushes.size(), 9u);     // every brush kept
        EXPECT_FALSE(Contains(sealed.warnings, "; left out"));  // no brush refused
        EXPECT_FALSE(sealed.read.IsPointSolid(AsVector(LevelPoint(sealed, {0, 0, 16 + 5 * scale}))));
        EXPECT_TRUE(SolidAtEditorPoint(sealed, {60, 60, 20}));  // inside the many-sided brush

        const EditorCompiled leaking = CompileEditorMap(Room(-1, true), "m.map", scale);
        ASSERT_NE(leaking.error, "");
        const std::string message = LeakMessage(leaking.imported, leaking.level.leakPath);
        const Vec3 hole = LeakExit(message);
        EXPECT_TRUE(hole.x >= 10 && hole.x <= 11 && hole.y >= 128 && hole.y <= 144) << message;
        if (!exit) exit = hole;
        EXPECT_EQ(hole, *exit);
    }
}

// The engine takes a split plane from its triangle's float corners by the
// cross rule. At any scale, over the whole level, that plane must be the one
// the compiler cut along: else the engine sorts and closes against another.
TEST(EditorImport, TheEngineSplitsWhereTheCompilerCut) {
    // A large room with a block whose slanted top an editor gave by points a
    // few units apart; scaled, the first lands on whole units, the others not.
    std::string world = "{\n\"classname\" \"worldspawn\"\n";
    const int walls[6][6] = {{0, 0, -16, 16, 8000, 272}, {7984, 0, -16, 8000, 8000, 272},
                             {0, 0, -16, 8000, 16, 272}, {0, 7984, -16, 8000, 8000, 272},
                             {0, 0, -16, 8000, 8000, 0}, {0, 0, 256, 8000, 8000, 272}};
    for (const auto& w : walls) world += Box(w[0], w[1], w[2], w[3], w[4], w[5]);
    const std::string block = Box(7000, 7000, 0, 7100, 7100, 64);
    world += block.substr(0, block.rfind("( 7100 7100 64 ) ( 7100 7101 64 )")) +
             "( 6988 6988 156 ) ( 6988 6989 156 ) ( 6992 6988 157 ) w 0 0 0 1 1\n" +
             block.substr(block.rfind("( 7100 7100 64 ) ( 7101 7100 64 )"));
    world += "}\n{\n\"classname\" \"info_player_start\"\n\"origin\" \"7300 7300 40\"\n}\n";
    for (double scale : {12.0, 13.0}) {
        SCOPED_TRACE(scale);
        const EditorCompiled c = CompileEditorMap(world, "m.map", scale);
        ASSERT_EQ(c.error, "");
        std::vector<Vec3> corners;
        for (const ReadNode& node : c.read.nodes)
            for (const ReadPolygon& polygon : node.polygons)
                for (const ReadVertex& v : polygon.v) corners.push_back({v.position.x, v.position.y, v.position.z});
        double worst = 0;
        int slanted = 0;
        // The file holds the tree's nodes in pre-order, front children first.
        std::vector<std::pair<int, int>> pending{{c.read.root, c.level.tree.root}};
        while (!pending.empty()) {
            const auto [read, cut] = pending.back();
            pending.pop_back();
            const ReadNode& node = c.read.nodes[static_cast<std::size_t>(read)];
            if (node.leaf) continue;
            const Node& tree = c.level.tree.nodes[static_cast<std::size_t>(cut)];
            const Plane& exact = c.level.brushes.planes[tree.plane];
            const Vector v0 = node.plane[0], normal = node.normal;
            for (Vec3 p : corners) {
                const double engine = normal.x * (p.x - v0.x) + normal.y * (p.y - v0.y) + normal.z * (p.z - v0.z);
                worst = std::max(worst, std::fabs(engine - Distance(exact, p)));
            }
            if (AxisOf(exact) < 0) ++slanted;
            pending.push_back({node.front, tree.children[0]});
            pending.push_back({node.back, tree.children[1]});
        }
        EXPECT_GT(slanted, 0);
        EXPECT_LT(worst, 1.5e-4) << "level units, in a level some 650 across";
    }
}

TEST(EditorImport, ALeakThroughAnyWallNamesAPointOnThatSide) {
    for (int open = 0; open < 6; ++open) {
        SCOPED_TRACE(open);
        const EditorCompiled c = CompileEditorMap(Room(open));
        ASSERT_GE(c.level.leakPath.size(), 2u) << c.error;
        const std::string message = LeakMessage(c.imported, c.level.leakPath);
        EXPECT_NE(message.find("the way out from the info_player_start of line "), std::string::npos) << message;
        const Vec3 hole = LeakExit(message);
        const double along[6] = {-hole.x, hole.x, -hole.y, hole.y, 128 - hole.z, hole.z - 128};
        EXPECT_GE(along[open], 128) << message;
        EXPECT_NE(PointFileText(c.imported, c.level.leakPath), "");
    }
    // A brush turned inside out ahead of the others is left out; the rest keep their faces.
    std::string inverted = Room();
    inverted.insert(inverted.find("{\n("), Box(40, 40, 16, -40, -40, 0));
    const EditorCompiled kept = CompileEditorMap(inverted);
    EXPECT_EQ(kept.error, "");
    EXPECT_TRUE(Contains(kept.warnings, "; left out"));
    EXPECT_EQ(kept.level.brushes.brushes.size(), 9u);

    // A start above the roof is a leak too, with its way out.
    std::string room = Room();
    room.replace(room.find("\"0 0 40\""), 8, "\"0 0 400\"");
    const EditorCompiled c = CompileEditorMap(room);
    EXPECT_EQ(c.error.rfind("m.map: leak: ", 0), 0u) << c.error;
    ASSERT_EQ(c.level.leakPath.size(), 2u);
    EXPECT_TRUE(LeakMessage(c.imported, c.level.leakPath).ends_with("(its eye at (0 0 332)) lies outside the map"));
}

// The world's keys added to a map's text.
std::string WithWorldKeys(std::string text, const std::string& keys) {
    return text.insert(text.find("\"worldspawn\"\n") + 13, keys);
}

const std::string kLight100 =
    "{\n\"classname\" \"light\"\n\"origin\" \"0 0 200\"\n\"light\" \"100\"\n\"delay\" \"3\"\n}\n";

TEST(EditorImport, TheWorldsLightKeysGiveTheLightAtKnownPoints) {
    // A bare room lit evenly: a light without fall-off, no slant, bounce or
    // darkened corners, so every floor texel is 100 / 255 plus the faint
    // ambient light, 0.08.
    auto floorLight = [](const std::string& keys, const std::string& bounce = "\"_bounce\" \"0\"\n") {
        const EditorCompiled c = CompileEditorMap(
            WithWorldKeys(Room(-1, false, false), "\"_anglescale\" \"0\"\n\"_dirt\" \"-1\"\n" + bounce + keys) +
            kLight100);
        EXPECT_EQ(c.error, "") << keys;
        return FloorLight(c) / 3;
    };
    EXPECT_NEAR(floorLight(""), 120, 0.01);                         // 255 × (100 / 255 + 0.08)
    EXPECT_NEAR(floorLight("\"_range\" \"1\"\n"), 220, 0.01);       // twice as bright as at 0.5
    EXPECT_NEAR(floorLight("\"_gamma\" \"2\"\n"), 175, 0.01);       // 255 × √0.472
    EXPECT_NEAR(floorLight("\"_minlight\" \"200\"\n"), 200, 0.01);  // the floor
    EXPECT_NEAR(floorLight("\"_minlight\" \"10\"\n"), 120, 0.01);   // a floor takes no light away
    const double bounced = floorLight("", "\"_bounce\" \"1\"\n");
    EXPECT_GT(bounced, 121);
    EXPECT_GT(floorLight("", "\"_bouncescale\" \"2\"\n"), bounced + 1);

    // A floor of 40 under ambient occlusion and a light in a corner: no
    // texel below it. The world's texels are 8 units wide, a func_detail's 48.
    const EditorCompiled c = CompileEditorMap(
        WithWorldKeys(Room(), "\"_minlight\" \"40\"\n\"_lightmap_scale\" \"8\"\n") +
        "{\n\"classname\" \"light\"\n\"origin\" \"-100 -100 200\"\n\"light\" \"150\"\n}\n" +
        "{\n\"classname\" \"func_detail\"\n\"_lightmap_scale\" \"48\"\n" + Box(90, -110, 0, 110, -90, 100) + "}\n");
    ASSERT_EQ(c.error, "");
    const Lightmaps& lightmaps = c.level.lightmaps;
    int dark = 0, lit = 0;
    for (std::size_t page = 0; page < lightmaps.pages.size(); ++page)
        for (std::size_t at = 0; at < lightmaps.texels[page].size(); ++at) {
            const Texel texel = lightmaps.texels[page][at];
            if (texel != Texel::Lit && texel != Texel::Dilated) continue;
            ++lit;
            for (int k = 0; k < 3; ++k) dark += lightmaps.pages[page].rgb[at * 3 + k] < 40;
        }
    EXPECT_GT(lit, 1000);
    EXPECT_EQ(dark, 0);
    std::set<double> sizes;
    for (const Chart& chart : lightmaps.charts) sizes.insert(chart.density);
    EXPECT_EQ(sizes, (std::set<double>{8, 48}));
}

TEST(EditorImport, SkipAndCaulkFacesAreNotDrawnAndTheirBrushesStaySolid) {
    // A pillar of caulk from floor to ceiling and a block of skip on the floor.
    std::string text = Room();
    text.insert(text.find("}\n{\n\"classname\" \"info_player_start\""),
                Box(64, -96, 0, 96, -64, 256, "common/caulk") + Box(-96, 64, 0, -64, 96, 32, "skip"));
    const EditorCompiled c = CompileEditorMap(text);
    ASSERT_EQ(c.error, "");
    EXPECT_TRUE(SolidAtEditorPoint(c, {80, -80, 100}));
    EXPECT_TRUE(SolidAtEditorPoint(c, {-80, 80, 16}));
    int polygons = 0;
    for (const ReadPolygon* polygon : c.read.AllPolygons()) {
        EXPECT_EQ(polygon->textureName, "w");
        ++polygons;
    }
    EXPECT_GT(polygons, 0);

    // Only "w" has a picture: the faces not drawn are not looked for.
    BuildOptions options;
    options.fallbackTexture = [](const std::string& name, Picture& picture) {
        picture = {4, 4, std::vector<std::uint8_t>(48, 128)};
        return name == "w";
    };
    MapSource source;
    source.path = "m.map";
    BuiltLevel built;
    Reporter reporter("m.map");
    ASSERT_TRUE(BuildLevel(source, text, options, built, reporter)) << reporter.Error();
    EXPECT_FALSE(Contains(reporter.Warnings(), "placeholder"));
    ASSERT_EQ(built.textures.size(), 1u);
    EXPECT_EQ(built.textures[0].name, "w");
}

TEST(EditorImport, RefusesMapsWithoutAStartOrAFloorAndLeavesOutBrokenParts) {
    const std::string room = MapText("one-room.map");
    const std::string world = room.substr(0, room.find("{\n\"classname\" \"info_player_deathmatch\""));
    EXPECT_EQ(CompileEditorMap(world).error, "m.map: the map has no player start (add an info_player_start entity)");
    EXPECT_EQ(CompileEditorMap(world + "{\n\"classname\" \"info_player_start\"\n\"origin\" \"400 0 24\"\n}\n").error,
              "m.map:86: no brush lies below the player start (400 0 24): it needs a floor");
    // Of two starts the game uses the one without a targetname (the other is
    // where the player arrives from another level), whichever comes first.
    const EditorCompiled arrival = CompileEditorMap(
        world + "{\n\"classname\" \"info_player_start\"\n\"targetname\" \"from_e1m1\"\n\"origin\" \"400 0 24\"\n}\n" +
        "{\n\"classname\" \"info_player_start\"\n\"origin\" \"0 0 24\"\n}\n");
    EXPECT_EQ(arrival.error, "");
    EXPECT_TRUE(Contains(arrival.warnings,
                         "m.map: the map has 2 info_player_start entities; the player starts at the "
                         "one of line 91 (without a targetname); left unused: line 86 (targetname "
                         "'from_e1m1')"));

    // A brush of three faces, a brush millions of units away, a tool brush
    // named with a backslash and a light inside a wall are left out.
    const std::string broken =
        world +
        "{\n\"classname\" \"func_detail\"\n{\n( 0 0 0 ) ( 0 1 0 ) ( 0 0 1 ) w 0 0 0 1 1\n"
        "( 0 0 0 ) ( 0 0 1 ) ( 1 0 0 ) w 0 0 0 1 1\n( 0 0 0 ) ( 1 0 0 ) ( 0 1 0 ) w 0 0 0 1 1\n}\n"
        "{\n( 9e6 0 0 ) ( 9e6 1 0 ) ( 9e6 0 1 ) w 0 0 0 1 1\n( 9e6 0 0 ) ( 9e6 0 1 ) ( 9000001 0 0 ) w 0 0 0 1 1\n"
        "( 9e6 0 0 ) ( 9000001 0 0 ) ( 9e6 1 0 ) w 0 0 0 1 1\n( 9000008 8 8 ) ( 9000008 9 8 ) ( 9000009 8 8 ) w 0 0 0 "
        "1 1\n"
        "( 9000008 8 8 ) ( 9000009 8 8 ) ( 9000008 8 9 ) w 0 0 0 1 1\n( 9000008 8 8 ) ( 9000008 8 9 ) ( 9000008 9 8 ) "
        "w 0 0 0 1 1\n}\n"
        "{\n( 0 0 0 ) ( 0 1 0 ) ( 0 0 1 ) tools\\toolsclip 0 0 0 1 1\n}\n}\n"
        "{\n\"classname\" \"light\"\n\"origin\" \"136 0 48\"\n}\n"
        "{\n\"classname\" \"info_player_start\"\n\"origin\" \"0 0 24\"\n}\n";
    const EditorCompiled c = CompileEditorMap(broken);
    EXPECT_EQ(c.error, "");
    EXPECT_TRUE(Contains(c.warnings, "m.map:88: brush is open: it needs at least four faces; left out"));
    EXPECT_TRUE(Contains(c.warnings, "m.map: left out 1 brush lying too far from the player start"));
    EXPECT_TRUE(Contains(c.warnings, "m.map: left out 1 tool brush"));
    EXPECT_TRUE(Contains(c.warnings, ": the light lies in solid space or outside the map; left out"));
    EXPECT_TRUE(c.level.lights.empty());
}

}  // namespace
