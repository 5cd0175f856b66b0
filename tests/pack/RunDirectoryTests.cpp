#include <gtest/gtest.h>

#include <fcntl.h>
#include <sys/file.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <csignal>
#include <cstdlib>
#include <filesystem>
#include <fstream>

#include "pack/ExtraAssets.h"
#include "pack/RunDirectory.h"
#include "pack/UnpackTable.h"
#include "platform/core/Files.h"
#include "support/files/AssetPack.h"
#include "support/files/TempDir.h"
#include "support/stand-ins/TestSeam.h"

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
    EXPECT_EQ(EntriesIn(run), 26) << "the 25 files and the run's mark";
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

// A level's textures and lightmap pages beyond the table's are unpacked after
// them, each to its name in lower case, and deleted with them.
const std::vector<std::pair<std::string, std::string>> kExtras = {{"TEXTUREBrick_7", "a brick picture"},
                                                                  {"LMAPTEST-LM005", "a sixth page"}};

TEST_F(UnpackTest, ExtraTexturesAndPagesAreUnpackedAndDeletedWithTheTable) {
    WriteTestAssetPack(start.File("Orvanthelix.zar"), {}, kExtras);
    ScopedCurrentDir inStart(start.Path());
    UnpackAssets();
    const fs::path run = fs::current_path();
    EXPECT_EQ(EntriesIn(run), 29) << "the 25 files, the 2 extras, the mark and the extras' list";
    EXPECT_EQ(TempDir::Read("brick_7.bmp"), "a brick picture");
    EXPECT_EQ(TempDir::Read("test-lm005.bmp"), "a sixth page");
    EXPECT_EQ(TempDir::Read("wall0.bmp"), TestAssetBytes("TEXTUREWALL0"));
    DeleteUnpackedAssets();
    EXPECT_FALSE(fs::exists(run));
    EXPECT_EQ(EntriesIn(tmp.Path()), 0);

    // As many extra textures and pages as the caps allow are all unpacked.
    std::vector<std::pair<std::string, std::string>> most;
    for (int i = 0; i < kMaxExtraTextures; ++i) most.push_back({"TEXTURE" + std::to_string(i), "t"});
    for (int i = 0; i < kMaxExtraLightmapPages; ++i) most.push_back({"LMAPP" + std::to_string(i), "p"});
    WriteTestAssetPack(start.File("Orvanthelix.zar"), {}, most);
    UnpackAssets();
    EXPECT_EQ(EntriesIn(fs::current_path()), 25 + kMaxExtraTextures + kMaxExtraLightmapPages + 2);
    EXPECT_EQ(TempDir::Read("p" + std::to_string(kMaxExtraLightmapPages - 1) + ".bmp"), "p");
    DeleteUnpackedAssets();
    EXPECT_EQ(EntriesIn(tmp.Path()), 0);
}

