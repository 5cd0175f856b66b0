#include "platform/sound/DirectSound.h"

#include <SDL.h>

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <memory>
#include <new>
#include <string>

#include "platform/core/Seam.h"
#include "platform/sound/Mixer.h"

namespace {

constexpr DWORD kBufferRate = 11025;
constexpr std::uint8_t kSilence = 0x80;  // 8-bit unsigned PCM's zero line

// The mix rate is a whole multiple of the buffers' rate, so a byte of a buffer
// is exactly this many frames of the mix.
static_assert(kMixRate % kBufferRate == 0);
constexpr std::size_t kFramesPerByte = kMixRate / kBufferRate;

std::string Hex(DWORD value) {
    char text[16];
    std::snprintf(text, sizeof text, "0x%x", value);
    return text;
}

// `bytes` as mono floats at the mix rate, kFramesPerByte frames a byte, or null
// without the memory for it. SDL_AudioCVT converts the whole buffer in one
// pass and gives exactly that many frames (SDL 2.26's SDL_AudioStream loses
// output frames when fed a large buffer at once).
std::unique_ptr<float[]> ConvertForMix(const std::uint8_t* bytes, DWORD size) {
    SDL_AudioCVT cvt;
    if (SDL_BuildAudioCVT(&cvt, AUDIO_U8, 1, kBufferRate, AUDIO_F32SYS, 1, kMixRate) < 0) return nullptr;
    std::unique_ptr<std::uint8_t[]> work(new (std::nothrow) std::uint8_t[std::size_t(size) * cvt.len_mult]);
    std::size_t frames = std::size_t(size) * kFramesPerByte;
    std::unique_ptr<float[]> mixed(new (std::nothrow) float[frames]());
    if (!work || !mixed) return nullptr;
    std::memcpy(work.get(), bytes, size);
    cvt.buf = work.get();
    cvt.len = static_cast<int>(size);
    if (SDL_ConvertAudio(&cvt) != 0) return nullptr;
    std::size_t converted = std::min(frames, std::size_t(cvt.len_cvt) / sizeof(float));
    std::memcpy(mixed.get(), work.get(), converted * sizeof(float));
    return mixed;
}

class SoundBuffer final : public IDirectSoundBuffer, public MixerSource {
public:
    SoundBuffer(std::unique_ptr<std::uint8_t[]> memory, DWORD size)
        : memory(std::move(memory)), size(size), frames(std::size_t(size) * kFramesPerByte) {}

    HRESULT Lock(DWORD offset, DWORD bytes, void** part1, DWORD* bytes1, void** part2, DWORD* bytes2,
                 DWORD flags) override {
        if (auto failure = SeamCall("IDirectSoundBuffer::Lock",
                                    std::to_string(offset) + " " + std::to_string(bytes) + " " + Hex(flags)))
            return static_cast<HRESULT>(*failure);
        if (!part1 || !bytes1 || bytes == 0 || bytes > size) return DSERR_INVALIDPARAM;
        DWORD start = offset;
        if (flags & DSBLOCK_FROMWRITECURSOR) {
            auto lock = LockMixer();
            start = static_cast<DWORD>(playFrame / kFramesPerByte);
        }
        if (start >= size) return DSERR_INVALIDPARAM;
        DWORD first = std::min(bytes, size - start);
        DWORD rest = bytes - first;
        if (rest > 0 && (!part2 || !bytes2)) return DSERR_INVALIDPARAM;
        *part1 = memory.get() + start;
        *bytes1 = first;
        if (part2) *part2 = rest > 0 ? memory.get() : nullptr;
        if (bytes2) *bytes2 = rest;
        return DS_OK;
    }

    HRESULT Unlock(void* part1, DWORD bytes1, void*, DWORD) override {
        if (auto failure = SeamCall("IDirectSoundBuffer::Unlock", std::to_string(bytes1)))
            return static_cast<HRESULT>(*failure);
        auto* first = static_cast<std::uint8_t*>(part1);
        if (first < memory.get() || first >= memory.get() + size) return DSERR_INVALIDPARAM;
        // Converted here, on the caller's thread; the audio thread only waits
        // for the swap.
        std::unique_ptr<float[]> converted = ConvertForMix(memory.get(), size);
        if (!converted) return DSERR_OUTOFMEMORY;
        {
            auto lock = LockMixer();
            mixed.swap(converted);
        }
        return DS_OK;
    }

    HRESULT Play(DWORD, DWORD, DWORD flags) override {
        if (auto failure = SeamCall("IDirectSoundBuffer::Play", Hex(flags))) return static_cast<HRESULT>(*failure);
        if (flags != 0) return DSERR_INVALIDPARAM;
        auto lock = LockMixer();
        playing = true;
        return DS_OK;
    }

    HRESULT Stop() override {
        if (auto failure = SeamCall("IDirectSoundBuffer::Stop")) return static_cast<HRESULT>(*failure);
        auto lock = LockMixer();
        playing = false;
        return DS_OK;
    }

