// The one audio device and the mixer that runs on its callback thread.
// Everything that sounds (the sound buffers, later the music streams) is a
// source: on every device period the mixer asks each source to add its next
// frames to the mix. The main thread changes what a source plays only while it
// holds the mixer lock, which the audio thread holds just for one period's
// mixing, so neither thread ever waits long for the other.
#pragma once

#include <mutex>

constexpr int kMixRate = 44100;  // frames per second of the mix and the device
constexpr int kMixChannels = 2;  // interleaved left, right

class MixerSource {
public:
    // Adds the source's next `frames` frames to `mix` (kMixChannels floats a
    // frame, silence 0, full scale -1..1). Runs on the audio thread with the
    // mixer lock held; must neither block nor allocate.
    virtual void MixInto(float* mix, int frames) = 0;

protected:
    ~MixerSource() = default;
};

// Opens the audio device for one more user; the first user opens it, with
// SDL's audio subsystem. False when no audio device can be opened.
bool OpenMixer();

// One user less; the last one closes the device. Once SDL has shut down (its
// SDL_Quit runs at process exit) there is nothing left to close.
void CloseMixer();

// A source joins the mix whether or not the device is open, and must leave it
// before it is destroyed.
void AddMixerSource(MixerSource* source);
void RemoveMixerSource(MixerSource* source);

// The lock the audio thread mixes under.
std::unique_lock<std::mutex> LockMixer();
