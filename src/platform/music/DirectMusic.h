// MIDI music (DirectMusic) as the MIDI music manager uses it: a performance
// (CoCreateInstance with CLSID_DirectMusicPerformance, platform/core/Com.h) whose
// Init makes the music object; that object offers one port, a General MIDI
// software synthesiser, which sounds into the shared audio device
// (platform/sound/Mixer.h) while it is active; a loader (CLSID_DirectMusicLoader)
// reads standard MIDI files into segments, which the performance plays on the
// port its channel block 0 is assigned to. The synthesiser runs on the audio
// thread, timed by the frames it renders; the caller's thread starts, stops
// and asks.
#pragma once

#include <cstdint>

#include "platform/core/Com.h"
#include "platform/core/WideText.h"
#include "platform/sound/DirectSound.h"

inline constexpr GUID CLSID_DirectMusicPerformance = {
    0xD2AC2881, 0xB39B, 0x11D1, {0x87, 0x04, 0x00, 0x60, 0x08, 0x93, 0xB1, 0xBD}};
inline constexpr GUID IID_IDirectMusicPerformance2 = {
    0x07D43D03, 0x6523, 0x11D2, {0x87, 0x1D, 0x00, 0x60, 0x08, 0x93, 0xB1, 0xBD}};
inline constexpr GUID CLSID_DirectMusicLoader = {
    0xD2AC2892, 0xB39B, 0x11D1, {0x87, 0x04, 0x00, 0x60, 0x08, 0x93, 0xB1, 0xBD}};
inline constexpr GUID IID_IDirectMusicLoader = {
    0x2FFAACA2, 0x5DCA, 0x11D2, {0xAF, 0xA6, 0x00, 0xAA, 0x00, 0x24, 0xD8, 0xB6}};
inline constexpr GUID CLSID_DirectMusicSegment = {
    0xD2AC2882, 0xB39B, 0x11D1, {0x87, 0x04, 0x00, 0x60, 0x08, 0x93, 0xB1, 0xBD}};
inline constexpr GUID IID_IDirectMusicSegment2 = {
    0xF96029A2, 0x4282, 0x11D2, {0x87, 0x17, 0x00, 0x60, 0x08, 0x93, 0xB1, 0xBD}};
inline constexpr GUID GUID_DirectMusicAllTypes = {
    0xD2AC2893, 0xB39B, 0x11D1, {0x87, 0x04, 0x00, 0x60, 0x08, 0x93, 0xB1, 0xBD}};
inline constexpr GUID GUID_StandardMIDIFile = {
    0x06621075, 0xE92E, 0x11D1, {0xA8, 0xC5, 0x00, 0xC0, 0x4F, 0xA3, 0x72, 0x6E}};
inline constexpr GUID GUID_Download = {0xD2AC28A7, 0xB39B, 0x11D1, {0x87, 0x04, 0x00, 0x60, 0x08, 0x93, 0xB1, 0xBD}};

// New objects of the two classes, as CoCreateInstance makes them (ComClasses.cpp).
HRESULT CreateDirectMusicPerformance(const GUID& iid, void** object);
HRESULT CreateDirectMusicLoader(const GUID& iid, void** object);

using MUSIC_TIME = LONG;
using REFERENCE_TIME = std::int64_t;

constexpr DWORD DMUS_PC_OUTPUTCLASS = 1;

// The capabilities of a port, as EnumPort reports them. Laid out as on the
// platform: 308 bytes, the size its size field must give.
struct DMUS_PORTCAPS {
    DWORD dwSize;
    DWORD dwFlags;
    GUID guidPort;
    DWORD dwClass;
    DWORD dwType;
    DWORD dwMemorySize;
    DWORD dwMaxChannelGroups;
    DWORD dwMaxVoices;
    DWORD dwMaxAudioChannels;
    DWORD dwEffectFlags;
    WCHAR wszDescription[128];
};
static_assert(sizeof(DMUS_PORTCAPS) == 308);

// Parameters for CreatePort; dwValidParams says which of them are given.
struct DMUS_PORTPARAMS {
    DWORD dwSize;  // 32
    DWORD dwValidParams;
    DWORD dwVoices;
    DWORD dwChannelGroups;
    DWORD dwAudioChannels;
    DWORD dwSampleRate;
    DWORD dwEffectFlags;
    BOOL fShare;
};
static_assert(sizeof(DMUS_PORTPARAMS) == 32);

constexpr DWORD DMUS_OBJ_CLASS = 1 << 1;
constexpr DWORD DMUS_OBJ_FILENAME = 1 << 4;
constexpr DWORD DMUS_OBJ_FULLPATH = 1 << 5;

struct FILETIME {
    DWORD dwLowDateTime;
    DWORD dwHighDateTime;
};

struct DMUS_VERSION {
    DWORD dwVersionMS;
    DWORD dwVersionLS;
};

