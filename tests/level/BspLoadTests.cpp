// The level file reader: the tree it builds, the token forms it takes and the
// malformed files it refuses.
#include <gtest/gtest.h>

#include <cmath>
#include <sstream>
#include <string>
#include <vector>

#include "globals/Globals.h"
#include "platform/core/Files.h"
#include "player/Player.h"
#include "support/files/Bmp.h"
#include "support/files/LevelFiles.h"
#include "support/observe/LevelTest.h"

namespace {

std::string PolygonText(bool textured, const std::string& lightmap = "lm", const std::string& texture = "tx") {
    return PolygonRecord(lightmap, textured ? texture : "");
}

// kFloorLevel with its empty leaf holding `polygons` instead.
std::string FloorWith(const std::string& polygons, int count) {
    return "NBSP 2 floor 3  0 1 2 0 0 0 0 0 1 1 0 0  1 0 " + std::to_string(count) + " " + polygons + "  1 1";
}

std::vector<std::string> Tokens(const std::string& text) {
    std::istringstream in(text);
    std::vector<std::string> tokens;
    for (std::string token; in >> token;) tokens.push_back(token);
    return tokens;
}

std::string Join(const std::vector<std::string>& tokens, std::size_t count) {
    std::string text;
    for (std::size_t i = 0; i < count; ++i) text += tokens[i] + " ";
    return text;
}

void ExpectVector(const float* actual, float x, float y, float z) {
    EXPECT_EQ(actual[0], x);
    EXPECT_EQ(actual[1], y);
    EXPECT_EQ(actual[2], z);
}

class LoadTest : public LevelTest {
protected:
    // The load fails and leaves no tree, no open file and no renderer call.
    void ExpectRefused(const std::string& text) {
        EXPECT_FALSE(Load(text)) << text;
        EXPECT_EQ(level.root, nullptr);
        EXPECT_EQ(_fcloseall(), 0) << "the file was left open";
        EXPECT_TRUE(renderer.calls.empty());
    }
};

TEST_F(LoadTest, TheSmallLevelBecomesATree) {
    dir.Write("floor0.bmp", Bmp24(2, 2));  // else the binding makes the polygon untextured
    ASSERT_TRUE(Load(kFloorLevel));
    const BspNode* root = level.root;
    ASSERT_NE(root, nullptr);
    EXPECT_EQ(root->isLeaf, 0);
    EXPECT_EQ(root->parent, nullptr);
    ExpectVector(root->plane.normal, 0, 1, 0);
    ExpectVector(root->plane.vertices[2].position, 1, 0, 0);

    const BspNode* room = root->front;
    EXPECT_EQ(room->isLeaf, 1);
    EXPECT_EQ(room->isSolid, 0);
    EXPECT_EQ(room->parent, root);
    ASSERT_EQ(room->polygonCount, 1);
    const Polygon& floor = room->polygons[0];
    EXPECT_EQ(floor.textured, 1);
    EXPECT_STREQ(floor.lightmapName, "test-lm000");
    EXPECT_STREQ(floor.textureName, "floor0");
    ExpectVector(floor.normal, 0, 1, 0);

    const BspNode* below = root->back;
    EXPECT_EQ(below->isLeaf, 1);
    EXPECT_EQ(below->isSolid, 1);
    EXPECT_EQ(below->parent, root);
    EXPECT_EQ(below->polygons, nullptr);

    EXPECT_FALSE(level.IsPointSolid(0, 5, 0));
    EXPECT_TRUE(level.IsPointSolid(0, -1, 0));
    EXPECT_EQ(_fcloseall(), 0) << "the file was left open";
}

TEST_F(LoadTest, IntegersTakeHexadecimalAndOctalForms) {
    std::string eight;
    for (int i = 0; i < 8; ++i) eight += PolygonText(false) + " ";
    ASSERT_TRUE(Load("NBSP 0x2 free 03  00 0X1 +02 0 0 0 0 0 1 1 0 0  1 0x0 010 " + eight + "  1 05"));
    EXPECT_EQ(level.root->front->polygonCount, 8) << "010 is octal eight";
    EXPECT_EQ(level.root->back->isSolid, 1) << "any nonzero solid flag is solid";
}

TEST_F(LoadTest, OnlyMagicNbspVersionTwoIsTaken) {
    for (const char* header : {"NBSP 1", "NBSP 3", "nbsp 2", "NBSPX 2", "NBS 2", "2 NBSP"}) {
        SCOPED_TRACE(header);
        ExpectRefused(std::string(header) + " free 1 1 1");
    }
    EXPECT_TRUE(Load("NBSP 2 free 1 1 1"));
}

TEST_F(LoadTest, TheRootIsTheFirstNodeNobodyNames) {
    ASSERT_TRUE(Load("NBSP 2 w 3  1 0 1 " + PolygonText(false) + "  1 1  0 0 1 0 0 0 0 0 1 1 0 0"));
    EXPECT_EQ(level.root->isLeaf, 0);
    EXPECT_EQ(level.root->front->polygonCount, 1);
    EXPECT_EQ(level.root->back->isSolid, 1);
}

TEST_F(LoadTest, LeavesAreSolidOrEmptyWithOrWithoutPolygons) {
    // Any kind but 0 is a leaf.
    ASSERT_TRUE(Load("NBSP 2 w 3  0 1 2 0 0 0 0 0 1 1 0 0  7 0 0  -1 5"));
    EXPECT_EQ(level.root->front->isLeaf, 1);
    EXPECT_EQ(level.root->back->isLeaf, 1);
    EXPECT_EQ(level.root->front->isSolid, 0);
    EXPECT_EQ(level.root->front->polygonCount, 0);
    EXPECT_EQ(level.root->front->polygons, nullptr);
    EXPECT_EQ(level.root->back->isSolid, 1);
}

TEST_F(LoadTest, UntexturedPolygonsReadFifteenFloatsAndTexturedOnesTwentyOne) {
    const std::string untextured = "0  1 2 3 .5 -.5  4 5 6 1.5e0 25E-1  7 8 9.25 -1 +2  lm-a";
    const std::string textured = "7  1 1 1 0.1 0.2 0.3 0.4  2 2 2 1.1 1.2 1.3 1.4  3 3 3 2.1 2.2 2.3 2.4  lm-b tex-b";
    dir.Write("tex-b.bmp", Bmp24(2, 2));
    ASSERT_TRUE(Load(FloorWith(untextured + "\n" + textured, 2)));
    const Polygon* polygons = level.root->front->polygons;

    EXPECT_EQ(polygons[0].textured, 0);
    ExpectVector(polygons[0].vertices[0].position, 1, 2, 3);
    EXPECT_EQ(polygons[0].vertices[0].lightmapCoord[0], 0.5f);
    EXPECT_EQ(polygons[0].vertices[0].lightmapCoord[1], -0.5f);
    EXPECT_EQ(polygons[0].vertices[1].lightmapCoord[0], 1.5f);
    EXPECT_EQ(polygons[0].vertices[1].lightmapCoord[1], 2.5f);
    ExpectVector(polygons[0].vertices[2].position, 7, 8, 9.25f);
    EXPECT_EQ(polygons[0].vertices[2].lightmapCoord[1], 2.0f);
    EXPECT_STREQ(polygons[0].lightmapName, "lm-a");
    EXPECT_STREQ(polygons[0].textureName, "");

    EXPECT_EQ(polygons[1].textured, 1) << "any nonzero flag reads as 1";
    ExpectVector(polygons[1].vertices[1].position, 2, 2, 2);
    EXPECT_EQ(polygons[1].vertices[1].lightmapCoord[0], 1.1f);
    EXPECT_EQ(polygons[1].vertices[1].textureCoord[0], 1.3f);
    EXPECT_EQ(polygons[1].vertices[2].textureCoord[1], 2.4f);
    EXPECT_STREQ(polygons[1].lightmapName, "lm-b");
    EXPECT_STREQ(polygons[1].textureName, "tex-b");
}

TEST_F(LoadTest, TheWindingDecidesTheFront) {
    // The floor plane written with V1 and V2 swapped faces down: the room is now behind it.
    ASSERT_TRUE(Load("NBSP 2 w 3  0 1 2 0 0 0 1 0 0 0 0 1  1 0 0  1 1"));
    ExpectVector(level.root->plane.normal, 0, -1, 0);
    EXPECT_TRUE(level.IsPointSolid(0, 5, 0));
    EXPECT_FALSE(level.IsPointSolid(0, -1, 0));
}

TEST_F(LoadTest, ADegenerateSplitterPutsEveryPointInFront) {
    ASSERT_TRUE(Load("NBSP 2 w 3  0 1 2 0 0 0 1 1 1 2 2 2  1 0 0  1 1"));
    EXPECT_TRUE(std::isnan(level.root->plane.normal[0]));
    for (float y : {-100.0f, -1.0f, 0.0f, 1.0f, 100.0f}) EXPECT_FALSE(level.IsPointSolid(3, y, -7)) << y;
}

TEST_F(LoadTest, AnythingAfterTheLastRecordIsIgnored) {
    EXPECT_TRUE(Load(std::string(kFloorLevel) + "1 1 junk 0x and more\n"));
}

TEST_F(LoadTest, WordsUpToTheirFieldsAreTaken) {
    const std::string name31(31, 'n'), name32(32, 'n');
    EXPECT_TRUE(Load("NBSP 2 " + std::string(64, 'w') + " 1 1 1"));
    level.FreeTree(&level.root);
    ASSERT_TRUE(Load(FloorWith(PolygonText(true, name31, name31), 1)));
    EXPECT_STREQ(level.root->front->polygons[0].lightmapName, name31.c_str());
    EXPECT_STREQ(level.root->front->polygons[0].textureName, name31.c_str());
    level.FreeTree(&level.root);
    renderer.calls.clear();

    ExpectRefused("NBSP 2 " + std::string(65, 'w') + " 1 1 1");
    ExpectRefused(FloorWith(PolygonText(true, name32, "tx"), 1));
    ExpectRefused(FloorWith(PolygonText(true, "lm", name32), 1));
    ExpectRefused(FloorWith(PolygonText(false, name32), 1));
}

TEST_F(LoadTest, AMissingFileIsRefused) {
    EXPECT_FALSE(level.Load("Test.bsp"));
    EXPECT_EQ(level.root, nullptr);
    EXPECT_TRUE(renderer.calls.empty());
}

TEST_F(LoadTest, AFileThatEndsEarlyIsRefusedAtEveryToken) {
    const std::vector<std::string> tokens = Tokens(kFloorLevel);
    for (std::size_t count = 0; count < tokens.size(); ++count) ExpectRefused(Join(tokens, count));
    EXPECT_TRUE(Load(Join(tokens, tokens.size())));
}

TEST_F(LoadTest, AMalformedTokenInAnyFieldIsRefused) {
    // The malformed forms themselves are the token reader's tests; here each
    // kind of field takes one. Token positions in kFloorLevel: 1 version, 3 N,
    // 4 a kind, 5 a child index, 7 a float, 17 a solid flag, 18 the polygon
    // count, 19 the textured flag.
    const std::vector<std::string> tokens = Tokens(kFloorLevel);
    const std::vector<std::pair<std::size_t, std::string>> replacements = {
        {1, "2.0"}, {3, "3abc"}, {4, "0.0"}, {5, "0x"}, {7, "nan"}, {17, "0."}, {18, "4294967297"}, {19, "1,"},
    };
    for (const auto& [at, bad] : replacements) {
        SCOPED_TRACE(bad);
        std::vector<std::string> changed = tokens;
        changed[at] = bad;
        ExpectRefused(Join(changed, changed.size()));
    }
}

TEST_F(LoadTest, FilesThatAreNoTreeAreRefused) {
    const std::string plane = " 0 0 0 0 0 1 1 0 0 ";
    const std::vector<std::pair<const char*, std::string>> files = {
        {"child index below 0", "NBSP 2 w 3  0 -1 2" + plane + " 1 1  1 1"},
        {"child index past N-1", "NBSP 2 w 3  0 1 3" + plane + " 1 1  1 1"},
        {"both children one node", "NBSP 2 w 3  0 1 1" + plane + " 1 1  1 1"},
        {"a node named by two", "NBSP 2 w 5  0 1 2" + plane + " 0 3 2" + plane + " 1 1  1 1  1 1"},
        {"a node naming itself", "NBSP 2 w 3  0 0 1" + plane + " 1 1  1 1"},
        {"a cycle beside the root", "NBSP 2 w 5  1 1  0 2 3" + plane + " 0 1 4" + plane + " 1 1  1 1"},
        {"no unnamed node", "NBSP 2 w 2  0 0 1" + plane + " 1 1"},
        {"two unnamed nodes", "NBSP 2 w 2  1 1  1 1"},
        {"N is 0", "NBSP 2 w 0 "},
        {"N is negative", "NBSP 2 w -1  1 1"},
        {"a negative polygon count", "NBSP 2 w 1  1 0 -1"},
    };
    for (const auto& [what, text] : files) {
        SCOPED_TRACE(what);
        ExpectRefused(text);
    }
}

TEST_F(LoadTest, CountsTheFileCannotHoldAreRefusedBeforeAllocating) {
    // One node needs at least 4 bytes of the rest of the file and one polygon
    // 34; the largest counts would take gigabytes if allocated.
    ExpectRefused("NBSP 2 w 2  1 1");
    ExpectRefused("NBSP 2 w 0x7fffffff  1 1");
    ExpectRefused("NBSP 2 w 1  1 0 2 " + PolygonText(false));
    ExpectRefused("NBSP 2 w 1  1 0 2147483647 " + PolygonText(false));
    // Exactly as many bytes as the counts need is enough.
    EXPECT_TRUE(Load("NBSP 2 w 1\n1 1"));
    level.FreeTree(&level.root);
    EXPECT_TRUE(Load("NBSP 2 w 1 1 0 1\n0 0 0 0 0 0 0 0 0 0 0 0 0 0 0 0 a"));
}

TEST_F(LoadTest, ADeepDegenerateTreeLoadsAnswersDrawsAndFrees) {
    constexpr int kDepth = 200000;  // far deeper than a call stack would take, node by node
    ASSERT_TRUE(Load(DeepChainLevel(kDepth)));
    EXPECT_FALSE(level.IsPointSolid(0, 5, 0)) << "down the whole chain to the empty leaf";
    EXPECT_TRUE(level.IsPointSolid(0, -kDepth - 5.0f, 0));

    g_Player.position = {0.25f, 5, 0.25f};
    level.Draw(&level.root);
    ASSERT_EQ(renderer.polygons.size(), 1u);
    EXPECT_STREQ(renderer.polygons[0].lightmapName, "deep-lm");

    level.FreeTree(&level.root);
    EXPECT_EQ(level.root, nullptr);
}

}  // namespace