// A pack whose extra entry would go anywhere but a file of its own in the run
// directory, or that holds more than the caps, is refused whole before
// anything is written: one line names the entry, the run directory holds only
// its mark, and the level's start then fails as without a pack.
TEST_F(UnpackTest, AHostileExtraEntryRefusesThePackAndWritesNothing) {
    std::vector<std::pair<std::string, std::string>> many;
    for (int i = 0; i < 100000; ++i) many.push_back({"TEXTURE" + std::to_string(i), "x"});
    std::vector<std::pair<std::string, std::string>> pages;
    for (int i = 0; i <= kMaxExtraLightmapPages; ++i) pages.push_back({"LMAPP" + std::to_string(i), "x"});
    const std::pair<std::vector<std::pair<std::string, std::string>>, std::string> cases[] = {
        {{{"TEXTURE../../x", "escape"}}, "TEXTURE../../x"},
        {{{"TEXTUREa/b", "slash"}}, "TEXTUREa/b"},
        {{{"LMAP", "no name"}}, "LMAP"},
        {{{"TEXTUREWall0", "the table's file"}}, "TEXTUREWall0"},
        {{{"TEXTUREW", "one"}, {"LMAPw", "the same file"}}, "LMAPw"},
        {many, "TEXTURE" + std::to_string(kMaxExtraTextures)},
        {pages, "LMAPP" + std::to_string(kMaxExtraLightmapPages)},
        {{}, "TEXTUREBIG"},  // the header alone says how large
    };
    // Where "../../x" from the run directory would go; it may exist already.
    const fs::path escape = tmp.Path().parent_path() / "x";
    const bool escapeExisted = fs::exists(escape);
    ScopedCurrentDir inStart(start.Path());
    for (const auto& [extras, named] : cases) {
        if (extras.empty())
            std::ofstream(start.File("Orvanthelix.zar")) << "1 TEXTUREBIG " << kMaxExtraBytes + 1 << "\nx\n";
        else
            WriteTestAssetPack(start.File("Orvanthelix.zar"), {}, extras);
        testing::internal::CaptureStderr();
        UnpackAssets();
        const std::string said = testing::internal::GetCapturedStderr();
        EXPECT_TRUE(said.starts_with("orvanthelix: the pack entry " + named + " is refused: ")) << said;
        EXPECT_TRUE(said.ends_with("; nothing is unpacked.\n")) << said;
        EXPECT_EQ(std::count(said.begin(), said.end(), '\n'), 1) << said;
        EXPECT_EQ(EntriesIn(fs::current_path()), 1) << named << ": only the run's mark";
        DeleteUnpackedAssets();
        EXPECT_EQ(EntriesIn(tmp.Path()), 0) << named;
        EXPECT_EQ(EntriesIn(start.Path()), 1) << named << ": only the pack";
        EXPECT_EQ(fs::exists(escape), escapeExisted) << named;
    }
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
    EXPECT_EQ(EntriesIn(fs::current_path()), 1) << "only the run's mark";
    DeleteUnpackedAssets();
    EXPECT_EQ(EntriesIn(tmp.Path()), 0);
    EXPECT_EQ(TempDir::Read(start.File("test.bsp")), "the user's level");
}

// A TMPDIR that does not exist, or a new directory there that is not the
// user's own and private (one swapped in by someone else before it was
// opened, stood in for through the seam), gives way to /tmp; the refused
// directory is left as it was found.
TEST_F(UnpackTest, AnUnusableTmpdirGivesWayToTmpAndSaysSo) {
    start.Write("test.mdl", "the user's model");
    ScopedCurrentDir inStart(start.Path());
    const std::pair<const char*, std::int64_t> swaps[] = {
        {"", 0}, {"fstat.st_uid", getuid() + 1}, {"fstat.st_mode", S_IFDIR | 0755}, {"fstat.st_mode", S_IFREG | 0700}};
    for (const auto& [seen, as] : swaps) {
        const std::string base = *seen ? tmp.Path().string() : start.File("no-such-dir");
        setenv("TMPDIR", base.c_str(), 1);
        seam::Reset();
        if (*seen) seam::ArmFailure(seen, as);
        testing::internal::CaptureStderr();
        UnpackAssets();
        const std::string said = testing::internal::GetCapturedStderr();
        const fs::path run = fs::current_path();
        EXPECT_EQ(run.parent_path(), "/tmp") << seen;
        EXPECT_EQ(said, "orvanthelix: TMPDIR \"" + base + "\" cannot be used (" +
                            (*seen ? "Operation not permitted" : "No such file or directory") +
                            "); unpacking under /tmp instead.\n");
        EXPECT_EQ(TempDir::Read("test.mdl"), TestAssetBytes("MODELTEST"));
        DeleteUnpackedAssets();
        EXPECT_FALSE(fs::exists(run));
        EXPECT_EQ(TempDir::Read(start.File("test.mdl")), "the user's model");
        if (!*seen) continue;
        ASSERT_EQ(EntriesIn(tmp.Path()), 1) << seen << ": the refused directory stays";
        const fs::path refused = fs::directory_iterator(tmp.Path())->path();
        EXPECT_EQ(EntriesIn(refused), 0) << seen << ": nothing is written into it";
        fs::remove(refused);
    }
    seam::Reset();
}