class IStream;

// Describes an object for the loader; dwValidData says which fields count.
struct DMUS_OBJECTDESC {
    DWORD dwSize;
    DWORD dwValidData;
    GUID guidObject;
    GUID guidClass;
    FILETIME ftDate;
    DMUS_VERSION vVersion;
    WCHAR wszName[64];
    WCHAR wszCategory[64];
    WCHAR wszFileName[260];
    std::int64_t llMemLength;
    BYTE* pbMemData;
    IStream* pStream;
};

// The size field names the form of the description: 848 is its size with
// 32-bit pointers, whatever sizeof says here. The only form accepted.
constexpr DWORD DMUS_OBJECTDESC_SIZE = 848;

class IDirectMusicPort : public IUnknown {
public:
    // TRUE: the port sounds into the audio device (fails when no device can
    // be opened); FALSE: it leaves it.
    virtual HRESULT Activate(BOOL active) = 0;

protected:
    ~IDirectMusicPort() = default;
};

class IDirectMusic : public IUnknown {
public:
    // S_OK with the `index`th port's capabilities, S_FALSE past the last
    // port. The synthesiser is the only port, there when its General MIDI
    // sound font is.
    virtual HRESULT EnumPort(DWORD index, DMUS_PORTCAPS* caps) = 0;
    // A port for an identifier from EnumPort; no parameter needs to be valid.
    virtual HRESULT CreatePort(const GUID& port, DMUS_PORTPARAMS* params, IDirectMusicPort** created,
                               IUnknown* outer) = 0;

protected:
    ~IDirectMusic() = default;
};

class IDirectMusicSegmentState : public IUnknown {
protected:
    ~IDirectMusicSegmentState() = default;
};

class IDirectMusicSegment2 : public IUnknown {
public:
    // GUID_StandardMIDIFile (the segment is played as a standard MIDI file)
    // and GUID_Download (its instruments go to the performance given as
    // `param`) are the parameters provided.
    virtual HRESULT SetParam(const GUID& type, DWORD groupBits, DWORD index, MUSIC_TIME time, void* param) = 0;

protected:
    ~IDirectMusicSegment2() = default;
};

class IDirectMusicPerformance2 : public IUnknown {
public:
    // Makes the music object and hands it out with a reference of the
    // caller's own (or takes the one *music points to). `directSound` and
    // `window` are accepted and not needed: every port sounds into the one
    // shared device.
    virtual HRESULT Init(IDirectMusic** music, IDirectSound* directSound, HWND window) = 0;
    // Plays `segment` from its start as the primary segment, replacing the
    // one playing. Only flags 0 and start time 0 (at once) are provided.
    // Fails when no port is assigned to channel block 0: there is nothing to
    // play on. `state` receives a new segment state with a reference of the
    // caller's own.
    virtual HRESULT PlaySegment(IDirectMusicSegment2* segment, DWORD flags, REFERENCE_TIME start,
                                IDirectMusicSegmentState** state) = 0;
    // With no segment and no state: stops everything, cutting off every note
    // that sounds. Only time 0 (at once) and flags 0 are provided.
    virtual HRESULT Stop(IDirectMusicSegment2* segment, IDirectMusicSegmentState* state, MUSIC_TIME time,
                         DWORD flags) = 0;
    // S_OK while `segment` plays (until the end of its file), else S_FALSE.
    virtual HRESULT IsPlaying(IDirectMusicSegment2* segment, IDirectMusicSegmentState* state) = 0;
    virtual HRESULT AddPort(IDirectMusicPort* port) = 0;
    // Channel block `block` (performance channels 16 * block to 16 * block +
    // 15) plays on the port's channel group `group`, which starts at 1.
    virtual HRESULT AssignPChannelBlock(DWORD block, IDirectMusicPort* port, DWORD group) = 0;
    // Stops everything, deactivates and lets go of the ports and the music
    // object. The performance is unusable afterwards.
    virtual HRESULT CloseDown() = 0;

protected:
    ~IDirectMusicPerformance2() = default;
};

class IDirectMusicLoader : public IUnknown {
public:
    // Loads the object `description` names: a segment (class
    // CLSID_DirectMusicSegment, interface IID_IDirectMusicSegment2) from a
    // standard MIDI file given by its file name, relative to the search
    // directory unless DMUS_OBJ_FULLPATH says otherwise. The description's
    // size must be DMUS_OBJECTDESC_SIZE. Every call loads the file anew.
    virtual HRESULT GetObject(DMUS_OBJECTDESC* description, const GUID& iid, void** object) = 0;
    // Where relative file names are looked up, for all object types
    // (GUID_DirectMusicAllTypes) or segments; the directory must exist.
    virtual HRESULT SetSearchDirectory(const GUID& objectClass, const WCHAR* path, BOOL clear) = 0;

protected:
    ~IDirectMusicLoader() = default;
};
