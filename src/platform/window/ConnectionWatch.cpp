#include "platform/window/ConnectionWatch.h"

#include <wayland-client.h>

#include <atomic>

#include "platform/window/WaylandWindow.h"
#include "platform/window/X11Window.h"

namespace {

std::atomic<bool> lost{false};
// The X request refused, when that ended the run.
std::string refusal;
wl_display* wayland = nullptr;

int NoteLoss(Display*) {
    lost = true;
    return 0;
}

// Every protocol error nobody catches on the spot is fatal: the engine cannot
// redo a refused request, and Xlib's own answer would be to exit from inside
// the call. BadWindow and BadDrawable are the server destroying our window as
// it ends (its I/O error follows), so they count as the display going away.
// Requests whose failure is expected install a handler of their own for the
// call (the shared-memory attach, SDL's probes) and never reach this one.
int NoteError(Display* display, XErrorEvent* error) {
    if (!lost && error->error_code != BadWindow && error->error_code != BadDrawable) {
        char text[128];
        XGetErrorText(display, error->error_code, text, sizeof text);
        refusal = std::string(text) + " on request " + std::to_string(error->request_code);
    }
    lost = true;
    return 0;
}

// Returning instead of exiting leaves the connection marked dead: Xlib then
// returns from every call on it without waiting for the server.
void KeepRunning(Display*, void*) {}

}  // namespace

void WatchConnectionOf(SDL_Window* window) {
    if (const auto x11 = X11WindowOf(window)) {
        XSetIOErrorHandler(NoteLoss);
        XSetIOErrorExitHandler(x11->display, KeepRunning, nullptr);
        XSetErrorHandler(NoteError);
    }
    wayland = WaylandDisplayOf(window);
}

// A dead Wayland connection keeps its error: every later call on it fails at once.
bool ConnectionLost() { return lost || (wayland && wl_display_get_error(wayland) != 0); }

std::string ConnectionLossReport() {
    const char* variable = wayland ? "WAYLAND_DISPLAY" : "DISPLAY";
    const char* name = SDL_getenv(variable);
    std::string report = std::string("the display \"") + (name ? name : "") + "\" ";
    return report + (refusal.empty() ? "went away" : "refused a request (" + refusal + ")");
}
