#include <gtest/gtest.h>

#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>

#include "app/Unpack.h"
#include "pack/UnpackTable.h"
#include "platform/core/Files.h"
#include "support/AssetPack.h"
#include "support/TempDir.h"

namespace fs = std::filesystem;

namespace {

// The entries, the files they go to and their kinds, in the order of
// extraction and deletion, written out here: the test pack and the demo pack
// are both made from the engine's own table, so a typo there would pass unseen.
struct ExpectedAsset {
    const char* entry;
    const char* file;
    AssetKind kind;
};
const ExpectedAsset kExpectedAssets[25] = {
    {"TEXTUREBOX0", "box0.bmp", AssetKind::Texture},
    {"TEXTURECEILING0", "ceiling0.bmp", AssetKind::Texture},
    {"TEXTUREDOOR0", "door0.bmp", AssetKind::Texture},
    {"TEXTUREDOOR1", "door1.bmp", AssetKind::Texture},
    {"TEXTUREFLOOR0", "floor0.bmp", AssetKind::Texture},
    {"TEXTUREFLOOR1", "floor1.bmp", AssetKind::Texture},
    {"SOUNDJUMP", "jump.wav", AssetKind::Sound},
    {"LMAPLMBLANK", "lmblank.bmp", AssetKind::BlankLightmap},
    {"TEXTUREMFRAME0", "mainframe0.bmp", AssetKind::Texture},
    {"TEXTURERAMP0", "ramp0.bmp", AssetKind::Texture},
    {"TEXTURESTAIR0", "stair0.bmp", AssetKind::Texture},
    {"LEVELTEST", "test.bsp", AssetKind::Level},
    {"MODELTEST", "test.mdl", AssetKind::Model},
    {"MP3TEST", "test.mp3", AssetKind::Music},
    {"LMAPTEST-LM000", "test-lm000.bmp", AssetKind::LightmapPage},
    {"LMAPTEST-LM001", "test-lm001.bmp", AssetKind::LightmapPage},
    {"LMAPTEST-LM002", "test-lm002.bmp", AssetKind::LightmapPage},
    {"LMAPTEST-LM003", "test-lm003.bmp", AssetKind::LightmapPage},
    {"LMAPTEST-LM004", "test-lm004.bmp", AssetKind::LightmapPage},
    {"TEXTUREWALL0", "wall0.bmp", AssetKind::Texture},
    {"TEXTUREWALL1", "wall1.bmp", AssetKind::Texture},
    {"TEXTUREWALL2", "wall2.bmp", AssetKind::Texture},
    {"TEXTUREWALL3", "wall3.bmp", AssetKind::Texture},
    {"TEXTUREWALL4", "wall4.bmp", AssetKind::Texture},
    {"TEXTUREWALL5", "wall5.bmp", AssetKind::Texture},
};

class UnpackTest : public ::testing::Test {
protected:
    void SetUp() override {
        setenv("TMPDIR", tmp.Path().c_str(), 1);
        WriteTestAssetPack(start.File("Orvanthelix.zar"));
    }
    void TearDown() override { unsetenv("TMPDIR"); }

    static int EntriesIn(const fs::path& dir) {
        return static_cast<int>(std::distance(fs::directory_iterator(dir), fs::directory_iterator()));
    }

