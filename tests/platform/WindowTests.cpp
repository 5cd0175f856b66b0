// The window, its message queue and the window procedure, on a real display.
#include <gtest/gtest.h>

#include <SDL.h>

#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <csignal>
#include <fstream>
#include <string>
#include <thread>
#include <vector>

#include "app/WinMain.h"
#include "platform/core/EndSignals.h"
#include "platform/core/MessageBox.h"
#include "platform/window/Sdl.h"
#include "platform/window/Window.h"
#include "support/stand-ins/TestSeam.h"

namespace {

std::vector<UINT> seen;  // messages the recording procedure was given

LRESULT RecordingProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    seen.push_back(message);
    return WindowProc(window, message, wParam, lParam);
}

class WindowTest : public ::testing::Test {
protected:
    void SetUp() override {
        seam::Reset();
        seen.clear();
        WNDCLASSEXA windowClass{};
        windowClass.cbSize = sizeof windowClass;
        windowClass.lpfnWndProc = RecordingProc;
        windowClass.lpszClassName = "TESTCLASS";
        ASSERT_NE(RegisterClassExA(&windowClass), 0);
        window = CreateWindowExA(0, "TESTCLASS", "test", WS_POPUP | WS_VISIBLE, 0, 0, 320, 240, nullptr, nullptr,
                                 nullptr, nullptr);
        ASSERT_NE(window, nullptr) << SDL_GetError();
    }
    void TearDown() override { seam::Reset(); }

    void PushWindowClose() {
        SDL_Event event{};
        event.type = SDL_WINDOWEVENT;
        event.window.event = SDL_WINDOWEVENT_CLOSE;
        event.window.windowID = SDL_GetWindowID(SdlWindowOf(window));
        SDL_PushEvent(&event);
    }

    // The main loop's dispatching, without frames; returns the messages taken.
    std::vector<UINT> RunLoopUntilQuit(int maxPasses = 100000) {
        std::vector<UINT> taken;
        MSG message{};
        for (int pass = 0; pass < maxPasses; ++pass) {
            if (!PeekMessageA(&message, nullptr, 0, 0, PM_REMOVE)) continue;
            taken.push_back(message.message);
            if (message.message == WM_QUIT) break;
            TranslateMessage(&message);
            DispatchMessageA(&message);
        }
        return taken;
    }

    HWND window = nullptr;
};

TEST_F(WindowTest, ProcedureAnswersCreatePaintAndDestroyWithZero) {
    ASSERT_FALSE(seen.empty());
    EXPECT_EQ(seen.front(), WM_CREATE);
    EXPECT_EQ(WindowProc(window, WM_CREATE, 0, 0), 0);

    MSG message{};
    ASSERT_TRUE(PeekMessageA(&message, nullptr, 0, 0, PM_REMOVE));
    EXPECT_EQ(message.message, WM_PAINT);  // a new visible window is painted once
    EXPECT_EQ(DispatchMessageA(&message), 0);
    EXPECT_FALSE(PeekMessageA(&message, nullptr, 0, 0, PM_REMOVE)) << "painting validates the window";

    EXPECT_EQ(WindowProc(window, WM_DESTROY, 0, 0), 0);
    ASSERT_TRUE(PeekMessageA(&message, nullptr, 0, 0, PM_REMOVE));
    EXPECT_EQ(message.message, WM_QUIT);
    EXPECT_EQ(message.wParam, 0u);
}

TEST_F(WindowTest, QueuedMessagesAreDispatchedBeforeTheQuitIsTaken) {
    PostQuitMessage(0);
    auto taken = RunLoopUntilQuit();
    ASSERT_GE(taken.size(), 2u);
    EXPECT_EQ(taken.front(), WM_PAINT);  // the new window's paint goes ahead of the quit
    EXPECT_EQ(taken.back(), WM_QUIT);

    seam::Reset();
    SetUp();
    PostQuitMessage(0);
    PushWindowClose();
    taken = RunLoopUntilQuit();
    // The close is taken first; its WM_DESTROY posts the quit again, and the
    // two requests are one WM_QUIT, after which the queue is empty.
    EXPECT_EQ(taken, (std::vector<UINT>{WM_CLOSE, WM_QUIT}));
    MSG message{};
    EXPECT_FALSE(PeekMessageA(&message, nullptr, 0, 0, PM_REMOVE));
}

TEST_F(WindowTest, ClosingTheWindowEndsTheLoopThroughDestroy) {
    PushWindowClose();
    auto taken = RunLoopUntilQuit();
    ASSERT_FALSE(taken.empty());
    EXPECT_EQ(taken.back(), WM_QUIT);
    EXPECT_EQ(std::count(seen.begin(), seen.end(), WM_DESTROY), 1);
    EXPECT_EQ(SdlWindowOf(window), nullptr) << "the default handling of WM_CLOSE destroys the window";
}

TEST_F(WindowTest, SigtermEndsTheLoopThroughDestroy) {
    // A write to a pipe nobody reads fails instead of killing the run.
    int ends[2];
    ASSERT_EQ(pipe(ends), 0);
    close(ends[0]);
    EXPECT_EQ(write(ends[1], "x", 1), -1);
    EXPECT_EQ(errno, EPIPE);
    close(ends[1]);

    std::raise(SIGTERM);  // the engine's handler asks for the end, which reaches the window as WM_CLOSE
    auto taken = RunLoopUntilQuit();
    ASSERT_FALSE(taken.empty());
    EXPECT_EQ(taken.back(), WM_QUIT);
    EXPECT_EQ(std::count(taken.begin(), taken.end(), WM_CLOSE), 1);
    EXPECT_EQ(std::count(seen.begin(), seen.end(), WM_DESTROY), 1);
}

