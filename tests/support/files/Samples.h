// Plain measures of recorded samples (floats, full scale -1..1), shared by the
// tests that hear the mix and the end-to-end checks of a captured run.
#pragma once

#include <cstddef>
#include <vector>

// Index of the first sample louder than `threshold` at or after `from`, or the size.
std::size_t FirstLouder(const std::vector<float>& samples, float threshold, std::size_t from = 0);
// Index one past the last sample louder than `threshold`, or 0.
std::size_t EndOfLouder(const std::vector<float>& samples, float threshold);
// An 8-bit unsigned sample as the mix carries it.
float MixValue(unsigned char sample);

// The level (root mean square) of each whole window of `window` samples.
std::vector<float> Levels(const std::vector<float>& samples, std::size_t window);