    TempDir start;  // where the user starts the program
    TempDir tmp;    // $TMPDIR
};

TEST_F(UnpackTest, EntriesGoToAPrivateDirectoryThatIsGoneAfterwards) {
    ScopedCurrentDir inStart(start.Path());
    UnpackAssets();

    fs::path run = fs::current_path();
    EXPECT_EQ(run.parent_path(), tmp.Path());
    EXPECT_EQ(EntriesIn(run), 25);
    for (const auto& [entry, file, kind] : kExpectedAssets)
        EXPECT_EQ(TempDir::Read(file), TestAssetBytes(entry)) << file;
    ASSERT_EQ(kUnpackTable.size(), std::size(kExpectedAssets));
    for (std::size_t i = 0; i < kUnpackTable.size(); ++i) {  // the order of extraction and deletion
        EXPECT_STREQ(kUnpackTable[i].entry, kExpectedAssets[i].entry) << i;
        EXPECT_STREQ(kUnpackTable[i].file, kExpectedAssets[i].file) << i;
        EXPECT_EQ(kUnpackTable[i].kind, kExpectedAssets[i].kind) << i;
    }
    EXPECT_EQ(ResolveFileName("Test.bsp"), "test.bsp");  // as the level loader names it

    DeleteUnpackedAssets();
    EXPECT_EQ(fs::current_path(), start.Path());
    EXPECT_FALSE(fs::exists(run));
    EXPECT_EQ(EntriesIn(tmp.Path()), 0);
    EXPECT_EQ(EntriesIn(start.Path()), 1) << "only the pack is in the start directory";
}

TEST_F(UnpackTest, AUsersOwnFileOfTheSameNameIsNeitherReadNorTouched) {
    start.Write("wall0.bmp", "the user's picture");
    ScopedCurrentDir inStart(start.Path());
    UnpackAssets();
    EXPECT_EQ(TempDir::Read("wall0.bmp"), TestAssetBytes("TEXTUREWALL0"));
    DeleteUnpackedAssets();
    EXPECT_EQ(TempDir::Read(start.File("wall0.bmp")), "the user's picture");
}

TEST_F(UnpackTest, AMissingPackExtractsNothingAndLeavesNoDirectory) {
    fs::remove(start.File("Orvanthelix.zar"));
    start.Write("test.bsp", "the user's level");
    ScopedCurrentDir inStart(start.Path());
    UnpackAssets();
    EXPECT_EQ(EntriesIn(fs::current_path()), 0);
    DeleteUnpackedAssets();
    EXPECT_EQ(EntriesIn(tmp.Path()), 0);
    EXPECT_EQ(TempDir::Read(start.File("test.bsp")), "the user's level");
}

TEST_F(UnpackTest, WithoutAPrivateDirectoryNothingIsWrittenOrDeleted) {
    setenv("TMPDIR", start.File("no-such-dir").c_str(), 1);
    start.Write("test.mdl", "the user's model");
    ScopedCurrentDir inStart(start.Path());
    UnpackAssets();
    EXPECT_EQ(fs::current_path(), start.Path());
    EXPECT_EQ(EntriesIn(start.Path()), 2) << "the pack and the user's file, nothing unpacked";
    DeleteUnpackedAssets();
    EXPECT_EQ(TempDir::Read(start.File("test.mdl")), "the user's model");
}

TEST_F(UnpackTest, AStrayFileKeepsThePrivateDirectory) {
    ScopedCurrentDir inStart(start.Path());
    UnpackAssets();
    fs::path run = fs::current_path();
    std::ofstream("not-ours.txt") << "x";
    DeleteUnpackedAssets();
    EXPECT_TRUE(fs::exists(run / "not-ours.txt"));
    EXPECT_EQ(EntriesIn(run), 1);
}

// What killed runs left is removed by the next start; a directory whose run
// still holds its lock, one not named as ours, and a file not from the pack
// are left alone.
TEST_F(UnpackTest, AStartRemovesWhatKilledRunsLeftAndNothingElse) {
    const fs::path killed = tmp.Path() / "orvanthelix-Kil1ed";
    const fs::path live = tmp.Path() / "orvanthelix-L1veRn";
    const fs::path killedWithNote = tmp.Path() / "orvanthelix-N0teXX";
    const fs::path other = tmp.Path() / "orvanthelix-e2e-Other1";
    for (const fs::path& dir : {killed, live, killedWithNote, other}) {
        fs::create_directory(dir);
        for (const char* file : {"test.bsp", "wall0.bmp"}) std::ofstream(dir / file) << "x";
    }
    std::ofstream(killedWithNote / "notes.txt") << "mine";
    int liveLock = open(live.c_str(), O_RDONLY | O_DIRECTORY);
    ASSERT_EQ(flock(liveLock, LOCK_EX | LOCK_NB), 0);

    ScopedCurrentDir inStart(start.Path());
    UnpackAssets();
    EXPECT_FALSE(fs::exists(killed));
    EXPECT_EQ(EntriesIn(live), 2);
    EXPECT_EQ(EntriesIn(other), 2);
    EXPECT_EQ(EntriesIn(killedWithNote), 1) << "only the pack's files go";
    DeleteUnpackedAssets();
    EXPECT_EQ(EntriesIn(tmp.Path()), 3) << "the run's own directory is gone";
    close(liveLock);
}

}  // namespace
