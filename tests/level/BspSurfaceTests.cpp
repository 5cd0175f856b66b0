// Binding the level's polygons to textures and lightmap table entries, and
// releasing them again with the tree.
#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "globals/Globals.h"
#include "support/files/Bmp.h"
#include "support/files/LevelFiles.h"
#include "support/observe/LevelTest.h"

namespace {

class SurfaceTest : public LevelTest {
protected:
    void WriteImage(const std::string& name, int width = 2, int height = 2) {
        dir.Write(name + ".bmp", Bmp24(width, height));
    }

    // A level whose root splits the front leaf from the back leaf.
    bool LoadLeaves(const std::vector<std::string>& front, const std::vector<std::string>& back) {
        return Load("NBSP 2 two 3\n0 1 2  0 0 0 0 0 1 1 0 0\n" + EmptyLeaf(front) + EmptyLeaf(back));
    }

    Polygon& FrontPolygon(int i) { return level.root->front->polygons[i]; }
    Polygon& BackPolygon(int i) { return level.root->back->polygons[i]; }
    const Texture& Entry(int j) { return renderer.lightmapTable->entries[j]; }

    // The texture calls made on `texture`, as "Create 2x2" or "Load name.bmp 2x2".
    std::vector<std::string> CallsOn(const Texture* texture) {
        std::vector<std::string> calls;
        for (const auto& call : renderer.textureCalls) {
            if (call.texture != texture) continue;
            std::string size = std::to_string(call.width) + "x" + std::to_string(call.height);
            if (call.operation == "CreateTexture") calls.push_back("Create " + size);
            if (call.operation == "LoadTexture") calls.push_back("Load " + call.fileName + " " + size);
            if (call.operation == "ReleaseTexture") calls.push_back("Release");
        }
        return calls;
    }

