#include "platform/window/DisplayWatch.h"

#include <SDL_syswm.h>
#include <X11/Xlib.h>

#include <atomic>

namespace {

std::atomic<bool> g_Lost{false};

int NoteLoss(Display*) {
    g_Lost = true;
    return 0;
}

// Returning instead of exiting leaves the connection marked dead: Xlib then
// returns from every call on it without waiting for the server.
void KeepRunning(Display*, void*) {}

}  // namespace

void WatchDisplayOf(SDL_Window* window) {
    SDL_SysWMinfo info;
    SDL_VERSION(&info.version);
    if (!SDL_GetWindowWMInfo(window, &info) || info.subsystem != SDL_SYSWM_X11) return;
    XSetIOErrorHandler(NoteLoss);
    XSetIOErrorExitHandler(info.info.x11.display, KeepRunning, nullptr);
}

bool DisplayLost() { return g_Lost; }
