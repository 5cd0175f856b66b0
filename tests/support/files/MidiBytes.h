// Standard MIDI Files written byte by byte, for the MIDI tests.
#pragma once

#include <cstdint>
#include <initializer_list>
#include <string>
#include <vector>

// A variable-length quantity.
std::string Quantity(std::uint32_t value);
// An event: its delta time, then its bytes as given.
std::string Event(std::uint32_t delta, std::initializer_list<int> bytes);
std::string Tempo(std::uint32_t delta, std::uint32_t microsecondsPerQuarter);
std::string EndOfTrack(std::uint32_t delta);
// An "MTrk" chunk holding `events`.
std::string Track(const std::string& events);
// "MThd" with the format, the number of `tracks` and the division, then the tracks.
std::string MidiFile(int format, int division, const std::vector<std::string>& tracks);

// A file of 480 ticks a beat at 120 beats a minute: `program` plays `key` at
// full velocity for `noteSeconds`, and the file ends at `endSeconds`.
std::string OneNote(int program, int key, double noteSeconds, double endSeconds);
