// The program as a user starts it, heard through SDL's disk driver: its music
// plays from the start and starts over each time it ends, for as long as the
// program runs.
#include <gtest/gtest.h>

#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstring>
#include <string>
#include <thread>
#include <vector>

#include "support/files/AssetPack.h"
#include "support/files/LevelFiles.h"
#include "support/files/Mp3File.h"
#include "support/files/TempDir.h"

namespace {

TEST(ProgramMusic, TheMusicLoopsForAsLongAsTheProgramRuns) {
    TempDir start;
    TempDir tmp;
    WriteTestAssetPack(start.File("Orvanthelix.zar"), {{"LEVELTEST", kFloorLevel}});
    const std::string mix = tmp.File("mix.raw");

    pid_t program = fork();
    ASSERT_GE(program, 0);
    if (program == 0) {
        if (chdir(start.Path().c_str()) != 0) _exit(127);
        setenv("TMPDIR", tmp.Path().c_str(), 1);
        setenv("SDL_AUDIODRIVER", "disk", 1);
        setenv("SDL_DISKAUDIOFILE", mix.c_str(), 1);
        execl(ORVANTHELIX_PATH, ORVANTHELIX_PATH, static_cast<char*>(nullptr));
        _exit(127);
    }

    // The mix as it stands, cut into runs of loud, quiet and silence.
    const std::size_t frameBytes = 2 * sizeof(float);
    auto heard = [&] {
        std::string bytes = std::filesystem::exists(mix) ? TempDir::Read(mix) : std::string();
        std::vector<float> left;
        for (std::size_t at = 0; at + frameBytes <= bytes.size(); at += frameBytes) {
            float sample = 0;
            std::memcpy(&sample, bytes.data() + at, sizeof sample);
            left.push_back(sample);
        }
        return LevelRuns(left);
    };
    auto starts = [](const std::string& shape) {
        std::size_t count = 0;
        for (std::size_t at = shape.find("Lq"); at != std::string::npos; at = shape.find("Lq", at + 2)) ++count;
        return count;
    };
    // Four starts of the 0.5 s track, then the program is ended as a user's
    // system ends it. Waiting for the plays, not for a length of mix, keeps
    // the check whole when a loaded machine stretches the frames.
    auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(30);
    while (starts(Shape(heard())) < 4 && std::chrono::steady_clock::now() < deadline)
        std::this_thread::sleep_for(std::chrono::milliseconds(100));
    kill(program, SIGTERM);
    int status = 0;
    ASSERT_EQ(waitpid(program, &status, 0), program);
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << status;

    // Each play is the whole track, its loud and its quiet part, and the next
    // starts after its end. The silence between lasts until the next frame's
    // poll, as long as a frame takes on this machine now, so its length is
    // not checked. The program's end cuts the last play short.
    std::vector<LevelRun> runs = heard();
    std::string shape = Shape(runs);
    while (!runs.empty() && runs.back().kind == '.') runs.pop_back();  // after the shut-down
    std::size_t first = shape.find("Lq");
    ASSERT_NE(first, std::string::npos) << shape;
    int plays = 0;
    for (std::size_t i = first; i < runs.size(); ++i) {
        const bool last = i + 2 >= runs.size();  // perhaps cut short
        if (runs[i].kind == 'L' && !last) {
            EXPECT_EQ(runs[i + 1].kind, 'q') << shape;
            EXPECT_NEAR(double(runs[i].windows), 25, 2) << shape;
            EXPECT_NEAR(double(runs[i + 1].windows), 25, 2) << shape;
            ++plays;
            ++i;
        } else if (runs[i].kind != '.') {
            EXPECT_TRUE(last) << shape;
        }
    }
    EXPECT_GE(plays, 3) << shape;
}

}  // namespace
