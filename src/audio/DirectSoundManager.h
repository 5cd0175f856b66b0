// The sound-effects manager: WAV files loaded into static sound buffers, one
// per slot, each played once from its start on demand.
#pragma once

#include <cstdint>

#include "audio/SoundManager.h"
#include "platform/sound/DirectSound.h"

constexpr int kSoundSlotCount = 64;

// One loadable sound. A slot owns its buffer: destroying it releases the
// buffer and frees the slot.
struct SoundSlot {
    IDirectSoundBuffer* buffer = nullptr;
    std::int32_t inUse = 0;
    std::uint32_t sampleRate = 0;  // the file's declared rate, recorded only
    std::uint32_t dataSize = 0;    // bytes of sample data, recorded only
    std::int32_t slotNumber = 0;   // the slot's own index, written when the slots are reset

    SoundSlot() = default;
    SoundSlot(const SoundSlot&) = delete;
    SoundSlot& operator=(const SoundSlot&) = delete;
    ~SoundSlot();
};

class DirectSoundManager final : public SoundManager {
public:
    // Sets the device up once (again only after a failure), then empties every
    // slot. Uses g_Window for the cooperative level.
    bool DSound_Init() override;
    // Into the first free slot; the slot number, or -1 with nothing kept.
    // Every sound is played as 8-bit mono at 11025 Hz, whatever the file says.
    int Load(const char* fileName) override;
    // From the beginning, also when the sound is still playing.
    void Play(int index) override;
    bool Shutdown() override;
    void Stop(int index) override;  // and rewinds

private:
    DSBUFFERDESC bufferDescription{};
    IDirectSound* device = nullptr;
    SoundSlot slots[kSoundSlotCount];
    WAVEFORMATEX bufferFormat{};
};
