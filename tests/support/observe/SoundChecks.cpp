#include "support/observe/SoundChecks.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <fstream>
#include <iterator>

#include "platform/sound/Mixer.h"
#include "support/files/Samples.h"

namespace {

// The mix plays an 11025 Hz sound as four frames a sample.
constexpr std::size_t kFramesPerSample = kMixRate / 11025;

// Correlation of `pattern` with `capture` from frame `at` on, taking every
// `step`-th frame, normalised: 1 for the pattern itself at any level, near 0
// for what is unrelated. `gain` gets the level of the pattern in it.
double Match(const std::vector<float>& capture, std::size_t at, const std::vector<float>& pattern, std::size_t step,
             double* gain = nullptr) {
    double dot = 0, heard = 0, own = 0;
    for (std::size_t i = 0; i < pattern.size() && at + i < capture.size(); i += step) {
        dot += double(capture[at + i]) * pattern[i];
        heard += double(capture[at + i]) * capture[at + i];
        own += double(pattern[i]) * pattern[i];
    }
    if (gain) *gain = own > 0 ? dot / own : 0;
    return heard > 0 && own > 0 ? dot / std::sqrt(heard * own) : 0;
}

std::string Seconds(std::size_t frames) { return std::to_string(double(frames) / kMixRate) + " s"; }

}  // namespace

std::optional<std::vector<float>> ReadCaptureLeft(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    if (!in) return std::nullopt;
    std::string bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    std::vector<float> left(bytes.size() / (sizeof(float) * kMixChannels));
    for (std::size_t i = 0; i < left.size(); ++i)
        std::memcpy(&left[i], bytes.data() + i * sizeof(float) * kMixChannels, sizeof(float));
    return left;
}

std::vector<std::string> CheckMusic(const std::vector<float>& capture, const std::vector<float>& music,
                                    std::size_t startBound, std::size_t until, std::string& report) {
    constexpr float kSound = 1e-3f;
    const std::size_t compared = 2 * kMixRate;
    std::vector<std::string> problems;
    std::size_t heardFirst = FirstLouder(capture, kSound);
    std::size_t trackFirst = FirstLouder(music, kSound);
    if (heardFirst == capture.size() || trackFirst >= music.size() || trackFirst > heardFirst)
        return {"no music in the capture"};

    // Both copies come from the same decoder, so the first sound marks the
    // track's start to within a few frames.
    std::size_t guess = heardFirst - trackFirst;
    std::size_t start = guess;
    double best = -1;
    std::vector<float> opening(music.begin(), music.begin() + std::ptrdiff_t(std::min(compared, music.size())));
    for (std::size_t at = guess > 256 ? guess - 256 : 0; at <= guess + 256; ++at) {
        double match = Match(capture, at, opening, 1);
        if (match > best) {
            best = match;
            start = at;
        }
    }
    report += "music starts at " + Seconds(start) + ", matching the track at " + std::to_string(best) + "\n";
    if (start > startBound) problems.push_back("the music starts only " + Seconds(start) + " into the capture");
    if (best < 0.95 || start + compared > capture.size())
        problems.push_back("the capture's first two seconds of music are not the track's");

    // A dropped stretch shows as a half second much quieter than the track's own.
    const std::size_t window = kMixRate / 2;
    std::vector<float> heard(capture.begin() + std::ptrdiff_t(start),
                             capture.begin() + std::ptrdiff_t(std::clamp(until, start, capture.size())));
    std::vector<float> track(music.begin(), music.begin() + std::ptrdiff_t(std::min(heard.size(), music.size())));
    std::vector<float> heardLevels = Levels(heard, window);
    std::vector<float> trackLevels = Levels(track, window);
    for (std::size_t i = 0; i < std::min(heardLevels.size(), trackLevels.size()); ++i)
        if (heardLevels[i] < trackLevels[i] / 2)
            problems.push_back("the music is missing " + Seconds(start + i * window) + " into the capture");
    return problems;
}

std::vector<std::string> CheckJump(const std::vector<float>& capture, const std::string& samples, std::size_t from,
                                   std::size_t to, std::string& report) {
    // The sound as the mix plays it: each sample at every fourth frame, the
    // frames between interpolated.
    std::vector<float> sound(samples.size() * kFramesPerSample);
    for (std::size_t k = 0; k < samples.size(); ++k) {
        float here = MixValue(static_cast<unsigned char>(samples[k]));
        float next = k + 1 < samples.size() ? MixValue(static_cast<unsigned char>(samples[k + 1])) : 0.0f;
        for (std::size_t j = 0; j < kFramesPerSample; ++j)
            sound[k * kFramesPerSample + j] = here + (next - here) * float(j) / kFramesPerSample;
    }
    to = std::min(to, capture.size());

    // Every fourth frame finds where the sound is; then every frame places it.
    std::size_t coarse = 0;
    double best = -1;
    for (std::size_t at = 0; at < to; at += kFramesPerSample) {
        double match = Match(capture, at, sound, kFramesPerSample);
        if (match > best) {
            best = match;
            coarse = at;
        }
    }
    std::size_t start = coarse;
    double gain = 0;
    best = -1;
    for (std::size_t at = coarse > kFramesPerSample ? coarse - kFramesPerSample : 0; at <= coarse + kFramesPerSample;
         ++at) {
        double level = 0;
        double match = Match(capture, at, sound, 1, &level);
        if (match > best) {
            best = match;
            start = at;
            gain = level;
        }
    }
    report += "jump sound best at " + Seconds(start) + " (pressed between " + Seconds(from) + " and " + Seconds(to) +
              "), match " + std::to_string(best) + ", level " + std::to_string(gain) + "\n";
    std::vector<std::string> problems;
    if (best < 0.5) return {"the jump sound is not in the capture"};
    if (start < from || start > to)
        problems.push_back("the jump sound sounds at " + Seconds(start) + ", not between " + Seconds(from) + " and " +
                           Seconds(to));
    if (gain < 0.8 || gain > 1.2)
        problems.push_back("the jump sound plays at " + std::to_string(gain) + " of its level");
    return problems;
}
