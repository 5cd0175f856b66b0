// The jump sound: a short rising chirp, written as the engine plays sounds
// (RIFF WAVE, PCM 8-bit unsigned mono at 11025 Hz, the format chunk first).
#pragma once

#include <string>

namespace orvcontent {

constexpr int kJumpRate = 11025;

// The whole WAV file's bytes.
std::string JumpWav();

}  // namespace orvcontent
