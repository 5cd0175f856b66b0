// The demo's music: a small step sequencer playing an original piece in A minor
// on a few synthesised instruments (pad, bass, arpeggio, lead, drums), and its
// encoding to MP3.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace orvcontent {

constexpr int kMusicRate = 44100;
constexpr int kMusicBars = 20;
constexpr int kSamplesPerBeat = kMusicRate / 2;                 // 120 beats a minute
constexpr int kMusicFrames = kMusicBars * 4 * kSamplesPerBeat;  // 40 s

// Interleaved 16-bit stereo, kMusicFrames frames. The last frame runs on into
// the first without a step: every sound still ringing at the end (notes,
// echoes) continues at the start.
std::vector<std::int16_t> RenderMusic();

// MP3 at 44.1 kHz, 160 kbit/s constant bit rate, with the encoder's gapless
// information frame so a decoder returns exactly the frames it was given.
bool EncodeMp3(const std::vector<std::int16_t>& stereo, std::string& mp3, std::string& error);

}  // namespace orvcontent
