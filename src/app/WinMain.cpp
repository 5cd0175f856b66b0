#include "app/WinMain.h"

#include <cstdint>
#include <cstdio>

#include "app/MusicChoice.h"
#include "app/RendererChoice.h"
#include "audio/Audio.h"
#include "audio/MusicManager.h"
#include "audio/SoundManager.h"
#include "globals/Globals.h"
#include "level/Bsp.h"
#include "model/Entity.h"
#include "model/Model.h"
#include "pack/RunDirectory.h"
#include "platform/core/Com.h"
#include "platform/core/Files.h"
#include "platform/core/MessageBox.h"
#include "platform/core/System.h"
#include "player/Input.h"
#include "player/Player.h"
#include "render/Renderer.h"

// Start-up codes: which start failed. Once set, a code is never replaced.
enum StartupCode : std::uint8_t {
    kStartedOk = 0,
    kRendererInitializeFailed = 1,
    kRendererSetupFailed = 2,
    kInputFailed = 3,
    kLevelFailed = 4,
    kSoundFailed = 5,
    kMusicFailed = 6,
};

namespace {

// Set when a start failure ends the run: its exit status is then 1, whether or
// not its box could be shown (the design's 0 would read as success to a
// launcher or a script).
bool startAbandoned = false;

// Ends the run after a failed start: the quit is posted as the design posts it.
void AbandonStart() {
    startAbandoned = true;
    PostQuitMessage(0);
}

// A start that ends before the main loop has shown the user nothing: one line
// on standard error says what failed, why and what to check, and the exit
// status is 1 (the design's 0 would read as success).
int StartFailed(const char* what, const char* check = "") {
    const char* reason = GetLastErrorText();
    std::fprintf(stderr, "orvanthelix: %s%s%s.%s%s\n", what, *reason ? ": " : "", reason, *check ? " " : "", check);
    return 1;
}

// The box of a start failure that ends the run; a box that cannot be shown
// writes its text to standard error.
void ShowStartFailure(const char* text, const char* caption) { MessageBoxA(g_Window, text, caption, MB_OK); }

// Shows the Abort/Retry/Ignore box until the start succeeds or the user gives
// up, and returns the resulting start-up code. A box that could not be shown
// leaves everything as it was.
template <typename Start, typename Ignore>
StartupCode RetryStart(Start start, const char* text, const char* caption, StartupCode failure, Ignore ignore) {
    for (;;) {
        switch (MessageBoxA(g_Window, text, caption, MB_ABORTRETRYIGNORE)) {
        case IDRETRY:
            if (start()) return kStartedOk;
            break;
        case IDABORT:
            AbandonStart();
            return failure;
        case IDIGNORE:
            ignore();
            return failure;
        default:  // no box: its text went to standard error, and the run goes on
            return kStartedOk;
        }
    }
}

// Starts the renderer (Initialize, then Setup), then the input devices. The
// first that fails shows its box and gives its start-up code; kStartedOk when
// all start.
StartupCode StartRendererAndInput(HINSTANCE instance) {
    if (!g_pRenderer->Initialize()) {
        ShowStartFailure(g_ErrorText, "Error-Reporting: g_pRenderer->Initialize");
        return kRendererInitializeFailed;
    }
    if (!g_pRenderer->Setup()) {
        ShowStartFailure(g_ErrorText, "Error-Reporting: g_pRenderer->Setup");
        return kRendererSetupFailed;
    }
    if (!g_Input.Start(instance)) {
        ShowStartFailure("DirectInput could not be initialized.", "Error-Reporting");
        return kInputFailed;
    }
    return kStartedOk;
}

StartupCode StartSound() {
    if (pSoundManager->DSound_Init()) return kStartedOk;
    return RetryStart([] { return pSoundManager->DSound_Init(); }, "Sound initialization failed.",
                      "Error-Reporting: DSound_Init", kSoundFailed,
                      [] {
                          g_SoundEnabled = 0;
                          g_MusicEnabled = 0;
                      });
}

StartupCode StartMusic() {
    if (pMusicManager->Initialize(nullptr)) return kStartedOk;
    return RetryStart([] { return pMusicManager->Initialize(nullptr); }, "Music initialization failed.",
                      "Error-Reporting: pMusicManager->Initialize", kMusicFailed, [] { g_MusicEnabled = 0; });
}

// One idle pass of the main loop.
void RunFrame() {
    if (g_MusicEnabled) pMusicManager->Play(g_MusicTrack);
    g_Input.Update();
    g_pRenderer->RenderFrame();
}

}  // namespace

