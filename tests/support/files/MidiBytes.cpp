#include "support/files/MidiBytes.h"

#include <cmath>

namespace {

std::string BigEndian(std::uint32_t value, int bytes) {
    std::string text;
    for (int i = bytes - 1; i >= 0; --i) text += static_cast<char>((value >> (8 * i)) & 0xFF);
    return text;
}

}  // namespace

std::string Quantity(std::uint32_t value) {
    std::string text(1, static_cast<char>(value & 0x7F));
    while (value >>= 7) text.insert(text.begin(), static_cast<char>((value & 0x7F) | 0x80));
    return text;
}

std::string Event(std::uint32_t delta, std::initializer_list<int> bytes) {
    std::string text = Quantity(delta);
    for (int byte : bytes) text += static_cast<char>(byte);
    return text;
}

std::string Tempo(std::uint32_t delta, std::uint32_t microsecondsPerQuarter) {
    return Quantity(delta) + "\xFF\x51\x03" + BigEndian(microsecondsPerQuarter, 3);
}

std::string EndOfTrack(std::uint32_t delta) { return Event(delta, {0xFF, 0x2F, 0x00}); }

std::string Track(const std::string& events) {
    return "MTrk" + BigEndian(static_cast<std::uint32_t>(events.size()), 4) + events;
}

std::string MidiFile(int format, int division, const std::vector<std::string>& tracks) {
    std::string file = "MThd" + BigEndian(6, 4) + BigEndian(format, 2) +
                       BigEndian(static_cast<std::uint32_t>(tracks.size()), 2) + BigEndian(division, 2);
    for (const std::string& track : tracks) file += track;
    return file;
}

std::string OneNote(int program, int key, double noteSeconds, double endSeconds) {
    // 960 ticks a second at 120 beats a minute.
    auto ticks = [](double seconds) { return static_cast<std::uint32_t>(std::lround(seconds * 960)); };
    return MidiFile(0, 480,
                    {Track(Event(0, {0xC0, program}) + Event(0, {0x90, key, 127}) +
                           Event(ticks(noteSeconds), {0x80, key, 0}) + EndOfTrack(ticks(endSeconds - noteSeconds)))});
}
