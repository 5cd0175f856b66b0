#include "platform/window/DisplayWatch.h"

#include <atomic>

#include "platform/window/X11Window.h"

namespace {

std::atomic<bool> lost{false};

int NoteLoss(Display*) {
    lost = true;
    return 0;
}

// Returning instead of exiting leaves the connection marked dead: Xlib then
// returns from every call on it without waiting for the server.
void KeepRunning(Display*, void*) {}

}  // namespace

void WatchDisplayOf(SDL_Window* window) {
    const auto x11 = X11WindowOf(window);
    if (!x11) return;
    XSetIOErrorHandler(NoteLoss);
    XSetIOErrorExitHandler(x11->display, KeepRunning, nullptr);
}

bool DisplayLost() { return lost; }