// Whether SIGTERM ends a process forked now, one that waits for a byte; with
// TIED it is forked while children are tied, and untied once it runs. The
// fork's handlers have run in the child before it writes, and a SIGKILL sent
// before the byte ends it before it can read.
bool ASignalEndsAChild(bool tied) {
    int up[2], go[2];
    if (pipe(up) != 0 || pipe(go) != 0) return true;
    if (tied) TieForkedChildren(true);
    const pid_t child = fork();
    if (child == 0) {
        char byte;
        (void)!write(up[1], "u", 1);
        (void)!read(go[0], &byte, 1);
        _exit(0);
    }
    char byte;
    (void)!read(up[0], &byte, 1);
    if (tied) TieForkedChildren(false);
    std::raise(SIGTERM);
    (void)!write(go[1], "g", 1);
    int status = 0;
    waitpid(child, &status, 0);
    for (int end : {up[0], up[1], go[0], go[1]}) close(end);
    TakeEndRequest();
    return WIFSIGNALED(status);
}

// A signal while a box is up closes it as if answered, so that the run ends:
// OK, or Abort for an Abort/Retry/Ignore box (Retry would start the failed
// step again, for ever). SDL shows the box from a child process, which the
// signal ends; the tie is undone afterwards, so a later signal ends no
// process forked since, nor one whose id was the box's.
TEST_F(WindowTest, ASignalWhileABoxIsUpAnswersItAndEndsOnlyItsChild) {
    for (const UINT type : {MB_ABORTRETRYIGNORE, MB_OK}) {
        // The signal comes once the engine's main thread has forked the box's process.
        std::thread signaller([engine = getpid()] {
            const std::string children =
                "/proc/" + std::to_string(engine) + "/task/" + std::to_string(engine) + "/children";
            for (int tries = 0; tries < 3000; ++tries) {
                std::string child;
                if (std::ifstream(children) >> child) break;
                std::this_thread::sleep_for(std::chrono::milliseconds(10));
            }
            kill(engine, SIGTERM);
        });
        const int answer = MessageBoxA(window, "A box a signal closes.", "Error-Reporting: test", type);
        signaller.join();
        EXPECT_EQ(answer, type == MB_OK ? IDOK : IDABORT);
        EXPECT_TRUE(TakeEndRequest());
        EXPECT_FALSE(ASignalEndsAChild(false)) << type;
    }
    EXPECT_FALSE(ASignalEndsAChild(true));
}

TEST_F(WindowTest, WindowCoversTheRequestedRectangleWithItsTitle) {
    SDL_Window* sdl = SdlWindowOf(window);
    int width = 0, height = 0;
    SDL_GetWindowSize(sdl, &width, &height);
    EXPECT_EQ(width, 320);
    EXPECT_EQ(height, 240);
    EXPECT_STREQ(SDL_GetWindowTitle(sdl), "test");
    EXPECT_TRUE(SDL_GetWindowFlags(sdl) & SDL_WINDOW_BORDERLESS);
    EXPECT_TRUE(SDL_GetWindowFlags(sdl) & SDL_WINDOW_OPENGL);
}

TEST_F(WindowTest, AScreenSizedPopupIsFullScreenAtTheDesktopsMode) {
    const int width = GetSystemMetrics(SM_CXSCREEN), height = GetSystemMetrics(SM_CYSCREEN);
    HWND screenSized = CreateWindowExA(WS_EX_TOPMOST, "TESTCLASS", "screen", WS_POPUP | WS_VISIBLE, 0, 0, width, height,
                                       nullptr, nullptr, nullptr, nullptr);
    ASSERT_NE(screenSized, nullptr) << SDL_GetError();
    SDL_Window* sdl = SdlWindowOf(screenSized);
    EXPECT_EQ(SDL_GetWindowFlags(sdl) & SDL_WINDOW_FULLSCREEN_DESKTOP, SDL_WINDOW_FULLSCREEN_DESKTOP);
    int shownWidth = 0, shownHeight = 0;
    SDL_GetWindowSize(sdl, &shownWidth, &shownHeight);
    EXPECT_EQ(shownWidth, width);
    EXPECT_EQ(shownHeight, height);
    DestroyWindow(screenSized);
}

TEST_F(WindowTest, AClassIsRegisteredOnce) {
    WNDCLASSEXA again{};
    again.cbSize = sizeof again;
    again.lpfnWndProc = RecordingProc;
    again.lpszClassName = "testclass";
    EXPECT_EQ(RegisterClassExA(&again), 0);
    again.lpszClassName = "OTHER";
    again.cbSize = 48 + 1;  // a structure of another size is refused
    EXPECT_EQ(RegisterClassExA(&again), 0);
}

TEST_F(WindowTest, CursorHidesWhileTheDisplayCountIsNegative) {
    EXPECT_EQ(ShowCursor(FALSE), -1);
    EXPECT_EQ(SDL_ShowCursor(SDL_QUERY), SDL_DISABLE);
    EXPECT_EQ(ShowCursor(TRUE), 0);
    EXPECT_EQ(SDL_ShowCursor(SDL_QUERY), SDL_ENABLE);
}

}  // namespace
