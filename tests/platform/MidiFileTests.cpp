// Reading standard MIDI files into timed channel messages.
#include <gtest/gtest.h>

#include "platform/music/MidiFile.h"
#include "platform/sound/Mixer.h"
#include "support/files/MidiBytes.h"

namespace {

// Frames of the mix in `seconds`.
std::uint64_t Frames(double seconds) { return static_cast<std::uint64_t>(seconds * kMixRate + 0.5); }

struct Expected {
    std::uint64_t frame;
    int status;
    int data1;
    int data2;
};

void ExpectMessages(const MidiSequence& sequence, const std::vector<Expected>& expected) {
    ASSERT_EQ(sequence.messages.size(), expected.size());
    for (std::size_t i = 0; i < expected.size(); ++i) {
        SCOPED_TRACE(i);
        EXPECT_EQ(sequence.messages[i].frame, expected[i].frame);
        EXPECT_EQ(sequence.messages[i].status, expected[i].status);
        EXPECT_EQ(sequence.messages[i].data1, expected[i].data1);
        EXPECT_EQ(sequence.messages[i].data2, expected[i].data2);
    }
}

TEST(MidiFile, MessagesAreTimedByTheTempoInForceWhenTheyCome) {
    // 120 beats a minute for the first beat, then 60.
    auto read =
        ReadStandardMidiFile(MidiFile(0, 480,
                                      {Track(Event(0, {0x90, 60, 100}) + Event(480, {0x80, 60, 0}) + Tempo(0, 1000000) +
                                             Event(480, {0x90, 62, 90}) + Event(240, {0x80, 62, 0}) + EndOfTrack(0))}));
    ASSERT_TRUE(read);
    ExpectMessages(
        *read,
        {{0, 0x90, 60, 100}, {Frames(0.5), 0x80, 60, 0}, {Frames(1.5), 0x90, 62, 90}, {Frames(2.0), 0x80, 62, 0}});
    EXPECT_EQ(read->lengthFrames, Frames(2.0));
}

TEST(MidiFile, RunningStatusOneByteMessagesAndSkippedEvents) {
    auto read = ReadStandardMidiFile(
        MidiFile(0, 96,
                 {Track(Event(0, {0xC3, 19}) + Event(0, {0x93, 60, 100}) + Event(0, {64, 80}) +  // running status
                        Event(0, {0xF0, 3, 0x7E, 0x7F, 0xF7}) +                                  // system exclusive
                        Event(0, {0xFF, 0x03, 4, 'n', 'a', 'm', 'e'}) +                          // track name
                        Event(0, {0xD3, 50}) + Event(0, {0xE3, 0x00, 0x40}) + EndOfTrack(0))}));
    ASSERT_TRUE(read);
    ExpectMessages(*read,
                   {{0, 0xC3, 19, 0}, {0, 0x93, 60, 100}, {0, 0x93, 64, 80}, {0, 0xD3, 50, 0}, {0, 0xE3, 0x00, 0x40}});
}

TEST(MidiFile, TracksAreMergedInTimeWithTheTempoOfTheFirst) {
    std::string conductor = Track(Tempo(0, 250000) + EndOfTrack(960));  // 240 beats a minute
    std::string first = Track(Event(0, {0x90, 60, 100}) + Event(480, {0x80, 60, 0}) + EndOfTrack(0));
    std::string second = Track(Event(240, {0x91, 64, 100}) + Event(240, {0x81, 64, 0}) + EndOfTrack(0));
    auto read = ReadStandardMidiFile(MidiFile(1, 480, {conductor, first, second}));
    ASSERT_TRUE(read);
    ExpectMessages(
        *read,
        {{0, 0x90, 60, 100}, {Frames(0.125), 0x91, 64, 100}, {Frames(0.25), 0x80, 60, 0}, {Frames(0.25), 0x81, 64, 0}});
    EXPECT_EQ(read->lengthFrames, Frames(0.5)) << "the longest track's end";
}

TEST(MidiFile, ATimeCodeDivisionCountsTicksInSeconds) {
    int division = (0x100 - 25) << 8 | 40;  // 25 frames a second, 40 ticks a frame
    auto read = ReadStandardMidiFile(
        MidiFile(0, division, {Track(Tempo(0, 1000000) + Event(500, {0x90, 60, 1}) + EndOfTrack(500))}));
    ASSERT_TRUE(read);
    ExpectMessages(*read, {{Frames(0.5), 0x90, 60, 1}});
    EXPECT_EQ(read->lengthFrames, Frames(1.0)) << "a tempo changes nothing";
}

TEST(MidiFile, ATrackWithoutItsEndEndsWithItsChunk) {
    auto read = ReadStandardMidiFile(MidiFile(0, 480, {Track(Event(960, {0x90, 60, 1}))}));
    ASSERT_TRUE(read);
    EXPECT_EQ(read->lengthFrames, Frames(1.0));
}

TEST(MidiFile, WhatIsNotAStandardMidiFileIsRefused) {
    std::string note = Event(0, {0x90, 60, 100});
    struct Case {
        const char* what;
        std::string bytes;
    } cases[] = {
        {"empty", ""},
        {"another header", "RIFF" + MidiFile(0, 480, {Track(note)}).substr(4)},
        {"division 0", MidiFile(0, 0, {Track(note)})},
        {"format 3", MidiFile(3, 480, {Track(note)})},
        {"no track", MidiFile(0, 480, {})},
        {"a header longer than the file", std::string("MThd\x00\x00\x01\x00", 8) + MidiFile(0, 480, {}).substr(8)},
        {"a chunk longer than the file", MidiFile(0, 480, {Track(note)}).substr(0, 25)},
        {"an event past its chunk", MidiFile(0, 480, {Track(Event(0, {0x90, 60}))})},
        {"a data byte without a status", MidiFile(0, 480, {Track(Event(0, {60, 100}))})},
        {"a system common message", MidiFile(0, 480, {Track(Event(0, {0xF2, 0, 0}))})},
        {"a quantity of five bytes", MidiFile(0, 480, {Track(Event(0, {}) + "\x81\x81\x81\x81\x01" + note)})},
        {"a data byte over 127", MidiFile(0, 480, {Track(Event(0, {0x90, 60, 200}))})},
    };
    for (const Case& c : cases) EXPECT_FALSE(ReadStandardMidiFile(c.bytes)) << c.what;
}

}  // namespace