// A file system that is full (here: a file size limit) takes the first files
// and refuses the next: one line names the first file refused and why, and no
// file is left cut short.
TEST_F(UnpackTest, AFileThatCannotBeWrittenIsNamedOnStderrAndNotLeftHalfWritten) {
    ScopedCurrentDir inStart(start.Path());
    struct rlimit saved;
    getrlimit(RLIMIT_FSIZE, &saved);
    auto savedSignal = std::signal(SIGXFSZ, SIG_IGN);
    struct rlimit small = saved;
    small.rlim_cur = 1024;  // the mark and the small test assets fit; "jump.wav" does not
    setrlimit(RLIMIT_FSIZE, &small);
    testing::internal::CaptureStderr();
    UnpackAssets();
    const std::string said = testing::internal::GetCapturedStderr();
    setrlimit(RLIMIT_FSIZE, &saved);
    std::signal(SIGXFSZ, savedSignal);

    const std::string run = fs::current_path().string();
    EXPECT_EQ(said, "orvanthelix: could not unpack jump.wav to " + run + "/jump.wav: File too large\n");
    for (const auto& [entry, file, kind] : kExpectedAssets)
        EXPECT_TRUE(!fs::exists(file) || TempDir::Read(file) == TestAssetBytes(entry)) << file;
    EXPECT_FALSE(fs::exists("jump.wav"));
    EXPECT_TRUE(fs::exists("box0.bmp"));
    DeleteUnpackedAssets();
    EXPECT_EQ(EntriesIn(tmp.Path()), 0);
}

TEST_F(UnpackTest, AStrayFileKeepsThePrivateDirectory) {
    ScopedCurrentDir inStart(start.Path());
    UnpackAssets();
    fs::path run = fs::current_path();
    std::ofstream("not-ours.txt") << "x";
    DeleteUnpackedAssets();
    EXPECT_TRUE(fs::exists(run / "not-ours.txt"));
    EXPECT_EQ(EntriesIn(run), 2) << "the stray file, and the mark, so that a later start tries again";

    // A later start does, and once the stray file is gone the directory goes.
    UnpackAssets();
    DeleteUnpackedAssets();
    EXPECT_EQ(EntriesIn(run), 2);
    fs::remove(run / "not-ours.txt");
    UnpackAssets();
    DeleteUnpackedAssets();
    EXPECT_FALSE(fs::exists(run));
    EXPECT_EQ(EntriesIn(tmp.Path()), 0);
}

// A run of the engine in a process of its own, started in START: it unpacks,
// then ends when the write end of its pipe closes, deleting nothing, as a
// killed run does. Returns its directory; HOLD is the write end.
fs::path RunElsewhere(const fs::path& start, int& hold) {
    int path[2], held[2];
    if (pipe(path) != 0 || pipe(held) != 0) return {};
    if (fork() == 0) {
        close(held[1]);
        fs::current_path(start);
        UnpackAssets();
        const std::string run = fs::current_path().string();
        (void)!write(path[1], run.data(), run.size());
        close(path[1]);
        char byte;
        (void)!read(held[0], &byte, 1);
        _exit(0);
    }
    close(path[1]);
    close(held[0]);
    char text[4096];
    const ssize_t length = read(path[0], text, sizeof text);
    close(path[0]);
    hold = held[1];
    return length > 0 ? fs::path(std::string(text, length)) : fs::path();
}

// Every file under DIR with its bytes, to see that nothing changed.
std::string Snapshot(const fs::path& dir) {
    std::string all;
    for (const auto& entry : fs::recursive_directory_iterator(dir))
        all += entry.path().string() + (entry.is_regular_file() ? "=" + TempDir::Read(entry.path()) : "/") + "\n";
    return all;
}

