// The media graph as the stream music manager uses it: a filter graph
// (CoCreateInstance with CLSID_FilterGraph, platform/core/Com.h) that renders an
// MPEG audio file into a playback chain on the shared audio device
// (platform/sound/Mixer.h), with its run/stop control and its event queue. The chain
// decodes ahead of the audio thread on a thread of its own; the caller's
// thread only starts, stops and polls.
#pragma once

#include "platform/core/Com.h"
#include "platform/core/WideText.h"

inline constexpr GUID CLSID_FilterGraph = {
    0xE436EBB3, 0x524F, 0x11CE, {0x9F, 0x53, 0x00, 0x20, 0xAF, 0x0B, 0xA7, 0x70}};
inline constexpr GUID IID_IGraphBuilder = {
    0x56A868A9, 0x0AD4, 0x11CE, {0xB0, 0x3A, 0x00, 0x20, 0xAF, 0x0B, 0xA7, 0x70}};
inline constexpr GUID IID_IMediaControl = {
    0x56A868B1, 0x0AD4, 0x11CE, {0xB0, 0x3A, 0x00, 0x20, 0xAF, 0x0B, 0xA7, 0x70}};
inline constexpr GUID IID_IMediaEventEx = {
    0x56A868C0, 0x0AD4, 0x11CE, {0xB0, 0x3A, 0x00, 0x20, 0xAF, 0x0B, 0xA7, 0x70}};

// A new filter graph, as CoCreateInstance makes it (ComClasses.cpp).
HRESULT CreateFilterGraph(const GUID& iid, void** object);

// The stream has played to its end; its first parameter is S_OK.
constexpr LONG EC_COMPLETE = 0x01;

constexpr HRESULT VFW_E_NO_AUDIO_HARDWARE = static_cast<HRESULT>(0x80040256u);
constexpr HRESULT VFW_E_UNSUPPORTED_STREAM = static_cast<HRESULT>(0x80040265u);

class IGraphBuilder : public IUnknown {
public:
    // Builds the playback chain of `file` (a relative name from the current
    // directory, resolved like every engine file name), leaving the graph
    // stopped at the file's start. A chain the graph already holds is dropped
    // first, so the next Run plays the file from its start. Fails, leaving the
    // graph empty, for a missing file (HRESULT_FROM_WIN32 of
    // ERROR_FILE_NOT_FOUND), a file that does not decode as MPEG audio
    // (VFW_E_UNSUPPORTED_STREAM) or no audio device (VFW_E_NO_AUDIO_HARDWARE).
    // `playList` must be null. The new chain holds the audio device before the
    // old one lets it go, so a rebuild never closes it.
    virtual HRESULT RenderFile(const WCHAR* file, const WCHAR* playList) = 0;

protected:
    ~IGraphBuilder() = default;
};

class IMediaControl : public IUnknown {
public:
    // Plays on from the current position; when the last frame has been played
    // EC_COMPLETE is queued, once. An empty graph runs without a sound.
    virtual HRESULT Run() = 0;
    // Stops where it is: a later Run goes on from there.
    virtual HRESULT Stop() = 0;

protected:
    ~IMediaControl() = default;
};

class IMediaEventEx : public IUnknown {
public:
    // Takes the next queued event. Only a time-out of 0 is provided: E_ABORT
    // at once when no event is queued. Parameters of EC_COMPLETE own nothing.
    virtual HRESULT GetEvent(LONG* code, LONG_PTR* param1, LONG_PTR* param2, LONG timeout) = 0;

protected:
    ~IMediaEventEx() = default;
};
