// The start-up, main loop and shut-down sequence, run for real on a display
// with a scripted renderer, the real sound-effects and music managers on
// SDL's dummy audio driver, armed platform failures and scripted message-box
// answers. Only the music start's failure, which the stream music manager
// never has, comes from a manager whose start is scripted.
#include <gtest/gtest.h>

#include <SDL.h>

#include <algorithm>
#include <deque>
#include <filesystem>
#include <string>
#include <vector>

#include "app/WinMain.h"
#include "audio/StreamMusicManager.h"
#include "globals/Globals.h"
#include "level/Bsp.h"
#include "model/Entity.h"
#include "pack/RunDirectory.h"
#include "pack/UnpackTable.h"
#include "platform/core/MessageBox.h"
#include "platform/sound/DirectSound.h"
#include "player/Input.h"
#include "player/Player.h"
#include "render/Renderer.h"
#include "render/gl/OpenGLRenderer.h"
#include "support/files/AssetPack.h"
#include "support/files/LevelFiles.h"
#include "support/files/ModelText.h"
#include "support/files/TempDir.h"
#include "support/stand-ins/RecordingRenderer.h"
#include "support/stand-ins/TestMusicChoice.h"
#include "support/stand-ins/TestRendererChoice.h"
#include "support/stand-ins/TestSeam.h"

namespace {

// Takes the next scripted start result; true once the script runs out.
bool NextResult(std::deque<bool>& results) {
    if (results.empty()) return true;
    bool result = results.front();
    results.pop_front();
    return result;
}

// Scripted start results; the first frame asks to quit, as Escape does.
// Releasing a texture is noted too: freeing the level releases its polygons' own.
class ScriptedRenderer : public RecordingRenderer {
public:
    bool initializeResult = true;
    bool setupResult = true;
    int frames = 0;
    bool levelInFrame = false;

    bool Initialize() override {
        seam::Record("renderer.Initialize");
        if (!initializeResult) std::snprintf(g_ErrorText, sizeof g_ErrorText, "No display for you.");
        return initializeResult;
    }
    void ReleaseTexture(Texture* texture) override {
        seam::Record("renderer.ReleaseTexture");
        RecordingRenderer::ReleaseTexture(texture);
    }
    bool RenderFrame() override {
        seam::Record("renderer.RenderFrame");
        levelInFrame = g_Bsp.root != nullptr;
        if (++frames == 1) PostQuitMessage(0);
        return true;
    }
    bool Setup() override {
        seam::Record("renderer.Setup");
        if (!setupResult) std::snprintf(g_ErrorText, sizeof g_ErrorText, "No viewport either.");
        return setupResult;
    }
    bool Shutdown() override {
        seam::Record("renderer.Shutdown");
        return true;
    }
};

// The stream music manager with scripted start results.
class ScriptedMusicStart : public StreamMusicManager {
public:
    std::deque<bool> initResults;
    Player playerAtLoad{};  // the player as the start-up left it, before any frame

    bool Initialize(void*) override {
        seam::Record("music.Initialize");
        return NextResult(initResults);
    }
    int Load(const char* fileName) override {
        playerAtLoad = g_Player;
        return StreamMusicManager::Load(fileName);
    }
};

class StartupTest : public ::testing::Test {
protected:
    void SetUp() override {
        setenv("TMPDIR", tmp.Path().c_str(), 1);
        // A pack whose level loads: its textured floor names "floor0", whose
        // file holds test bytes, so the floor gets a texture record of its own.
        WriteTestAssetPack(start.File("Orvanthelix.zar"), {{"LEVELTEST", kFloorLevel}});
        seam::Reset();
        seam::StartRecording();
        g_TestRenderer = &renderer;
        g_Player = {};
        g_Player.position = {9.0f, 9.0f, 9.0f};
        g_Player.yaw = 1.0f;
        g_Player.velocity = {1.0f, 2.0f, 3.0f};
        g_Player.airborne = 1;
    }
    void TearDown() override {
        g_Bsp.FreeTree(&g_Bsp.root);
        delete g_pBlankTexture;
        g_pBlankTexture = nullptr;
        delete renderer.lightmapTable;
        g_TestRenderer = nullptr;
        g_pRenderer = nullptr;
        g_TestMusicManager = nullptr;
        seam::Reset();
        unsetenv("TMPDIR");
    }