// What killed runs left is removed by the next start; a live run's directory
// stays, and so does every directory the engine did not mark as its own,
// whatever its name and whatever it holds.
TEST_F(UnpackTest, AStartRemovesWhatKilledRunsLeftAndNothingElse) {
    WriteTestAssetPack(start.File("Orvanthelix.zar"), {}, kExtras);
    int hold = -1, held = -1;
    const fs::path live = RunElsewhere(start.Path(), hold);
    const fs::path killed = RunElsewhere(start.Path(), held);
    close(held);
    waitpid(-1, nullptr, 0);
    ASSERT_TRUE(fs::exists(killed / "brick_7.bmp"));
    ASSERT_TRUE(fs::exists(live / "brick_7.bmp"));
    // A killed run's directory where the user has put a file of their own
    // (named as an extra could be) keeps it, and so stays.
    const fs::path kept = RunElsewhere(start.Path(), held);
    close(held);
    waitpid(-1, nullptr, 0);
    std::ofstream(kept / "shot.bmp") << "the user's picture";
    // A killed run's directory of another user's (stood in for through the
    // seam) is never touched.
    const fs::path foreign = RunElsewhere(start.Path(), held);
    close(held);
    waitpid(-1, nullptr, 0);
    seam::Reset();
    seam::ArmFailure("fstat.st_uid " + foreign.filename().string(), getuid() + 1, 100);
    // A list of extras naming files no extra is unpacked to (a damaged one)
    // deletes none of them.
    std::ofstream(kept / ".orvanthelix-extras") << "notes.txt\nShot.bmp\nbrick_7.bmp\n";
    std::ofstream(kept / "notes.txt") << "the user's notes";
    std::ofstream(kept / "Shot.bmp") << "another picture";

    fs::path users = tmp.Path() / "users";
    fs::create_directory(users);
    for (const char* name : {"orvanthelix-master", "orvanthelix-assets", "orvanthelix-Kil1ed"}) {
        fs::create_directory(users / name);
        for (const auto& asset : kUnpackTable) std::ofstream(users / name / asset.file) << "the user's " << asset.file;
        std::ofstream(users / name / "README.md") << "the user's notes";
    }
    std::ofstream(users / "orvanthelix-Kil1ed" / ".orvanthelix-run") << "not the engine's mark";
    const std::string before = Snapshot(users);
    setenv("TMPDIR", users.c_str(), 1);
    {
        ScopedCurrentDir inStart(start.Path());
        UnpackAssets();
        DeleteUnpackedAssets();
    }
    EXPECT_EQ(Snapshot(users), before) << "the user's directories are as they were";

    // A relative TMPDIR is taken from the start directory, like an absolute one.
    setenv("TMPDIR", fs::relative(tmp.Path(), start.Path()).c_str(), 1);
    ScopedCurrentDir inStart(start.Path());
    UnpackAssets();
    EXPECT_EQ(fs::current_path().parent_path(), tmp.Path());
    EXPECT_FALSE(fs::exists(killed));
    EXPECT_EQ(EntriesIn(live), 29) << "the live run's files, its extras, its mark and their list";
    EXPECT_EQ(EntriesIn(kept), 4) << "the user's files, and the mark put back so that a later start tries again";
    EXPECT_EQ(TempDir::Read(kept / "shot.bmp"), "the user's picture");
    EXPECT_EQ(TempDir::Read(kept / "notes.txt"), "the user's notes");
    EXPECT_EQ(TempDir::Read(kept / "Shot.bmp"), "another picture");
    EXPECT_EQ(EntriesIn(foreign), 29) << "the other user's directory is as it was";
    DeleteUnpackedAssets();
    seam::Reset();
    close(hold);
    wait(nullptr);
    EXPECT_EQ(EntriesIn(tmp.Path()), 4) << "users/, the live run's directory, which it never deleted, the kept one "
                                           "and the other user's";
}

// Where the file system gives no lock, a run cannot tell a killed run's
// directory from a live one's: it unpacks into its own and leaves others be.
TEST_F(UnpackTest, WithoutALockARunPlaysAndLeavesOtherRunsAlone) {
    int hold = -1;
    const fs::path killed = RunElsewhere(start.Path(), hold);
    close(hold);
    wait(nullptr);
    seam::Reset();
    seam::ArmFailure("flock.Refused", 1);
    ScopedCurrentDir inStart(start.Path());
    UnpackAssets();
    EXPECT_EQ(TempDir::Read("test.bsp"), TestAssetBytes("LEVELTEST"));
    EXPECT_TRUE(fs::exists(killed / "test.bsp"));
    DeleteUnpackedAssets();
    EXPECT_EQ(EntriesIn(tmp.Path()), 1) << "only the killed run's directory";
    seam::Reset();
}

}  // namespace
