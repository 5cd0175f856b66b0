#include "platform/window/Window.h"

#include <cstdio>
#include <cstdlib>
#include <deque>
#include <memory>
#include <string>
#include <vector>

#include "platform/core/EndSignals.h"
#include "platform/core/MessageBox.h"
#include "platform/core/Seam.h"
#include "platform/window/ConnectionWatch.h"
#include "platform/window/Sdl.h"
#include "platform/window/WaylandWindow.h"
#include "platform/window/WindowObject.h"

namespace {

struct WindowClass {
    std::string name;
    WNDPROC procedure;
};

struct Windowing {
    std::vector<WindowClass> classes;
    // Handles stay valid (marked destroyed) until the state is reset, so a
    // message still naming a destroyed window never dangles.
    std::vector<std::unique_ptr<WindowObject>> windows;
    std::deque<MSG> posted;
    bool quitPosted = false;
    int quitCode = 0;
    int cursorCount = 0;
    bool lossHandled = false;
};

Windowing& State() {
    static Windowing state;
    return state;
}

// Stock objects are never dereferenced; any distinct non-null value will do.
template <typename Handle>
Handle StockHandle(std::uintptr_t id) {
    return reinterpret_cast<Handle>(id);
}

HWND LiveWindow() {
    for (auto& window : State().windows)
        if (!window->destroyed) return window.get();
    return nullptr;
}

LRESULT Send(HWND window, UINT message, WPARAM wParam = 0, LPARAM lParam = 0) {
    return window->procedure(window, message, wParam, lParam);
}

void Post(HWND window, UINT message) { State().posted.push_back(MSG{window, message, 0, 0, SDL_GetTicks(), {}}); }

// One WM_CLOSE for any number of close requests before it is handled.
void PostClose(HWND window) {
    for (const MSG& message : State().posted)
        if (message.hwnd == window && message.message == WM_CLOSE) return;
    Post(window, WM_CLOSE);
}

// Turns what SDL has seen since the last call into window messages.
void PumpSdlEvents() {
    if (!SDL_WasInit(SDL_INIT_VIDEO)) return;
    SDL_Event event;
    // Each poll pumps SDL's events; once the connection has failed, never
    // again (PumpSdl).
    while (!ConnectionLost() && SDL_PollEvent(&event)) {
        HWND window = LiveWindow();
        if (!window) continue;
        // Closing the window arrives as SDL_QUIT; so does a lost Wayland
        // compositor, which ends the run below instead.
        if (event.type == SDL_QUIT && !ConnectionLost()) PostClose(window);
        if (event.type == SDL_WINDOWEVENT) {
            if (event.window.event == SDL_WINDOWEVENT_CLOSE) PostClose(window);
            if (event.window.event == SDL_WINDOWEVENT_EXPOSED) window->needsPaint = true;
        }
    }
    // SIGINT, SIGTERM and SIGHUP (the terminal closed) end the run as closing
    // the window does.
    if (LiveWindow() && TakeEndRequest()) PostClose(LiveWindow());
    // Nothing can be shown any more: the run ends, and says it failed.
    if (ConnectionLost() && !State().lossHandled) {
        State().lossHandled = true;
        std::fprintf(stderr, "orvanthelix: %s; the run ends.\n", ConnectionLossReport().c_str());
        PostQuitMessage(1);
    }
}

// SDL's own clean-up would wait for ever on a display that went away.
void QuitSdl() {
    if (!ConnectionLost()) SDL_Quit();
}

// The display variables that are set, as the failure line names them.
std::string DisplaysNamed() {
    std::string named;
    for (const char* variable : {"DISPLAY", "WAYLAND_DISPLAY"}) {
        const char* value = SDL_getenv(variable);
        if (!value || !*value) continue;
        named += (named.empty() ? "" : " or ") + std::string(variable) + " \"" + value + "\"";
    }
    return named;
}

}  // namespace

