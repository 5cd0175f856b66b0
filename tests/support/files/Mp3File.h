// MP3 files made as a user would make them: generated samples written as a
// 16-bit mono WAV file and encoded with the lame encoder (Debian's lame).
#pragma once

#include <cstdint>
#include <string>
#include <vector>

// `seconds` of a sine at `frequency` Hz and `amplitude` (of full scale),
// 16-bit mono at `rate`.
std::vector<std::int16_t> Sine(double seconds, double frequency, double amplitude, int rate = 44100);

// Encodes `samples` (16-bit mono at `rate`) as the mono MP3 file `path`, at
// `mp3Rate` (0: the samples' own rate). Fails the test when the encoder does.
void WriteMp3(const std::string& path, const std::vector<std::int16_t>& samples, int rate = 44100, int mp3Rate = 0);

// The usual test track: 0.25 s loud, then 0.25 s quiet, of a 440 Hz sine, so
// that where it starts and ends can be told in a recording.
std::vector<std::int16_t> LoudThenQuiet();

// A recording cut into 10 ms windows classed by level: 'L' for the loud part
// of LoudThenQuiet, 'q' for its quiet part, '.' for silence. Runs of one
// class, in order; windows that straddle a change of level are left out, and
// runs shorter than two windows with them.
struct LevelRun {
    char kind;
    std::size_t windows;
};
std::vector<LevelRun> LevelRuns(const std::vector<float>& heard);

// The classes of the runs as letters: ".Lq." is silence, the track, silence.
std::string Shape(const std::vector<LevelRun>& runs);

// `runs` without the silences of fewer than `windows` windows after the first
// run: when a frame loop restarts a track, the moment may vary that much.
std::vector<LevelRun> WithoutShortGaps(const std::vector<LevelRun>& runs, std::size_t windows);

// The windows of one class in all runs.
std::size_t WindowsOf(const std::vector<LevelRun>& runs, char kind);
