// The media graph on the real audio device, heard through SDL's disk driver:
// MP3 files made with lame, decoded, played, stopped and rendered again.
#include <gtest/gtest.h>

#include <chrono>
#include <cmath>
#include <string>
#include <thread>

#include "platform/music/DirectShow.h"
#include "support/files/Mp3File.h"
#include "support/files/TempDir.h"
#include "support/files/WavFile.h"
#include "support/observe/AudioCapture.h"
#include "support/stand-ins/TestSeam.h"

namespace {

std::u16string Wide(const std::string& text) {
    WCHAR wide[260] = {};
    MultiByteToWideChar(CP_ACP, 0, text.c_str(), -1, wide, 260);
    return wide;
}

// One filter graph with its three interfaces, released at the end.
struct Graph {
    Graph() {
        EXPECT_EQ(CoCreateInstance(CLSID_FilterGraph, nullptr, CLSCTX_INPROC_SERVER, IID_IGraphBuilder,
                                   reinterpret_cast<void**>(&builder)),
                  S_OK);
        if (!builder) return;
        EXPECT_EQ(builder->QueryInterface(IID_IMediaControl, reinterpret_cast<void**>(&control)), S_OK);
        EXPECT_EQ(builder->QueryInterface(IID_IMediaEventEx, reinterpret_cast<void**>(&events)), S_OK);
    }
    ~Graph() {
        if (events) events->Release();
        if (control) control->Release();
        if (builder) builder->Release();
    }
    HRESULT Render(const std::string& file) { return builder->RenderFile(Wide(file).c_str(), nullptr); }
    HRESULT Event(LONG& code) {
        LONG_PTR param1 = 0;
        LONG_PTR param2 = 0;
        return events->GetEvent(&code, &param1, &param2, 0);
    }
    // Polls, as a frame loop does, until an event comes; false after far longer than any test track.
    bool WaitForEvent(LONG& code) {
        for (int polls = 0; polls < 2000; ++polls) {
            if (Event(code) == S_OK) return true;
            std::this_thread::sleep_for(std::chrono::milliseconds(5));
        }
        return false;
    }

    IGraphBuilder* builder = nullptr;
    IMediaControl* control = nullptr;
    IMediaEventEx* events = nullptr;
};

class DirectShowTest : public ::testing::Test {
protected:
    void SetUp() override {
        seam::Reset();
        CoInitialize(nullptr);
    }
    void TearDown() override { CoUninitialize(); }

    std::string Track(const std::string& name = "track.mp3") {
        std::string path = dir.File(name);
        WriteMp3(path, LoudThenQuiet());
        return path;
    }

    // Lets the device play `seconds` more.
    void Wait(double seconds) { ASSERT_TRUE(capture.WaitFor(capture.Frames() + std::size_t(seconds * kMixRate))); }

