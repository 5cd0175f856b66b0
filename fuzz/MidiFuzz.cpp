// The reader of standard MIDI files, the program's music when it plays MIDI,
// given a file's bytes as the music manager reads them.
#include <cstdint>
#include <string>

#include "platform/music/MidiFile.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    ReadStandardMidiFile(std::string(reinterpret_cast<const char*>(data), size));
    return 0;
}
