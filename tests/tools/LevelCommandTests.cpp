// Runs "orvtool level" on level files and checks it against the engine's own
// answers. The tool runs with no display and no image files.
#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <random>
#include <string>
#include <vector>

#include "globals/Globals.h"
#include "level/Bsp.h"
#include "player/Player.h"
#include "support/files/AssetPack.h"
#include "support/files/LevelFiles.h"
#include "support/files/Orvtool.h"
#include "support/files/TempDir.h"
#include "support/stand-ins/RecordingRenderer.h"

namespace {

class LevelCommandTest : public ::testing::Test {
protected:
    void SetUp() override {
        if (const char* display = std::getenv("DISPLAY")) savedDisplay = display;
        unsetenv("DISPLAY");
    }
    void TearDown() override {
        if (!savedDisplay.empty()) setenv("DISPLAY", savedDisplay.c_str(), 1);
    }

    // Runs "orvtool level COMMAND FILE [X Y Z]".
    static ToolResult Run(const std::string& command, const std::string& file,
                          const std::vector<std::string>& xyz = {}) {
        std::vector<std::string> args = {"level", command, file};
        args.insert(args.end(), xyz.begin(), xyz.end());
        return RunOrvtool(args);
    }

    static std::vector<std::string> Coordinates(Vector point) {
        char text[3][32];
        std::snprintf(text[0], sizeof text[0], "%.9g", point.x);
        std::snprintf(text[1], sizeof text[1], "%.9g", point.y);
        std::snprintf(text[2], sizeof text[2], "%.9g", point.z);
        return {text[0], text[1], text[2]};
    }

