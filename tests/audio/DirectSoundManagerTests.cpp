// The sound-effects manager on the real stand-ins and real WAV files, with
// SDL's dummy audio driver; the platform calls it makes are recorded.
#include <gtest/gtest.h>

#include <SDL.h>

#include <algorithm>
#include <cstdlib>
#include <string>
#include <vector>

#include "audio/Audio.h"
#include "audio/DirectSoundManager.h"
#include "globals/Globals.h"
#include "support/files/TempDir.h"
#include "support/files/WavFile.h"
#include "support/stand-ins/TestSeam.h"

using namespace std::string_literals;

namespace {

class DirectSoundManagerTest : public ::testing::Test {
protected:
    void SetUp() override {
        seam::Reset();
        seam::StartRecording();
    }

    std::string File(const std::string& name, const std::string& bytes) { return dir.Write(name, bytes); }
    std::string Jump() { return File("jump.wav", Wav(Tone(1000, 440, 60))); }

    static int Count(const std::string& name) {
        auto names = seam::CallNames();
        return static_cast<int>(std::count(names.begin(), names.end(), name));
    }
    static std::string LastArgs(const std::string& name) {
        const auto& calls = seam::Calls();
        auto last = std::find_if(calls.rbegin(), calls.rend(), [&](const auto& call) { return call.name == name; });
        return last == calls.rend() ? "<not called>" : last->args;
    }
    // The calls recorded from the `from`-th on, with their arguments.
    static std::vector<std::string> CallsSince(std::size_t from) {
        std::vector<std::string> calls;
        const auto& all = seam::Calls();
        for (std::size_t i = from; i < all.size(); ++i)
            calls.push_back(all[i].args.empty() ? all[i].name : all[i].name + "(" + all[i].args + ")");
        return calls;
    }

