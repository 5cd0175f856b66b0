#include "content/Music.h"

#include <lame/lame.h>

#include <algorithm>
#include <array>
#include <cmath>
#include <numbers>
#include <sstream>

namespace orvcontent {
namespace {

constexpr int kStep = kSamplesPerBeat / 4;  // a sixteenth note
constexpr double kTau = 2 * std::numbers::pi;

enum class Instrument { Pad, Bass, Arp, Lead, Kick, Snare, Hat };

struct Note {
    Instrument instrument;
    int start;   // in sixteenths from the start of the piece
    int length;  // in sixteenths
    int pitch;   // MIDI note number
    double level;
};

double Frequency(int pitch) { return 440.0 * std::pow(2.0, (pitch - 69) / 12.0); }

// "C5", "F#4", "Bb3" → MIDI note number.
int Pitch(const std::string& name) {
    static const std::array<int, 7> semitones = {9, 11, 0, 2, 4, 5, 7};  // A B C D E F G
    int pitch = semitones[name[0] - 'A'];
    std::size_t at = 1;
    if (name[at] == '#') ++pitch, ++at;
    if (name[at] == 'b') --pitch, ++at;
    return pitch + 12 * (std::stoi(name.substr(at)) + 1);
}

// The progression, one chord a bar: Am, F, C, G.
const std::array<std::array<const char*, 3>, 4> kChords = {
    {{"A3", "C4", "E4"}, {"F3", "A3", "C4"}, {"G3", "C4", "E4"}, {"G3", "B3", "D4"}}};
const std::array<const char*, 4> kRoots = {"A2", "F2", "C3", "G2"};

// The tune of the second half, eighth notes: a name, "-" holds, "." rests.
const std::array<const char*, 8> kMelody = {
    "E5 - C5 D5 E5 - A5 -", "G5 - F5 E5 C5 - - -",  "E5 - G5 - C6 - B5 A5", "B5 - - G5 D5 - - .",
    "A5 - E5 - C5 D5 E5 -", "F5 - A5 - C6 - A5 G5", "E5 - D5 C5 G5 - E5 -", "D5 - B4 - G4 - . .",
};

std::vector<Note> Compose() {
    std::vector<Note> notes;
    for (int bar = 0; bar < kMusicBars; ++bar) {
        const int at = bar * 16;
        const auto& chord = kChords[bar % 4];
        const bool drums = bar >= 4;
        const bool tune = bar >= 12;
        for (const char* name : chord) notes.push_back({Instrument::Pad, at, 16, Pitch(name), tune ? 0.7 : 1.0});

        // Bass: the root in eighths, up an octave on the off-beats of the second half of the bar.
        const int root = Pitch(kRoots[bar % 4]);
        for (int eighth = 0; eighth < 8; ++eighth) {
            const int pitch = root + (eighth % 2 == 1 && eighth >= 4 ? 12 : 0);
            notes.push_back({Instrument::Bass, at + eighth * 2, 2, pitch, eighth % 2 == 0 ? 1.0 : 0.7});
        }
        if (drums) {
            // An arpeggio over the chord, two octaves up and down again.
            static const std::array<int, 16> order = {0, 1, 2, 3, 4, 5, 4, 3, 0, 1, 2, 3, 4, 5, 4, 3};
            for (int step = 0; step < 16; ++step) {
                const int index = order[step];
                const int pitch = Pitch(chord[index % 3]) + 12 * (1 + index / 3);
                notes.push_back({Instrument::Arp, at + step, 1, pitch, tune ? 0.55 : 1.0});
            }
            for (int step : {0, 8, 10}) notes.push_back({Instrument::Kick, at + step, 4, 0, step == 10 ? 0.7 : 1.0});
            for (int step : {4, 12}) notes.push_back({Instrument::Snare, at + step, 3, 0, 1.0});
            for (int step = 0; step < 16; step += 2)
                notes.push_back({Instrument::Hat, at + step, 1, 0, step % 4 == 2 ? 1.0 : 0.6});
        }
        if (tune) {
            std::istringstream words(kMelody[bar - 12]);
            std::string word;
            for (int eighth = 0; words >> word; ++eighth) {
                if (word == "-" && !notes.empty() && notes.back().instrument == Instrument::Lead)
                    notes.back().length += 2;
                else if (word != "-" && word != ".")
                    notes.push_back({Instrument::Lead, at + eighth * 2, 2, Pitch(word), 1.0});
            }
        }
    }
    return notes;
}

// A repeatable noise source for the drums.
struct Noise {
    std::uint32_t state;
    double Next() {
        state = state * 1664525u + 1013904223u;
        return (state >> 8) / 8388608.0 - 1.0;
    }
};

// One voice's samples and where they go.
struct Output {
    std::vector<float>& left;
    std::vector<float>& right;
    std::vector<float>& echo;  // mono send to the echo
};

void Add(Output& out, std::size_t at, double value, double pan, double send) {
    if (at >= out.left.size()) return;
    out.left[at] += static_cast<float>(value * (1 - pan));
    out.right[at] += static_cast<float>(value * (1 + pan));
    out.echo[at] += static_cast<float>(value * send);
}

void Play(const Note& note, std::size_t offset, std::uint32_t seed, Output& out) {
    const std::size_t start = offset + static_cast<std::size_t>(note.start) * kStep;
    const int held = note.length * kStep;
    const double frequency = Frequency(note.pitch);
    Noise noise{seed};
    double phase = 0, low = 0, previous = 0;
    switch (note.instrument) {
    case Instrument::Pad: {
        // Three detuned saws through a gentle low-pass, slow attack and release.
        const int release = kMusicRate * 6 / 10;
        std::array<double, 3> phases = {0.0, 0.31, 0.67};
        const std::array<double, 3> detune = {0.997, 1.0, 1.003};
        for (int i = 0; i < held + release; ++i) {
            double saw = 0;
            for (int k = 0; k < 3; ++k) {
                phases[k] += frequency * detune[k] / kMusicRate;
                phases[k] -= std::floor(phases[k]);
                saw += 2 * phases[k] - 1;
            }
            low += 0.08 * (saw / 3 - low);
            const double attack = std::min(1.0, i / (0.35 * kMusicRate));
            const double fade = i < held ? 1.0 : 1.0 - static_cast<double>(i - held) / release;
            Add(out, start + i, 0.075 * note.level * attack * fade * low, (note.pitch % 3 - 1) * 0.3, 0.0);
        }
        break;
    }
    case Instrument::Bass: {
        const int length = held + kMusicRate / 50;
        for (int i = 0; i < length; ++i) {
            phase += frequency / kMusicRate;
            phase -= std::floor(phase);
            const double raw = 0.6 * (2 * phase - 1) + std::sin(kTau * phase);
            low += 0.12 * (raw - low);
            const double envelope =
                std::min(1.0, i / 40.0) * std::exp(-3.0 * i / kMusicRate) * std::min(1.0, (length - i) / 200.0);
            Add(out, start + i, 0.22 * note.level * envelope * low, 0.0, 0.0);
        }
        break;
    }
    case Instrument::Arp: {
        const int length = kMusicRate / 4;
        const double pan = (note.start % 2 ? 0.4 : -0.4);
        for (int i = 0; i < length; ++i) {
            phase += kTau * frequency / kMusicRate;
            const double square = std::sin(phase) + std::sin(3 * phase) / 3 + std::sin(5 * phase) / 5;
            const double envelope =
                std::min(1.0, i / 30.0) * std::exp(-18.0 * i / kMusicRate) * (1.0 - static_cast<double>(i) / length);
            Add(out, start + i, 0.05 * note.level * envelope * square, pan, 0.5);
        }
        break;
    }
    case Instrument::Lead: {
        const int release = kMusicRate / 8;
        for (int i = 0; i < held + release; ++i) {
            const double t = static_cast<double>(i) / kMusicRate;
            const double vibrato = 1 + 0.004 * std::min(1.0, t * 4) * std::sin(kTau * 5.5 * t);
            phase += kTau * frequency * vibrato / kMusicRate;
            const double tone = std::sin(phase) + 0.3 * std::sin(2 * phase) + 0.12 * std::sin(3 * phase);
            const double attack = std::min(1.0, i / (0.012 * kMusicRate));
            const double fade =
                i < held ? 1.0 - 0.25 * i / held : 0.75 * (1.0 - static_cast<double>(i - held) / release);
            Add(out, start + i, 0.12 * note.level * attack * fade * tone, 0.1, 0.6);
        }
        break;
    }
    case Instrument::Kick: {
        const int length = kMusicRate * 3 / 10;
        for (int i = 0; i < length; ++i) {
            const double t = static_cast<double>(i) / kMusicRate;
            phase += kTau * (45 + 90 * std::exp(-t * 30)) / kMusicRate;
            const double envelope = std::exp(-t * 9) * (1.0 - static_cast<double>(i) / length);
            Add(out, start + i, 0.45 * note.level * envelope * std::sin(phase), 0.0, 0.0);
        }
        break;
    }
    case Instrument::Snare: {
        const int length = kMusicRate / 5;
        for (int i = 0; i < length; ++i) {
            const double t = static_cast<double>(i) / kMusicRate;
            phase += kTau * 185 / kMusicRate;
            const double white = noise.Next();
            low += 0.5 * (white - low);
            const double body = 0.5 * std::sin(phase) * std::exp(-t * 30) + low * std::exp(-t * 18);
            Add(out, start + i, 0.22 * note.level * body * (1.0 - static_cast<double>(i) / length), -0.1, 0.15);
        }
        break;
    }
    case Instrument::Hat: {
        const int length = kMusicRate / 20;
        for (int i = 0; i < length; ++i) {
            const double white = noise.Next();
            const double high = white - previous;  // crude high-pass
            previous = white;
            const double envelope = std::exp(-80.0 * i / kMusicRate) * (1.0 - static_cast<double>(i) / length);
            Add(out, start + i, 0.06 * note.level * envelope * high, 0.3, 0.0);
        }
        break;
    }
    }
}

}  // namespace

std::vector<std::int16_t> RenderMusic() {
    // The piece is played twice in a row and the second pass kept: whatever
    // rings past the end of the first pass (note tails, echoes) is in the
    // second pass's start, exactly as it will be when the track loops.
    const std::size_t frames = kMusicFrames;
    std::vector<float> left(2 * frames), right(2 * frames), echo(2 * frames);
    Output out{left, right, echo};
    const std::vector<Note> notes = Compose();
    for (std::size_t pass = 0; pass < 2; ++pass) {
        for (std::size_t i = 0; i < notes.size(); ++i)
            Play(notes[i], pass * frames, static_cast<std::uint32_t>(i * 7919 + 1), out);
    }
    // A dotted-eighth echo, panned opposite ways on its repeats.
    const std::size_t delay = 3 * kStep;
    std::vector<float> taps(2 * frames);
    for (std::size_t i = 0; i < 2 * frames; ++i) {
        const float fed = i >= delay ? taps[i - delay] : 0.0f;
        taps[i] = echo[i] + 0.4f * fed;
        left[i] += 0.35f * fed;
        right[i] += 0.25f * (i >= 2 * delay ? taps[i - 2 * delay] : 0.0f);
    }
    std::vector<std::int16_t> stereo(2 * frames);
    for (std::size_t i = 0; i < frames; ++i) {
        // A soft limiter keeps peaks round instead of clipping them.
        stereo[2 * i] = static_cast<std::int16_t>(std::lround(std::tanh(1.2 * left[frames + i]) * 30000));
        stereo[2 * i + 1] = static_cast<std::int16_t>(std::lround(std::tanh(1.2 * right[frames + i]) * 30000));
    }
    return stereo;
}

bool EncodeMp3(const std::vector<std::int16_t>& stereo, std::string& mp3, std::string& error) {
    lame_global_flags* lame = lame_init();
    if (!lame) {
        error = "the MP3 encoder could not be started";
        return false;
    }
    lame_set_in_samplerate(lame, kMusicRate);
    lame_set_out_samplerate(lame, kMusicRate);
    lame_set_num_channels(lame, 2);
    lame_set_brate(lame, 160);
    lame_set_VBR(lame, vbr_off);
    lame_set_quality(lame, 5);
    lame_set_bWriteVbrTag(lame, 1);  // the information frame that carries the gapless lengths
    if (lame_init_params(lame) < 0) {
        lame_close(lame);
        error = "the MP3 encoder refused its settings";
        return false;
    }
    const int frames = static_cast<int>(stereo.size() / 2);
    std::vector<unsigned char> buffer(static_cast<std::size_t>(1.25 * frames) + 7200);
    int written = lame_encode_buffer_interleaved(lame, const_cast<short*>(stereo.data()), frames, buffer.data(),
                                                 static_cast<int>(buffer.size()));
    if (written >= 0) {
        const int flushed = lame_encode_flush(lame, buffer.data() + written, static_cast<int>(buffer.size()) - written);
        written = flushed < 0 ? flushed : written + flushed;
    }
    if (written < 0) {
        lame_close(lame);
        error = "the MP3 encoder failed";
        return false;
    }
    // The information frame goes over the empty frame the encoder left at the start.
    std::array<unsigned char, 2880> tag{};
    const std::size_t tagSize = lame_get_lametag_frame(lame, tag.data(), tag.size());
    lame_close(lame);
    if (tagSize > static_cast<std::size_t>(written)) {
        error = "the MP3 encoder gave no information frame";
        return false;
    }
    std::copy(tag.begin(), tag.begin() + tagSize, buffer.begin());
    mp3.assign(reinterpret_cast<const char*>(buffer.data()), static_cast<std::size_t>(written));
    return true;
}

}  // namespace orvcontent