    int Run() { return WinMain(nullptr, nullptr, nullptr, 0); }

    // The engine's calls and the platform calls that matter to the sequence.
    // The sound manager shows in its platform calls: DSound_Init as
    // DirectSoundCreate and SetCooperativeLevel, Load as the file's opening and
    // the buffer's creation, Shutdown as the release of the device (when there
    // is one: on a manager that never started it has nothing to release). So
    // does the music manager: Load as the graph's creation and the file's
    // rendering, the first Play as the graph's run, Shutdown as the stop of the
    // loaded track (with none loaded it has nothing to stop); its Initialize
    // does nothing at all.
    // The input start shows as DirectInputCreateA and its release as
    // IDirectInputA::Release; the mouse device's own calls are left out.
    static std::vector<std::string> Sequence() {
        std::vector<std::string> sequence;
        for (const auto& call : seam::Calls()) {
            static const char* const kOmitted[] = {"LoadIconA",
                                                   "LoadCursorA",
                                                   "GetStockObject",
                                                   "GetSystemMetrics",
                                                   "ShowCursor",
                                                   "RegisterClassExA",
                                                   "CreateWindowExA",
                                                   "CoInitialize",
                                                   "mmioDescend",
                                                   "mmioRead",
                                                   "mmioAscend",
                                                   "mmioSeek",
                                                   "mmioClose",
                                                   "MultiByteToWideChar",
                                                   "FilterGraph::QueryInterface",
                                                   "IMediaEventEx::GetEvent",
                                                   "fstat.st_uid",
                                                   "fstat.st_mode"};
            if (std::find(std::begin(kOmitted), std::end(kOmitted), call.name) != std::end(kOmitted)) continue;
            if (call.name.starts_with("IDirectSoundBuffer::") || call.name.starts_with("IDirectInputDeviceA::") ||
                call.name == "IDirectInputA::CreateDevice")
                continue;
            std::string entry = call.name;
            if (call.name == "MessageBoxA" || call.name == "mmioOpenA" || call.name == "CoCreateInstance" ||
                call.name == "IGraphBuilder::RenderFile")
                entry += "(" + call.args + ")";
            // Frames repeat; one entry stands for a run of them.
            if (!sequence.empty() && sequence.back() == entry && entry.rfind("renderer.RenderFrame", 0) == 0) continue;
            sequence.push_back(entry);
        }
        return sequence;
    }

    static int Count(const std::string& name) {
        auto names = seam::CallNames();
        return static_cast<int>(std::count(names.begin(), names.end(), name));
    }

