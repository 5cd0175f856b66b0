// Runs "orvtool walk" on small levels and compares the trajectories it prints
// with values worked out by hand from the player's rules. The tool runs with
// no display, no images and no sound.
#include <gtest/gtest.h>

#include <array>
#include <cmath>
#include <cstdlib>
#include <sstream>
#include <string>
#include <vector>

#include "support/files/LevelFiles.h"
#include "support/files/Orvtool.h"
#include "support/files/TempDir.h"

namespace {

struct WalkFrame {
    long frame;
    float x, y, z, yaw, pitch, vx, vy, vz;
    int airborne;
};

std::vector<WalkFrame> ParseFrames(const std::string& out) {
    std::vector<WalkFrame> frames;
    std::istringstream lines(out);
    std::string line;
    while (std::getline(lines, line)) {
        std::istringstream fields(line);
        WalkFrame f{};
        fields >> f.frame >> f.x >> f.y >> f.z >> f.yaw >> f.pitch >> f.vx >> f.vy >> f.vz >> f.airborne;
        EXPECT_TRUE(fields && fields.peek() == EOF) << "a malformed line: " << line;
        frames.push_back(f);
    }
    return frames;
}

constexpr float kTolerance = 1e-5f;

class WalkCommandTest : public ::testing::Test {
protected:
    void SetUp() override {
        if (const char* display = std::getenv("DISPLAY")) savedDisplay = display;
        unsetenv("DISPLAY");
    }
    void TearDown() override {
        if (!savedDisplay.empty()) setenv("DISPLAY", savedDisplay.c_str(), 1);
    }

    // Runs the walk and returns its frames; the run must succeed quietly.
    std::vector<WalkFrame> Walk(const std::string& level, const std::string& script,
                                const std::vector<std::string>& extra = {}) {
        std::vector<std::string> args = {"walk", dir.Write("level.bsp", level), script};
        args.insert(args.end(), extra.begin(), extra.end());
        const ToolResult result = RunOrvtool(args);
        EXPECT_EQ(result.status, 0) << result.err;
        EXPECT_EQ(result.err, "");
        return ParseFrames(result.out);
    }

