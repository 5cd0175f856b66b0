#include "audio/StreamMusicManager.h"

#include <cstring>

namespace {

// The longest name a track keeps. A longer one is treated as a file that
// cannot be rendered: the track could not restart it.
constexpr std::size_t kLongestName = sizeof(MusicTrack::fileName) - 1;

// The wide buffer of a media file name.
constexpr int kWideNameChars = 260;

bool IsValid(int index) { return index >= 0 && index < kMusicTrackCount; }

template <class Interface>
void ReleaseAndClear(Interface*& pointer) {
    if (pointer) pointer->Release();
    pointer = nullptr;
}

// Renders `fileName` into the track's graph. The buffer starts empty, so a
// name that fails to convert renders nothing rather than stale memory.
HRESULT Render(MusicTrack& track, const char* fileName) {
    WCHAR wide[kWideNameChars] = {};
    MultiByteToWideChar(CP_ACP, 0, fileName, -1, wide, kWideNameChars);
    return track.graph->RenderFile(wide, nullptr);
}

}  // namespace

MusicTrack::~MusicTrack() {
    if (control) control->Stop();
    ReleaseAndClear(graph);
    ReleaseAndClear(control);
    ReleaseAndClear(events);
}

bool StreamMusicManager::Initialize(void*) { return true; }

int StreamMusicManager::Load(const char* fileName) {
    int index = 0;
    while (index < kMusicTrackCount && tracks[index].loaded) ++index;
    if (index == kMusicTrackCount) return -1;
    MusicTrack& track = tracks[index];

    // A graph left by an earlier Load whose file could not be rendered goes
    // before a new one takes its place.
    ReleaseAndClear(track.graph);
    ReleaseAndClear(track.control);
    ReleaseAndClear(track.events);

    if (FAILED(CoCreateInstance(CLSID_FilterGraph, nullptr, CLSCTX_INPROC_SERVER, IID_IGraphBuilder,
                                reinterpret_cast<void**>(&track.graph))))
        return index;
    track.graph->QueryInterface(IID_IMediaControl, reinterpret_cast<void**>(&track.control));
    track.graph->QueryInterface(IID_IMediaEventEx, reinterpret_cast<void**>(&track.events));
    // Without its control a graph could never be run: such a track is not loaded either.
    const std::size_t length = std::strlen(fileName);
    if (track.control && length <= kLongestName && SUCCEEDED(Render(track, fileName))) {
        track.loaded = 1;
        std::memcpy(track.fileName, fileName, length + 1);
    }
    return index;
}

void StreamMusicManager::Play(int index) {
    if (!IsValid(index)) return;
    MusicTrack& track = tracks[index];
    if (!track.events) return;
    LONG code = 0;
    LONG_PTR param1 = 0;
    LONG_PTR param2 = 0;
    // Only a graph that ran can complete, and only a loaded track, which has
    // its control, is ever run.
    if (SUCCEEDED(track.events->GetEvent(&code, &param1, &param2, 0)) && code == EC_COMPLETE) {
        track.control->Stop();
        Render(track, track.fileName);
        track.playing = 0;
    }
    if (track.loaded && !track.playing) {
        track.control->Run();
        track.playing = 1;
    }
}

void StreamMusicManager::Stop(int index) {
    if (!IsValid(index) || !tracks[index].loaded) return;
    tracks[index].control->Stop();
}

bool StreamMusicManager::Shutdown() {
    for (int index = 0; index < kMusicTrackCount; ++index) Stop(index);
    return true;
}
