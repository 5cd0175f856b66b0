// Static sound buffers on the shared audio device (platform/sound/Mixer.h):
// DirectSoundCreate, the sound object and its secondary buffers, as far as the
// engine uses them. A buffer holds 8-bit unsigned mono PCM at 11025 Hz, the one
// format provided; it plays once from its current position, mixed with every
// other sounding buffer.
#pragma once

#include "platform/core/Types.h"
#include "platform/sound/WaveFormat.h"

constexpr DWORD DSSCL_NORMAL = 1;

constexpr DWORD DSBCAPS_STATIC = 0x00000002;
constexpr DWORD DSBCAPS_LOCSOFTWARE = 0x00000008;

constexpr DWORD DSBLOCK_FROMWRITECURSOR = 0x00000001;

constexpr DWORD DSBSIZE_MIN = 4;
constexpr DWORD DSBSIZE_MAX = 0x0FFFFFFF;

constexpr HRESULT DS_OK = S_OK;
constexpr HRESULT DSERR_INVALIDPARAM = static_cast<HRESULT>(0x80070057u);
constexpr HRESULT DSERR_OUTOFMEMORY = static_cast<HRESULT>(0x8007000Eu);
constexpr HRESULT DSERR_NOAGGREGATION = static_cast<HRESULT>(0x80040110u);
constexpr HRESULT DSERR_PRIOLEVELNEEDED = static_cast<HRESULT>(0x88780046u);
constexpr HRESULT DSERR_BADFORMAT = static_cast<HRESULT>(0x88780064u);
constexpr HRESULT DSERR_NODRIVER = static_cast<HRESULT>(0x88780078u);

struct DSBUFFERDESC {
    DWORD dwSize;
    DWORD dwFlags;
    DWORD dwBufferBytes;
    DWORD dwReserved;
    WAVEFORMATEX* lpwfxFormat;
    GUID guid3DAlgorithm;
};

// The size field names the form of the description: 36 is the form with the
// 3D-algorithm identifier (its size with 32-bit pointers), whatever sizeof
// says here. The only form accepted.
constexpr DWORD DSBUFFERDESC_SIZE = 36;

class IDirectSoundBuffer {
public:
    // The whole of `bytes` from `offset`, or with DSBLOCK_FROMWRITECURSOR from
    // the write cursor (the next byte not yet mixed), as one region or, where
    // it wraps past the end, two.
    virtual HRESULT Lock(DWORD offset, DWORD bytes, void** part1, DWORD* bytes1, void** part2, DWORD* bytes2,
                         DWORD flags) = 0;
    // The buffer sounds as written from here on.
    virtual HRESULT Unlock(void* part1, DWORD bytes1, void* part2, DWORD bytes2) = 0;
    // Plays once from the current position to the end (flags 0: no looping),
    // then stops with the position back at 0.
    virtual HRESULT Play(DWORD reserved, DWORD priority, DWORD flags) = 0;
    virtual HRESULT Stop() = 0;  // keeps the position
    virtual HRESULT SetCurrentPosition(DWORD position) = 0;
    virtual ULONG Release() = 0;

protected:
    ~IDirectSoundBuffer() = default;
};

class IDirectSound {
public:
    // Only DSSCL_NORMAL. The device is shared, so the window plays no part:
    // any handle, null included, is accepted.
    virtual HRESULT SetCooperativeLevel(HWND window, DWORD level) = 0;
    // A static software buffer (flags DSBCAPS_STATIC and DSBCAPS_LOCSOFTWARE
    // at most) in the one format, its bytes silence until written. Needs the
    // cooperative level set first.
    virtual HRESULT CreateSoundBuffer(const DSBUFFERDESC* description, IDirectSoundBuffer** buffer,
                                      IUnknown* outer) = 0;
    // Closes this object's hold on the audio device. Buffers it created stay
    // valid until released but sound only while some device is open.
    virtual ULONG Release() = 0;

protected:
    ~IDirectSound() = default;
};

// The sound object for the default device (`device` null). Fails with
// DSERR_NODRIVER when no audio device can be opened.
HRESULT DirectSoundCreate(const GUID* device, IDirectSound** directSound, IUnknown* outer);
