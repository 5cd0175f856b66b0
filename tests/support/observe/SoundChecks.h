// What the audio captured from a run (SDL's disk driver: the mix as 32-bit
// float stereo at 44100 Hz, from the moment the device opened) must hold.
#pragma once

#include <cstddef>
#include <optional>
#include <string>
#include <vector>

// The left channel of a capture file; nothing when it cannot be read.
std::optional<std::vector<float>> ReadCaptureLeft(const std::string& path);

// The music (`music`: the left channel of the track decoded from its start)
// begins within `startBound` frames of the capture's beginning, matches the
// track sample for sample for its first two seconds, and sounds as loud as
// the track through every half second up to frame `until`. Returns the
// problems found; `report` gets what was measured.
std::vector<std::string> CheckMusic(const std::vector<float>& capture, const std::vector<float>& music,
                                    std::size_t startBound, std::size_t until, std::string& report);

// The jump sound (`samples`: its 8-bit 11025 Hz samples) sounds in the
// capture first between frames `from` and `to` and nowhere before: the
// best match of the sound over the capture up to `to` begins in that span,
// matches clearly and has the sound's own level.
std::vector<std::string> CheckJump(const std::vector<float>& capture, const std::string& samples, std::size_t from,
                                   std::size_t to, std::string& report);