    AudioCapture capture;  // first: it selects the disk driver
    TempDir dir;
};

TEST_F(DirectShowTest, FilesThatAreMissingOrNotMpegAudioAreNotRendered) {
    Graph graph;
    EXPECT_EQ(graph.Render(dir.File("missing.mp3")), HRESULT_FROM_WIN32(ERROR_FILE_NOT_FOUND));
    EXPECT_EQ(graph.Render(dir.Write("text.mp3", "bytes of MP3TEST\n")), VFW_E_UNSUPPORTED_STREAM);
    EXPECT_EQ(graph.Render(dir.Write("sound.wav", Wav(Tone(2000, 440, 60)))), VFW_E_UNSUPPORTED_STREAM);
    EXPECT_EQ(graph.Render(dir.Write("empty.mp3", "")), VFW_E_UNSUPPORTED_STREAM);
    EXPECT_EQ(graph.builder->RenderFile(Wide(Track()).c_str(), u"list"), E_INVALIDARG);
}

TEST_F(DirectShowTest, AFileNameResolvesIgnoringCase) {
    Track("test.mp3");
    ScopedCurrentDir inDir(dir.Path());
    Graph graph;
    EXPECT_EQ(graph.Render("Test.mp3"), S_OK);
}

TEST_F(DirectShowTest, ARunningGraphPlaysTheFileToItsEndThenReportsTheCompletionOnce) {
    Graph graph;
    ASSERT_EQ(graph.Render(Track()), S_OK);
    LONG code = 0;
    EXPECT_EQ(graph.Event(code), E_ABORT) << "nothing has happened yet";
    Wait(0.05);
    std::size_t before = capture.Frames();
    ASSERT_EQ(graph.control->Run(), S_OK);
    std::size_t after = capture.Frames();
    ASSERT_TRUE(graph.WaitForEvent(code));
    std::size_t completed = capture.Frames();
    EXPECT_EQ(code, EC_COMPLETE);
    EXPECT_EQ(graph.Event(code), E_ABORT) << "the completion comes once";
    Wait(0.1);
    graph.control->Stop();
    Wait(0.05);

    std::vector<float> heard = capture.Recording();
    std::size_t start = FirstLouder(heard, 0.01f);
    EXPECT_GE(start, before);
    EXPECT_LE(start, after + 2048);
    EXPECT_GE(completed, start + 22050 - 2048) << "reported only once the whole file has been played";
    auto runs = LevelRuns(heard);
    EXPECT_EQ(Shape(runs), ".Lq.") << "the whole file, without a gap, then nothing";
    EXPECT_NEAR(double(WindowsOf(runs, 'L')), 25, 2);
    EXPECT_NEAR(double(WindowsOf(runs, 'q')), 25, 2);
}

TEST_F(DirectShowTest, StopKeepsThePlaceAndRunGoesOnFromThere) {
    Graph graph;
    ASSERT_EQ(graph.Render(Track()), S_OK);
    Wait(0.05);
    ASSERT_EQ(graph.control->Run(), S_OK);
    Wait(0.1);
    ASSERT_EQ(graph.control->Stop(), S_OK);
    Wait(0.2);
    ASSERT_EQ(graph.control->Run(), S_OK);
    LONG code = 0;
    ASSERT_TRUE(graph.WaitForEvent(code));
    Wait(0.05);

    auto runs = LevelRuns(capture.Recording());
    EXPECT_EQ(Shape(runs), ".L.Lq.");
    EXPECT_NEAR(double(WindowsOf(runs, 'L')), 25, 3) << "nothing lost, nothing played twice";
    EXPECT_NEAR(double(WindowsOf(runs, 'q')), 25, 2);
}

TEST_F(DirectShowTest, RenderingTheFileAgainPlaysItFromTheStart) {
    Graph graph;
    std::string track = Track();
    ASSERT_EQ(graph.Render(track), S_OK);
    Wait(0.05);
    ASSERT_EQ(graph.control->Run(), S_OK);
    Wait(0.35);
    graph.control->Stop();
    ASSERT_EQ(graph.Render(track), S_OK);
    Wait(0.05);
    ASSERT_EQ(graph.control->Run(), S_OK);
    LONG code = 0;
    ASSERT_TRUE(graph.WaitForEvent(code));
    EXPECT_EQ(code, EC_COMPLETE);
    Wait(0.05);

    auto runs = LevelRuns(capture.Recording());
    ASSERT_EQ(Shape(runs), ".Lq.Lq.");
    EXPECT_LT(runs[2].windows, 20u) << "the first play was cut short";
    EXPECT_NEAR(double(runs[4].windows), 25, 2) << "the second one played the whole loud part";
}

TEST_F(DirectShowTest, AFailedRenderLeavesTheGraphEmptyAndSilent) {
    ASSERT_TRUE(OpenMixer());  // the empty graph no longer holds the device: this keeps it playing
    Graph graph;
    ASSERT_EQ(graph.Render(Track()), S_OK);
    EXPECT_EQ(graph.Render(dir.File("missing.mp3")), HRESULT_FROM_WIN32(ERROR_FILE_NOT_FOUND));
    EXPECT_EQ(graph.control->Run(), S_OK);
    Wait(0.7);
    LONG code = 0;
    EXPECT_EQ(graph.Event(code), E_ABORT);
    EXPECT_EQ(EndOfLouder(capture.Recording(), 0.0f), 0u);
    CloseMixer();
}

TEST_F(DirectShowTest, FilesAtOtherRatesKeepTheirPitchAndLength) {
    ASSERT_TRUE(OpenMixer());  // one recording for both graphs
    for (int rate : {22050, 48000}) {
        SCOPED_TRACE(rate);
        std::string path = dir.File("tone" + std::to_string(rate) + ".mp3");
        WriteMp3(path, Sine(0.3, 440, 0.5), 44100, rate);
        Graph graph;
        ASSERT_EQ(graph.Render(path), S_OK);
        std::size_t from = capture.Frames();
        ASSERT_EQ(graph.control->Run(), S_OK);
        LONG code = 0;
        ASSERT_TRUE(graph.WaitForEvent(code));
        Wait(0.05);
        graph.control->Stop();
        std::size_t to = capture.Frames();

        // Read the recording so far: the device keeps writing, but what is read is settled.
        std::vector<float> heard = capture.Recording();
        heard.resize(std::min(heard.size(), to));
        std::size_t start = FirstLouder(heard, 0.05f, from);
        std::size_t end = EndOfLouder(heard, 0.05f);
        EXPECT_NEAR(double(end - start), 0.3 * kMixRate, 0.01 * kMixRate);
        int crossings = 0;
        for (std::size_t i = start + 1; i < end; ++i) crossings += (heard[i - 1] < 0) != (heard[i] < 0);
        EXPECT_NEAR(crossings, 2 * 440 * 0.3, 6);
    }
    CloseMixer();
}

}  // namespace
