#include "support/files/Samples.h"

#include <cmath>

std::size_t FirstLouder(const std::vector<float>& samples, float threshold, std::size_t from) {
    for (std::size_t i = from; i < samples.size(); ++i)
        if (std::abs(samples[i]) > threshold) return i;
    return samples.size();
}

std::size_t EndOfLouder(const std::vector<float>& samples, float threshold) {
    for (std::size_t i = samples.size(); i > 0; --i)
        if (std::abs(samples[i - 1]) > threshold) return i;
    return 0;
}

float MixValue(unsigned char sample) { return (sample - 128) / 128.0f; }

std::vector<float> Levels(const std::vector<float>& samples, std::size_t window) {
    std::vector<float> levels;
    for (std::size_t start = 0; start + window <= samples.size(); start += window) {
        double sum = 0;
        for (std::size_t i = start; i < start + window; ++i) sum += double(samples[i]) * samples[i];
        levels.push_back(static_cast<float>(std::sqrt(sum / double(window))));
    }
    return levels;
}
