#include "support/files/Mp3File.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>
#include <numbers>

#include "support/files/Samples.h"
#include "support/files/TempDir.h"
#include "support/files/WavFile.h"

std::vector<std::int16_t> Sine(double seconds, double frequency, double amplitude, int rate) {
    std::vector<std::int16_t> samples(static_cast<std::size_t>(seconds * rate));
    for (std::size_t i = 0; i < samples.size(); ++i)
        samples[i] = static_cast<std::int16_t>(
            std::lround(32767 * amplitude * std::sin(2 * std::numbers::pi * frequency * double(i) / rate)));
    return samples;
}

void WriteMp3(const std::string& path, const std::vector<std::int16_t>& samples, int rate, int mp3Rate) {
    TempDir work;
    std::string bytes(reinterpret_cast<const char*>(samples.data()), samples.size() * 2);
    std::string wav = work.Write("in.wav", Wav(bytes, {1, 1, static_cast<std::uint32_t>(rate), 16}));
    std::string command = "lame --quiet -m m -b 96";
    if (mp3Rate) command += " --resample " + std::to_string(mp3Rate / 1000.0);
    command += " '" + wav + "' '" + path + "' </dev/null";
    ASSERT_EQ(std::system(command.c_str()), 0) << command;
}

std::vector<std::int16_t> LoudThenQuiet() {
    std::vector<std::int16_t> samples = Sine(0.25, 440, 0.5);
    std::vector<std::int16_t> quiet = Sine(0.25, 440, 0.15);
    samples.insert(samples.end(), quiet.begin(), quiet.end());
    return samples;
}

std::vector<LevelRun> LevelRuns(const std::vector<float>& heard) {
    std::vector<LevelRun> runs;
    char current = 0;
    std::size_t count = 0;
    auto finish = [&] {
        if (count < 2) return;
        if (!runs.empty() && runs.back().kind == current)
            runs.back().windows += count;
        else
            runs.push_back({current, count});
    };
    for (float level : Levels(heard, 441)) {
        // The parts' levels are about 0.35 and 0.11.
        char kind = level > 0.25f ? 'L' : level > 0.07f && level < 0.15f ? 'q' : level < 0.01f ? '.' : 0;
        if (!kind) continue;
        if (kind == current) {
            ++count;
        } else {
            finish();
            current = kind;
            count = 1;
        }
    }
    finish();
    return runs;
}

std::string Shape(const std::vector<LevelRun>& runs) {
    std::string shape;
    for (const LevelRun& run : runs) shape += run.kind;
    return shape;
}

std::vector<LevelRun> WithoutShortGaps(const std::vector<LevelRun>& runs, std::size_t windows) {
    std::vector<LevelRun> kept;
    for (const LevelRun& run : runs)
        if (kept.empty() || run.kind != '.' || run.windows >= windows) kept.push_back(run);
    return kept;
}

std::size_t WindowsOf(const std::vector<LevelRun>& runs, char kind) {
    std::size_t windows = 0;
    for (const LevelRun& run : runs) windows += run.kind == kind ? run.windows : 0;
    return windows;
}
