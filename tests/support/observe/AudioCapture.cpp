#include "support/observe/AudioCapture.h"

#include <gtest/gtest.h>

#include <chrono>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <thread>

namespace {

// The clock marks the device's first mixed frame in the right channel only,
// which no mono sound can do; faintly, so that no sound is clipped by it.
constexpr float kMark = 1.0f / 1024;

}  // namespace

void AudioCapture::Clock::MixInto(float* mix, int count) {
    if (frames == 0) mix[1] += kMark;
    frames += static_cast<std::size_t>(count);
}

AudioCapture::AudioCapture() {
    setenv("SDL_AUDIODRIVER", "disk", 1);
    setenv("SDL_DISKAUDIOFILE", dir.File("mix.raw").c_str(), 1);
    AddMixerSource(&clock);
}

AudioCapture::~AudioCapture() { RemoveMixerSource(&clock); }

std::size_t AudioCapture::Frames() {
    auto lock = LockMixer();
    return clock.frames;
}

bool AudioCapture::WaitFor(std::size_t frames) {
    // The disk driver plays in real time; this allows ten times that and more.
    auto patience = std::chrono::milliseconds(5000 + frames * 10000 / kMixRate);
    auto deadline = std::chrono::steady_clock::now() + patience;
    while (Frames() < frames) {
        if (std::chrono::steady_clock::now() > deadline) return false;
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    return true;
}

std::vector<float> AudioCapture::Stereo() const {
    std::string bytes = TempDir::Read(dir.File("mix.raw"));
    std::vector<float> stereo(bytes.size() / sizeof(float));
    std::memcpy(stereo.data(), bytes.data(), stereo.size() * sizeof(float));

    std::size_t first = 0;  // silence may precede the first mixed frame
    while (first + 1 < stereo.size() && stereo[first + 1] == stereo[first]) first += 2;
    if (first + 1 < stereo.size()) stereo[first + 1] -= kMark;
    return {stereo.begin() + static_cast<std::ptrdiff_t>(first), stereo.end()};
}

std::vector<float> AudioCapture::Recording() const {
    std::vector<float> stereo = Stereo();
    std::vector<float> left;
    for (std::size_t i = 0; i + 1 < stereo.size(); i += 2) {
        // The mark was added to whatever else sounded in the first frame, so
        // only that frame is compared with a rounding allowance.
        if (std::abs(stereo[i + 1] - stereo[i]) > (i == 0 ? 1e-6f : 0.0f)) {
            ADD_FAILURE() << "left and right differ at frame " << left.size();
            break;
        }
        left.push_back(stereo[i]);
    }
    return left;
}

std::vector<float> AudioCapture::Left() const {
    std::vector<float> stereo = Stereo();
    std::vector<float> left;
    for (std::size_t i = 0; i + 1 < stereo.size(); i += 2) left.push_back(stereo[i]);
    return left;
}