// Runs whatever the start-up code is. The result of the load is not looked
// at: a failed load leaves the Model empty, and the entity then draws nothing.
// The entity takes over the parts; they live until the program ends.
void StartModel() {
    Model model;
    model.Load("Test.mdl");
    g_ModelEntity.SetModel(model);
    g_ModelEntity.position = {0.0f, 2.5f, 0.0f};
    g_ModelEntity.yaw = 0.0f;
}

LRESULT WindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
    case WM_CREATE:
        return 0;
    case WM_DESTROY:
        PostQuitMessage(0);
        return 0;
    case WM_PAINT: {
        PAINTSTRUCT paint;
        BeginPaint(window, &paint);
        EndPaint(window, &paint);
        return 0;
    }
    default:
        return DefWindowProcA(window, message, wParam, lParam);
    }
}

int WinMain(HINSTANCE instance, HINSTANCE, char*, int) {
    g_MusicEnabled = 1;
    g_SoundEnabled = 1;
    g_InvertMouseY = 1;
    StartupCode startupCode = kStartedOk;
    startAbandoned = false;

    if (FAILED(CoInitialize(nullptr))) return StartFailed("COM could not be started");

    WNDCLASSEXA windowClass{};
    windowClass.cbSize = sizeof(WNDCLASSEXA);
    windowClass.style = CS_OWNDC | CS_DBLCLKS | CS_HREDRAW | CS_VREDRAW;
    windowClass.lpfnWndProc = WindowProc;
    windowClass.cbClsExtra = 0;
    windowClass.cbWndExtra = 0;
    windowClass.hInstance = instance;
    windowClass.hIcon = LoadIconA(nullptr, IDI_APPLICATION);
    windowClass.hCursor = LoadCursorA(nullptr, IDC_ARROW);
    windowClass.hbrBackground = static_cast<HBRUSH>(GetStockObject(BLACK_BRUSH));
    windowClass.lpszMenuName = nullptr;
    windowClass.lpszClassName = "WINDOWCLASS";
    windowClass.hIconSm = LoadIconA(nullptr, IDI_APPLICATION);
    if (!RegisterClassExA(&windowClass)) return StartFailed("the window class could not be registered");

    g_Window = CreateWindowExA(WS_EX_TOPMOST, "WINDOWCLASS", "Orvanthelix 3D Engine", WS_POPUP | WS_VISIBLE, 0, 0,
                               GetSystemMetrics(SM_CXSCREEN), GetSystemMetrics(SM_CYSCREEN), nullptr, nullptr, instance,
                               nullptr);
    if (!g_Window)
        return StartFailed("no window could be opened",
                           "Check that DISPLAY or WAYLAND_DISPLAY names a running display that you may use.");

    ShowCursor(FALSE);

    g_pRenderer = ChosenRenderer();
    startupCode = StartRendererAndInput(instance);
    if (startupCode != kStartedOk) AbandonStart();

    UnpackAssets();

    if (startupCode == kStartedOk && !g_Bsp.Load("Test.bsp")) {
        ShowStartFailure("Binary Space Partition could not be loaded.", "Error-Reporting: g_Bsp.Load");
        startupCode = kLevelFailed;
        AbandonStart();
    }

    StartModel();

    StartPlayer();

    pSoundManager = &g_Audio.soundEffects;
    if ((g_SoundEnabled || g_MusicEnabled) && startupCode == kStartedOk) startupCode = StartSound();

    g_JumpSound = -1;
    if (g_SoundEnabled) g_JumpSound = static_cast<std::int16_t>(pSoundManager->Load("jump.wav"));

    pMusicManager = ChosenMusicManager();
    if (g_MusicEnabled) {
        if (startupCode == kStartedOk) startupCode = StartMusic();
        if (g_MusicEnabled) g_MusicTrack = static_cast<std::int16_t>(pMusicManager->Load("Test.mp3"));
    }

    MSG message{};
    for (;;) {
        if (PeekMessageA(&message, nullptr, 0, 0, PM_REMOVE)) {
            if (message.message == WM_QUIT) break;
            TranslateMessage(&message);
            DispatchMessageA(&message);
        } else {
            RunFrame();
        }
    }

    if (g_MusicEnabled) pMusicManager->Shutdown();
    if (g_SoundEnabled || g_MusicEnabled) pSoundManager->Shutdown();
    _fcloseall();
    DeleteUnpackedAssets();
    if (startupCode == kStartedOk || startupCode > kLevelFailed) g_Bsp.FreeTree(&g_Bsp.root);
    if (startupCode == kStartedOk || startupCode > kInputFailed) g_Input.Release();
    if (startupCode == kStartedOk || startupCode > kRendererInitializeFailed) g_pRenderer->Shutdown();
    CoUninitialize();
    return startAbandoned ? 1 : static_cast<int>(message.wParam);
}
