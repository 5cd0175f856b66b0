// The music manager in use: each track is a file rendered into a media graph
// of its own (platform/music/DirectShow.h), played by the platform on its own
// threads and polled once a frame, which restarts it whenever it has ended.
#pragma once

#include <cstdint>

#include "audio/MusicManager.h"
#include "platform/music/DirectShow.h"

constexpr int kMusicTrackCount = 64;

// One playable file. A track owns its graph's interfaces: destroying it stops
// the graph and releases them.
struct MusicTrack {
    std::uint8_t loaded = 0;   // the file has been rendered into the graph
    std::uint8_t playing = 0;  // the manager has set the graph running
    char fileName[34] = {};    // as given to Load, for restarting
    IGraphBuilder* graph = nullptr;
    IMediaControl* control = nullptr;
    IMediaEventEx* events = nullptr;

    MusicTrack() = default;
    MusicTrack(const MusicTrack&) = delete;
    MusicTrack& operator=(const MusicTrack&) = delete;
    ~MusicTrack();
};

class StreamMusicManager : public MusicManager {
public:
    // Nothing to start: COM is started by the entry routine. Always true.
    bool Initialize(void* device) override;
    // Into the first track not loaded. Returns that track's number even when
    // the file cannot be rendered; the track then stays silent and the next
    // Load takes it again. -1 only when all 64 are loaded.
    int Load(const char* fileName) override;
    // Polls one event; after the end of the file renders it again; then runs
    // a loaded track that is not playing.
    void Play(int index) override;
    // Stops every track; releases nothing.
    bool Shutdown() override;
    // Stops a loaded track and leaves it flagged as playing: Play keeps it
    // silent until a completion event clears the flag.
    void Stop(int index) override;

private:
    MusicTrack tracks[kMusicTrackCount];
};