    TempDir start;  // where the program is started
    TempDir tmp;    // $TMPDIR, where the run's private directory goes
    ScopedCurrentDir inStart{start.Path()};
    ScriptedRenderer renderer;
};

using Calls = std::vector<std::string>;

const std::string kSoundBox = "MessageBoxA(Error-Reporting: DSound_Init: Sound initialization failed.)";
const std::string kMusicBox = "MessageBoxA(Error-Reporting: pMusicManager->Initialize: Music initialization failed.)";
// The music manager's Load of the unpacked "test.mp3".
const Calls kMusicLoad = {"CoCreateInstance(FilterGraph 1)", "IGraphBuilder::RenderFile(Test.mp3)"};

// `a`, then `b`, then `c`.
Calls Then(Calls a, const Calls& b, const Calls& c = {}) {
    a.insert(a.end(), b.begin(), b.end());
    a.insert(a.end(), c.begin(), c.end());
    return a;
}

TEST_F(StartupTest, AFullRunStartsEverythingAndShutsItDownInOrder) {
    EXPECT_EQ(Run(), 0);
    EXPECT_EQ(Sequence(),
              Then({"renderer.Initialize", "renderer.Setup", "DirectInputCreateA", "DirectSoundCreate",
                    "IDirectSound::SetCooperativeLevel", "mmioOpenA(jump.wav)", "IDirectSound::CreateSoundBuffer"},
                   kMusicLoad,
                   {"IMediaControl::Run", "renderer.RenderFrame", "PostQuitMessage", "IMediaControl::Stop",
                    "IDirectSound::Release", "renderer.ReleaseTexture", "IDirectInputA::Release", "renderer.Shutdown",
                    "CoUninitialize"}));
    EXPECT_EQ(renderer.frames, 1) << "the frame that asked to quit is the last one";
    // The frame: the music poll, the player update reading the mouse, the picture.
    const auto names = seam::CallNames();
    const auto play = std::find(names.begin(), names.end(), "IMediaEventEx::GetEvent");
    const auto read = std::find(names.begin(), names.end(), "IDirectInputDeviceA::GetDeviceState");
    const auto frame = std::find(names.begin(), names.end(), "renderer.RenderFrame");
    EXPECT_LT(play, read);
    EXPECT_LT(read, frame);
    EXPECT_TRUE(renderer.levelInFrame);
    EXPECT_EQ(g_Bsp.root, nullptr) << "the level is freed";
    EXPECT_EQ(g_JumpSound, 0);
    EXPECT_EQ(Count("IDirectSoundBuffer::Release"), 1) << "the jump sound's buffer is released at shut-down";
    EXPECT_EQ(g_MusicTrack, 0);
    EXPECT_EQ(g_SoundEnabled, 1);
    EXPECT_EQ(g_MusicEnabled, 1);
    EXPECT_EQ(g_InvertMouseY, 1);
}

TEST_F(StartupTest, ThePlayerStartsAtTheStartState) {
    g_Player.jumpHeld = 1;
    g_Player.pitch = 1.0f;
    ScriptedMusicStart music;  // sees the player when the track loads, before any frame moves it
    g_TestMusicManager = &music;
    Run();
    const Player& start = music.playerAtLoad;
    EXPECT_EQ(start.position.x, 0.0f);
    EXPECT_EQ(start.position.y, 5.0f);
    EXPECT_EQ(start.position.z, 0.0f);
    EXPECT_EQ(start.yaw, 0.0f);
    EXPECT_EQ(start.pitch, 0.0f);
    EXPECT_EQ(start.velocity.x, 0.0f);
    EXPECT_EQ(start.velocity.y, 0.0f);
    EXPECT_EQ(start.velocity.z, 0.0f);
    EXPECT_EQ(start.airborne, 0);
    EXPECT_EQ(start.jumpHeld, 0);
    // The one frame before the quit leaves a player standing on the floor where it is.
    EXPECT_EQ(g_Player.position.y, 5.0f);
    EXPECT_EQ(g_Player.airborne, 0);
}

TEST_F(StartupTest, TheModelStepPlacesTheEntityAndAMissingModelLeavesItWithoutParts) {
    g_ModelEntity.position = {9.0f, 9.0f, 9.0f};
    g_ModelEntity.yaw = 1.0f;
    Run();  // no pack, so there is no "Test.mdl"
    EXPECT_EQ(g_ModelEntity.position.x, 0.0f);
    EXPECT_EQ(g_ModelEntity.position.y, 2.5f);
    EXPECT_EQ(g_ModelEntity.position.z, 0.0f);
    EXPECT_EQ(g_ModelEntity.yaw, 0.0f);
    EXPECT_EQ(g_ModelEntity.model.partCount, 0);
    EXPECT_EQ(g_ModelEntity.model.parts, nullptr);
}

TEST_F(StartupTest, TheUnpackedModelIsLoadedEvenAfterAFailedStart) {
    const std::string model =
        ModelText({{"A", "-", "0 0 0", "0 0 0", {kTriangleText}}, {"B", "A", "1 0 0", "0 0 0", {}}});
    start.Write("Orvanthelix.zar", "1\nMODELTEST " + std::to_string(model.size()) + "\n" + model + "\n");
    renderer.initializeResult = false;
    seam::ScriptMessageBoxAnswers({IDOK});
    EXPECT_EQ(Run(), 1);
    ASSERT_EQ(g_ModelEntity.model.partCount, 2);
    EXPECT_STREQ(g_ModelEntity.model.parts[1]->name, "B");
    EXPECT_EQ(g_ModelEntity.model.parts[1]->parent, g_ModelEntity.model.parts[0]);
    EXPECT_EQ(g_ModelEntity.position.y, 2.5f);
}

TEST_F(StartupTest, TheWindowIsTopmostScreenSizedAndTitled) {
    Run();
    const auto& calls = seam::Calls();
    auto created = std::find_if(calls.begin(), calls.end(), [](const auto& c) { return c.name == "CreateWindowExA"; });
    ASSERT_NE(created, calls.end());
    SDL_DisplayMode desktop;
    ASSERT_EQ(SDL_GetDesktopDisplayMode(0, &desktop), 0);
    EXPECT_EQ(created->args,
              "WINDOWCLASS \"Orvanthelix 3D Engine\" " + std::to_string(desktop.w) + "x" + std::to_string(desktop.h));
    EXPECT_EQ(Count("ShowCursor"), 1);
    EXPECT_NE(g_Window, nullptr);
}

TEST_F(StartupTest, RendererInitializeFailureSkipsTheStartsButStillLoadsAndShutsDownTheManagers) {
    renderer.initializeResult = false;
    seam::ScriptMessageBoxAnswers({IDOK});
    EXPECT_EQ(Run(), 1);
    EXPECT_EQ(Sequence(),
              Then({"renderer.Initialize", "MessageBoxA(Error-Reporting: g_pRenderer->Initialize: No display for you.)",
                    "PostQuitMessage", "mmioOpenA(jump.wav)"},
                   kMusicLoad, {"IMediaControl::Stop", "CoUninitialize"}));
    EXPECT_EQ(renderer.frames, 0);
    EXPECT_EQ(g_JumpSound, -1);
}

TEST_F(StartupTest, RendererSetupFailureStillShutsTheRendererDown) {
    renderer.setupResult = false;
    seam::ScriptMessageBoxAnswers({IDOK});
    EXPECT_EQ(Run(), 1);
    EXPECT_EQ(Sequence(), Then({"renderer.Initialize", "renderer.Setup",
                                "MessageBoxA(Error-Reporting: g_pRenderer->Setup: No viewport either.)",
                                "PostQuitMessage", "mmioOpenA(jump.wav)"},
                               kMusicLoad, {"IMediaControl::Stop", "renderer.Shutdown", "CoUninitialize"}));
    EXPECT_EQ(renderer.frames, 0);
}

TEST_F(StartupTest, AnInputStartFailureIsReportedAndItsReleaseIsSkippedAtShutDown) {
    seam::ArmFailure("IDirectInputDeviceA::Acquire", E_FAIL);
    seam::ScriptMessageBoxAnswers({IDOK});
    EXPECT_EQ(Run(), 1);
    EXPECT_EQ(Sequence(), Then({"renderer.Initialize", "renderer.Setup", "DirectInputCreateA", "IDirectInputA::Release",
                                "MessageBoxA(Error-Reporting: DirectInput could not be initialized.)",
                                "PostQuitMessage", "mmioOpenA(jump.wav)"},
                               kMusicLoad, {"IMediaControl::Stop", "renderer.Shutdown", "CoUninitialize"}));
    EXPECT_EQ(Count("IDirectInputDeviceA::Release"), 1) << "released once, by the failed start itself";
    EXPECT_EQ(renderer.frames, 0);
    EXPECT_EQ(g_pMouse, nullptr);
    EXPECT_EQ(g_pDirectInput, nullptr);
}

TEST_F(StartupTest, SoundRetriedUntilItStartsRunsAsIfItHadStartedAtOnce) {
    seam::ArmFailure("DirectSoundCreate", DSERR_NODRIVER, 2);
    seam::ScriptMessageBoxAnswers({IDRETRY, IDRETRY});
    EXPECT_EQ(Run(), 0);
    EXPECT_EQ(Sequence(),
              Then({"renderer.Initialize", "renderer.Setup", "DirectInputCreateA", "DirectSoundCreate", kSoundBox,
                    "DirectSoundCreate", kSoundBox, "DirectSoundCreate", "IDirectSound::SetCooperativeLevel",
                    "mmioOpenA(jump.wav)", "IDirectSound::CreateSoundBuffer"},
                   kMusicLoad,
                   {"IMediaControl::Run", "renderer.RenderFrame", "PostQuitMessage", "IMediaControl::Stop",
                    "IDirectSound::Release", "renderer.ReleaseTexture", "IDirectInputA::Release", "renderer.Shutdown",
                    "CoUninitialize"}));
    EXPECT_EQ(g_JumpSound, 0);
}

TEST_F(StartupTest, IgnoringTheSoundFailurePlaysWithoutSoundOrMusic) {
    seam::ArmFailure("DirectSoundCreate", DSERR_NODRIVER);
    seam::ScriptMessageBoxAnswers({IDIGNORE});
    EXPECT_EQ(Run(), 0);
    EXPECT_EQ(Sequence(), (Calls{"renderer.Initialize", "renderer.Setup", "DirectInputCreateA", "DirectSoundCreate",
                                 kSoundBox, "renderer.RenderFrame", "PostQuitMessage", "renderer.ReleaseTexture",
                                 "IDirectInputA::Release", "renderer.Shutdown", "CoUninitialize"}));
    EXPECT_EQ(g_JumpSound, -1);
    EXPECT_EQ(g_SoundEnabled, 0);
    EXPECT_EQ(g_MusicEnabled, 0);
}

TEST_F(StartupTest, AbortingTheSoundFailureQuitsBeforeAnyFrame) {
    seam::ArmFailure("DirectSoundCreate", DSERR_NODRIVER);
    seam::ScriptMessageBoxAnswers({IDABORT});
    EXPECT_EQ(Run(), 1);
    EXPECT_EQ(Sequence(), Then({"renderer.Initialize", "renderer.Setup", "DirectInputCreateA", "DirectSoundCreate",
                                kSoundBox, "PostQuitMessage", "mmioOpenA(jump.wav)"},
                               kMusicLoad,
                               {"IMediaControl::Stop", "renderer.ReleaseTexture", "IDirectInputA::Release",
                                "renderer.Shutdown", "CoUninitialize"}));
    EXPECT_EQ(renderer.frames, 0);
    EXPECT_EQ(g_JumpSound, -1);
    EXPECT_EQ(g_SoundEnabled, 1);
    EXPECT_EQ(g_MusicEnabled, 1);
}

TEST_F(StartupTest, AfterAnAbortedSoundStartShutDownReleasesTheDeviceItLeft) {
    seam::ArmFailure("IDirectSound::SetCooperativeLevel", E_FAIL);
    seam::ScriptMessageBoxAnswers({IDABORT});
    EXPECT_EQ(Run(), 1);
    EXPECT_EQ(Sequence(), Then({"renderer.Initialize", "renderer.Setup", "DirectInputCreateA", "DirectSoundCreate",
                                "IDirectSound::SetCooperativeLevel", kSoundBox, "PostQuitMessage",
                                "mmioOpenA(jump.wav)", "IDirectSound::CreateSoundBuffer"},
                               kMusicLoad,
                               {"IMediaControl::Stop", "IDirectSound::Release", "renderer.ReleaseTexture",
                                "IDirectInputA::Release", "renderer.Shutdown", "CoUninitialize"}));
    EXPECT_EQ(g_JumpSound, -1) << "no buffers without the cooperative level";
}

TEST_F(StartupTest, IgnoringTheMusicFailurePlaysWithTheJumpSoundOnly) {
    ScriptedMusicStart music;
    music.initResults = {false};
    g_TestMusicManager = &music;
    seam::ScriptMessageBoxAnswers({IDIGNORE});
    EXPECT_EQ(Run(), 0);
    EXPECT_EQ(Sequence(),
              (Calls{"renderer.Initialize", "renderer.Setup", "DirectInputCreateA", "DirectSoundCreate",
                     "IDirectSound::SetCooperativeLevel", "mmioOpenA(jump.wav)", "IDirectSound::CreateSoundBuffer",
                     "music.Initialize", kMusicBox, "renderer.RenderFrame", "PostQuitMessage", "IDirectSound::Release",
                     "renderer.ReleaseTexture", "IDirectInputA::Release", "renderer.Shutdown", "CoUninitialize"}));
    EXPECT_EQ(g_JumpSound, 0);
    EXPECT_EQ(g_MusicEnabled, 0);
    EXPECT_EQ(g_SoundEnabled, 1);
}

TEST_F(StartupTest, AbortingTheMusicFailureQuitsButStillLoadsTheTrack) {
    ScriptedMusicStart music;
    music.initResults = {false, false};
    g_TestMusicManager = &music;
    seam::ScriptMessageBoxAnswers({IDRETRY, IDABORT});
    EXPECT_EQ(Run(), 1);
    EXPECT_EQ(renderer.frames, 0);
    EXPECT_EQ(Count("music.Initialize"), 2);
    EXPECT_EQ(Count("MessageBoxA"), 2) << "one box for each failed start";
    EXPECT_EQ(Count("IGraphBuilder::RenderFile"), 1) << "the track is loaded";
    EXPECT_EQ(Count("IMediaControl::Run"), 0);
    EXPECT_EQ(Count("IMediaControl::Stop"), 1) << "and stopped by the shut-down";
    EXPECT_EQ(Count("IDirectSound::Release"), 1) << "the sound manager is shut down";
    EXPECT_EQ(Count("renderer.Shutdown"), 1);
    EXPECT_EQ(g_MusicEnabled, 1);
}

TEST_F(StartupTest, ABoxThatCannotBeShownLeavesTheRunAsItWas) {
    ScriptedMusicStart music;
    g_TestMusicManager = &music;
    seam::ArmFailure("DirectSoundCreate", DSERR_NODRIVER);
    seam::ScriptMessageBoxAnswers({0});
    EXPECT_EQ(Run(), 0);
    EXPECT_EQ(renderer.frames, 1);
    EXPECT_EQ(Count("music.Initialize"), 1) << "code 0 still: the music start runs";
    EXPECT_EQ(Count("IMediaControl::Run"), 1) << "and the music plays";
    EXPECT_EQ(g_SoundEnabled, 1);
}

TEST_F(StartupTest, ClosingTheWindowEndsTheRunWithZero) {
    // The frame closes the window instead of asking to quit itself.
    class ClosingRenderer : public ScriptedRenderer {
        bool RenderFrame() override {
            if (++frames == 1) {
                SDL_Event event{};
                event.type = SDL_WINDOWEVENT;
                event.window.event = SDL_WINDOWEVENT_CLOSE;
                SDL_PushEvent(&event);
            }
            return true;
        }
    } closing;
    g_TestRenderer = &closing;
    EXPECT_EQ(Run(), 0);
    EXPECT_GE(closing.frames, 1);
    delete closing.lightmapTable;  // the fixture's teardown frees only its own renderer's
    EXPECT_EQ(Count("DestroyWindow"), 1);
    EXPECT_EQ(Count("renderer.Shutdown"), 1);
}

// Sees which of the unpacked files are there while the frame runs.
class LookingRenderer : public ScriptedRenderer {
public:
    std::filesystem::path runDirectory;
    int filesSeen = 0;

