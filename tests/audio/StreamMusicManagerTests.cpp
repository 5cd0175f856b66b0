// The stream music manager on the real media graph with MP3 files made with
// lame: its track records, its per-frame poll and restart, heard through SDL's
// disk driver, together with the jump sound.
#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <string>
#include <thread>
#include <vector>

#include "audio/DirectSoundManager.h"
#include "audio/StreamMusicManager.h"
#include "support/files/Mp3File.h"
#include "support/files/TempDir.h"
#include "support/files/WavFile.h"
#include "support/observe/AudioCapture.h"
#include "support/stand-ins/TestSeam.h"

namespace {

using Calls = std::vector<std::string>;

class StreamMusicManagerTest : public ::testing::Test {
protected:
    void SetUp() override {
        seam::Reset();
        seam::StartRecording();
        CoInitialize(nullptr);
    }
    void TearDown() override { CoUninitialize(); }

    // The usual test track, written once, as a name relative to the test's directory.
    const char* Track() {
        if (!std::filesystem::exists(dir.File("track.mp3"))) WriteMp3(dir.File("track.mp3"), LoudThenQuiet());
        return "track.mp3";
    }

    static int Count(const std::string& name) {
        auto names = seam::CallNames();
        return static_cast<int>(std::count(names.begin(), names.end(), name));
    }
    // The names of the calls recorded from the `from`-th on.
    static Calls NamesSince(std::size_t from) {
        Calls names = seam::CallNames();
        return {names.begin() + static_cast<std::ptrdiff_t>(from), names.end()};
    }

    // Calls Play every 5 ms, as a frame loop does, for `seconds` of the device's time.
    void PlayFor(int track, double seconds) {
        std::size_t until = capture.Frames() + std::size_t(seconds * kMixRate);
        auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(10) +
                        std::chrono::milliseconds(int(seconds * 10000));
        while (capture.Frames() < until && std::chrono::steady_clock::now() < deadline) {
            manager.Play(track);
            std::this_thread::sleep_for(std::chrono::milliseconds(5));
        }
        ASSERT_GE(capture.Frames(), until) << "the device stopped playing";
    }

