#include "support/files/WavFile.h"

#include <cmath>
#include <numbers>

namespace {

std::string Le(std::uint32_t value, int bytes) {
    std::string text;
    for (int i = 0; i < bytes; ++i) text += static_cast<char>((value >> (8 * i)) & 0xFF);
    return text;
}

}  // namespace

WavChunk FormatChunk(const WavFormat& format) {
    std::uint16_t blockAlign = static_cast<std::uint16_t>(format.channels * format.bits / 8);
    return {"fmt ", Le(format.tag, 2) + Le(format.channels, 2) + Le(format.rate, 4) + Le(format.rate * blockAlign, 4) +
                        Le(blockAlign, 2) + Le(format.bits, 2)};
}

WavChunk DataChunk(const std::string& samples) { return {"data", samples}; }

std::string RiffWave(const std::vector<WavChunk>& chunks) {
    std::string body = "WAVE";
    for (const WavChunk& chunk : chunks) {
        std::uint32_t size = chunk.declaredSize < 0 ? static_cast<std::uint32_t>(chunk.contents.size())
                                                    : static_cast<std::uint32_t>(chunk.declaredSize);
        body += chunk.id + Le(size, 4) + chunk.contents;
        if (chunk.contents.size() % 2) body += '\0';
    }
    return "RIFF" + Le(static_cast<std::uint32_t>(body.size()), 4) + body;
}

std::string Wav(const std::string& samples, const WavFormat& format) {
    return RiffWave({FormatChunk(format), DataChunk(samples)});
}

std::string Tone(int count, double frequency, int amplitude, int centre) {
    std::string samples;
    for (int i = 0; i < count; ++i)
        samples += static_cast<char>(
            std::lround(centre + amplitude * std::sin(2 * std::numbers::pi * frequency * i / 11025.0)));
    return samples;
}