    TempDir dir;
    DirectSoundManager manager;
};

using Calls = std::vector<std::string>;

TEST_F(DirectSoundManagerTest, SlotsAreTakenInOrderAndA65thLoadOpensNoFile) {
    ASSERT_TRUE(manager.DSound_Init());
    std::string jump = Jump();
    for (int slot = 0; slot < 64; ++slot) ASSERT_EQ(manager.Load(jump.c_str()), slot);
    EXPECT_EQ(manager.Load(jump.c_str()), -1);
    EXPECT_EQ(Count("mmioOpenA"), 64);
    manager.Shutdown();
}

TEST_F(DirectSoundManagerTest, AFileOtherThanPcmIsRefusedAndItsSlotStaysFree) {
    ASSERT_TRUE(manager.DSound_Init());
    std::string jump = Jump();
    std::string floating = File("float.wav", Wav(std::string(400, '\0'), {3, 1, 11025, 32}));
    EXPECT_EQ(manager.Load(jump.c_str()), 0);
    EXPECT_EQ(manager.Load(floating.c_str()), -1);
    EXPECT_EQ(Count("IDirectSound::CreateSoundBuffer"), 1);
    EXPECT_EQ(manager.Load(jump.c_str()), 1);
    manager.Shutdown();
}

TEST_F(DirectSoundManagerTest, FilesThatAreNotPlainWavesAreRefused) {
    std::string samples = Tone(500, 300, 50);
    WavChunk list{"LIST", "INFOISFT\x06\0\0\0sox 1\0"s};
    struct Case {
        const char* name;
        std::string bytes;
    } cases[] = {
        {"list first", RiffWave({list, FormatChunk({}), DataChunk(samples)})},
        {"no data chunk", RiffWave({FormatChunk({}), {"fact", "\x10\0\0\0"s}})},
        {"data before format", RiffWave({DataChunk(samples), FormatChunk({})})},
        {"not a wave form", "RIFF\x0c\0\0\0AVI LIST\0\0\0\0"s},
        {"format chunk cut short", RiffWave({{"fmt ", "\x01\0\x01\0\x11\x2b"s}})},
        {"empty file", ""},
    };
    ASSERT_TRUE(manager.DSound_Init());
    for (const Case& refused : cases) {
        SCOPED_TRACE(refused.name);
        std::string file = File("refused.wav", refused.bytes);
        EXPECT_EQ(manager.Load(file.c_str()), -1);
        EXPECT_EQ(Count("mmioOpenA"), Count("mmioClose")) << "every opened file is closed";
    }
    EXPECT_EQ(manager.Load(dir.File("missing.wav").c_str()), -1);
    EXPECT_EQ(Count("IDirectSound::CreateSoundBuffer"), 0);
    EXPECT_EQ(manager.Load(Jump().c_str()), 0) << "no slot was taken";
    manager.Shutdown();
}

TEST_F(DirectSoundManagerTest, AnyPcmFileMakesABufferOfTheOneFixedFormat) {
    ASSERT_TRUE(manager.DSound_Init());
    std::string stereo = File("stereo.wav", Wav(std::string(17640, '\x20'), {1, 2, 44100, 16}));
    EXPECT_EQ(manager.Load(stereo.c_str()), 0);
    EXPECT_EQ(LastArgs("IDirectSound::CreateSoundBuffer"),
              "size 36 flags 0xa bytes 17640 format 1 1 11025 11025 1 8 0");
    EXPECT_EQ(LastArgs("IDirectSoundBuffer::Lock"), "0 17640 0x1") << "the whole buffer, from the write cursor";
    manager.Shutdown();
}

TEST_F(DirectSoundManagerTest, ADataSizeBeyondTheWholeFileIsRefusedButACutShortFileLoads) {
    ASSERT_TRUE(manager.DSound_Init());
    std::string samples(1000, '\xC0');
    std::string lying = File("lying.wav", RiffWave({FormatChunk({}), {"data", samples, 0x7FFFFFF0}}));
    EXPECT_EQ(manager.Load(lying.c_str()), -1);
    EXPECT_EQ(Count("IDirectSound::CreateSoundBuffer"), 0);

    // Cut short by more than the file's length could make up for: a lie as well.
    std::string wave = RiffWave({FormatChunk({}), DataChunk(samples + samples)});
    std::string halved = File("halved.wav", wave.substr(0, wave.size() - 1000));
    EXPECT_EQ(manager.Load(halved.c_str()), -1);
    EXPECT_EQ(Count("IDirectSound::CreateSoundBuffer"), 0);

    // Cut short by less: 1040 bytes declared, 1000 present, the file 1044 bytes long.
    wave = RiffWave({FormatChunk({}), DataChunk(samples + std::string(40, '\xC0'))});
    std::string cut = File("cut.wav", wave.substr(0, wave.size() - 40));
    EXPECT_EQ(manager.Load(cut.c_str()), 0);
    EXPECT_NE(LastArgs("IDirectSound::CreateSoundBuffer").find(" bytes 1040 "), std::string::npos);
    manager.Shutdown();
}

TEST_F(DirectSoundManagerTest, WithoutASuccessfulStartNothingLoadsAndShutdownReleasesNothing) {
    std::string jump = Jump();
    EXPECT_EQ(manager.Load(jump.c_str()), -1);
    EXPECT_EQ(Count("mmioOpenA"), 1);
    EXPECT_EQ(Count("IDirectSound::CreateSoundBuffer"), 0);
    std::size_t from = seam::Calls().size();
    manager.Play(0);
    manager.Stop(0);
    EXPECT_TRUE(manager.Shutdown());
    EXPECT_EQ(CallsSince(from), Calls{});
}

TEST_F(DirectSoundManagerTest, PlayRewindsFirstAndStopRewindsAfter) {
    ASSERT_TRUE(manager.DSound_Init());
    ASSERT_EQ(manager.Load(Jump().c_str()), 0);
    std::size_t from = seam::Calls().size();
    manager.Play(0);
    manager.Stop(0);
    seam::ArmFailure("IDirectSoundBuffer::SetCurrentPosition", E_FAIL);
    manager.Play(0);
    EXPECT_EQ(CallsSince(from), (Calls{"IDirectSoundBuffer::SetCurrentPosition(0)", "IDirectSoundBuffer::Play(0x0)",
                                       "IDirectSoundBuffer::Stop", "IDirectSoundBuffer::SetCurrentPosition(0)",
                                       "IDirectSoundBuffer::SetCurrentPosition(0)"}));

    from = seam::Calls().size();
    for (int index : {-1, 1, 63, 64}) {
        manager.Play(index);
        manager.Stop(index);
    }
    EXPECT_EQ(CallsSince(from), Calls{}) << "slots without a sound and indices outside 0..63";
    manager.Shutdown();
}

TEST_F(DirectSoundManagerTest, ShutdownReleasesEveryBufferThenTheDevice) {
    ASSERT_TRUE(manager.DSound_Init());
    std::string jump = Jump();
    manager.Load(jump.c_str());
    manager.Load(jump.c_str());
    std::size_t from = seam::Calls().size();
    EXPECT_TRUE(manager.Shutdown());
    Calls released = {"IDirectSoundBuffer::Stop", "IDirectSoundBuffer::SetCurrentPosition(0)",
                      "IDirectSoundBuffer::Release"};
    Calls expected = released;
    expected.insert(expected.end(), released.begin(), released.end());
    expected.push_back("IDirectSound::Release");
    EXPECT_EQ(CallsSince(from), expected);
}

TEST_F(DirectSoundManagerTest, AFailedStartIsRepeatedInFull) {
    seam::ArmFailure("DirectSoundCreate", E_FAIL);
    EXPECT_FALSE(manager.DSound_Init());
    seam::ArmFailure("IDirectSound::SetCooperativeLevel", E_FAIL);
    EXPECT_FALSE(manager.DSound_Init());
    EXPECT_EQ(manager.Load(Jump().c_str()), -1) << "a device without its cooperative level makes no buffers";
    std::size_t from = seam::Calls().size();
    EXPECT_TRUE(manager.DSound_Init());
    EXPECT_EQ(CallsSince(from),
              (Calls{"IDirectSound::Release", "DirectSoundCreate", "IDirectSound::SetCooperativeLevel(1)"}))
        << "the device left by the failed cooperative level goes first";
    EXPECT_EQ(manager.Load(Jump().c_str()), 0);
    manager.Shutdown();
}

TEST_F(DirectSoundManagerTest, ARepeatedStartKeepsTheDeviceAndEmptiesEverySlot) {
    ASSERT_TRUE(manager.DSound_Init());
    ASSERT_EQ(manager.Load(Jump().c_str()), 0);
    std::size_t from = seam::Calls().size();
    EXPECT_TRUE(manager.DSound_Init());
    EXPECT_EQ(CallsSince(from), (Calls{"IDirectSoundBuffer::Stop", "IDirectSoundBuffer::Release"}));
    EXPECT_EQ(manager.Load(Jump().c_str()), 0);
    manager.Shutdown();
}

TEST_F(DirectSoundManagerTest, ABufferThatCannotBeFilledIsReleasedAndItsSlotStaysFree) {
    ASSERT_TRUE(manager.DSound_Init());
    std::string jump = Jump();
    for (const char* call :
         {"IDirectSound::CreateSoundBuffer", "IDirectSoundBuffer::Lock", "IDirectSoundBuffer::Unlock"}) {
        SCOPED_TRACE(call);
        int releasedBefore = Count("IDirectSoundBuffer::Release");
        seam::ArmFailure(call, E_FAIL);
        EXPECT_EQ(manager.Load(jump.c_str()), -1);
        EXPECT_EQ(Count("IDirectSoundBuffer::Release") - releasedBefore,
                  std::string(call) == "IDirectSound::CreateSoundBuffer" ? 0 : 1);
    }
    EXPECT_EQ(manager.Load(jump.c_str()), 0);
    manager.Shutdown();
}

// The audio object is destroyed at process exit, after the mixer has closed
// the device and after SDL_Quit (registered when the window opens), in either
// order of those two; a slot still holding a playing buffer then releases it.
TEST(AudioObjectTest, IsDestroyedSafelyAtExitAfterSdlHasShutDown) {
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    TempDir dir;
    std::string jump = dir.Write("jump.wav", Wav(Tone(20000, 440, 60)));
    for (bool quitFirst : {false, true}) {
        SCOPED_TRACE(quitFirst ? "SDL_Quit before the device close" : "device close before SDL_Quit");
        EXPECT_EXIT(
            {
                seam::StartRecording();  // the release at exit is recorded too
                if (!quitFirst) std::atexit(SDL_Quit);
                if (!g_Audio.soundEffects.DSound_Init()) std::_Exit(2);
                if (quitFirst) std::atexit(SDL_Quit);
                if (g_Audio.soundEffects.Load(jump.c_str()) != 0) std::_Exit(3);
                g_Audio.soundEffects.Play(0);
                std::exit(0);
            },
            ::testing::ExitedWithCode(0), "");
    }
}

}  // namespace