    std::string savedDisplay;
    TempDir dir;
};

TEST_F(WalkCommandTest, HoldingForwardAcceleratesByATenthPerFrameUpToTheCap) {
    const auto frames = Walk(kFloorLevel, "w*6");
    ASSERT_EQ(frames.size(), 6u);
    // Moves of 0.125, 0.225, 0.325, 0.425, then 0.5; the speed left after friction 0.1 more each frame.
    const float z[] = {0.125f, 0.35f, 0.675f, 1.1f, 1.6f, 2.1f};
    const float vz[] = {0.1f, 0.2f, 0.3f, 0.4f, 0.475f, 0.475f};
    for (std::size_t i = 0; i < frames.size(); ++i) {
        SCOPED_TRACE(i + 1);
        EXPECT_EQ(frames[i].frame, static_cast<long>(i + 1));
        EXPECT_NEAR(frames[i].x, 0.0f, kTolerance);
        EXPECT_EQ(frames[i].y, 5.0f);
        EXPECT_NEAR(frames[i].z, z[i], kTolerance);
        EXPECT_NEAR(frames[i].vz, vz[i], kTolerance);
        EXPECT_EQ(frames[i].vy, 0.0f);
        EXPECT_EQ(frames[i].airborne, 0);
    }
}

TEST_F(WalkCommandTest, TheFrameWhoseProbeReachesAStepClimbsItAtOnce) {
    // The step 1.25 high begins at z = 3; the probe 1.5 ahead reaches it in
    // frame 5 (at z 1.6). The smallest tried height with the feet on or
    // above 1.25 is 1.3; the eye, 6.3, is then 1.3 above the standing height
    // over the lower floor, so the player is in the air and gravity starts.
    const auto frames = Walk(StepLevel(1.25f), "w*5");
    ASSERT_EQ(frames.size(), 5u);
    EXPECT_EQ(frames[3].y, 5.0f);
    EXPECT_NEAR(frames[4].z, 1.6f, kTolerance);
    EXPECT_NEAR(frames[4].y, 6.3f, kTolerance);
    EXPECT_EQ(frames[4].airborne, 1);
    EXPECT_NEAR(frames[4].vy, -0.05f, kTolerance);
}

TEST_F(WalkCommandTest, AFallGainsFiveHundredthsPerFrameUpToThirtyFiveHundredths) {
    const auto frames = Walk(kFloorLevel, "-*10", {"--start", "2", "20", "-3"});
    ASSERT_EQ(frames.size(), 10u);
    // The first frame finds the ground 15 below and only starts the fall.
    const float y[] = {20.0f, 19.95f, 19.85f, 19.7f, 19.5f, 19.25f, 18.95f, 18.6f, 18.25f, 17.9f};
    const float vy[] = {-0.05f, -0.1f, -0.15f, -0.2f, -0.25f, -0.3f, -0.35f, -0.35f, -0.35f, -0.35f};
    for (std::size_t i = 0; i < frames.size(); ++i) {
        SCOPED_TRACE(i + 1);
        EXPECT_EQ(frames[i].x, 2.0f);
        EXPECT_EQ(frames[i].z, -3.0f);
        EXPECT_NEAR(frames[i].y, y[i], kTolerance);
        EXPECT_NEAR(frames[i].vy, vy[i], kTolerance);
        EXPECT_EQ(frames[i].airborne, 1);
    }
}

TEST_F(WalkCommandTest, TheMouseTurnsEverySecondFrameAndArrowsTurnEveryFrame) {
    const auto frames = Walk(kFloorLevel, "-@20,0 -@20,11 -@0,11 left*2 right");
    ASSERT_EQ(frames.size(), 6u);
    EXPECT_EQ(frames[0].yaw, 0.0f);
    EXPECT_NEAR(frames[1].yaw, -0.4f, kTolerance) << "right turns right, by the two frames' 40 / 100";
    EXPECT_NEAR(frames[1].pitch, 0.1f, kTolerance) << "toward the user looks up, 11 / 110";
    EXPECT_NEAR(frames[3].pitch, 0.2f, kTolerance);
    EXPECT_NEAR(frames[4].yaw, -0.32f, kTolerance);
    EXPECT_NEAR(frames[5].yaw, -0.36f, kTolerance);
}

TEST_F(WalkCommandTest, KeyNamesAndCombinations) {
    const auto arrows = Walk(kFloorLevel, "up*3 down");
    const auto letters = Walk(kFloorLevel, "w*3 s");
    ASSERT_EQ(arrows.size(), 4u);
    ASSERT_EQ(letters.size(), 4u);
    for (std::size_t i = 0; i < 4; ++i) EXPECT_EQ(arrows[i].z, letters[i].z);

    const auto both = Walk(kFloorLevel, "w+d");
    ASSERT_EQ(both.size(), 1u);
    EXPECT_NEAR(both[0].x, 0.0625f, kTolerance);
    EXPECT_NEAR(both[0].z, 0.125f, kTolerance);
    EXPECT_NEAR(Walk(kFloorLevel, "a")[0].x, -0.0625f, kTolerance);

    const auto jump = Walk(kFloorLevel, "space -");
    ASSERT_EQ(jump.size(), 2u);
    EXPECT_NEAR(jump[0].vy, 0.6f, kTolerance);
    EXPECT_EQ(jump[0].airborne, 1);
    EXPECT_NEAR(jump[1].y, 5.6f, kTolerance);
}

TEST_F(WalkCommandTest, AnEscapeFrameMovesNothingAndEndsTheWalk) {
    const auto frames = Walk(kFloorLevel, "w*2 escape+w w*5");
    ASSERT_EQ(frames.size(), 3u);
    EXPECT_EQ(frames[2].z, frames[1].z);
    EXPECT_EQ(frames[2].vz, frames[1].vz);
}

TEST_F(WalkCommandTest, MistakesAreReportedOnOneLine) {
    const std::string level = dir.Write("level.bsp", kFloorLevel);
    for (const char* script : {"jump", "w+", "w*0", "w*x", "w@1", "w@1,2,3", "-@a,2", "W"}) {
        SCOPED_TRACE(script);
        const ToolResult result = RunOrvtool({"walk", level, script});
        ExpectOneLineFailure(result);
        EXPECT_EQ(result.status, 2) << "a script it cannot take is a misused command line";
    }
    ExpectOneLineFailure(RunOrvtool({"walk", dir.File("missing.bsp"), "w"}));
    ExpectOneLineFailure(RunOrvtool({"walk", dir.Write("bad.bsp", "NBSP 2 x 1\n0 0 0\n"), "w"}));
    ExpectOneLineFailure(RunOrvtool({"walk", level, "w", "--start", "1", "nan", "2"}));

    const ToolResult misused = RunOrvtool({"walk", level});
    ExpectOneLineFailure(misused);
    EXPECT_EQ(misused.status, 2);
    EXPECT_EQ(RunOrvtool({"walk", level, "w", "--from", "1", "2", "3"}).status, 2);
}

TEST_F(WalkCommandTest, AnEmptyScriptWalksNoFrame) {
    const ToolResult result = RunOrvtool({"walk", dir.Write("level.bsp", kFloorLevel), ""});
    EXPECT_EQ(result.status, 0);
    EXPECT_EQ(result.out, "");
}

// An editor map at the default scale: its 16-unit steps are climbed and its
// doorway, 64 wide and 96 high, passed.
TEST_F(WalkCommandTest, AnEditorMapsDoorwayAndStairsCanBeWalked) {
    const ToolResult compiled =
        RunOrvtool({"compile", ORV_SOURCE_DIR "/tests/compiler/maps/two-rooms.map", "-o", dir.Path().string()});
    ASSERT_EQ(compiled.status, 0) << compiled.err;
    const auto frames = Walk(TempDir::Read(dir.File("two-rooms.bsp")), "w*150");
    ASSERT_EQ(frames.size(), 150u);
    // The far wall is 38.7 units ahead; the platform 64 / 12 units up.
    EXPECT_NEAR(frames.back().z, 38.67f - 1.5f, 0.1f);
    EXPECT_NEAR(frames.back().y, 64.0f / 12 + 5, 0.11f);
    EXPECT_EQ(frames.back().airborne, 0);
}

// An editor brush bounded by the half-spaces A x + B y + C z <= D, each
// with coefficients -1, 0 or 1, written as three integer points per face.
std::string EditorBrush(const std::vector<std::array<int, 4>>& halfSpaces) {
    using Point = std::array<int, 3>;
    auto cross = [](Point a, Point b) -> Point {
        return {a[1] * b[2] - a[2] * b[1], a[2] * b[0] - a[0] * b[2], a[0] * b[1] - a[1] * b[0]};
    };
    std::string out = "{\n";
    for (const auto& [a, b, c, d] : halfSpaces) {
        const Point n{a, b, c};
        Point p0{0, 0, 0};
        const int axis = a != 0 ? 0 : b != 0 ? 1 : 2;
        p0[axis] = d * n[axis];
        Point u = cross(n, c != 0 && a == 0 && b == 0 ? Point{1, 0, 0} : Point{0, 0, 1});
        Point v = cross(n, u);
        // The editors' faces run so that (P2 - P0) x (P1 - P0) points out.
        const Point out3 = cross(v, u);
        if (out3[0] * a + out3[1] * b + out3[2] * c < 0) std::swap(u, v);
        for (const Point& p :
             {p0, Point{p0[0] + u[0], p0[1] + u[1], p0[2] + u[2]}, Point{p0[0] + v[0], p0[1] + v[1], p0[2] + v[2]}})
            out += "( " + std::to_string(p[0]) + " " + std::to_string(p[1]) + " " + std::to_string(p[2]) + " ) ";
        out += "wall0 0 0 0 1 1\n";
    }
    return out + "}\n";
}

// A start looking exactly 135 degrees round (north-west) down a corridor
// along that way, with four 16-unit steps up in it; its walls, 45 units to
// either side, block the ways of 90 and 180 degrees close by. The level is
// turned by the diagonal angle, so its walls and steps come out diagonal.
TEST_F(WalkCommandTest, AnEditorMapsDiagonalStartLooksDownItsDiagonalCorridor) {
    const auto along = [](int from, int to) {  // the corridor's length: y - x from..to
        return std::vector<std::array<int, 4>>{{-1, 1, 0, to}, {1, -1, 0, -from}};
    };
    const auto brush = [&](std::vector<std::array<int, 4>> across, int from, int to, int z0, int z1) {
        for (const auto& h : along(from, to)) across.push_back(h);
        across.push_back({0, 0, 1, z1});
        across.push_back({0, 0, -1, -z0});
        return EditorBrush(across);
    };
    const std::vector<std::array<int, 4>> corridor = {{1, 1, 0, 61}, {-1, -1, 0, 61}};
    std::string map = "{\n\"classname\" \"worldspawn\"\n";
    map +=
        EditorBrush({{1, 0, 0, 800}, {-1, 0, 0, 800}, {0, 1, 0, 800}, {0, -1, 0, 800}, {0, 0, 1, 0}, {0, 0, -1, 16}});
    map += EditorBrush(
        {{1, 0, 0, 800}, {-1, 0, 0, 800}, {0, 1, 0, 800}, {0, -1, 0, 800}, {0, 0, 1, 208}, {0, 0, -1, -192}});
    map += brush({{1, 1, 0, 61}, {-1, -1, 0, -45}}, -80, 1016, 0, 192);  // the walls
    map += brush({{1, 1, 0, -45}, {-1, -1, 0, 61}}, -80, 1016, 0, 192);
    map += brush(corridor, -80, -64, 0, 192);  // the ends
    map += brush(corridor, 1000, 1016, 0, 192);
    for (int step = 0; step < 4; ++step) map += brush(corridor, 400 + 48 * step, 1000, 0, 16 * (step + 1));
    map +=
        "}\n{\n\"classname\" \"info_player_start\"\n\"origin\" \"0 0 24\"\n\"angle\" \"135\"\n}\n"
        "{\n\"classname\" \"light\"\n\"origin\" \"-200 200 150\"\n\"light\" \"400\"\n}\n";
    const ToolResult compiled = RunOrvtool({"compile", dir.Write("diagonal.map", map), "-o", dir.Path().string()});
    ASSERT_EQ(compiled.status, 0) << compiled.err;
    const auto frames = Walk(TempDir::Read(dir.File("diagonal.bsp")), "w*150");
    ASSERT_EQ(frames.size(), 150u);
    // The far end is 1000 / sqrt(2) units ahead (the probe stops the player
    // within a frame's move of 1.5 before it), the top step 64 units up.
    EXPECT_NEAR(frames.back().z, 1000 / std::sqrt(2.0f) / 12 - 1.5f, 0.5f);
    EXPECT_NEAR(frames.back().x, 0.0f, kTolerance);
    EXPECT_NEAR(frames.back().y, 64.0f / 12 + 5, 0.11f);
    EXPECT_EQ(frames.back().airborne, 0);
}

}  // namespace