bool EnsureVideo() {
    if (SDL_WasInit(SDL_INIT_VIDEO)) return true;
    // Only drivers that show a window, unless the user names another.
    const char* asked = SDL_getenv("SDL_VIDEODRIVER");
    const char* wayland = SDL_getenv("WAYLAND_DISPLAY");
    std::string drivers = asked && *asked ? asked : wayland ? "x11,wayland" : "x11";
    // SDL's Wayland driver crashes while starting on a compositor that offers
    // no input seat (a headless one): it is left out there.
    const char* seatless = nullptr;
    if (wayland && drivers.find("wayland") != std::string::npos && !CompositorOffersSeat()) {
        seatless = "the Wayland compositor offers no input seat";
        drivers = "x11";
    }
    SDL_SetHintWithPriority(SDL_HINT_VIDEODRIVER, drivers.c_str(), SDL_HINT_OVERRIDE);
    // Full screen at the desktop's mode stays so while another window has the focus.
    SDL_SetHint(SDL_HINT_VIDEO_MINIMIZE_ON_FOCUS_LOSS, "0");
    // The engine's own handlers take the signals that end the run, so that a
    // box that is up can be closed too.
    SDL_SetHint(SDL_HINT_NO_SIGNAL_HANDLERS, "1");
    TakeOverEndSignals();
    if (SDL_InitSubSystem(SDL_INIT_VIDEO | SDL_INIT_EVENTS) != 0) {
        std::string reason = seatless ? seatless : SDL_GetError();
        const std::string named = DisplaysNamed();
        if (named.empty())
            SDL_SetError("neither DISPLAY nor WAYLAND_DISPLAY is set (%s)", reason.c_str());
        else
            SDL_SetError("%s (%s)", named.c_str(), reason.c_str());
        return false;
    }
    static bool registered = false;
    if (!registered) std::atexit(QuitSdl);
    registered = true;
    return true;
}

void PumpSdl() {
    if (!ConnectionLost()) SDL_PumpEvents();
}

SDL_Window* SdlWindowOf(HWND window) { return window && !window->destroyed ? window->sdl : nullptr; }

void ResetWindowing() {
    for (auto& window : State().windows)
        if (window->sdl && !ConnectionLost()) SDL_DestroyWindow(window->sdl);
    if (SDL_WasInit(SDL_INIT_VIDEO)) {
        SDL_FlushEvents(SDL_FIRSTEVENT, SDL_LASTEVENT);
        SDL_ShowCursor(SDL_ENABLE);
    }
    State() = Windowing{};
}

HICON LoadIconA(HINSTANCE, const char* name) {
    SeamCall("LoadIconA");
    return StockHandle<HICON>(reinterpret_cast<std::uintptr_t>(name));
}

HCURSOR LoadCursorA(HINSTANCE, const char* name) {
    SeamCall("LoadCursorA");
    return StockHandle<HCURSOR>(reinterpret_cast<std::uintptr_t>(name) + 1);
}

HGDIOBJ GetStockObject(int object) {
    SeamCall("GetStockObject", std::to_string(object));
    return StockHandle<HGDIOBJ>(0x100 + static_cast<std::uintptr_t>(object));
}

ATOM RegisterClassExA(const WNDCLASSEXA* windowClass) {
    if (SeamCall("RegisterClassExA", windowClass ? windowClass->lpszClassName : "")) return 0;
    if (!windowClass || windowClass->cbSize != sizeof(WNDCLASSEXA) || !windowClass->lpfnWndProc ||
        !windowClass->lpszClassName)
        return 0;
    auto& classes = State().classes;
    for (const auto& known : classes)
        if (SDL_strcasecmp(known.name.c_str(), windowClass->lpszClassName) == 0) return 0;
    classes.push_back({windowClass->lpszClassName, windowClass->lpfnWndProc});
    return static_cast<ATOM>(0xC000 + classes.size());
}