    AudioCapture capture;  // first: it selects the disk driver
    TempDir dir;
    ScopedCurrentDir inDir{dir.Path()};
    StreamMusicManager manager;
};

TEST_F(StreamMusicManagerTest, AMissingFileGetsATrackNumberButLeavesItFreeAndSilent) {
    EXPECT_TRUE(manager.Initialize(nullptr));
    EXPECT_EQ(manager.Load("missing.mp3"), 0);
    EXPECT_EQ(Count("IGraphBuilder::RenderFile"), 1);
    manager.Play(0);
    manager.Play(0);
    EXPECT_EQ(Count("IMediaEventEx::GetEvent"), 2) << "the track has a graph to poll";
    EXPECT_EQ(Count("IMediaControl::Run"), 0);
    EXPECT_EQ(manager.Load("missing.mp3"), 0) << "the same track again";
    EXPECT_EQ(Count("FilterGraph::Release"), 3) << "the first graph went before the second was made";
    EXPECT_EQ(manager.Load(Track()), 0);
    EXPECT_EQ(manager.Load(Track()), 1);
}

TEST_F(StreamMusicManagerTest, ANameTooLongToKeepIsAFileThatCannotBeRendered) {
    std::string name = std::string(34, 'n');
    WriteMp3(dir.File(name), LoudThenQuiet());
    WriteMp3(dir.File(name.substr(1)), LoudThenQuiet());
    EXPECT_EQ(manager.Load(name.c_str()), 0);
    EXPECT_EQ(Count("IGraphBuilder::RenderFile"), 0);
    EXPECT_EQ(manager.Load(name.substr(1).c_str()), 0) << "33 characters are kept";
    EXPECT_EQ(manager.Load(Track()), 1);
}

TEST_F(StreamMusicManagerTest, AllSixtyFourTracksLoadedLeaveNoneForAnother) {
    for (int track = 0; track < kMusicTrackCount; ++track) ASSERT_EQ(manager.Load(Track()), track);
    std::size_t before = seam::Calls().size();
    EXPECT_EQ(manager.Load(Track()), -1);
    EXPECT_EQ(seam::Calls().size(), before) << "nothing is made for it";
}

TEST_F(StreamMusicManagerTest, PlayAndStopLeaveTracksThatWereNeverLoadedAlone) {
    ASSERT_EQ(manager.Load(Track()), 0);
    std::size_t before = seam::Calls().size();
    for (int index : {-1, 1, 63, 64, 32767}) {
        manager.Play(index);
        manager.Stop(index);
    }
    EXPECT_EQ(seam::Calls().size(), before);
}

TEST_F(StreamMusicManagerTest, ShutdownWithNothingLoadedIsTrueAndTouchesNothing) {
    std::size_t before = seam::Calls().size();
    EXPECT_TRUE(manager.Shutdown());
    EXPECT_EQ(seam::Calls().size(), before);
}

TEST_F(StreamMusicManagerTest, AStoppedReadyTrackStartsOnTheNextPlay) {
    ASSERT_EQ(manager.Load(Track()), 0);
    manager.Stop(0);
    EXPECT_EQ(Count("IMediaControl::Stop"), 1);
    manager.Play(0);
    EXPECT_EQ(Count("IMediaControl::Run"), 1);
}

TEST_F(StreamMusicManagerTest, ATrackStartsOnTheFirstPlayAndStartsOverAfterItsEnd) {
    ASSERT_EQ(manager.Load(Track()), 0);
    PlayFor(-1, 0.05);  // the device's first frames go by in silence
    manager.Play(0);
    EXPECT_EQ(Count("IMediaControl::Run"), 1);
    PlayFor(0, 0.3);
    EXPECT_EQ(Count("IMediaControl::Run"), 1) << "while it plays, Play changes nothing";

    // The pass that takes the completion renders the file again and runs it.
    std::size_t from = 0;
    for (int polls = 0; polls < 2000 && Count("IMediaControl::Run") == 1; ++polls) {
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
        from = seam::Calls().size();
        manager.Play(0);
    }
    EXPECT_EQ(NamesSince(from), (Calls{"IMediaEventEx::GetEvent", "IMediaControl::Stop", "MultiByteToWideChar",
                                       "IGraphBuilder::RenderFile", "IMediaControl::Run"}));
    PlayFor(0, 0.7);
    manager.Shutdown();
    PlayFor(0, 0.15);

    // Restarted within a frame or two of its end: at most a moment's silence between the plays.
    auto runs = WithoutShortGaps(LevelRuns(capture.Recording()), 6);
    ASSERT_GE(runs.size(), 6u) << Shape(runs);
    EXPECT_EQ(Shape(runs).substr(0, 5), ".LqLq") << "heard twice from its start";
    for (int part = 1; part <= 4; ++part) EXPECT_NEAR(double(runs[part].windows), 25, 2) << part;
    EXPECT_EQ(Shape(runs).back(), '.') << "silent after the shut-down";
}

TEST_F(StreamMusicManagerTest, AStoppedRunningTrackStaysSilentWhilePlayIsCalled) {
    ASSERT_EQ(manager.Load(Track()), 0);
    PlayFor(-1, 0.05);
    manager.Play(0);
    PlayFor(0, 0.1);
    manager.Stop(0);
    PlayFor(0, 0.7);  // past where its end would have been
    EXPECT_EQ(Count("IMediaControl::Run"), 1);

    auto runs = LevelRuns(capture.Recording());
    EXPECT_EQ(Shape(runs), ".L.");
    EXPECT_GE(runs.back().windows, 65u);
}

TEST_F(StreamMusicManagerTest, ADestroyedTrackStopsAndReleasesItsGraph) {
    {
        StreamMusicManager local;
        ASSERT_EQ(local.Load(Track()), 0);
        local.Play(0);
    }
    Calls last = NamesSince(seam::Calls().size() - 4);
    EXPECT_EQ(last,
              (Calls{"IMediaControl::Stop", "FilterGraph::Release", "FilterGraph::Release", "FilterGraph::Release"}));
    EXPECT_EQ(seam::Calls().back().args, "0") << "the last reference is gone";
}

TEST_F(StreamMusicManagerTest, TheMusicMixesWithTheJumpSound) {
    DirectSoundManager sound;
    ASSERT_TRUE(sound.DSound_Init());
    ASSERT_EQ(sound.Load(dir.Write("jump.wav", Wav(std::string(2205, '\xA0'))).c_str()), 0);  // 0.2 s at 0.25
    WriteMp3(dir.File("music.mp3"), Sine(1.0, 441, 0.3));                                     // 100 samples a cycle
    ASSERT_EQ(manager.Load("music.mp3"), 0);
    manager.Play(0);
    PlayFor(0, 0.3);
    sound.Play(0);
    PlayFor(0, 0.9);
    manager.Shutdown();
    sound.Shutdown();

    // In windows of four cycles of the music: the jump sound is the window's
    // mean, the music what sways around it.
    constexpr std::size_t kWindow = 400;
    std::vector<float> heard = capture.Recording();
    int music = 0;
    int both = 0;
    for (std::size_t start = 0; start + kWindow <= heard.size(); start += kWindow) {
        double sum = 0;
        for (std::size_t i = start; i < start + kWindow; ++i) sum += heard[i];
        double mean = sum / kWindow;
        double sway = 0;
        for (std::size_t i = start; i < start + kWindow; ++i) sway += (heard[i] - mean) * (heard[i] - mean);
        sway = std::sqrt(sway / kWindow);
        if (std::abs(sway - 0.3 / std::sqrt(2)) > 0.02) continue;
        music += std::abs(mean) < 0.01;
        both += std::abs(mean - 0.25) < 0.01;
    }
    const double jumpWindows = 2205.0 * 4 / kWindow;
    EXPECT_NEAR(both, jumpWindows, 2) << "the jump sound over the music";
    // Played (and looped) for 1.2 s, the jump sound's 0.2 s of it not alone.
    EXPECT_GE(music, 0.95 * kMixRate / kWindow) << "the music alone";
}

}  // namespace
