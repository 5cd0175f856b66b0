// Runs "orvtool pack build" on editor maps and reads the pack as the engine does.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <set>
#include <string>
#include <vector>

#include "model/Entity.h"
#include "model/Model.h"
#include "pack/Pack.h"
#include "pack/RunDirectory.h"
#include "pack/UnpackTable.h"
#include "platform/core/Files.h"
#include "support/files/Bmp.h"
#include "support/files/CompileHelpers.h"
#include "support/files/LevelReader.h"
#include "support/files/ModelText.h"
#include "support/files/Orvtool.h"
#include "support/files/TempDir.h"

namespace {

const std::string kMaps = ORV_SOURCE_DIR "/tests/compiler/maps/";

// The bytes of one entry of a pack, or "<missing>".
std::string Entry(const std::string& packPath, const char* name, const TempDir& dir) {
    FILE* pack = OpenPack(packPath.c_str());
    const std::string file = dir.File(std::string("entry-") + name);
    const bool ok = pack && ExtractPackEntry(pack, name, file.c_str());
    ClosePack(pack);
    return ok ? TempDir::Read(file) : "<missing>";
}

// The pack's model loaded by the engine: every part's points where the
// engine draws them at its model place, part by part; false when it does not load.
bool DrawnModel(const std::string& packPath, const TempDir& dir, std::vector<std::vector<Vector>>& parts) {
    dir.Write("model.mdl", Entry(packPath, "MODELTEST", dir));
    Model model;
    if (!model.Load(dir.File("model.mdl").c_str())) return false;
    Entity engine;
    engine.position = {0, 2.5f, 0};
    parts.clear();
    for (std::int32_t i = 0; i < model.partCount; ++i) {
        const Matrix m = PartWorldMatrix(*model.parts[i], &engine, MakeIdentity());
        std::vector<Vector>& points = parts.emplace_back();
        for (std::int32_t q = 0; q < model.parts[i]->polygonCount; ++q)
            for (const Vertex& v : model.parts[i]->polygons[q].vertices) {
                const float* p = v.position;
                points.push_back({p[0] * m.m[0] + p[1] * m.m[4] + p[2] * m.m[8] + m.m[12],
                                  p[0] * m.m[1] + p[1] * m.m[5] + p[2] * m.m[9] + m.m[13],
                                  p[0] * m.m[2] + p[1] * m.m[6] + p[2] * m.m[10] + m.m[14]});
            }
    }
    return true;
}

TEST(PackBuildCommand, AnEditorMapBecomesAPackTheEngineUnpacks) {
    TempDir dir;
    std::filesystem::create_directories(dir.Path() / "textures/base");
    const std::string wall = MakeBmp24(16, 8, [](int, int) { return Rgb{10, 200, 30}; });
    dir.Write("textures/base/wall.bmp", wall);
    const std::string out = dir.File("Orvanthelix.zar");
    const ToolResult result =
        RunOrvtool({"pack", "build", kMaps + "two-rooms.map", "-o", out, "--textures", dir.File("textures")});
    ASSERT_EQ(result.status, 0) << result.err;
    EXPECT_NE(result.err.find("orvtool: warning: the textures given have no image for 5 textures"), std::string::npos)
        << result.err;
    EXPECT_NE(result.out.find("wrote " + out), std::string::npos) << result.out;

    FILE* pack = OpenPack(out.c_str());
    ASSERT_NE(pack, nullptr);
    EXPECT_EQ(g_PackEntryCount, static_cast<std::int32_t>(kUnpackTable.size()));
    for (const auto& asset : kUnpackTable) EXPECT_NE(FindPackEntry(asset.entry), nullptr) << asset.entry;
    ClosePack(pack);

    std::string error;
    const ReadLevel level = ReadLevel::Parse(Entry(out, "LEVELTEST", dir), error);
    ASSERT_EQ(error, "");
    EXPECT_FALSE(level.IsPointSolid({0, 5, 0}));
    EXPECT_TRUE(level.IsPointSolid({0, -0.1f, 0}));
    // Every texture the level names is one the engine unpacks, and the wall's
    // picture is among them.
    std::set<std::string> unpacked;
    for (const auto& asset : kUnpackTable) unpacked.insert(std::string(asset.file));
    std::set<std::string> named;
    for (const ReadPolygon* polygon : level.AllPolygons()) {
        EXPECT_EQ(polygon->lightmapName, "test-lm000");
        if (polygon->textured) named.insert(polygon->textureName);
    }
    EXPECT_EQ(named.size(), 6u);
    int walls = 0;
    for (const std::string& name : named) {
        EXPECT_TRUE(unpacked.count(name + ".bmp")) << name;
        for (const auto& asset : kUnpackTable)
            if (std::string(asset.file) == name + ".bmp" && Entry(out, asset.entry, dir) == wall) ++walls;
    }
    EXPECT_EQ(walls, 1);
    EXPECT_EQ(Entry(out, "SOUNDJUMP", dir), Entry(ORV_PACK_PATH, "SOUNDJUMP", dir));
    EXPECT_EQ(Entry(out, "MP3TEST", dir), Entry(ORV_PACK_PATH, "MP3TEST", dir));
    // The map places no model: the engine loads one that draws nothing.
    std::vector<std::vector<Vector>> model;
    ASSERT_TRUE(DrawnModel(out, dir, model));
    ASSERT_EQ(model.size(), 1u);
    EXPECT_TRUE(model[0].empty());
}

// The map's orvanthelix_model stands the lamp, or the model given, at its
// origin, the model's front (+z) turned the way of its angle: drawn at the
// engine's fixed model place, the points come out there.
TEST(PackBuildCommand, TheModelStandsWhereTheMapsEntityPutsIt) {
    TempDir dir;
    // one-room.map's start looks north, unturned: editor (x, y, z) is level (x, z, y) / 12.
    const std::string map = dir.Write("placed.map", TempDir::Read(kMaps + "one-room.map") +
                                                        "{\n\"classname\" \"orvanthelix_model\"\n"
                                                        "\"origin\" \"48 -24 0\"\n\"angle\" \"0\"\n}\n");
    const Vector place{4, 0, -2};
    const std::string lamp = dir.File("lamp.zar");
    const ToolResult built = RunOrvtool({"pack", "build", map, "-o", lamp});
    ASSERT_EQ(built.status, 0) << built.err;
    EXPECT_NE(built.out.find(" at (48 -24 0), facing 0 degrees\n"), std::string::npos) << built.out;
    std::vector<std::vector<Vector>> parts;
    ASSERT_TRUE(DrawnModel(lamp, dir, parts));
    ASSERT_EQ(parts.size(), 5u);
    // The lamp's round foot stands on the floor about the place.
    Vector sum{0, 0, 0};
    float lowest = 1e9f;
    for (const Vector& p : parts[0]) {
        sum = {sum.x + p.x, sum.y + p.y, sum.z + p.z};
        lowest = std::min(lowest, p.y);
    }
    EXPECT_NEAR(sum.x / parts[0].size(), place.x, 0.05f);
    EXPECT_NEAR(sum.z / parts[0].size(), place.z, 0.05f);
    EXPECT_NEAR(lowest, 0, 1e-4f);

    // A triangle 1 ahead of the engine's model place: angle 0 (east) turns
    // the model's +z to the level's +x, its +x to −z.
    const std::string given = dir.Write("given.mdl", ModelText({{"root", "none", "0 0 1", "0 0 0", {kTriangleText}}}));
    const std::string out = dir.File("given.zar");
    const ToolResult placed = RunOrvtool({"pack", "build", map, "-o", out, "--model", given});
    ASSERT_EQ(placed.status, 0) << placed.err;
    ASSERT_TRUE(DrawnModel(out, dir, parts));
    ASSERT_EQ(parts.size(), 1u);
    ASSERT_EQ(parts[0].size(), 3u);
    const Vector expected[] = {{5, 2.5f, -2}, {5, 3.5f, -2}, {5, 2.5f, -3}};
    for (int k = 0; k < 3; ++k) {
        EXPECT_NEAR(parts[0][k].x, expected[k].x, 1e-5f) << k;
        EXPECT_NEAR(parts[0][k].y, expected[k].y, 1e-5f) << k;
        EXPECT_NEAR(parts[0][k].z, expected[k].z, 1e-5f) << k;
    }
    // A file the engine does not load cannot be placed.
    const std::string bad = dir.Write("bad.mdl", "a model");
    const ToolResult refused = RunOrvtool({"pack", "build", map, "-o", out, "--model", bad});
    EXPECT_EQ(refused.status, 1);
    EXPECT_NE(refused.err.find("orvtool: cannot place the model '" + bad + "': it is no model file the engine loads\n"),
              std::string::npos)
        << refused.err;
}

TEST(PackBuildCommand, TheSoundTheMusicAndTheModelComeFromTheFilesGivenOrTheDemoPack) {
    TempDir dir;
    const std::string map = kMaps + "one-room.map", out = dir.File("out.zar");
    const std::string sound = dir.Write("jump.wav", "a sound"), music = dir.Write("music.mp3", "some music"),
                      model = dir.Write("lamp.mdl", "a model");
    const ToolResult result = RunOrvtool(
        {"pack", "build", map, "-o", out, "--sound", sound, "--music", music, "--model", model, "--demo", "none"});
    ASSERT_EQ(result.status, 0) << result.err;
    EXPECT_EQ(Entry(out, "SOUNDJUMP", dir), "a sound");
    EXPECT_EQ(Entry(out, "MP3TEST", dir), "some music");
    EXPECT_EQ(Entry(out, "MODELTEST", dir), "a model");
    const std::string built = TempDir::Read(out);

    // A file that cannot be read, or a demo pack without the entry: the pack
    // there stays as it was. (The map's warnings come first.)
    const std::string missing = dir.File("missing.mp3");
    const ToolResult unreadable = RunOrvtool({"pack", "build", map, "-o", out, "--music", missing});
    EXPECT_EQ(unreadable.status, 1);
    EXPECT_NE(unreadable.err.find("\norvtool: cannot read '" + missing + "': No such file or directory\n"),
              std::string::npos)
        << unreadable.err;
    const ToolResult noDemo = RunOrvtool({"pack", "build", map, "-o", out, "--sound", sound, "--demo", sound});
    EXPECT_EQ(noDemo.status, 1);
    EXPECT_NE(noDemo.err.find("\norvtool: cannot take 'MP3TEST' from the demo pack '" + sound + "'"), std::string::npos)
        << noDemo.err;
    EXPECT_EQ(TempDir::Read(out), built);
}

// Every texture of a level goes into the pack as its own picture: the
// table's names first, by area, then names of their own as extra entries, up
// to the 256 the engine takes; only beyond those do the smallest share the
// picture of a kept one nearest in colour.
TEST(PackBuildCommand, EveryTextureIsItsOwnPictureUpToTheEnginesCap) {
    TempDir dir;
    std::filesystem::create_directories(dir.Path() / "textures");
    std::string map = "{\n\"classname\" \"worldspawn\"\n" + Box(-272, -272, -16, 272, 272, 0, "floor") +
                      Box(-272, -272, 128, 272, 272, 144, "floor") + Box(-272, -272, 0, -256, 272, 128, "floor") +
                      Box(256, -272, 0, 272, 272, 128, "floor") + Box(-256, -272, 0, 256, -256, 128, "floor") +
                      Box(-256, 256, 0, 256, 272, 128, "floor");
    // 257 pillars of as many colours with long names (the pack's entry names
    // take 8 characters); the last two smallest. With the floor, 258 textures.
    const int count = 257;
    for (int i = 0; i < count; ++i) {
        const int x = -248 + 30 * (i % 16), y = -248 + 30 * (i / 16), side = i >= count - 2 ? 4 : 16;
        const std::string name = "pillar_colour_" + std::to_string(i);
        map += Box(x, y, 0, x + side, y + side, 128, name);
        const auto red = static_cast<std::uint8_t>(i), green = static_cast<std::uint8_t>(i * 7),
                   blue = static_cast<std::uint8_t>(i / 256 * 99);
        dir.Write("textures/" + name + ".bmp", MakeBmp24(8, 8, [&](int, int) { return Rgb{red, green, blue}; }));
    }
    map += "}\n{\n\"classname\" \"info_player_start\"\n\"origin\" \"236 236 24\"\n}\n";
    const std::string out = dir.File("out.zar");
    const ToolResult result =
        RunOrvtool({"pack", "build", dir.Write("colours.map", map), "-o", out, "--textures", dir.File("textures")});
    ASSERT_EQ(result.status, 0) << result.err;
    EXPECT_NE(result.err.find("the engine unpacks 256 textures; the level's 2 smallest of 258 share the picture of the "
                              "one nearest in colour: pillar_colour_255 drawn with pillar_colour_"),
              std::string::npos)
        << result.err;

    // The engine unpacks the pack: each of the 256 textures the level names
    // opens as a file of its own picture in the run directory.
    std::string error;
    const ReadLevel level = ReadLevel::Parse(Entry(out, "LEVELTEST", dir), error);
    ASSERT_EQ(error, "");
    std::set<std::string> named;
    for (const ReadPolygon* polygon : level.AllPolygons())
        if (polygon->textured) named.insert(polygon->textureName);
    EXPECT_EQ(named.size(), 256u);
    std::filesystem::create_directories(dir.Path() / "start");
    std::filesystem::copy_file(out, dir.Path() / "start" / kPackFileName);
    setenv("TMPDIR", dir.Path().c_str(), 1);
    ScopedCurrentDir inStart(dir.Path() / "start");
    UnpackAssets();
    std::set<std::string> pictures;
    for (const std::string& name : named) {
        const std::string file = ResolveFileName(name + ".bmp");
        EXPECT_TRUE(std::filesystem::is_regular_file(file)) << name;
        pictures.insert(TempDir::Read(file));
    }
    EXPECT_EQ(pictures.size(), 256u) << "every name its own picture";
    DeleteUnpackedAssets();
    unsetenv("TMPDIR");
}

// Lightmap pages beyond the table's five are extra entries, up to 31.
TEST(PackBuildCommand, PagesBeyondTheTablesFiveAreExtraEntries) {
    TempDir dir;
    std::string text = TempDir::Read(kMaps + "sample.map");
    const std::size_t pages = text.find("lightmap_pages 2");
    ASSERT_NE(pages, std::string::npos);
    const std::string out = dir.File("out.zar");
    for (const char* count : {"7", "32"}) {
        text.replace(pages, text.find('\n', pages) - pages, std::string("lightmap_pages ") + count);
        const ToolResult result = RunOrvtool({"pack", "build", dir.Write("pages.map", text), "-o", out});
        if (std::string(count) == "32") {
            EXPECT_EQ(result.status, 1);
            EXPECT_NE(result.err.find("the level has 32 lightmap pages; the engine takes 31"), std::string::npos)
                << result.err;
            continue;
        }
        ASSERT_EQ(result.status, 0) << result.err;
        EXPECT_NE(Entry(out, "LMAPTEST-LM006", dir), "<missing>");
        EXPECT_EQ(Entry(out, "LMAPTEST-LM007", dir), "<missing>");
    }
}

TEST(PackBuildCommand, ALeakOrAStartInNoRoomFailsWithTheWayOutAndAPointFile) {
    TempDir dir;
    std::string text = TempDir::Read(kMaps + "one-room.map");
    const std::size_t ceiling = text.rfind('{', text.find("ceiling0"));
    text.erase(ceiling, text.find('}', ceiling) + 1 - ceiling);
    const std::string map = dir.Write("leak.map", text);
    const ToolResult result = RunOrvtool({"pack", "build", map, "-o", dir.File("out.zar")});
    EXPECT_EQ(result.status, 1);
    const std::string last = result.err.substr(result.err.rfind("orvtool: "));
    EXPECT_EQ(last.rfind("orvtool: " + map + ": leak: the map is not sealed; the way out from the ", 0), 0u) << last;
    EXPECT_NE(last.find("; the way out is in the point file '" + dir.File("leak.pts") + "'\n"), std::string::npos)
        << last;
    EXPECT_EQ(TempDir::Read(dir.File("leak.pts")).rfind("0.000 0.000 60.000\n", 0), 0u);
    EXPECT_FALSE(std::filesystem::exists(dir.File("out.zar")));

    // A start above the sealed room's roof, below a tower's top: no room
    // holds it, and the message says so rather than naming the eye as a hole.
    text = TempDir::Read(kMaps + "one-room.map");
    const std::string origin = "\"origin\" \"0 0 24\"";
    text.replace(text.find(origin), origin.size(), "\"origin\" \"0 0 300\"");
    text.insert(text.find('}', text.find("ceiling0")) + 1, Box(144, 144, -16, 160, 160, 400, "wall0"));
    const std::string above = dir.Write("above.map", text);
    const ToolResult high = RunOrvtool({"pack", "build", above, "-o", dir.File("out.zar")});
    EXPECT_EQ(high.status, 1);
    EXPECT_NE(high.err.find(": leak: the info_player_deathmatch of line "), std::string::npos) << high.err;
    EXPECT_NE(high.err.find(" (its eye at (0 0 204)) is not enclosed by brushes (above the roof?): its space opens "
                            "straight onto the outside; the way out is in the point file '" +
                            dir.File("above.pts") + "'"),
              std::string::npos)
        << high.err;
    EXPECT_EQ(TempDir::Read(dir.File("above.pts")).rfind("0.000 0.000 204.000\n", 0), 0u);
}

TEST(PackBuildCommand, CommandLinesItCannotTakeAreUsageErrors) {
    const std::string map = kMaps + "one-room.map";
    for (const std::vector<std::string>& args :
         std::vector<std::vector<std::string>>{{"pack", "build", map},
                                               {"pack", "build", "-o", "x.zar"},
                                               {"pack", "build", map, "-o", "x", "--scale", "0"},
                                               {"pack", "build", map, "-o", "x", "--textures"},
                                               {"pack", "build", map, map, "-o", "x"}}) {
        SCOPED_TRACE(testing::PrintToString(args));
        const ToolResult misuse = RunOrvtool(args);
        EXPECT_EQ(misuse.status, 2);
        ExpectOneLineFailure(misuse);
    }
}

}  // namespace