    std::string savedDisplay;
    TempDir dir;
};

// The facing floors of the drawing tests: "above" in record 1, "below" in record 2.
const char kFacingFloors[] =
    "NBSP 2 floors 3\n"
    "0 1 2  0 0 0 0 0 1 1 0 0\n"
    "1 0 1  0  0 1 0 0 0  1 1 0 0 0  0 1 1 0 0  above\n"
    "1 0 1  0  0 -1 0 0 0  0 -1 1 0 0  1 -1 0 0 0  below\n";

TEST_F(LevelCommandTest, InfoCountsTheTreeAndNamesItsImages) {
    const ToolResult result = Run("info", dir.Write("floor.bsp", kFloorLevel));
    EXPECT_EQ(result.status, 0) << result.err;
    EXPECT_EQ(result.err, "");
    EXPECT_EQ(result.out,
              "nodes 3\nleaves 2\nsolid-leaves 1\npolygons 1\ndepth 2\nlightmaps test-lm000\ntextures floor0\n");
}

TEST_F(LevelCommandTest, InfoListsEachNameOnceInBindingOrder) {
    // Records: 0 the back leaf, 1 the root, 2 the front leaf.
    const std::string level =
        "NBSP 2 w 3\n" + EmptyLeaf({PolygonRecord("lm-c", "wall"), PolygonRecord("lm-a")}) +
        "0 2 0  0 0 0 0 0 1 1 0 0\n" +
        EmptyLeaf({PolygonRecord("lm-b", "floor"), PolygonRecord("lm-a", "wall"), PolygonRecord("lm-b", "Floor")});
    const ToolResult result = Run("info", dir.Write("names.bsp", level));
    EXPECT_EQ(result.status, 0) << result.err;
    EXPECT_EQ(result.out,
              "nodes 3\nleaves 2\nsolid-leaves 0\npolygons 5\ndepth 2\nlightmaps lm-b lm-a lm-c\n"
              "textures floor wall Floor\n");
}

// With a pack, every image the level loads, the entry the engine unpacks it
// from and whether the pack holds it: the table's, extras and names too long
// for an entry; a pack the engine would refuse holds none.
TEST_F(LevelCommandTest, InfoWithAPackSaysWhichImagesItHolds) {
    const std::string level =
        "NBSP 2 w 3\n" + EmptyLeaf({PolygonRecord("test-lm000", "floor0"), PolygonRecord("test-lm005")}) +
        "0 2 0  0 0 0 0 0 1 1 0 0\n" +
        EmptyLeaf({PolygonRecord("test-lm006", "Brick_7"), PolygonRecord("test-lm000", "long_wall_name")});
    const std::string file = dir.Write("extras.bsp", level), pack = dir.File("extras.zar");
    WriteTestAssetPack(pack, {}, {{"TEXTUREBRICK_7", "a brick"}, {"LMAPTEST-LM006", "a page"}});
    const std::string images =
        "image lmblank.bmp LMAPLMBLANK held\nimage test-lm006.bmp LMAPTEST-LM006 held\n"
        "image test-lm000.bmp LMAPTEST-LM000 held\nimage test-lm005.bmp LMAPTEST-LM005 missing\n"
        "image Brick_7.bmp TEXTUREBRICK_7 held\nimage long_wall_name.bmp TEXTURELONG_WALL_NAME "
        "missing\nimage floor0.bmp TEXTUREFLOOR0 held\n";
    const ToolResult result = RunOrvtool({"level", "info", file, "--pack", pack});
    EXPECT_EQ(result.status, 0) << result.err;
    EXPECT_EQ(result.out.substr(result.out.find("image ")), images);

    WriteTestAssetPack(pack, {}, {{"TEXTUREa.b", "a dot"}});
    const ToolResult refused = RunOrvtool({"level", "info", file, "--pack", pack});
    EXPECT_NE(refused.out.find("unplayable: the pack entry TEXTUREa.b is refused: "), std::string::npos) << refused.out;
    EXPECT_NE(refused.out.find("image floor0.bmp TEXTUREFLOOR0 missing\n"), std::string::npos) << refused.out;
    EXPECT_EQ(RunOrvtool({"level", "info", file, "--pack", dir.File("none.zar")}).status, 1);
    EXPECT_EQ(RunOrvtool({"level", "info", file, "--pak", pack}).status, 2);
}

TEST_F(LevelCommandTest, InfoHandlesADeepTree) {
    const ToolResult result = Run("info", dir.Write("deep.bsp", DeepChainLevel(100000)));
    EXPECT_EQ(result.status, 0) << result.err;
    EXPECT_EQ(result.out,
              "nodes 200001\nleaves 100001\nsolid-leaves 100000\npolygons 1\ndepth 100001\nlightmaps deep-lm\n"
              "textures deep\n");
}

TEST_F(LevelCommandTest, SolidAnswersAsTheEngineDoes) {
    const std::string floor = dir.Write("floor.bsp", kFloorLevel);
    EXPECT_EQ(Run("solid", floor, {"0", "5", "0"}).out, "empty\n");
    EXPECT_EQ(Run("solid", floor, {"0", "-1", "0"}).out, "solid\n");
    EXPECT_EQ(Run("solid", floor, {"3", "0", "-2"}).out, "empty\n") << "on the plane is in front";

    const GeneratedLevel generated = GenerateLevel(11, 6);
    const std::string file = dir.Write("generated.bsp", generated.text);
    Bsp level;
    std::vector<BspNode*> nodes;
    ASSERT_TRUE(level.ReadTree(file.c_str(), nodes));
    std::mt19937 random(11);
    std::uniform_real_distribution<float> coordinate(-12, 12);
    for (int i = 0; i < 12; ++i) {
        const Vector point{coordinate(random), coordinate(random), coordinate(random)};
        const ToolResult result = Run("solid", file, Coordinates(point));
        EXPECT_EQ(result.status, 0) << result.err;
        EXPECT_EQ(result.out, level.IsPointSolid(point.x, point.y, point.z) ? "solid\n" : "empty\n");
    }
    level.FreeTree(&level.root);
}

TEST_F(LevelCommandTest, OrderListsWhatDrawHandsOver) {
    const std::string floors = dir.Write("floors.bsp", kFacingFloors);
    EXPECT_EQ(Run("order", floors, {"0", "0.5", "0"}).out, "2 0\n1 0\n");
    EXPECT_EQ(Run("order", floors, {"0", "-0.5", "0"}).out, "1 0\n2 0\n");
    EXPECT_EQ(Run("order", floors, {"0", "2", "0"}).out, "2 0\n") << "facing away: not listed";

    // On a generated level, against Draw through a recording renderer. Each
    // polygon's lightmap name "n<record>p<index>" says where it came from.
    const GeneratedLevel generated = GenerateLevel(12, 6);
    const std::string file = dir.Write("generated.bsp", generated.text);
    RecordingRenderer renderer;
    g_pRenderer = &renderer;
    Bsp level;
    std::vector<BspNode*> nodes;
    ASSERT_TRUE(level.ReadTree(file.c_str(), nodes));
    for (const Vector camera : {Vector{1, 2, 3}, Vector{-9, 4, 0.5f}, generated.planePoints.at(0)}) {
        g_Player.position = camera;
        renderer.polygons.clear();
        level.Draw(&level.root);
        std::string expected;
        for (const Polygon& polygon : renderer.polygons) {
            int node = 0, index = 0;
            ASSERT_EQ(std::sscanf(polygon.lightmapName, "n%dp%d", &node, &index), 2);
            expected += std::to_string(node) + " " + std::to_string(index) + "\n";
        }
        EXPECT_FALSE(expected.empty());
        const ToolResult result = Run("order", file, Coordinates(camera));
        EXPECT_EQ(result.status, 0) << result.err;
        EXPECT_EQ(result.out, expected);
    }
    level.FreeTree(&level.root);
    g_pRenderer = nullptr;
}

TEST_F(LevelCommandTest, ALevelComesThroughAPipe) {
    // The reader measures its file: what comes through a pipe is read from a
    // temporary copy, which goes again.
    TempDir scratch;
    const char* tmp = std::getenv("TMPDIR");
    const std::string savedTmp = tmp ? tmp : "";
    setenv("TMPDIR", scratch.Path().c_str(), 1);
    const ToolResult piped = RunOrvtool({"level", "info", "/dev/stdin"}, std::string(kFloorLevel));
    if (tmp)
        setenv("TMPDIR", savedTmp.c_str(), 1);
    else
        unsetenv("TMPDIR");
    EXPECT_EQ(piped.status, 0) << piped.err;
    EXPECT_EQ(piped.out, Run("info", dir.Write("floor.bsp", kFloorLevel)).out);
    EXPECT_TRUE(std::filesystem::is_empty(scratch.Path()));

    // Stopped by a signal while it copies, it leaves nothing behind either:
    // the copy never has a name.
    const std::string stopped = "(head -c 100000 /dev/zero; sleep 2) | TMPDIR='" + scratch.Path().string() +
                                "' timeout -s INT 1 '" + ORVTOOL_PATH + "' level info /dev/stdin";
    EXPECT_NE(std::system(stopped.c_str()), 0);
    EXPECT_TRUE(std::filesystem::is_empty(scratch.Path()));
}

TEST_F(LevelCommandTest, BadInputIsOneLineAndAFailure) {
    const std::string floor = dir.Write("floor.bsp", kFloorLevel);
    const std::string broken = dir.Write("broken.bsp", "NBSP 2 w 3  0 1 2 0 0 0");
    ExpectOneLineFailure(Run("info", dir.File("missing.bsp")));
    ExpectOneLineFailure(Run("info", broken));
    ExpectOneLineFailure(Run("solid", broken, {"0", "0", "0"}));
    ExpectOneLineFailure(Run("order", dir.File("missing.bsp"), {"0", "0", "0"}));
    for (const char* bad : {"x", "1e999", "nan", "1,5", ""}) {
        SCOPED_TRACE(bad);
        const ToolResult result = Run("solid", floor, {"0", bad, "0"});
        ExpectOneLineFailure(result);
        EXPECT_EQ(result.status, 2);
    }
    ExpectOneLineFailure(RunOrvtool({"level"}));
    ExpectOneLineFailure(RunOrvtool({"level", "info"}));
    ExpectOneLineFailure(RunOrvtool({"level", "solid", floor, "1", "2"}));
    ExpectOneLineFailure(RunOrvtool({"level", "order", floor, "1", "2", "3", "4"}));
    ExpectOneLineFailure(RunOrvtool({"level", "draw", floor}));
}

}  // namespace
