#include "audio/DirectSoundManager.h"

#include <cstdio>
#include <cstring>
#include <memory>
#include <new>

#include "globals/Globals.h"
#include "platform/sound/Mmio.h"

namespace {

// Set until the device set-up of DSound_Init has succeeded once in this process.
bool deviceSetUpPending = true;

constexpr std::uint8_t kSilence = 0x80;  // 8-bit unsigned PCM's zero line

void Empty(SoundSlot& slot, std::int32_t number) {
    slot.buffer = nullptr;
    slot.inUse = 0;
    slot.sampleRate = 0;
    slot.dataSize = 0;
    slot.slotNumber = number;
}

bool IsValid(int index) { return index >= 0 && index < kSoundSlotCount; }

// Reads the file's format chunk into `format` and its sample data into the
// returned block: finds the WAVE form, reads its first chunk as the PCM
// format, finds the data chunk and reads its samples. Null at the first
// failing step.
std::unique_ptr<std::uint8_t[]> ReadWave(HMMIO file, WAVEFORMATEX& format, MMCKINFO& data) {
    MMCKINFO riff{};
    riff.fccType = mmioFOURCC('W', 'A', 'V', 'E');
    if (mmioDescend(file, &riff, nullptr, MMIO_FINDRIFF) != MMSYSERR_NOERROR) return nullptr;

    // The first chunk of the form is taken as the format chunk, whatever its id.
    MMCKINFO chunk{};
    if (mmioDescend(file, &chunk, &riff, 0) != MMSYSERR_NOERROR) return nullptr;
    if (mmioRead(file, reinterpret_cast<char*>(&format), sizeof format) < LONG(sizeof format)) return nullptr;
    if (format.wFormatTag != WAVE_FORMAT_PCM) return nullptr;
    if (mmioAscend(file, &chunk, 0) != MMSYSERR_NOERROR) return nullptr;

    data.ckid = mmioFOURCC('d', 'a', 't', 'a');
    if (mmioDescend(file, &data, &riff, MMIO_FINDCHUNK) != MMSYSERR_NOERROR) return nullptr;

    // A declared size that the whole file could not hold is a lie: refused,
    // never allocated. A chunk that merely runs past the end of a cut-short
    // file keeps its missing part as silence, never as stale memory.
    LONG fileLength = mmioSeek(file, 0, SEEK_END);
    if (fileLength < 0 || data.cksize > DWORD(fileLength) || mmioSeek(file, LONG(data.dwDataOffset), SEEK_SET) < 0)
        return nullptr;
    std::unique_ptr<std::uint8_t[]> samples(new (std::nothrow) std::uint8_t[data.cksize]);
    if (!samples) return nullptr;
    std::memset(samples.get(), kSilence, data.cksize);
    mmioRead(file, reinterpret_cast<char*>(samples.get()), LONG(data.cksize));  // a short read leaves silence
    return samples;
}

// Copies the samples into the whole buffer through Lock and Unlock.
bool Fill(IDirectSoundBuffer* buffer, const std::uint8_t* samples, DWORD size) {
    void* part1 = nullptr;
    void* part2 = nullptr;
    DWORD bytes1 = 0;
    DWORD bytes2 = 0;
    if (FAILED(buffer->Lock(0, size, &part1, &bytes1, &part2, &bytes2, DSBLOCK_FROMWRITECURSOR))) return false;
    std::memcpy(part1, samples, bytes1);
    if (part2) std::memcpy(part2, samples + bytes1, bytes2);
    return SUCCEEDED(buffer->Unlock(part1, bytes1, part2, bytes2));
}

}  // namespace

SoundSlot::~SoundSlot() {
    if (buffer) buffer->Release();
    buffer = nullptr;
    inUse = 0;
}

bool DirectSoundManager::DSound_Init() {
    if (deviceSetUpPending) {
        // No slot can hold a buffer yet: none can be made before the first set-up succeeds.
        for (SoundSlot& slot : slots) Empty(slot, 0);
        // A device left by an earlier attempt whose cooperative level failed
        // goes before the next one is made.
        if (device) {
            device->Release();
            device = nullptr;
        }
        if (FAILED(DirectSoundCreate(nullptr, &device, nullptr))) return false;
        if (FAILED(device->SetCooperativeLevel(g_Window, DSSCL_NORMAL))) return false;
        deviceSetUpPending = false;
    }
    for (int index = 0; index < kSoundSlotCount; ++index) {
        SoundSlot& slot = slots[index];
        if (slot.buffer) {
            slot.buffer->Stop();
            slot.buffer->Release();
        }
        Empty(slot, index);
    }
    return true;
}

int DirectSoundManager::Load(const char* fileName) {
    int index = 0;
    while (index < kSoundSlotCount && slots[index].inUse) ++index;
    if (index == kSoundSlotCount) return -1;

    HMMIO file = mmioOpenA(fileName, nullptr, MMIO_ALLOCBUF);
    if (!file) return -1;
    WAVEFORMATEX fileFormat{};
    MMCKINFO data{};
    std::unique_ptr<std::uint8_t[]> samples = ReadWave(file, fileFormat, data);
    mmioClose(file, 0);
    if (!samples) return -1;

    // Only the format tag of the file counts: every buffer is 8-bit mono at 11025 Hz.
    bufferFormat = {WAVE_FORMAT_PCM, 1, 11025, 11025, 1, 8, 0};
    bufferDescription = {};
    bufferDescription.dwSize = DSBUFFERDESC_SIZE;
    bufferDescription.dwFlags = DSBCAPS_STATIC | DSBCAPS_LOCSOFTWARE;
    bufferDescription.dwBufferBytes = data.cksize;
    bufferDescription.lpwfxFormat = &bufferFormat;

    SoundSlot& slot = slots[index];
    if (!device || FAILED(device->CreateSoundBuffer(&bufferDescription, &slot.buffer, nullptr))) return -1;
    if (!Fill(slot.buffer, samples.get(), data.cksize)) {
        slot.buffer->Release();
        slot.buffer = nullptr;
        return -1;
    }
    slot.inUse = 1;
    slot.sampleRate = fileFormat.nSamplesPerSec;
    slot.dataSize = data.cksize;
    return index;
}

void DirectSoundManager::Play(int index) {
    if (!IsValid(index) || !slots[index].buffer) return;
    IDirectSoundBuffer* buffer = slots[index].buffer;
    if (SUCCEEDED(buffer->SetCurrentPosition(0))) buffer->Play(0, 0, 0);
}

void DirectSoundManager::Stop(int index) {
    if (!IsValid(index) || !slots[index].buffer) return;
    slots[index].buffer->Stop();
    slots[index].buffer->SetCurrentPosition(0);
}

bool DirectSoundManager::Shutdown() {
    for (SoundSlot& slot : slots) {
        if (!slot.buffer) continue;
        slot.buffer->Stop();
        slot.buffer->SetCurrentPosition(0);
        slot.buffer->Release();
        slot.buffer = nullptr;
    }
    if (device) {
        device->Release();
        device = nullptr;
    }
    return true;
}