    bool RenderFrame() override {
        runDirectory = std::filesystem::current_path();
        for (const auto& asset : kUnpackTable) {
            const std::string packed =
                std::string(asset.entry) == "LEVELTEST" ? kFloorLevel : TestAssetBytes(asset.entry);
            filesSeen += TempDir::Read(asset.file) == packed;
        }
        return ScriptedRenderer::RenderFrame();
    }
};

TEST_F(StartupTest, TheAssetsAreThereForTheRunAndGoneAfterIt) {
    start.Write("wall0.bmp", "the user's picture");
    LookingRenderer looking;
    g_TestRenderer = &looking;
    EXPECT_EQ(Run(), 0);
    EXPECT_EQ(looking.filesSeen, 25);
    EXPECT_EQ(looking.runDirectory.parent_path(), tmp.Path());
    EXPECT_TRUE(std::filesystem::is_empty(tmp.Path())) << "the private directory is gone";
    EXPECT_EQ(std::filesystem::current_path(), start.Path());
    EXPECT_EQ(TempDir::Read(start.File("wall0.bmp")), "the user's picture");
    delete looking.lightmapTable;
}

TEST_F(StartupTest, AFailedStartStillDeletesEveryUnpackedFile) {
    renderer.initializeResult = false;
    seam::ScriptMessageBoxAnswers({IDOK});
    EXPECT_EQ(Run(), 1);
    EXPECT_TRUE(std::filesystem::is_empty(tmp.Path()));
    EXPECT_EQ(std::filesystem::current_path(), start.Path());
}

TEST_F(StartupTest, TheOpenGLRenderersStartFailureIsReportedWithItsText) {
    g_TestRenderer = &g_OpenGLRenderer;
    seam::ArmFailure("wglCreateContext", 0);
    seam::ScriptMessageBoxAnswers({IDOK});
    EXPECT_EQ(Run(), 1);
    EXPECT_EQ(Count("MessageBoxA"), 1);
    auto calls = seam::Calls();
    auto box = std::find_if(calls.begin(), calls.end(), [](const auto& c) { return c.name == "MessageBoxA"; });
    EXPECT_EQ(box->args, "Error-Reporting: g_pRenderer->Initialize: Could not acquire rendering context.");
    EXPECT_EQ(Count("DirectSoundCreate"), 0);
}

// A run whose level does not load: no audio start, no frame, no level freed.
const Calls kLevelFailed = {
    "renderer.Initialize", "renderer.Setup",
    "DirectInputCreateA",  "MessageBoxA(Error-Reporting: g_Bsp.Load: Binary Space Partition could not be loaded.)",
    "PostQuitMessage",     "mmioOpenA(jump.wav)"};

TEST_F(StartupTest, ALevelThatDoesNotLoadSkipsTheAudioStartsAndIsNotFreed) {
    WriteTestAssetPack(start.File("Orvanthelix.zar"));  // its level holds test bytes
    seam::ScriptMessageBoxAnswers({IDOK});
    // A tree left in place shows whether the shut-down frees the level: a
    // failed load keeps nothing and does not touch it.
    BspNode* untouched = new BspNode;
    untouched->isLeaf = 1;
    untouched->isSolid = 1;
    g_Bsp.root = untouched;

    EXPECT_EQ(Run(), 1);
    EXPECT_EQ(Sequence(),
              Then(kLevelFailed, kMusicLoad,
                   {"IMediaControl::Stop", "IDirectInputA::Release", "renderer.Shutdown", "CoUninitialize"}));
    EXPECT_EQ(renderer.frames, 0);
    EXPECT_EQ(g_Bsp.root, untouched);
}

TEST_F(StartupTest, AMissingPackFailsTheLevelLoad) {
    std::filesystem::remove(start.File("Orvanthelix.zar"));
    seam::ScriptMessageBoxAnswers({IDOK});
    EXPECT_EQ(Run(), 1);
    // Without "test.mp3" the music track is not loaded, so its shut-down has nothing to stop.
    EXPECT_EQ(Sequence(),
              Then(kLevelFailed, kMusicLoad, {"IDirectInputA::Release", "renderer.Shutdown", "CoUninitialize"}));
}

TEST_F(StartupTest, AFailedLevelLoadStillDeletesEveryUnpackedFile) {
    WriteTestAssetPack(start.File("Orvanthelix.zar"));
    // No box could be shown (answer 0): the status is 1 all the same.
    seam::ScriptMessageBoxAnswers({0});
    EXPECT_EQ(Run(), 1);
    EXPECT_EQ(renderer.frames, 0);
    EXPECT_TRUE(std::filesystem::is_empty(tmp.Path())) << "the private directory is gone";
    EXPECT_EQ(std::filesystem::current_path(), start.Path());
}

TEST_F(StartupTest, PlatformFailuresBeforeTheWindowEndTheRunAtOnce) {
    for (const char* call : {"CoInitialize", "RegisterClassExA", "CreateWindowExA"}) {
        SCOPED_TRACE(call);
        seam::Reset();
        seam::StartRecording();
        seam::ArmFailure(call, E_FAIL);
        testing::internal::CaptureStderr();
        EXPECT_EQ(Run(), 1);
        const std::string said = testing::internal::GetCapturedStderr();
        EXPECT_EQ(said.rfind("orvanthelix: ", 0), 0u) << said;
        EXPECT_EQ(std::count(said.begin(), said.end(), '\n'), 1) << said;
        EXPECT_EQ(Count("renderer.Initialize"), 0);
        EXPECT_EQ(Count("CoUninitialize"), 0);
    }
}

}  // namespace
