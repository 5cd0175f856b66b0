#include "platform/music/MidiFile.h"

#include <algorithm>
#include <cmath>

#include "platform/sound/Mixer.h"

namespace {

// One event of a track that timing needs: a channel message, a tempo change
// or the track's end.
struct TrackEvent {
    std::uint64_t tick;
    enum Kind { kMessage, kTempo, kEnd } kind;
    MidiMessage message;  // kMessage: its frame is filled in later
    std::uint32_t tempo;  // kTempo: microseconds a quarter note
};

class Reader {
public:
    Reader(const std::string& bytes, std::size_t from, std::size_t to) : bytes(bytes), at(from), end(to) {}

    bool AtEnd() const { return at >= end; }
    bool Byte(std::uint8_t& value) {
        if (at >= end) return false;
        value = static_cast<std::uint8_t>(bytes[at++]);
        return true;
    }
    bool Skip(std::uint64_t count) {
        if (count > end - at) return false;
        at += count;
        return true;
    }
    // A variable-length quantity: at most four bytes of seven bits.
    bool Quantity(std::uint32_t& value) {
        value = 0;
        for (int i = 0; i < 4; ++i) {
            std::uint8_t byte = 0;
            if (!Byte(byte)) return false;
            value = value << 7 | (byte & 0x7F);
            if (!(byte & 0x80)) return true;
        }
        return false;
    }
    std::size_t Position() const { return at; }

private:
    const std::string& bytes;
    std::size_t at;
    std::size_t end;
};

std::uint32_t BigEndian(const std::string& bytes, std::size_t at, int count) {
    std::uint32_t value = 0;
    for (int i = 0; i < count; ++i) value = value << 8 | static_cast<std::uint8_t>(bytes[at + i]);
    return value;
}

// The events of one track chunk, appended to `events`.
bool ReadTrack(Reader track, std::vector<TrackEvent>& events) {
    std::uint64_t tick = 0;
    std::uint8_t running = 0;  // the last channel status, for running status
    while (!track.AtEnd()) {
        std::uint32_t delta = 0;
        std::uint8_t status = 0;
        if (!track.Quantity(delta) || !track.Byte(status)) return false;
        tick += delta;
        if (status == 0xFF) {
            std::uint8_t type = 0;
            std::uint32_t length = 0;
            if (!track.Byte(type) || !track.Quantity(length)) return false;
            if (type == 0x2F) {
                events.push_back({tick, TrackEvent::kEnd, {}, 0});
                return track.Skip(length);  // whatever follows the end is not played
            }
            if (type == 0x51 && length == 3) {
                std::uint8_t b[3];
                if (!track.Byte(b[0]) || !track.Byte(b[1]) || !track.Byte(b[2])) return false;
                std::uint32_t tempo = b[0] << 16 | b[1] << 8 | b[2];
                if (tempo > 0) events.push_back({tick, TrackEvent::kTempo, {}, tempo});
            } else if (!track.Skip(length)) {
                return false;
            }
            running = 0;
            continue;
        }
        if (status == 0xF0 || status == 0xF7) {
            std::uint32_t length = 0;
            if (!track.Quantity(length) || !track.Skip(length)) return false;
            running = 0;
            continue;
        }
        if (status >= 0xF0) return false;  // system common and real-time messages have no place in a file
        std::uint8_t data1 = 0;
        if (status < 0x80) {  // running status: this byte is the first data byte
            if (!running) return false;
            data1 = status;
            status = running;
        } else if (!track.Byte(data1)) {
            return false;
        }
        running = status;
        std::uint8_t data2 = 0;
        std::uint8_t kind = status & 0xF0;
        if (kind != 0xC0 && kind != 0xD0 && !track.Byte(data2)) return false;
        if (data1 > 0x7F || data2 > 0x7F) return false;
        events.push_back({tick, TrackEvent::kMessage, {0, status, data1, data2}, 0});
    }
    events.push_back({tick, TrackEvent::kEnd, {}, 0});  // a track without its end event ends with its chunk
    return true;
}

}  // namespace

std::optional<MidiSequence> ReadStandardMidiFile(const std::string& bytes) {
    if (bytes.size() < 14 || bytes.compare(0, 4, "MThd") != 0) return std::nullopt;
    std::uint32_t headerLength = BigEndian(bytes, 4, 4);
    std::uint32_t format = BigEndian(bytes, 8, 2);
    std::uint32_t division = BigEndian(bytes, 12, 2);
    if (headerLength < 6 || headerLength > bytes.size() - 8 || format > 2 || division == 0) return std::nullopt;

    std::vector<TrackEvent> events;
    int tracks = 0;
    for (std::size_t at = 8 + headerLength; bytes.size() - at >= 8;) {
        std::uint32_t length = BigEndian(bytes, at + 4, 4);
        if (length > bytes.size() - at - 8) return std::nullopt;
        if (bytes.compare(at, 4, "MTrk") == 0) {
            if (!ReadTrack(Reader(bytes, at + 8, at + 8 + length), events)) return std::nullopt;
            ++tracks;
        }
        at += 8 + std::size_t(length);
    }
    if (tracks == 0) return std::nullopt;

    // Tracks merged in time; at one tick, earlier tracks first, each in its own order.
    std::stable_sort(events.begin(), events.end(),
                     [](const TrackEvent& a, const TrackEvent& b) { return a.tick < b.tick; });

    // Seconds a tick: fixed for a time-code division, else by the tempo.
    double secondsPerTick = 0;
    bool timeCode = division & 0x8000;
    if (timeCode) {
        int framesPerSecond = -static_cast<std::int8_t>(division >> 8);
        int ticksPerFrame = static_cast<int>(division & 0xFF);
        if (framesPerSecond <= 0 || ticksPerFrame == 0) return std::nullopt;
        secondsPerTick = 1.0 / ((framesPerSecond == 29 ? 29.97 : framesPerSecond) * ticksPerFrame);
    } else {
        secondsPerTick = 500000 / 1e6 / division;  // 120 beats a minute until a tempo says otherwise
    }

    MidiSequence sequence;
    double seconds = 0;
    std::uint64_t lastTick = 0;
    for (const TrackEvent& event : events) {
        seconds += double(event.tick - lastTick) * secondsPerTick;
        lastTick = event.tick;
        std::uint64_t frame = static_cast<std::uint64_t>(std::llround(seconds * kMixRate));
        switch (event.kind) {
        case TrackEvent::kMessage:
            sequence.messages.push_back(event.message);
            sequence.messages.back().frame = frame;
            break;
        case TrackEvent::kTempo:
            if (!timeCode) secondsPerTick = event.tempo / 1e6 / division;
            break;
        case TrackEvent::kEnd:
            sequence.lengthFrames = std::max(sequence.lengthFrames, frame);
            break;
        }
    }
    return sequence;
}
