// The MIDI music manager on the real performance: standard MIDI files written
// by the tests, played by the General MIDI synthesiser and heard through
// SDL's disk driver.
#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <string>
#include <thread>
#include <vector>

#include "audio/MidiMusicManager.h"
#include "support/files/MidiBytes.h"
#include "support/files/TempDir.h"
#include "support/observe/AudioCapture.h"
#include "support/stand-ins/TestSeam.h"

namespace {

using Calls = std::vector<std::string>;

// An organ holds its level while the key is down.
constexpr int kOrgan = 19;

// The platform's loader behind a wrapper whose segments note the arguments of
// every SetParam (the type, group bits, index, time, and whether the
// parameter is `performance`) before handing the call on.
class NotingLoader final : public IDirectMusicLoader {
public:
    NotingLoader(IDirectMusicLoader* inner, const void* performance) : inner(inner), performance(performance) {}
    std::vector<std::string> setParams;

    HRESULT QueryInterface(const GUID& iid, void** object) override { return inner->QueryInterface(iid, object); }
    ULONG AddRef() override { return inner->AddRef(); }
    ULONG Release() override { return Released(inner->Release(), this); }
    HRESULT SetSearchDirectory(const GUID& type, const WCHAR* path, BOOL clear) override {
        return inner->SetSearchDirectory(type, path, clear);
    }
    HRESULT GetObject(DMUS_OBJECTDESC* description, const GUID& iid, void** object) override {
        HRESULT result = inner->GetObject(description, iid, object);
        if (SUCCEEDED(result)) *object = new NotingSegment(static_cast<IDirectMusicSegment2*>(*object), *this);
        return result;
    }

private:
    template <class Wrapper>
    static ULONG Released(ULONG left, Wrapper* wrapper) {
        if (left == 0) delete wrapper;
        return left;
    }

    class NotingSegment final : public IDirectMusicSegment2 {
    public:
        NotingSegment(IDirectMusicSegment2* inner, NotingLoader& loader) : inner(inner), loader(loader) {}
        HRESULT QueryInterface(const GUID& iid, void** object) override { return inner->QueryInterface(iid, object); }
        ULONG AddRef() override { return inner->AddRef(); }
        ULONG Release() override { return Released(inner->Release(), this); }
        HRESULT SetParam(const GUID& type, DWORD groups, DWORD index, MUSIC_TIME time, void* param) override {
            loader.setParams.push_back(std::string(type == GUID_Download ? "Download" : "StandardMIDIFile") + " " +
                                       std::to_string(groups) + " " + std::to_string(index) + " " +
                                       std::to_string(time) +
                                       (param == loader.performance ? " performance" : " other"));
            return inner->SetParam(type, groups, index, time, param);
        }

    private:
        IDirectMusicSegment2* inner;
        NotingLoader& loader;
    };

    IDirectMusicLoader* inner;
    const void* performance;
};

class MidiMusicManagerTest : public ::testing::Test {
protected:
    void SetUp() override {
        seam::Reset();
        CoInitialize(nullptr);
        seam::StartRecording();
    }
    void TearDown() override {
        manager.Shutdown();
        CoUninitialize();
    }

    static int Count(const std::string& name) {
        auto names = seam::CallNames();
        return static_cast<int>(std::count(names.begin(), names.end(), name));
    }
    static Calls CallsWithArgs() {
        Calls calls;
        for (const auto& call : seam::Calls())
            calls.push_back(call.args.empty() ? call.name : call.name + "(" + call.args + ")");
        return calls;
    }

    // Writes the file `name` into the current directory; returns the name.
    const char* Write(const char* name, const std::string& bytes) {
        dir.Write(name, bytes);
        return name;
    }
    int Load(const char* name, const std::string& bytes) { return manager.Load(Write(name, bytes)); }

    // Calls `frame` every 5 ms, as a frame loop does, for `seconds` of the device's time.
    template <class Frame>
    void RunFor(double seconds, Frame frame) {
        std::size_t until = capture.Frames() + std::size_t(seconds * kMixRate);
        auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(10) +
                        std::chrono::milliseconds(int(seconds * 10000));
        while (capture.Frames() < until && std::chrono::steady_clock::now() < deadline) {
            frame();
            std::this_thread::sleep_for(std::chrono::milliseconds(5));
        }
        ASSERT_GE(capture.Frames(), until) << "the device stopped playing";
    }
    void PlayFor(int slot, double seconds) {
        RunFor(seconds, [&] { manager.Play(slot); });
    }

