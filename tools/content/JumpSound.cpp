#include "content/JumpSound.h"

#include <cmath>
#include <cstdint>
#include <numbers>

namespace orvcontent {
namespace {

void Put16(std::string& out, std::uint32_t v) {
    out += static_cast<char>(v & 0xff);
    out += static_cast<char>((v >> 8) & 0xff);
}

void Put32(std::string& out, std::uint32_t v) {
    Put16(out, v & 0xffff);
    Put16(out, v >> 16);
}

}  // namespace

std::string JumpWav() {
    // 0.22 s: the pitch glides up from 180 Hz to 720 Hz while the level falls
    // away, a soft square-ish tone (a sine with its third harmonic) that the
    // 8-bit format carries without hiss. A 4 ms attack keeps the start clean;
    // the envelope reaches zero at the last sample, so it ends without a click.
    const int count = kJumpRate * 22 / 100;
    std::string samples;
    double phase = 0;
    for (int i = 0; i < count; ++i) {
        const double t = static_cast<double>(i) / count;
        const double frequency = 180 * std::pow(4.0, t);
        phase += 2 * std::numbers::pi * frequency / kJumpRate;
        const double attack = std::fmin(1.0, i / (0.004 * kJumpRate));
        const double envelope = attack * (1 - t) * (1 - t);
        const double wave = std::sin(phase) + std::sin(3 * phase) / 3;
        const double value = 128 + 90 * envelope * wave;
        samples += static_cast<char>(static_cast<std::uint8_t>(std::lround(value)));
    }
    std::string out = "RIFF";
    Put32(out, static_cast<std::uint32_t>(4 + 8 + 16 + 8 + samples.size() + samples.size() % 2));
    out += "WAVEfmt ";
    Put32(out, 16);
    Put16(out, 1);  // PCM
    Put16(out, 1);  // mono
    Put32(out, kJumpRate);
    Put32(out, kJumpRate);  // bytes per second
    Put16(out, 1);          // block align
    Put16(out, 8);          // bits per sample
    out += "data";
    Put32(out, static_cast<std::uint32_t>(samples.size()));
    out += samples;
    if (samples.size() % 2) out += '\0';  // chunks are padded to even sizes
    return out;
}

}  // namespace orvcontent
