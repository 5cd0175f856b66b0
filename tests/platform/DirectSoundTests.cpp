// The sound-buffer stand-ins on the real audio device: SDL's dummy driver, or
// its disk driver where the test listens to what was played.
#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>
#include <string>

#include "platform/sound/DirectSound.h"
#include "support/observe/AudioCapture.h"
#include "support/stand-ins/TestSeam.h"

namespace {

WAVEFORMATEX BufferFormat() { return {WAVE_FORMAT_PCM, 1, 11025, 11025, 1, 8, 0}; }

class DirectSoundTest : public ::testing::Test {
protected:
    void SetUp() override { seam::Reset(); }

    // A device with its cooperative level set.
    IDirectSound* Device() {
        IDirectSound* device = nullptr;
        EXPECT_EQ(DirectSoundCreate(nullptr, &device, nullptr), DS_OK);
        if (device) {
            EXPECT_EQ(device->SetCooperativeLevel(nullptr, DSSCL_NORMAL), DS_OK);
        }
        return device;
    }

    DSBUFFERDESC Description(DWORD bytes) {
        DSBUFFERDESC description{};
        description.dwSize = DSBUFFERDESC_SIZE;
        description.dwFlags = DSBCAPS_STATIC | DSBCAPS_LOCSOFTWARE;
        description.dwBufferBytes = bytes;
        description.lpwfxFormat = &format;
        return description;
    }

    // A buffer holding `samples`, written through Lock and Unlock.
    IDirectSoundBuffer* Buffer(IDirectSound* device, const std::string& samples) {
        DSBUFFERDESC description = Description(static_cast<DWORD>(samples.size()));
        IDirectSoundBuffer* buffer = nullptr;
        EXPECT_EQ(device->CreateSoundBuffer(&description, &buffer, nullptr), DS_OK);
        void* part = nullptr;
        DWORD bytes = 0;
        EXPECT_EQ(buffer->Lock(0, description.dwBufferBytes, &part, &bytes, nullptr, nullptr, 0), DS_OK);
        std::memcpy(part, samples.data(), bytes);
        EXPECT_EQ(buffer->Unlock(part, bytes, nullptr, 0), DS_OK);
        return buffer;
    }

    WAVEFORMATEX format = BufferFormat();
};

TEST_F(DirectSoundTest, NoAudioDeviceMeansNoSoundObject) {
    setenv("SDL_AUDIODRIVER", "no-such-driver", 1);
    IDirectSound* device = reinterpret_cast<IDirectSound*>(1);
    EXPECT_EQ(DirectSoundCreate(nullptr, &device, nullptr), DSERR_NODRIVER);
    EXPECT_EQ(device, nullptr);
}

TEST_F(DirectSoundTest, BuffersComeOnlyInTheOneFormatAfterTheCooperativeLevel) {
    IDirectSound* device = nullptr;
    ASSERT_EQ(DirectSoundCreate(nullptr, &device, nullptr), DS_OK);
    IDirectSoundBuffer* buffer = nullptr;
    DSBUFFERDESC description = Description(100);
    EXPECT_EQ(device->CreateSoundBuffer(&description, &buffer, nullptr), DSERR_PRIOLEVELNEEDED);
    ASSERT_EQ(device->SetCooperativeLevel(nullptr, DSSCL_NORMAL), DS_OK);

    format.nChannels = 2;
    EXPECT_EQ(device->CreateSoundBuffer(&description, &buffer, nullptr), DSERR_BADFORMAT);
    format = BufferFormat();
    description.dwSize = 20;  // the short form, without the 3D-algorithm identifier
    EXPECT_EQ(device->CreateSoundBuffer(&description, &buffer, nullptr), DSERR_INVALIDPARAM);
    description = Description(DSBSIZE_MIN - 1);
    EXPECT_EQ(device->CreateSoundBuffer(&description, &buffer, nullptr), DSERR_INVALIDPARAM);
    EXPECT_EQ(buffer, nullptr);

    description = Description(100);
    ASSERT_EQ(device->CreateSoundBuffer(&description, &buffer, nullptr), DS_OK);
    buffer->Release();
    device->Release();
}

TEST_F(DirectSoundTest, ALockFromTheWriteCursorWrapsIntoASecondRegion) {
    IDirectSound* device = Device();
    IDirectSoundBuffer* buffer = Buffer(device, std::string(100, '\x80'));
    ASSERT_EQ(buffer->SetCurrentPosition(30), DS_OK);
    void* part1 = nullptr;
    void* part2 = nullptr;
    DWORD bytes1 = 0;
    DWORD bytes2 = 0;
    ASSERT_EQ(buffer->Lock(0, 100, &part1, &bytes1, &part2, &bytes2, DSBLOCK_FROMWRITECURSOR), DS_OK);
    EXPECT_EQ(bytes1, 70u);
    EXPECT_EQ(bytes2, 30u);
    EXPECT_EQ(static_cast<char*>(part1) - static_cast<char*>(part2), 30);
    EXPECT_EQ(buffer->Unlock(part1, bytes1, part2, bytes2), DS_OK);

    EXPECT_EQ(buffer->Lock(0, 101, &part1, &bytes1, &part2, &bytes2, 0), DSERR_INVALIDPARAM);
    EXPECT_EQ(buffer->SetCurrentPosition(100), DSERR_INVALIDPARAM);
    buffer->Release();
    device->Release();
}

TEST_F(DirectSoundTest, AOneSecondBufferPlaysExactlyOneSecondWhenPlayed) {
    AudioCapture capture;
    IDirectSound* device = Device();
    IDirectSoundBuffer* buffer = Buffer(device, std::string(11025, '\xC0'));
    std::size_t before = capture.Frames();
    ASSERT_EQ(buffer->Play(0, 0, 0), DS_OK);
    std::size_t after = capture.Frames();
    ASSERT_TRUE(capture.WaitFor(after + kMixRate + 4096));
    buffer->Release();
    device->Release();

    std::vector<float> heard = capture.Recording();
    std::size_t start = FirstLouder(heard, 0.0f);
    EXPECT_GE(start, before);
    EXPECT_LE(start, after);
    EXPECT_EQ(EndOfLouder(heard, 0.0f) - start, std::size_t(kMixRate));
    EXPECT_NEAR(heard[start + kMixRate / 2], MixValue(0xC0), 0.01);
}

}  // namespace
