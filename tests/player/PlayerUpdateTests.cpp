// The per-frame player update on small levels read with the engine's loader,
// driven frame by frame with scripted keys and mouse motion.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <string>
#include <vector>

#include "audio/Audio.h"
#include "audio/DirectSoundManager.h"
#include "globals/Globals.h"
#include "level/Bsp.h"
#include "platform/core/System.h"
#include "player/Input.h"
#include "player/Player.h"
#include "player/ScriptedControls.h"
#include "support/files/LevelFiles.h"
#include "support/files/TempDir.h"
#include "support/files/WavFile.h"
#include "support/stand-ins/TestSeam.h"

namespace {

constexpr float kTolerance = 1e-5f;

class PlayerUpdateTest : public ::testing::Test {
protected:
    void SetUp() override {
        seam::Reset();
        seam::StartRecording();
        g_InvertMouseY = 1;
        g_JumpSound = -1;
        pSoundManager = &g_Audio.soundEffects;
        StartPlayer();
        controls.Install();
    }
    void TearDown() override {
        g_Bsp.FreeTree(&g_Bsp.root);
        seam::Reset();
    }

    void UseLevel(const std::string& text) {
        g_Bsp.FreeTree(&g_Bsp.root);
        std::vector<BspNode*> nodes;
        ASSERT_TRUE(g_Bsp.ReadTree(dir.Write("level.bsp", text).c_str(), nodes));
    }

    // Runs one frame with these keys held; returns the player after it.
    Player Frame(std::vector<int> keys = {}) {
        controls.keys = std::move(keys);
        g_Input.Update();
        return g_Player;
    }

    // The distance moved along z in each of `count` frames with these keys held.
    std::vector<float> StepsAlongZ(int count, const std::vector<int>& keys) {
        std::vector<float> steps;
        for (int i = 0; i < count; ++i) {
            const float before = g_Player.position.z;
            steps.push_back(Frame(keys).position.z - before);
        }
        return steps;
    }

    static int Count(const std::string& name) {
        const auto names = seam::CallNames();
        return static_cast<int>(std::count(names.begin(), names.end(), name));
    }