    // The loudest 10 ms window of the left channel in [from, to).
    static float Loudest(const std::vector<float>& heard, std::size_t from, std::size_t to) {
        std::vector<float> part(heard.begin() + std::ptrdiff_t(std::min(from, heard.size())),
                                heard.begin() + std::ptrdiff_t(std::min(to, heard.size())));
        std::vector<float> levels = Levels(part, 441);
        return levels.empty() ? 0.0f : *std::max_element(levels.begin(), levels.end());
    }

    AudioCapture capture;  // first: it selects the disk driver
    TempDir dir;
    ScopedCurrentDir inDir{dir.Path()};
    MidiMusicManager manager;
};

TEST_F(MidiMusicManagerTest, InitializeMakesThePerformanceItsPortAndTheLoader) {
    ASSERT_TRUE(manager.Initialize(nullptr));
    EXPECT_EQ(CallsWithArgs(),
              (Calls{"CoCreateInstance(DirectMusicPerformance 3)", "IDirectMusicPerformance::Init",
                     "IDirectMusic::EnumPort(0)", "IDirectMusic::EnumPort(1)", "IDirectMusic::CreatePort",
                     "IDirectMusicPort::Activate(1)", "IDirectMusicPerformance::AddPort",
                     "IDirectMusicPerformance::AssignPChannelBlock(0 1)", "CoCreateInstance(DirectMusicLoader 3)"}));
}

TEST_F(MidiMusicManagerTest, InitializeFailsWithoutThePerformanceOrTheLoader) {
    for (const char* call : {"CoCreateInstance DirectMusicPerformance", "IDirectMusicPerformance::Init",
                             "CoCreateInstance DirectMusicLoader"}) {
        SCOPED_TRACE(call);
        MidiMusicManager failing;
        seam::ArmFailure(call, E_FAIL);
        EXPECT_FALSE(failing.Initialize(nullptr));
        EXPECT_EQ(failing.Load(Write("one.mid", OneNote(kOrgan, 60, 0.1, 0.1))), -1);
        EXPECT_TRUE(failing.Shutdown());
    }
}

TEST_F(MidiMusicManagerTest, FilesAreLoadedIntoSlotsInOrderAndAFailedLoadKeepsNothing) {
    ASSERT_TRUE(manager.Initialize(nullptr));
    dir.Write("Tune.mid", OneNote(kOrgan, 60, 0.1, 0.2));
    dir.Write("text.mid", "not a MIDI file");
    EXPECT_EQ(manager.Load("Tune.mid"), 0);
    EXPECT_EQ(manager.Load("missing.mid"), -1);
    EXPECT_EQ(manager.Load("text.mid"), -1);
    seam::ArmFailure("IDirectMusicSegment::SetParam", E_FAIL);
    EXPECT_EQ(manager.Load("Tune.mid"), -1);
    EXPECT_EQ(manager.Load("tune.mid"), 1) << "names resolve as every engine file name does";
    for (int slot = 2; slot < kMidiSegmentCount; ++slot) ASSERT_EQ(manager.Load("Tune.mid"), slot);
    EXPECT_EQ(manager.Load("Tune.mid"), -1);

    std::string directory = std::filesystem::current_path().string();
    auto calls = seam::Calls();
    auto search = std::find_if(calls.begin(), calls.end(),
                               [](const auto& c) { return c.name == "IDirectMusicLoader::SetSearchDirectory"; });
    ASSERT_NE(search, calls.end());
    EXPECT_EQ(search->args, directory) << "found in the current directory";
}

TEST_F(MidiMusicManagerTest, ALoadedSegmentIsAStandardMidiFileDownloadedToThePerformanceForAllGroups) {
    ASSERT_TRUE(manager.Initialize(nullptr));
    auto* noting = new NotingLoader(manager.loader, manager.performance);  // the manager releases it
    manager.loader = noting;
    ASSERT_EQ(Load("tune.mid", OneNote(kOrgan, 60, 0.1, 0.2)), 0);
    EXPECT_EQ(noting->setParams,
              (Calls{"StandardMIDIFile 4294967295 0 0 performance", "Download 4294967295 0 0 performance"}));
}

TEST_F(MidiMusicManagerTest, ASegmentPlaysOnceUntilItEndsAndThePlayAfterStartsItAgain) {
    ASSERT_TRUE(manager.Initialize(nullptr));
    // 0.2 s of the note, then 0.3 s of rest until the file ends.
    ASSERT_EQ(Load("tune.mid", OneNote(kOrgan, 60, 0.2, 0.5)), 0);
    PlayFor(-1, 0.05);
    std::size_t started = capture.Frames();
    PlayFor(0, 0.3);
    EXPECT_EQ(Count("IDirectMusicPerformance::PlaySegment"), 1) << "Play on a playing segment changes nothing";

    // The pass that finds it ended starts it again.
    std::size_t restarted = 0;
    RunFor(0.5, [&] {
        std::size_t before = capture.Frames();
        manager.Play(0);
        if (!restarted && Count("IDirectMusicPerformance::PlaySegment") == 2) restarted = before;
    });
    ASSERT_GT(restarted, 0u);
    manager.Stop(0);
    RunFor(0.05, [] {});

    std::vector<float> heard = capture.Left();
    std::size_t tenth = kMixRate / 10;
    float note = Loudest(heard, started, started + tenth * 2);
    EXPECT_GT(note, 0.01f) << "the note sounds";
    // Not before the file's end; how soon after it depends on when this thread
    // is scheduled, which a loaded machine delays.
    EXPECT_GE(double(restarted - started), 0.45 * kMixRate) << "at the end of the file";
    EXPECT_LT(Loudest(heard, restarted - tenth, restarted), note / 10) << "the rest before the file's end";
    EXPECT_GT(Loudest(heard, restarted, restarted + tenth * 2), note / 2) << "the note again";
}

TEST_F(MidiMusicManagerTest, StopSilencesAPlayingSegmentAndLeavesAnEndedOneAlone) {
    ASSERT_TRUE(manager.Initialize(nullptr));
    ASSERT_EQ(Load("long.mid", OneNote(kOrgan, 60, 2.0, 2.0)), 0);
    ASSERT_EQ(Load("short.mid", OneNote(kOrgan, 67, 0.05, 0.05)), 1);
    manager.Play(1);
    RunFor(0.2, [] {});
    manager.Stop(1);
    EXPECT_EQ(Count("IDirectMusicPerformance::Stop"), 0) << "not playing any more: nothing to stop";

    manager.Play(0);
    RunFor(0.3, [] {});
    std::size_t stopped = capture.Frames();
    manager.Stop(0);
    EXPECT_EQ(Count("IDirectMusicPerformance::Stop"), 1);
    RunFor(0.4, [] {});

    std::vector<float> heard = capture.Left();
    float note = Loudest(heard, stopped - kMixRate / 5, stopped);
    EXPECT_GT(note, 0.01f);
    EXPECT_EQ(Loudest(heard, stopped + kMixRate / 20, heard.size()), 0.0f) << "silenced";
}

TEST_F(MidiMusicManagerTest, WithoutAPortTheManagerStartsAndPlaysNothing) {
    seam::ArmFailure("IDirectMusic::EnumPort", S_FALSE);
    ASSERT_TRUE(manager.Initialize(nullptr));
    EXPECT_EQ(Count("IDirectMusic::CreatePort"), 0);
    EXPECT_EQ(Count("IDirectMusicPort::Activate"), 0);
    ASSERT_EQ(Load("tune.mid", OneNote(kOrgan, 60, 0.2, 0.2)), 0);
    ASSERT_TRUE(OpenMixer());  // no port holds the device: this keeps it playing
    PlayFor(0, 0.3);
    CloseMixer();
    EXPECT_EQ(EndOfLouder(capture.Left(), 0.0f), 0u);
}

TEST_F(MidiMusicManagerTest, PlayAndStopLeaveSlotsWithoutASegmentAlone) {
    ASSERT_TRUE(manager.Initialize(nullptr));
    std::size_t before = seam::Calls().size();
    for (int index : {-1, 0, 63, 64}) {
        manager.Play(index);
        manager.Stop(index);
    }
    EXPECT_EQ(seam::Calls().size(), before);
}

TEST_F(MidiMusicManagerTest, ShutdownStopsAndClosesDownWhatWasMade) {
    EXPECT_TRUE(manager.Shutdown()) << "nothing made yet";
    ASSERT_TRUE(manager.Initialize(nullptr));
    ASSERT_EQ(Load("tune.mid", OneNote(kOrgan, 60, 1.0, 1.0)), 0);
    manager.Play(0);
    std::size_t from = seam::Calls().size();
    EXPECT_TRUE(manager.Shutdown());
    Calls names = seam::CallNames();
    EXPECT_EQ(Calls(names.begin() + std::ptrdiff_t(from), names.end()),
              (Calls{"IDirectMusicPerformance::Stop", "IDirectMusicPerformance::CloseDown"}));
    manager.Play(0);
    EXPECT_EQ(seam::Calls().size(), names.size()) << "the segment is gone";
}

}  // namespace
