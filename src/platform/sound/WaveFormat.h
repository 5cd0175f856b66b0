// The wave format record shared by the RIFF reader and the sound buffers.
#pragma once

#include <bit>

#include "platform/core/Types.h"

constexpr WORD WAVE_FORMAT_PCM = 1;

// Laid out exactly as in a WAV file's format chunk (18 bytes, little-endian),
// so the chunk can be read straight into it.
#pragma pack(push, 1)
struct WAVEFORMATEX {
    WORD wFormatTag;
    WORD nChannels;
    DWORD nSamplesPerSec;
    DWORD nAvgBytesPerSec;
    WORD nBlockAlign;
    WORD wBitsPerSample;
    WORD cbSize;
};
#pragma pack(pop)
static_assert(sizeof(WAVEFORMATEX) == 18);
static_assert(std::endian::native == std::endian::little, "format chunks are read as stored");
