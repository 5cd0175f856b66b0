#include "platform/sound/Mixer.h"

#include <SDL.h>

#include <algorithm>
#include <cstdlib>
#include <vector>

namespace {

// 512 frames: about 12 ms a period, short enough that a sound starts promptly.
constexpr Uint16 kPeriodFrames = 512;

struct MixerState {
    std::mutex lock;
    std::vector<MixerSource*> sources;  // under `lock`
    SDL_AudioDeviceID device = 0;       // main thread only
    int users = 0;
};

// Never destroyed: sources leave the mix from destructors that run at process
// exit, after the statics of this file would already be gone.
MixerState& Mixer() {
    static MixerState* state = new MixerState;
    return *state;
}

void Mix(void*, Uint8* stream, int bytes) {
    float* mix = reinterpret_cast<float*>(stream);
    int frames = bytes / static_cast<int>(sizeof(float) * kMixChannels);
    std::fill_n(mix, frames * kMixChannels, 0.0f);
    {
        std::lock_guard guard(Mixer().lock);
        for (MixerSource* source : Mixer().sources) source->MixInto(mix, frames);
    }
    for (int i = 0; i < frames * kMixChannels; ++i) mix[i] = std::clamp(mix[i], -1.0f, 1.0f);
}

// Also registered with atexit, so the audio thread has stopped before the
// objects it reads are destroyed.
void CloseDevice() {
    MixerState& mixer = Mixer();
    if (mixer.device && SDL_WasInit(SDL_INIT_AUDIO)) {
        SDL_CloseAudioDevice(mixer.device);
        SDL_QuitSubSystem(SDL_INIT_AUDIO);
    }
    mixer.device = 0;
    mixer.users = 0;
}

}  // namespace

bool OpenMixer() {
    MixerState& mixer = Mixer();
    if (mixer.users > 0) {
        ++mixer.users;
        return true;
    }
    if (SDL_InitSubSystem(SDL_INIT_AUDIO) != 0) return false;
    SDL_AudioSpec wanted{};
    wanted.freq = kMixRate;
    wanted.format = AUDIO_F32SYS;
    wanted.channels = kMixChannels;
    wanted.samples = kPeriodFrames;
    wanted.callback = Mix;
    // No format changes allowed: SDL converts the mix to whatever the hardware takes.
    mixer.device = SDL_OpenAudioDevice(nullptr, 0, &wanted, nullptr, 0);
    if (!mixer.device) {
        SDL_QuitSubSystem(SDL_INIT_AUDIO);
        return false;
    }
    static bool closesAtExit = false;
    if (!closesAtExit) std::atexit(CloseDevice);
    closesAtExit = true;
    mixer.users = 1;
    SDL_PauseAudioDevice(mixer.device, 0);
    return true;
}

void CloseMixer() {
    MixerState& mixer = Mixer();
    if (mixer.users > 0 && --mixer.users == 0) CloseDevice();
}

void AddMixerSource(MixerSource* source) {
    std::lock_guard guard(Mixer().lock);
    Mixer().sources.push_back(source);
}

void RemoveMixerSource(MixerSource* source) {
    std::lock_guard guard(Mixer().lock);
    std::erase(Mixer().sources, source);
}

std::unique_lock<std::mutex> LockMixer() { return std::unique_lock(Mixer().lock); }