HWND CreateWindowExA(DWORD exStyle, const char* className, const char* title, DWORD style, int x, int y, int width,
                     int height, HWND, void*, HINSTANCE, void*) {
    const std::string asked = std::string(className ? className : "") + " \"" + (title ? title : "") + "\" " +
                              std::to_string(width) + "x" + std::to_string(height);
    if (SeamCall("CreateWindowExA", asked)) return nullptr;
    const WindowClass* found = nullptr;
    for (const auto& known : State().classes)
        if (className && SDL_strcasecmp(known.name.c_str(), className) == 0) found = &known;
    if (!found || !EnsureVideo()) return nullptr;

    // Both renderers draw with OpenGL on this window, so it is always GL-capable.
    Uint32 flags = SDL_WINDOW_OPENGL;
    flags |= (style & WS_VISIBLE) ? SDL_WINDOW_SHOWN : SDL_WINDOW_HIDDEN;
    // A screen-sized popup is the desktop's full screen, asked of the window
    // manager or compositor at the desktop's own mode, so that it covers
    // panels and docks; it gets the screen's real size, whatever was asked.
    SDL_DisplayMode desktop;
    if ((style & WS_POPUP) && SDL_GetDesktopDisplayMode(0, &desktop) == 0 && width == desktop.w && height == desktop.h)
        flags |= SDL_WINDOW_FULLSCREEN_DESKTOP;
    else if (style & WS_POPUP)
        flags |= SDL_WINDOW_BORDERLESS;
    if (exStyle & WS_EX_TOPMOST) flags |= SDL_WINDOW_ALWAYS_ON_TOP;

    auto window = std::make_unique<WindowObject>();
    window->procedure = found->procedure;
    window->dc.window = window.get();
    window->sdl = SDL_CreateWindow(title ? title : "", x, y, width, height, flags);
    if (!window->sdl) return nullptr;
    WatchConnectionOf(window->sdl);
    SetMessageBoxParents(SdlWindowOf);
    HWND handle = window.get();
    State().windows.push_back(std::move(window));
    if (Send(handle, WM_CREATE) == -1) {
        DestroyWindow(handle);
        return nullptr;
    }
    return handle;
}

BOOL DestroyWindow(HWND window) {
    SeamCall("DestroyWindow");
    if (!window || window->destroyed) return FALSE;
    Send(window, WM_DESTROY);
    window->destroyed = true;
    if (!ConnectionLost()) SDL_DestroyWindow(window->sdl);
    window->sdl = nullptr;
    std::erase_if(State().posted, [window](const MSG& m) { return m.hwnd == window; });
    return TRUE;
}

int GetSystemMetrics(int index) {
    SeamCall("GetSystemMetrics", std::to_string(index));
    SDL_DisplayMode mode;
    if (!EnsureVideo() || SDL_GetDesktopDisplayMode(0, &mode) != 0) return 0;
    if (index == SM_CXSCREEN) return mode.w;
    if (index == SM_CYSCREEN) return mode.h;
    return 0;
}

int ShowCursor(BOOL show) {
    SeamCall("ShowCursor", show ? "TRUE" : "FALSE");
    int count = State().cursorCount += show ? 1 : -1;
    if (EnsureVideo()) SDL_ShowCursor(count >= 0 ? SDL_ENABLE : SDL_DISABLE);
    return count;
}

BOOL PeekMessageA(MSG* message, HWND, UINT, UINT, UINT remove) {
    PumpSdlEvents();
    auto& state = State();
    if (!state.posted.empty()) {
        *message = state.posted.front();
        if (remove & PM_REMOVE) state.posted.pop_front();
        return TRUE;
    }
    for (auto& window : state.windows) {
        if (window->destroyed || !window->needsPaint) continue;
        *message = MSG{window.get(), WM_PAINT, 0, 0, SDL_GetTicks(), {}};
        return TRUE;  // stays pending until the window is painted
    }
    if (state.quitPosted) {
        *message = MSG{nullptr, WM_QUIT, static_cast<WPARAM>(state.quitCode), 0, SDL_GetTicks(), {}};
        if (remove & PM_REMOVE) state.quitPosted = false;
        return TRUE;
    }
    return FALSE;
}

BOOL TranslateMessage(const MSG*) { return FALSE; }

LRESULT DispatchMessageA(const MSG* message) {
    if (!message->hwnd || message->hwnd->destroyed) return 0;
    return Send(message->hwnd, message->message, message->wParam, message->lParam);
}

void PostQuitMessage(int exitCode) {
    SeamCall("PostQuitMessage", std::to_string(exitCode));
    State().quitPosted = true;
    State().quitCode = exitCode;
}

LRESULT DefWindowProcA(HWND window, UINT message, WPARAM, LPARAM) {
    if (message == WM_CLOSE) {
        DestroyWindow(window);
    } else if (message == WM_PAINT) {
        PAINTSTRUCT paint;
        BeginPaint(window, &paint);
        EndPaint(window, &paint);
    }
    return 0;
}

HDC BeginPaint(HWND window, PAINTSTRUCT* paint) {
    window->needsPaint = false;
    *paint = PAINTSTRUCT{&window->dc, FALSE, {}};
    return &window->dc;
}

BOOL EndPaint(HWND, const PAINTSTRUCT*) { return TRUE; }
