// Runs "orvtool compile" as a user does.
#include <sys/wait.h>

#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "support/files/Bmp.h"
#include "support/files/LevelReader.h"
#include "support/files/TempDir.h"

namespace {

struct RunResult {
    int status;
    std::string out;
    std::string err;
};

class CompileCommandTest : public testing::Test {
protected:
    RunResult Run(const std::string& args) {
        const std::string command = std::string("'") + ORVTOOL_PATH + "' compile " + args + " >'" + dir.File("stdout") +
                                    "' 2>'" + dir.File("stderr") + "' </dev/null";
        const int status = std::system(command.c_str());
        return {WIFEXITED(status) ? WEXITSTATUS(status) : -1, TempDir::Read(dir.File("stdout")),
                TempDir::Read(dir.File("stderr"))};
    }

    TempDir dir;
};

TEST_F(CompileCommandTest, WritesTheLevelAndItsPagesMakingTheDirectory) {
    const std::string out = dir.File("out/level");
    const RunResult result = Run(ORV_SOURCE_DIR "/tests/compiler/maps/sample.map -o '" + out + "'");
    EXPECT_EQ(result.status, 0) << result.err;
    EXPECT_EQ(result.err, "");
    EXPECT_NE(result.out.find("brushes"), std::string::npos) << result.out;
    EXPECT_NE(result.out.find("wrote "), std::string::npos) << result.out;
    std::string error;
    const ReadLevel level = ReadLevel::Parse(TempDir::Read(out + "/sample.bsp"), error);
    EXPECT_EQ(error, "");
    EXPECT_FALSE(level.IsPointSolid({0, 5, 0}));
    EXPECT_EQ(TempDir::Read(out + "/sample-lm000.bmp").substr(0, 2), "BM");
    EXPECT_EQ(TempDir::Read(out + "/sample-lm001.bmp").substr(0, 2), "BM");
    EXPECT_FALSE(std::filesystem::exists(out + "/sample-lm002.bmp"));
}

TEST_F(CompileCommandTest, LinksAnotherUserPlantedInTheFolderAreNeitherFollowedNorOverwritten) {
    // In a folder others can write to, links wait at the names the run's pid
    // gives the new files (the shell's pid is orvtool's after exec), all to a
    // file of the user's.
    const std::string out = dir.File("shared");
    std::filesystem::create_directory(out);
    const std::string victim = dir.Write("victim", "the user's own");
    std::string plant;
    for (const char* name : {"sample.bsp", "sample-lm000.bmp", "sample-lm001.bmp"})
        plant += "ln -s '" + victim + "' '" + out + "/" + name + ".tmp'$$; ";
    const std::string command = "sh -c \"" + plant + "exec '" + ORVTOOL_PATH +
                                "' compile " ORV_SOURCE_DIR "/tests/compiler/maps/sample.map -o '" + out +
                                "'\" >/dev/null 2>&1 </dev/null";
    EXPECT_EQ(std::system(command.c_str()), 0);
    EXPECT_EQ(TempDir::Read(victim), "the user's own");
    std::string error;
    ReadLevel::Parse(TempDir::Read(out + "/sample.bsp"), error);
    EXPECT_EQ(error, "");
    EXPECT_EQ(TempDir::Read(out + "/sample-lm001.bmp").substr(0, 2), "BM");
    int links = 0;
    for (const auto& entry : std::filesystem::directory_iterator(out)) links += entry.is_symlink();
    EXPECT_EQ(links, 3);
}

TEST_F(CompileCommandTest, BadMapsFailWithOneLine) {
    const std::string map = dir.Write("bad.map", "level bad\nstart 0 5 0\nbox 0 0 0 1 1 1 w colour\n");
    const RunResult result = Run("'" + map + "' -o '" + dir.Path().string() + "'");
    EXPECT_EQ(result.status, 1);
    EXPECT_EQ(result.err,
              "orvtool: " + map + ":3: unknown texture option 'colour' (expected scale, offset or rotate)\n");
    EXPECT_FALSE(std::filesystem::exists(dir.File("bad.bsp")));

    const RunResult missing = Run("'" + dir.File("none.map") + "' -o '" + dir.Path().string() + "'");
    EXPECT_EQ(missing.status, 1);
    EXPECT_EQ(missing.err.rfind("orvtool: cannot read '", 0), 0u) << missing.err;

    // A room without its ceiling.
    const std::string leaky = dir.Write("leak.map",
                                        "level leak\nstart 0 5 0\nbox -9 -1 -9 9 0 9 w\n"
                                        "box -9 0 -9 -8 9 9 w\nbox 8 0 -9 9 9 9 w\n"
                                        "box -8 0 -9 8 9 -8 w\nbox -8 0 8 8 9 9 w\n");
    const RunResult leak = Run("'" + leaky + "' -o '" + dir.Path().string() + "'");
    EXPECT_EQ(leak.status, 1);
    EXPECT_NE(leak.err.find("leak: the map is not sealed"), std::string::npos) << leak.err;

    const std::string sample = ORV_SOURCE_DIR "/tests/compiler/maps/sample.map";
    const RunResult unmade = Run("'" + sample + "' -o '" + dir.Write("file", "") + "/out'");
    EXPECT_EQ(unmade.status, 1);
    EXPECT_EQ(unmade.out, "") << "refused before compiling";
    EXPECT_EQ(unmade.err.rfind("orvtool: cannot make the directory '", 0), 0u) << unmade.err;
}

TEST_F(CompileCommandTest, EditorMapsGetTheirTexturesBesideTheLevel) {
    const std::string out = dir.File("out");
    std::filesystem::create_directories(dir.Path() / "out");
    std::filesystem::create_directories(dir.Path() / "textures/base");
    const std::string wall = MakeBmp24(16, 8, [](int, int) { return Rgb{10, 200, 30}; });
    dir.Write("textures/base/wall.bmp", wall);
    const RunResult result = Run(ORV_SOURCE_DIR "/tests/compiler/maps/two-rooms.map -o '" + out + "' --textures '" +
                                 dir.File("textures") + "' --scale 16 -j 1");
    EXPECT_EQ(result.status, 0) << result.err;
    EXPECT_NE(result.out.find("wrote 6 textures"), std::string::npos) << result.out;
    EXPECT_NE(result.out.find("summary: 14 brushes kept, 3 left out (func_door: 1, in omitted layers: 1, tool "
                              "brushes: 1)\n         lights: 2 point, 0 spot; no sunlight\n         start: the "
                              "info_player_start of line 125 at (-64 0 24), looking 0 degrees\n         model: none "
                              "(the map has no orvanthelix_model)\n"),
              std::string::npos)
        << result.out;
    EXPECT_NE(result.err.find("orvtool: warning: "), std::string::npos);
    EXPECT_EQ(TempDir::Read(out + "/wall.bmp"), wall);  // a power-of-two picture goes through unchanged
    EXPECT_EQ(TempDir::Read(out + "/step.bmp").substr(0, 2), "BM");
    std::string error;
    const ReadLevel level = ReadLevel::Parse(TempDir::Read(out + "/two-rooms.bsp"), error);
    EXPECT_EQ(error, "");
    EXPECT_FALSE(level.IsPointSolid({0, 5, 0}));
    EXPECT_TRUE(level.IsPointSolid({0, -0.1f, 0}));
    // The lintel, 112 units up at x = 136, 200 units ahead of the start: at
    // 16 editor units to one it is at (0, 7, 12.5).
    EXPECT_TRUE(level.IsPointSolid({0, 7, 12.5f}));
    EXPECT_FALSE(level.IsPointSolid({0, 5, 12.5f}));
}

TEST_F(CompileCommandTest, TakesTheThreadsInEachFormBuildToolsUse) {
    // Taken, the command goes on to the map, which is not there: status 1, not the usage's 2.
    for (const char* threads : {"-j 2", "-j2", "--jobs 2", "--jobs=64"}) {
        SCOPED_TRACE(threads);
        const RunResult result = Run("'" + dir.File("none.map") + "' -o '" + dir.File("out") + "' " + threads);
        EXPECT_EQ(result.status, 1);
        EXPECT_EQ(result.err.rfind("orvtool: cannot read '", 0), 0u) << result.err;
    }
}

TEST_F(CompileCommandTest, MisusedCommandLineFails) {
    for (const char* args : {"", "a.map", "-o dir", "a.map -o", "a.map -o d -j 0", "a.map -o d -j65",
                             "a.map -o d --jobs=0", "a.map -o d -jx", "a.map -o d --jobs", "a.map b.map -o d",
                             "a.map -o d --scale -1", "a.map -o d --textures"}) {
        SCOPED_TRACE(args);
        const RunResult result = Run(args);
        EXPECT_EQ(result.status, 2);
        EXPECT_EQ(result.err,
                  "orvtool: usage: orvtool compile MAP -o DIR [-j|--jobs THREADS] [--textures FOLDER|WAD]... "
                  "[--palette FILE] "
                  "[--scale UNITS]\n");
    }
}

}  // namespace
