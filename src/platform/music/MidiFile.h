// Standard MIDI Files read into what a synthesiser plays: the channel
// messages of all tracks in time order, each timed in frames of the mix
// (kMixRate), with the file's tempo changes applied.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

struct MidiMessage {
    std::uint64_t frame;  // from the start of the file
    std::uint8_t status;  // 0x80..0xEF: kind and channel
    std::uint8_t data1;
    std::uint8_t data2;  // 0 for the one-byte messages (program, channel pressure)
};

struct MidiSequence {
    std::vector<MidiMessage> messages;
    std::uint64_t lengthFrames = 0;  // where the last track ends
};

// The sequence of a file of format 0, 1 or 2 (2 is played as 1: all tracks at
// once), with either kind of time division; nothing when the bytes are not
// such a file: a header other than "MThd", a division of 0, no track, or a
// track whose events run past its chunk or are not MIDI events. System
// exclusive and meta events other than tempo and end of track are skipped.
std::optional<MidiSequence> ReadStandardMidiFile(const std::string& bytes);
