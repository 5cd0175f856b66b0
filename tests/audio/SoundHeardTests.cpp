// What the sound-effects manager makes the device play, heard through SDL's
// disk driver: each sound's samples, resampled to the mix rate (four frames a
// sample), at the moment it is played.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "audio/DirectSoundManager.h"
#include "support/files/TempDir.h"
#include "support/files/WavFile.h"
#include "support/observe/AudioCapture.h"

namespace {

constexpr std::size_t kFramesPerSample = kMixRate / 11025;
constexpr float kAudible = 0.03f;

class SoundHeardTest : public ::testing::Test {
protected:
    // Loads `samples` as an 8-bit mono 11025 Hz WAV file into the next slot.
    int Load(const std::string& samples, const WavFormat& format = {}) {
        return manager.Load(dir.Write("sound" + std::to_string(files++) + ".wav", Wav(samples, format)).c_str());
    }

    // Plays `slot` and returns the range of frames in which it started.
    std::pair<std::size_t, std::size_t> Play(int slot) {
        std::size_t before = capture.Frames();
        manager.Play(slot);
        return {before, capture.Frames()};
    }

    // Expects `samples` in `heard` from frame `start` on: at every fourth
    // frame the sample itself, the frames between interpolated.
    static void ExpectSamplesAt(const std::vector<float>& heard, std::size_t start, const std::string& samples,
                                std::size_t count) {
        ASSERT_LE(start + count * kFramesPerSample, heard.size());
        for (std::size_t k = 0; k < count; ++k)
            ASSERT_NEAR(heard[start + k * kFramesPerSample], MixValue(samples[k]), 0.01) << "sample " << k;
    }

    AudioCapture capture;  // first: it selects the disk driver
    TempDir dir;
    int files = 0;
    DirectSoundManager manager;
};

TEST_F(SoundHeardTest, TheJumpSoundIsHeardFromTheMomentItIsPlayed) {
    ASSERT_TRUE(manager.DSound_Init());
    std::string jump = Tone(2205, 440, 60, 180);  // 0.2 s, audible throughout
    ASSERT_EQ(Load(jump), 0);
    auto [before, after] = Play(0);
    ASSERT_TRUE(capture.WaitFor(after + jump.size() * kFramesPerSample + 4096));
    manager.Shutdown();

    std::vector<float> heard = capture.Recording();
    std::size_t start = FirstLouder(heard, kAudible);
    EXPECT_GE(start, before);
    EXPECT_LE(start, after);
    ExpectSamplesAt(heard, start, jump, jump.size());
    EXPECT_EQ(EndOfLouder(heard, 0.0f), start + jump.size() * kFramesPerSample) << "and nothing after it";
}

TEST_F(SoundHeardTest, TwoSlotsSoundTogether) {
    ASSERT_TRUE(manager.DSound_Init());
    std::string longSound(11025, '\xA0');  // 1 s at 0.25
    std::string shortSound(1103, '\x90');  // 0.1 s at 0.125
    ASSERT_EQ(Load(longSound), 0);
    ASSERT_EQ(Load(shortSound), 1);
    auto [longBefore, longAfter] = Play(0);
    auto [shortBefore, shortAfter] = Play(1);
    ASSERT_TRUE(capture.WaitFor(shortAfter + kMixRate + 4096));
    manager.Shutdown();
    // The short sound must have started early enough to end within the long one.
    ASSERT_LT(shortAfter - longBefore, std::size_t(kMixRate) * 8 / 10);

    std::vector<float> heard = capture.Recording();
    std::size_t both = 0;
    std::size_t longOnly = 0;
    for (float sample : heard) {
        both += std::abs(sample - 0.375f) < 0.01f;
        longOnly += std::abs(sample - 0.25f) < 0.01f;
    }
    std::size_t shortFrames = shortSound.size() * kFramesPerSample;
    std::size_t longFrames = longSound.size() * kFramesPerSample;
    // The edges of each sound ring for a few frames after resampling.
    EXPECT_NEAR(double(both), double(shortFrames), 40);
    EXPECT_NEAR(double(longOnly), double(longFrames - shortFrames), 80);
}

TEST_F(SoundHeardTest, PlayingASoundingSlotRestartsItFromItsBeginning) {
    ASSERT_TRUE(manager.DSound_Init());
    std::string sound = Tone(5513, 150, 40, 200);  // 0.5 s, audible throughout
    std::size_t frames = sound.size() * kFramesPerSample;
    ASSERT_EQ(Load(sound), 0);
    auto [firstBefore, firstAfter] = Play(0);
    ASSERT_TRUE(capture.WaitFor(firstAfter + frames / 4));
    auto [againBefore, againAfter] = Play(0);
    ASSERT_TRUE(capture.WaitFor(againAfter + frames + 4096));
    manager.Shutdown();

    std::vector<float> heard = capture.Recording();
    std::size_t first = FirstLouder(heard, kAudible);
    ASSERT_GE(EndOfLouder(heard, 0.0f), first + frames);
    std::size_t again = EndOfLouder(heard, 0.0f) - frames;
    EXPECT_GE(first, firstBefore);
    EXPECT_LE(first, firstAfter);
    EXPECT_GE(again, againBefore);
    EXPECT_LE(again, againAfter);
    ExpectSamplesAt(heard, first, sound, (again - first) / kFramesPerSample - 1);
    ExpectSamplesAt(heard, again, sound, sound.size());
}

TEST_F(SoundHeardTest, A16BitStereoFileIsPlayedByteForByteAs8BitMono) {
    ASSERT_TRUE(manager.DSound_Init());
    // 0.1 s of 16-bit stereo at 44.1 kHz: 17640 bytes, each 0xA0, so 1.6 s at 0.25.
    ASSERT_EQ(Load(std::string(17640, '\xA0'), {1, 2, 44100, 16}), 0);
    auto [before, after] = Play(0);
    ASSERT_TRUE(capture.WaitFor(after + 17640 * kFramesPerSample + 4096));
    manager.Shutdown();

    std::vector<float> heard = capture.Recording();
    std::size_t start = FirstLouder(heard, kAudible);
    EXPECT_EQ(EndOfLouder(heard, 0.0f) - start, 17640 * kFramesPerSample);
    EXPECT_NEAR(heard[start + 1000], MixValue(0xA0), 0.01);
}

TEST_F(SoundHeardTest, TheMissingPartOfACutShortFileIsSilence) {
    ASSERT_TRUE(manager.DSound_Init());
    // 1040 bytes declared, 1000 present: the file, 1044 bytes long, could hold them all.
    std::string present(1000, '\xC0');
    std::string wave = RiffWave({FormatChunk({}), {"data", present + std::string(40, '\xC0')}});
    std::string file = dir.Write("cut.wav", wave.substr(0, wave.size() - 40));
    ASSERT_EQ(manager.Load(file.c_str()), 0);
    auto [before, after] = Play(0);
    ASSERT_TRUE(capture.WaitFor(after + 1040 * kFramesPerSample + 4096));
    manager.Shutdown();

    std::vector<float> heard = capture.Recording();
    std::size_t start = FirstLouder(heard, kAudible);
    ExpectSamplesAt(heard, start, present, present.size());
    std::size_t silenceFrom = start + present.size() * kFramesPerSample + 100;
    EXPECT_LT(EndOfLouder(heard, 0.005f), silenceFrom) << "no stale memory played after the part present";
}

}  // namespace
