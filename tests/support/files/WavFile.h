// RIFF WAVE files written the way recording programs write them, for the
// sound tests: a format chunk, a data chunk, any other chunks in between.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

struct WavFormat {
    std::uint16_t tag = 1;  // 1 PCM, 3 floating point
    std::uint16_t channels = 1;
    std::uint32_t rate = 11025;
    std::uint16_t bits = 8;
};

struct WavChunk {
    std::string id;  // four characters
    std::string contents;
    // The size field; -1 writes the contents' own size. An odd-sized chunk is
    // followed by its pad byte either way.
    std::int64_t declaredSize = -1;
};

WavChunk FormatChunk(const WavFormat& format);  // the plain 16-byte form
WavChunk DataChunk(const std::string& samples);

// "RIFF", its size, "WAVE" and the chunks in the order given.
std::string RiffWave(const std::vector<WavChunk>& chunks);

// The usual file: the format chunk, then the data chunk.
std::string Wav(const std::string& samples, const WavFormat& format = {});

// `count` 8-bit unsigned samples at 11025 Hz of a sine wave of `amplitude`
// sample steps around `centre` (128 is the zero line; a tone riding above it
// is audible in every sample).
std::string Tone(int count, double frequency, int amplitude, int centre = 128);