    int Loads(const std::string& fileName) {
        return static_cast<int>(std::count_if(renderer.textureCalls.begin(), renderer.textureCalls.end(),
                                              [&](const auto& call) { return call.fileName == fileName; }));
    }
};

using Calls = std::vector<std::string>;

TEST_F(SurfaceTest, TheBlankTextureIsMadeFromLmblankBeforeAnyPolygon) {
    WriteImage("lmblank", 4, 2);
    ASSERT_TRUE(Load(kFloorLevel));
    ASSERT_NE(g_pBlankTexture, nullptr);
    ASSERT_GE(renderer.textureCalls.size(), 2u);
    EXPECT_EQ(renderer.textureCalls[0].texture, g_pBlankTexture);
    EXPECT_EQ(CallsOn(g_pBlankTexture), (Calls{"Create 4x2", "Load lmblank.bmp 4x2"}));
    ASSERT_NE(renderer.lightmapTable, nullptr);
}

TEST_F(SurfaceTest, WithoutImagesEveryPolygonIsBlankAndOnEntryZero) {
    WriteImage("lmblank");
    ASSERT_TRUE(Load(kFloorLevel));
    const Polygon& floor = FrontPolygon(0);
    EXPECT_EQ(floor.textured, 0) << "a texture that cannot be read makes the polygon untextured";
    EXPECT_EQ(floor.texture, g_pBlankTexture);
    EXPECT_EQ(floor.lightmapIndex, 0);
    for (int j = 0; j < kLightmapCount; ++j) {
        EXPECT_EQ(Entry(j).inUse, 0) << j;
        EXPECT_STREQ(Entry(j).name, "") << j;
    }
    EXPECT_EQ(renderer.textureCalls.size(), 2u) << "only the blank texture was made";
}

TEST_F(SurfaceTest, EveryTexturedPolygonGetsATextureRecordOfItsOwn) {
    WriteImage("floor0", 8, 4);
    ASSERT_TRUE(LoadLeaves({PolygonRecord("lm", "floor0"), PolygonRecord("lm", "floor0"), PolygonRecord("lm")}, {}));
    Texture* first = FrontPolygon(0).texture;
    Texture* second = FrontPolygon(1).texture;
    ASSERT_NE(first, nullptr);
    ASSERT_NE(second, nullptr);
    EXPECT_NE(first, second);
    EXPECT_NE(first, g_pBlankTexture);
    EXPECT_EQ(FrontPolygon(0).textured, 1);
    EXPECT_EQ(CallsOn(first), (Calls{"Create 8x4", "Load floor0.bmp 8x4"}));
    EXPECT_EQ(CallsOn(second), (Calls{"Create 8x4", "Load floor0.bmp 8x4"}));
    EXPECT_EQ(FrontPolygon(2).texture, g_pBlankTexture) << "untextured";
}

TEST_F(SurfaceTest, OneLightmapNameSharesOneEntryAndCaseMatters) {
    WriteImage("test-lm000", 16, 8);
    ASSERT_TRUE(
        LoadLeaves({PolygonRecord("test-lm000"), PolygonRecord("test-lm000"), PolygonRecord("Test-LM000")}, {}));
    EXPECT_EQ(FrontPolygon(0).lightmapIndex, 0);
    EXPECT_EQ(FrontPolygon(1).lightmapIndex, 0);
    EXPECT_EQ(FrontPolygon(2).lightmapIndex, 1);
    EXPECT_STREQ(Entry(0).name, "test-lm000");
    EXPECT_STREQ(Entry(1).name, "Test-LM000");
    EXPECT_EQ(Entry(2).inUse, 0);
    EXPECT_EQ(CallsOn(&Entry(0)), (Calls{"Create 16x8", "Load test-lm000.bmp 16x8"}));
    EXPECT_EQ(CallsOn(&Entry(1)), (Calls{"Create 16x8", "Load Test-LM000.bmp 16x8"}));
}

TEST_F(SurfaceTest, AMissingLightmapLeavesItsEntryFreeForTheNextName) {
    WriteImage("test-lm001");
    ASSERT_TRUE(LoadLeaves({PolygonRecord("missing"), PolygonRecord("test-lm001"), PolygonRecord("missing")}, {}));
    EXPECT_EQ(FrontPolygon(0).lightmapIndex, 0);
    EXPECT_EQ(FrontPolygon(1).lightmapIndex, 0) << "the next name met takes entry 0";
    EXPECT_EQ(FrontPolygon(2).lightmapIndex, 0);
    EXPECT_STREQ(Entry(0).name, "test-lm001");
    EXPECT_EQ(Entry(1).inUse, 0);
    EXPECT_STREQ(Entry(1).name, "");
    EXPECT_EQ(Loads("missing.bmp"), 0);
}

TEST_F(SurfaceTest, LightmapEntriesFollowTheWalkFrontSubtreesFirst) {
    for (const char* name : {"a", "b", "c", "d"}) WriteImage(name);
    // Records: 0 the back leaf, 1 the root, 2 the front subtree's back leaf,
    // 3 the front subtree, 4 its front leaf.
    ASSERT_TRUE(Load("NBSP 2 order 5\n" + EmptyLeaf({PolygonRecord("d")}) + "0 3 0  0 0 0 0 0 1 1 0 0\n" +
                     EmptyLeaf({PolygonRecord("c"), PolygonRecord("a")}) + "0 4 2  0 1 0 0 1 1 1 1 0\n" +
                     EmptyLeaf({PolygonRecord("a"), PolygonRecord("b")})));
    for (int j = 0; j < 4; ++j) EXPECT_STREQ(Entry(j).name, std::string(1, "abcd"[j]).c_str()) << j;
    EXPECT_EQ(level.root->back->polygons[0].lightmapIndex, 3);
    EXPECT_EQ(level.root->front->back->polygons[0].lightmapIndex, 2);
    EXPECT_EQ(level.root->front->back->polygons[1].lightmapIndex, 0);
}

TEST_F(SurfaceTest, TheThirtyThirdLightmapStopsTheRestOfItsLeafOnly) {
    WriteImage("lmblank");
    WriteImage("wall0");
    std::vector<std::string> front;
    for (int j = 0; j < kLightmapCount; ++j) {
        WriteImage("lm" + std::to_string(j));
        front.push_back(PolygonRecord("lm" + std::to_string(j)));
    }
    WriteImage("lm-extra");
    front.push_back(PolygonRecord("lm-extra", "wall0"));  // finds no entry
    front.push_back(PolygonRecord("lm3", "wall0"));       // left unbound
    front.push_back(PolygonRecord("lm4"));                // left unbound
    ASSERT_TRUE(LoadLeaves(front, {PolygonRecord("lm5"), PolygonRecord("lm31", "wall0")}));

    for (int j = 0; j < kLightmapCount; ++j) {
        EXPECT_EQ(FrontPolygon(j).lightmapIndex, j);
        EXPECT_EQ(Entry(j).inUse, 1);
    }
    EXPECT_EQ(Loads("lm-extra.bmp"), 0);
    const Polygon& extra = FrontPolygon(32);
    EXPECT_EQ(extra.lightmapIndex, 0);
    EXPECT_NE(extra.texture, g_pBlankTexture) << "its texture was bound before its lightmap";
    EXPECT_EQ(CallsOn(extra.texture), (Calls{"Create 2x2", "Load wall0.bmp 2x2"}));
    for (int i : {33, 34}) {
        EXPECT_EQ(FrontPolygon(i).texture, g_pBlankTexture) << i;
        EXPECT_EQ(FrontPolygon(i).lightmapIndex, 0) << i;
    }
    EXPECT_EQ(BackPolygon(0).lightmapIndex, 5) << "later leaves are still bound";
    EXPECT_EQ(BackPolygon(1).lightmapIndex, 31);
    EXPECT_NE(BackPolygon(1).texture, g_pBlankTexture);
    EXPECT_EQ(Loads("wall0.bmp"), 2);

    // The full table makes the stopped leaf report false; its parent ignores that.
    EXPECT_FALSE(level.BindNodeSurfaces(&level.root->front));
    EXPECT_TRUE(level.BindNodeSurfaces(&level.root->back));
    EXPECT_TRUE(level.BindNodeSurfaces(&level.root));
}

TEST_F(SurfaceTest, BindingAgainReleasesTheTableAndReusesTheBlankRecord) {
    WriteImage("lmblank", 4, 4);
    WriteImage("test-lm000");
    ASSERT_TRUE(Load(kFloorLevel));
    std::vector<const Texture*> oldEntries;
    for (const Texture& entry : renderer.lightmapTable->entries) oldEntries.push_back(&entry);
    Texture* blank = g_pBlankTexture;
    renderer.textureCalls.clear();

    EXPECT_TRUE(level.BindSurfaces());
    ASSERT_GE(renderer.textureCalls.size(), kLightmapCount + 1u);
    for (int j = 0; j < kLightmapCount; ++j) {
        EXPECT_EQ(renderer.textureCalls[j].operation, "ReleaseTexture");
        EXPECT_EQ(renderer.textureCalls[j].texture, oldEntries[j]) << "every entry, in use or not";
    }
    EXPECT_EQ(g_pBlankTexture, blank);
    EXPECT_EQ(CallsOn(blank), (Calls{"Release", "Create 4x4", "Load lmblank.bmp 4x4"}));
    EXPECT_STREQ(Entry(0).name, "test-lm000");
    EXPECT_EQ(Entry(1).inUse, 0);
}

TEST_F(SurfaceTest, WithoutLmblankTheBlankRecordHasNoHandle) {
    ASSERT_TRUE(Load(kFloorLevel));
    ASSERT_NE(g_pBlankTexture, nullptr);
    EXPECT_TRUE(CallsOn(g_pBlankTexture).empty());
    EXPECT_EQ(FrontPolygon(0).texture, g_pBlankTexture);

    // A handle from an earlier binding is released and not kept.
    g_pBlankTexture->glTexture = 7;
    g_pBlankTexture->surface = reinterpret_cast<IDirectDrawSurface7*>(&renderer);
    Texture* blank = g_pBlankTexture;
    renderer.textureCalls.clear();
    level.BindSurfaces();
    EXPECT_EQ(g_pBlankTexture, blank);
    EXPECT_EQ(CallsOn(blank), Calls{"Release"});
    EXPECT_EQ(blank->glTexture, 0u);
    EXPECT_EQ(blank->surface, nullptr);
}

TEST_F(SurfaceTest, FreeingTheTreeReleasesOnlyThePolygonsOwnTextures) {
    WriteImage("lmblank");
    WriteImage("wall0");
    WriteImage("lm");
    ASSERT_TRUE(LoadLeaves({PolygonRecord("lm"), PolygonRecord("lm", "wall0")}, {PolygonRecord("lm", "wall0")}));
    const Texture* frontOwn = FrontPolygon(1).texture;
    const Texture* backOwn = BackPolygon(0).texture;
    LightmapTable* table = renderer.lightmapTable;
    renderer.textureCalls.clear();

    level.FreeTree(&level.root);
    EXPECT_EQ(level.root, nullptr);
    ASSERT_EQ(renderer.textureCalls.size(), 2u);
    EXPECT_EQ(renderer.textureCalls[0].operation, "ReleaseTexture");
    EXPECT_EQ(renderer.textureCalls[0].texture, frontOwn);
    EXPECT_EQ(renderer.textureCalls[1].texture, backOwn);
    EXPECT_EQ(renderer.lightmapTable, table);
    EXPECT_EQ(Entry(0).inUse, 1) << "the table is the renderer's";
    EXPECT_NE(g_pBlankTexture, nullptr);
}

}  // namespace