    TempDir dir;
    ScriptedControls controls;
};

void ExpectSteps(const std::vector<float>& steps, const std::vector<float>& expected) {
    ASSERT_EQ(steps.size(), expected.size());
    for (std::size_t i = 0; i < steps.size(); ++i) EXPECT_NEAR(steps[i], expected[i], kTolerance) << "frame " << i + 1;
}

// The smallest step height the searches try (0, 0.1, 0.2, ... added up in
// single precision) that puts the feet of an eye at `eyeY` on or above `top`.
float SmallestFreeStep(float eyeY, float top) {
    float t = 0.0f;
    while (eyeY + t - 5.0f < top) t += 0.1f;
    return t;
}

TEST_F(PlayerUpdateTest, HoldingForwardOnTheGroundAddsATenthPerFrameUpToTheCap) {
    UseLevel(kFloorLevel);
    // Each frame adds 0.125 before the move and friction takes 0.025 after it.
    ExpectSteps(StepsAlongZ(7, {'W'}), {0.125f, 0.225f, 0.325f, 0.425f, 0.5f, 0.5f, 0.5f});
    EXPECT_NEAR(g_Player.position.x, 0.0f, kTolerance);
    EXPECT_EQ(g_Player.position.y, 5.0f);
    EXPECT_EQ(g_Player.airborne, 0);
    EXPECT_NEAR(g_Player.velocity.z, 0.475f, kTolerance);
}

TEST_F(PlayerUpdateTest, TheUpArrowIsForwardAndTheDownArrowBackward) {
    UseLevel(kFloorLevel);
    ExpectSteps(StepsAlongZ(2, {VK_UP}), {0.125f, 0.225f});
    StartPlayer();
    ExpectSteps(StepsAlongZ(2, {VK_DOWN}), {-0.125f, -0.225f});
    StartPlayer();
    ExpectSteps(StepsAlongZ(2, {'S'}), {-0.125f, -0.225f});
}

TEST_F(PlayerUpdateTest, InTheAirTheNetGainIsAlsoATenthPerFrame) {
    UseLevel(kFloorLevel);
    g_Player.position.y = 500.0f;
    g_Player.airborne = 1;
    // 0.11 added, 0.01 taken by the friction of the air.
    ExpectSteps(StepsAlongZ(6, {'W'}), {0.11f, 0.21f, 0.31f, 0.41f, 0.5f, 0.5f});
    EXPECT_EQ(g_Player.airborne, 1);
}

TEST_F(PlayerUpdateTest, ForwardAndSidewaysAddAsVectorsUnderTheSameCap) {
    UseLevel(kFloorLevel);
    const Player first = Frame({'W', 'D'});
    EXPECT_NEAR(first.position.x, 0.0625f, kTolerance) << "D pushes toward +x at half strength";
    EXPECT_NEAR(first.position.z, 0.125f, kTolerance);
    for (int i = 0; i < 10; ++i) Frame({'W', 'D'});
    const Player before = g_Player;
    const Player after = Frame({'W', 'D'});
    const float dx = after.position.x - before.position.x, dz = after.position.z - before.position.z;
    EXPECT_NEAR(std::sqrt(dx * dx + dz * dz), 0.5f, kTolerance);
    EXPECT_NEAR(dx / dz, 0.5f, 0.01f) << "still half as much sideways as ahead";

    StartPlayer();
    EXPECT_NEAR(Frame({'A'}).position.x, -0.0625f, kTolerance);
}

TEST_F(PlayerUpdateTest, ForwardAndBackwardTogetherCancel) {
    UseLevel(kFloorLevel);
    for (int i = 0; i < 5; ++i) {
        const Player after = Frame({'W', 'S'});
        EXPECT_EQ(after.position.z, 0.0f);
        EXPECT_NEAR(after.position.x, 0.0f, 1e-6f);
        EXPECT_EQ(after.velocity.x, 0.0f) << "friction takes what is left";
        EXPECT_EQ(after.velocity.z, 0.0f);
    }
}

TEST_F(PlayerUpdateTest, ReleasingTheKeysAtTheCapSlowsByTheFrictionUntilExactlyStill) {
    UseLevel(kFloorLevel);
    for (int i = 0; i < 10; ++i) Frame({'W'});
    std::vector<float> expected;
    for (int i = 0; i < 19; ++i) expected.push_back(0.475f - 0.025f * static_cast<float>(i));
    ExpectSteps(StepsAlongZ(19, {}), expected);
    // What float rounding leaves of the speed is at most one more frame's worth.
    Frame();
    const Player still = Frame();
    EXPECT_EQ(still.velocity.x, 0.0f);
    EXPECT_EQ(still.velocity.z, 0.0f);
    EXPECT_EQ(Frame().position.z, still.position.z);
}

TEST_F(PlayerUpdateTest, ArrowKeysTurnByFourHundredthsAndSidewaysFollowsTheTurn) {
    UseLevel(kFloorLevel);
    EXPECT_FLOAT_EQ(Frame({VK_LEFT}).yaw, 0.04f);
    EXPECT_FLOAT_EQ(Frame({VK_LEFT, VK_RIGHT}).yaw, 0.04f);
    EXPECT_NEAR(Frame({VK_RIGHT}).yaw, 0.0f, 1e-6f);
    // Turning left a quarter turn makes forward point toward -x.
    g_Player.yaw = 1.5707964f;
    const Player after = Frame({'W'});
    EXPECT_NEAR(after.position.x, -0.125f, kTolerance);
    EXPECT_NEAR(after.position.z, 0.0f, kTolerance);
}

TEST_F(PlayerUpdateTest, AStepUpToOneAndAHalfIsClimbedInOneFrameByTheSmallestFreeHeight) {
    for (float height : {0.75f, 1.25f, 1.5f}) {
        SCOPED_TRACE(height);
        UseLevel(StepLevel(height));
        StartPlayer();
        float y = 5.0f;
        int frame = 0;
        while (y == 5.0f && frame++ < 20) y = Frame({'W'}).position.y;
        EXPECT_FLOAT_EQ(y, 5.0f + SmallestFreeStep(5.0f, height)) << "the first frame that rises";
        for (int i = 0; i < 10; ++i) Frame({'W'});
        EXPECT_GT(g_Player.position.z, 5.0f) << "it walked on over the step";
        EXPECT_NEAR(g_Player.position.y, height + 5.1f, 0.1f) << "standing on the step";
        EXPECT_EQ(g_Player.airborne, 0);
    }
}

TEST_F(PlayerUpdateTest, ATallerObstacleStopsTheMoveButTheMoveSlidesAlongIt) {
    UseLevel(StepLevel(1.6f));
    for (int i = 0; i < 12; ++i) Frame({'W'});
    EXPECT_LT(g_Player.position.z, 1.5f) << "the probe 1.5 ahead never enters the obstacle";
    EXPECT_EQ(g_Player.position.y, 5.0f);
    EXPECT_EQ(Frame({'W'}).position.z, g_Player.position.z);

    // Heading toward +x and +z at once: the z part is stopped, the x part slides on.
    StartPlayer();
    g_Player.yaw = -0.785398163f;
    for (int i = 0; i < 15; ++i) Frame({'W'});
    const Player stopped = g_Player;
    EXPECT_LT(stopped.position.z, 3.0f - 1.06f) << "the probe is 1.5 ahead along the diagonal";
    const Player slid = Frame({'W'});
    EXPECT_EQ(slid.position.z, stopped.position.z);
    EXPECT_GT(slid.position.x, stopped.position.x + 0.3f);

    // A wall across x: the x part is stopped, the z part slides on.
    UseLevel(StepLevel(100.0f, 'x'));
    StartPlayer();
    g_Player.yaw = -0.785398163f;
    for (int i = 0; i < 15; ++i) Frame({'W'});
    const Player stoppedX = g_Player;
    EXPECT_LT(stoppedX.position.x, 3.0f - 1.06f);
    const Player slidZ = Frame({'W'});
    EXPECT_EQ(slidZ.position.x, stoppedX.position.x);
    EXPECT_GT(slidZ.position.z, stoppedX.position.z + 0.3f);
}

TEST_F(PlayerUpdateTest, WhereBothSlidesAreFreeTheSlideAlongZIsTaken) {
    // A tall block only where x >= 3 and z >= 3, on the floor y = 0.
    UseLevel(LevelText({SplitRecord(1, 2, 'y', 0.0f), SplitRecord(3, 4, 'x', 3.0f), "1 1", SplitRecord(5, 6, 'z', 3.0f),
                        EmptyLeaf({}), "1 1", EmptyLeaf({})}));
    g_Player.yaw = -0.785398163f;  // toward +x and +z alike, at the block's corner
    for (int i = 0; i < 30; ++i) Frame({'W'});
    EXPECT_LT(g_Player.position.x, 3.0f - 1.06f) << "stopped short of the block";
    EXPECT_GT(g_Player.position.z, 6.0f) << "slid past it along z";
}

TEST_F(PlayerUpdateTest, UnderAnOverhangAtHeadHeightThePlayerWalksOnAtItsHeight) {
    // Solid from y = 4.5 up: the eye is in it, the feet on the floor are free.
    UseLevel(LevelText({SplitRecord(1, 2, 'y', 4.5f), "1 1", SplitRecord(3, 4, 'y', 0.0f), EmptyLeaf({}), "1 1"}));
    ExpectSteps(StepsAlongZ(2, {'W'}), {0.125f, 0.225f});
    EXPECT_EQ(g_Player.position.y, 5.0f);
}

TEST_F(PlayerUpdateTest, ALedgeOverOneUnitIsFallenFromWithGravityDownToTheFastestFall) {
    UseLevel(StepLevel(-20.0f));
    while (!g_Player.airborne && g_Player.position.z < 10.0f) Frame({'W'});
    ASSERT_EQ(g_Player.airborne, 1);
    EXPECT_GE(g_Player.position.z, 3.0f) << "it falls once it is over the ledge";
    EXPECT_FLOAT_EQ(g_Player.velocity.y, -0.05f);
    const float expected[] = {-0.1f, -0.15f, -0.2f, -0.25f, -0.3f, -0.35f, -0.35f, -0.35f};
    for (float speed : expected) {
        const Player before = g_Player;
        const Player after = Frame();
        EXPECT_NEAR(after.position.y, before.position.y + before.velocity.y, kTolerance);
        EXPECT_NEAR(after.velocity.y, speed, kTolerance);
        EXPECT_EQ(after.airborne, 1);
    }
    for (int i = 0; i < 100; ++i) Frame();
    EXPECT_EQ(g_Player.airborne, 0) << "landed";
    EXPECT_EQ(g_Player.velocity.y, 0.0f);
    EXPECT_NEAR(g_Player.position.y, -15.0f, 0.5f);
}

TEST_F(PlayerUpdateTest, ALedgeOfOneUnitOrLessIsWalkedDown) {
    for (float drop : {1.0f, 0.5f}) {
        SCOPED_TRACE(drop);
        UseLevel(StepLevel(-drop));
        StartPlayer();
        for (int i = 0; i < 12; ++i) EXPECT_EQ(Frame({'W'}).airborne, 0);
        EXPECT_GT(g_Player.position.z, 3.0f);
        // Standing 5.1 above the first solid point found in steps of 0.1.
        float feet = -0.0f;
        while (feet >= -drop) feet -= 0.1f;
        EXPECT_FLOAT_EQ(g_Player.position.y, feet + 5.1f);
    }
}

TEST_F(PlayerUpdateTest, HoldingSpaceJumpsOnceAndPlaysTheJumpSoundOncePerJump) {
    UseLevel(kFloorLevel);
    DirectSoundManager sound;
    ASSERT_TRUE(sound.DSound_Init());
    pSoundManager = &sound;
    g_JumpSound = static_cast<std::int16_t>(sound.Load(dir.Write("jump.wav", Wav(Tone(500, 440, 60))).c_str()));
    ASSERT_EQ(g_JumpSound, 0);

    const Player jumped = Frame({VK_SPACE});
    EXPECT_FLOAT_EQ(jumped.velocity.y, 0.6f);
    EXPECT_EQ(jumped.airborne, 1);
    EXPECT_EQ(jumped.jumpHeld, 1);
    EXPECT_EQ(jumped.position.y, 5.0f) << "the jump moves the player from the next frame on";
    EXPECT_EQ(Count("IDirectSoundBuffer::Play"), 1);

    EXPECT_FLOAT_EQ(Frame({VK_SPACE}).position.y, 5.6f);
    for (int i = 0; i < 100; ++i) Frame({VK_SPACE});
    EXPECT_EQ(g_Player.airborne, 0) << "back on the ground, Space still held";
    EXPECT_EQ(Count("IDirectSoundBuffer::Play"), 1);

    EXPECT_EQ(Frame().jumpHeld, 0);
    EXPECT_FLOAT_EQ(Frame({VK_SPACE}).velocity.y, 0.6f);
    EXPECT_EQ(Count("IDirectSoundBuffer::Play"), 2);

    // A fresh press in the air does not jump again.
    Frame();
    Frame();
    const Player inAir = Frame({VK_SPACE});
    EXPECT_EQ(inAir.airborne, 1);
    EXPECT_LT(inAir.velocity.y, 0.6f);
    EXPECT_EQ(Count("IDirectSoundBuffer::Play"), 2);
    sound.Shutdown();
}

TEST_F(PlayerUpdateTest, WithoutAJumpSoundTheJumpIsSilent) {
    UseLevel(kFloorLevel);
    EXPECT_FLOAT_EQ(Frame({VK_SPACE}).velocity.y, 0.6f);
    EXPECT_EQ(Count("IDirectSoundBuffer::Play"), 0);
}

TEST_F(PlayerUpdateTest, ALowCeilingStopsTheUpwardSpeed) {
    // Solid above y = 6.3, the floor y = 0 below.
    UseLevel(LevelText({SplitRecord(1, 2, 'y', 6.3f), "1 1", SplitRecord(3, 4, 'y', 0.0f), EmptyLeaf({}), "1 1"}));
    Frame({VK_SPACE});
    const Player rising = Frame();
    EXPECT_FLOAT_EQ(rising.position.y, 5.6f) << "the head 1 above the eye was free at 6";
    EXPECT_FLOAT_EQ(rising.velocity.y, 0.6f);
    const Player stopped = Frame();
    EXPECT_FLOAT_EQ(stopped.position.y, 5.6f) << "the head at 6.6 is in the ceiling";
    EXPECT_EQ(stopped.airborne, 1);

    // Stopped within the first unit above the ground, where gravity does not
    // act, the player still comes back down and can jump again.
    EXPECT_FLOAT_EQ(stopped.velocity.y, -0.05f);
    for (int i = 0; i < 20; ++i) Frame();
    EXPECT_EQ(g_Player.airborne, 0);
    EXPECT_NEAR(g_Player.position.y, 5.05f, 0.051f) << "standing 5 to 5.1 above the floor";
    EXPECT_FLOAT_EQ(Frame({VK_SPACE}).velocity.y, 0.6f);
}

TEST_F(PlayerUpdateTest, WhenEverySearchFailsThePlayerIsPushedBackByTheAttemptedMove) {
    UseLevel(kFloorLevel);
    g_Player.position = {0.0f, -2.0f, 0.0f};  // buried in the floor: nothing around is free
    const Player after = Frame({'W'});
    EXPECT_NEAR(after.position.z, -0.125f, kTolerance);
    EXPECT_NEAR(after.position.x, 0.0f, kTolerance);
    EXPECT_EQ(after.position.y, -2.0f);
    EXPECT_NEAR(after.velocity.z, 0.1f, kTolerance) << "the velocity is not changed by the push";
}

TEST_F(PlayerUpdateTest, EscapeMovesNothingReadsNoMouseAndAsksToQuit) {
    UseLevel(kFloorLevel);
    g_Player.velocity = {0.2f, -0.1f, 0.3f};
    g_Player.airborne = 1;
    const Player before = g_Player;
    controls.motionX = 40;
    const Player after = Frame({VK_ESCAPE, 'W', VK_SPACE, VK_LEFT});
    for (int i = 0; i < 3; ++i) {
        EXPECT_EQ((&after.position.x)[i], (&before.position.x)[i]);
        EXPECT_EQ((&after.velocity.x)[i], (&before.velocity.x)[i]);
    }
    EXPECT_EQ(after.yaw, before.yaw);
    EXPECT_EQ(after.airborne, 1);
    EXPECT_EQ(after.jumpHeld, 0);
    EXPECT_EQ(controls.reads, 0);
    EXPECT_EQ(g_MouseFrame, 0);
    ASSERT_EQ(Count("PostQuitMessage"), 1);
    EXPECT_EQ(seam::Calls().back().args, "0");
}

TEST_F(PlayerUpdateTest, MovingTheMouseRightTurnsRightEverySecondFrameByTheTwoFramesMotion) {
    UseLevel(kFloorLevel);
    controls.motionX = 10;
    EXPECT_EQ(Frame().yaw, 0.0f) << "the first frame only sums";
    controls.motionX = 20;
    EXPECT_FLOAT_EQ(Frame().yaw, -0.3f);
    controls.motionX = 5;
    EXPECT_FLOAT_EQ(Frame().yaw, -0.3f);
    EXPECT_FLOAT_EQ(Frame().yaw, -0.35f);
    // Turned right, forward leads toward +x.
    EXPECT_GT(Frame({'W'}).position.x, 0.0f);
    EXPECT_EQ(controls.reads, 5);
}

TEST_F(PlayerUpdateTest, MovingTheMouseTowardTheUserLooksUp) {
    UseLevel(kFloorLevel);
    controls.motionY = 11;
    Frame();
    controls.motionY = 11;
    EXPECT_FLOAT_EQ(Frame().pitch, 0.2f);
    g_InvertMouseY = 0;  // the other setting looks down
    controls.motionY = 22;
    Frame();
    EXPECT_FLOAT_EQ(Frame().pitch, 0.0f);
}

// Two levels alike but for the leaf that a not-a-number point reaches (the
// front child at every node): free in one, solid in the other. The floor y =
// 0.05 is the same.
std::string FloorWithFreeFrontLeaf() { return LevelText({SplitRecord(1, 2, 'y', 0.05f), EmptyLeaf({}), "1 1"}); }
std::string FloorWithSolidFrontLeaf() {
    return LevelText({SplitRecord(1, 2, 'y', 0.05f, false), "1 1", EmptyLeaf({})});
}

TEST_F(PlayerUpdateTest, WithoutHorizontalMotionTheMoveIsVerticalOnlyWhateverLeafTheProbeReaches) {
    std::vector<std::vector<float>> runs;
    for (const std::string& level : {FloorWithFreeFrontLeaf(), FloorWithSolidFrontLeaf()}) {
        UseLevel(level);
        StartPlayer();
        g_Player.position = {1.0f, 12.0f, 2.0f};
        std::vector<float> heights;
        for (int i = 0; i < 90; ++i) {
            const Player before = g_Player;
            const Player after = Frame(i == 40 ? std::vector<int>{VK_SPACE} : std::vector<int>{});
            EXPECT_TRUE(std::isnan(after.probe[0]) && std::isnan(after.probe[1]));
            EXPECT_EQ(after.position.x, 1.0f);
            EXPECT_EQ(after.position.z, 2.0f);
            // The vertical move is taken whole; only the landing sets the height.
            if (after.airborne && before.airborne) {
                EXPECT_FLOAT_EQ(after.position.y, before.position.y + before.velocity.y) << "frame " << i + 1;
            }
            heights.push_back(after.position.y);
        }
        EXPECT_FLOAT_EQ(heights[1], 11.95f);
        EXPECT_FLOAT_EQ(heights[2], 11.85f);
        EXPECT_FLOAT_EQ(heights[3], 11.7f);
        EXPECT_GT(*std::max_element(heights.begin() + 41, heights.end()), heights[40]) << "the jump rose";
        EXPECT_EQ(g_Player.airborne, 0);
        runs.push_back(heights);
    }
    EXPECT_EQ(runs[0], runs[1]);
}

}  // namespace
