// The second music manager: standard MIDI files played through the MIDI
// performance (platform/music/DirectMusic.h) on the first port it offers. Built
// beside the stream music manager and never made current.
#pragma once

#include <cstdint>

#include "audio/MusicManager.h"
#include "platform/music/DirectMusic.h"

constexpr int kMidiSegmentCount = 64;

struct MidiSegmentSlot {
    IDirectMusicSegment2* segment = nullptr;
    IDirectMusicSegmentState* state = nullptr;  // of the segment's last PlaySegment
    std::int32_t inUse = 0;
};

class MidiMusicManager final : public MusicManager {
public:
    // Makes the performance (with `device` as its sound object), the port and
    // the loader; true when the performance and the loader exist. Without a
    // port the manager still starts, and plays nothing.
    bool Initialize(void* device) override;
    // A standard MIDI file, by its name relative to the current directory,
    // into the first free slot; the slot number, or -1 with nothing kept.
    int Load(const char* fileName) override;
    // Starts the segment unless it is playing: once a frame, this loops it.
    void Play(int index) override;
    // Stops everything the performance plays, releases the segments, the
    // performance, the music object it handed out and the loader.
    bool Shutdown() override;
    // When that segment is playing, stops all music.
    void Stop(int index) override;

    // Open, like the renderers' platform objects, so tests can see what is
    // handed to them.
    IDirectMusicPerformance2* performance = nullptr;
    IDirectMusicLoader* loader = nullptr;

private:
    IDirectMusic* music = nullptr;
    MidiSegmentSlot segments[kMidiSegmentCount];
};
