// Buffered reading of RIFF files (the multimedia file functions), as far as
// the engine's WAV loading uses them. Files open through OpenFile, so the
// name resolves as every engine file name does.
#pragma once

#include <cstdio>

#include "platform/core/Types.h"

using FOURCC = DWORD;
using MMRESULT = UINT;

constexpr FOURCC mmioFOURCC(char a, char b, char c, char d) {
    return static_cast<std::uint8_t>(a) | static_cast<std::uint8_t>(b) << 8 | static_cast<std::uint8_t>(c) << 16 |
           static_cast<FOURCC>(static_cast<std::uint8_t>(d)) << 24;
}

constexpr MMRESULT MMSYSERR_NOERROR = 0;
constexpr MMRESULT MMIOERR_CANNOTSEEK = 263;
constexpr MMRESULT MMIOERR_CHUNKNOTFOUND = 265;

constexpr DWORD MMIO_ALLOCBUF = 0x00010000;  // with MMIO_READ, 0: buffered reading
constexpr UINT MMIO_FINDCHUNK = 0x0010;
constexpr UINT MMIO_FINDRIFF = 0x0020;

struct MMCKINFO {
    FOURCC ckid;
    DWORD cksize;
    FOURCC fccType;      // form or list type of a "RIFF" or "LIST" chunk
    DWORD dwDataOffset;  // file offset of the chunk's contents
    DWORD dwFlags;
};

// Open parameters; the engine never passes any.
struct MMIOINFO;

struct MmioObject;
using HMMIO = MmioObject*;

// Opens `fileName` for buffered reading; null when it cannot be opened.
HMMIO mmioOpenA(const char* fileName, MMIOINFO* info, DWORD flags);

// Finds a chunk from the current position and enters it: with MMIO_FINDRIFF
// a "RIFF" chunk of form type chunk->fccType, with MMIO_FINDCHUNK a chunk of
// id chunk->ckid, with no flag the chunk that begins right here. The search
// skips whole chunks (and their pad bytes) and ends at the end of `parent`
// when one is given, else at the end of the file. On success `chunk` is filled
// in and the position is at the chunk's contents (past the form or list type
// of a "RIFF" or "LIST" chunk); otherwise MMIOERR_CHUNKNOTFOUND.
MMRESULT mmioDescend(HMMIO file, MMCKINFO* chunk, const MMCKINFO* parent, UINT flags);

// Reads up to `bytes` from the current position, never past the end of the
// file and regardless of chunk ends; returns the count read, or -1.
LONG mmioRead(HMMIO file, char* buffer, LONG bytes);

// Leaves a chunk entered with mmioDescend: the position goes to the chunk's
// end, past its pad byte when its size is odd.
MMRESULT mmioAscend(HMMIO file, MMCKINFO* chunk, UINT flags);

// Moves the position (SEEK_SET, SEEK_CUR or SEEK_END); returns the new
// position, or -1.
LONG mmioSeek(HMMIO file, LONG offset, int origin);

MMRESULT mmioClose(HMMIO file, UINT flags);