    HRESULT SetCurrentPosition(DWORD position) override {
        if (auto failure = SeamCall("IDirectSoundBuffer::SetCurrentPosition", std::to_string(position)))
            return static_cast<HRESULT>(*failure);
        if (position >= size) return DSERR_INVALIDPARAM;
        auto lock = LockMixer();
        playFrame = std::size_t(position) * kFramesPerByte;
        return DS_OK;
    }

    ULONG Release() override {
        SeamCall("IDirectSoundBuffer::Release");
        RemoveMixerSource(this);
        delete this;
        return 0;
    }

    void MixInto(float* mix, int count) override {
        if (!playing) return;
        std::size_t n = std::min(std::size_t(count), frames - playFrame);
        if (mixed) {
            for (std::size_t i = 0; i < n; ++i) {
                float sample = mixed[playFrame + i];
                mix[i * kMixChannels] += sample;
                mix[i * kMixChannels + 1] += sample;
            }
        }
        playFrame += n;
        if (playFrame == frames) {
            playing = false;
            playFrame = 0;
        }
    }

private:
    ~SoundBuffer() = default;

    std::unique_ptr<std::uint8_t[]> memory;  // the bytes as Lock hands them out
    DWORD size;
    std::size_t frames;  // the buffer's length in frames of the mix
    // Shared with the audio thread, under the mixer lock.
    std::unique_ptr<float[]> mixed;  // memory as of the last Unlock, at the mix rate; null: silence
    std::size_t playFrame = 0;       // next frame to sound
    bool playing = false;
};

bool IsBufferFormat(const WAVEFORMATEX& format) {
    return format.wFormatTag == WAVE_FORMAT_PCM && format.nChannels == 1 && format.nSamplesPerSec == kBufferRate &&
           format.nAvgBytesPerSec == kBufferRate && format.nBlockAlign == 1 && format.wBitsPerSample == 8;
}

class DirectSoundObject final : public IDirectSound {
public:
    HRESULT SetCooperativeLevel(HWND, DWORD level) override {
        if (auto failure = SeamCall("IDirectSound::SetCooperativeLevel", std::to_string(level)))
            return static_cast<HRESULT>(*failure);
        if (level != DSSCL_NORMAL) return DSERR_INVALIDPARAM;
        cooperative = true;
        return DS_OK;
    }

    HRESULT CreateSoundBuffer(const DSBUFFERDESC* description, IDirectSoundBuffer** buffer, IUnknown* outer) override {
        const auto failure = SeamCall("IDirectSound::CreateSoundBuffer", Describe(description));
        if (!buffer) return DSERR_INVALIDPARAM;
        *buffer = nullptr;
        if (failure) return static_cast<HRESULT>(*failure);
        if (outer) return DSERR_NOAGGREGATION;
        if (!description || description->dwSize != DSBUFFERDESC_SIZE || !description->lpwfxFormat ||
            (description->dwFlags & ~(DSBCAPS_STATIC | DSBCAPS_LOCSOFTWARE)) != 0 ||
            description->dwBufferBytes < DSBSIZE_MIN || description->dwBufferBytes > DSBSIZE_MAX)
            return DSERR_INVALIDPARAM;
        if (!IsBufferFormat(*description->lpwfxFormat)) return DSERR_BADFORMAT;
        if (!cooperative) return DSERR_PRIOLEVELNEEDED;

        DWORD size = description->dwBufferBytes;
        std::unique_ptr<std::uint8_t[]> memory(new (std::nothrow) std::uint8_t[size]);
        if (!memory) return DSERR_OUTOFMEMORY;
        std::memset(memory.get(), kSilence, size);
        auto* created = new (std::nothrow) SoundBuffer(std::move(memory), size);
        if (!created) return DSERR_OUTOFMEMORY;
        AddMixerSource(created);
        *buffer = created;
        return DS_OK;
    }

    ULONG Release() override {
        SeamCall("IDirectSound::Release");
        CloseMixer();
        delete this;
        return 0;
    }

private:
    ~DirectSoundObject() = default;

    static std::string Describe(const DSBUFFERDESC* description) {
        if (!description) return "null";
        std::string text = "size " + std::to_string(description->dwSize) + " flags " + Hex(description->dwFlags) +
                           " bytes " + std::to_string(description->dwBufferBytes);
        if (const WAVEFORMATEX* format = description->lpwfxFormat)
            text += " format " + std::to_string(format->wFormatTag) + " " + std::to_string(format->nChannels) + " " +
                    std::to_string(format->nSamplesPerSec) + " " + std::to_string(format->nAvgBytesPerSec) + " " +
                    std::to_string(format->nBlockAlign) + " " + std::to_string(format->wBitsPerSample) + " " +
                    std::to_string(format->cbSize);
        return text;
    }

    bool cooperative = false;
};

}  // namespace

HRESULT DirectSoundCreate(const GUID* device, IDirectSound** directSound, IUnknown* outer) {
    const auto failure = SeamCall("DirectSoundCreate");
    if (!directSound) return DSERR_INVALIDPARAM;
    *directSound = nullptr;
    if (failure) return static_cast<HRESULT>(*failure);
    if (outer) return DSERR_NOAGGREGATION;
    if (device || !OpenMixer()) return DSERR_NODRIVER;
    *directSound = new DirectSoundObject;
    return DS_OK;
}
