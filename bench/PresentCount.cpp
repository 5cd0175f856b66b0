// orvanthelix_present_count: counts the pictures a running program presents,
// from outside it, as the X server sees them: every damage report on the
// window named on the command line is one present (a swap puts the whole
// back buffer into the window at once).
//
//   orvanthelix_present_count WINDOW-NAME [SECONDS=5] [WARM-UP-SECONDS=2]
//
// Waits for the window (up to 30 s), lets it run for the warm-up, then prints
// the presents counted over SECONDS and their rate.
#include <X11/Xlib.h>
#include <X11/extensions/Xdamage.h>
#include <sys/select.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <thread>

namespace {

using Clock = std::chrono::steady_clock;

// Windows come and go while the tree is searched (another program's, or
// this one's before it is shown): an error about one is no failure.
int IgnoreError(Display*, XErrorEvent*) { return 0; }

Window FindWindow(Display* display, Window under, const char* name) {
    char* windowName = nullptr;
    if (XFetchName(display, under, &windowName) && windowName) {
        const bool found = std::strcmp(windowName, name) == 0;
        XFree(windowName);
        if (found) return under;
    }
    Window root, parent, *children = nullptr;
    unsigned count = 0;
    if (!XQueryTree(display, under, &root, &parent, &children, &count)) return 0;
    Window found = 0;
    for (unsigned i = 0; i < count && !found; ++i) found = FindWindow(display, children[i], name);
    if (children) XFree(children);
    return found;
}

// Damage events that arrive before `until`; each event is one report.
long CountUntil(Display* display, int damageEvent, Clock::time_point until) {
    long count = 0;
    const int fd = ConnectionNumber(display);
    for (;;) {
        while (XPending(display)) {
            XEvent event;
            XNextEvent(display, &event);
            if (event.type == damageEvent + XDamageNotify) {
                const auto& damage = reinterpret_cast<const XDamageNotifyEvent&>(event);
                // A report of several rectangles ends with the one not marked `more`.
                if (!damage.more) ++count;
            }
        }
        const auto left = until - Clock::now();
        if (left <= Clock::duration::zero()) return count;
        const auto micros = std::chrono::duration_cast<std::chrono::microseconds>(left).count();
        timeval timeout{static_cast<time_t>(micros / 1'000'000), static_cast<suseconds_t>(micros % 1'000'000)};
        fd_set readable;
        FD_ZERO(&readable);
        FD_SET(fd, &readable);
        select(fd + 1, &readable, nullptr, nullptr, &timeout);
    }
}

}  // namespace

int main(int argc, char** argv) {
    if (argc < 2 || argc > 4) {
        std::fprintf(stderr, "usage: %s WINDOW-NAME [SECONDS=5] [WARM-UP-SECONDS=2]\n", argv[0]);
        return 2;
    }
    const double seconds = argc > 2 ? std::atof(argv[2]) : 5.0;
    const double warmUp = argc > 3 ? std::atof(argv[3]) : 2.0;
    if (seconds <= 0 || warmUp < 0) {
        std::fprintf(stderr, "%s: SECONDS must be positive, WARM-UP-SECONDS not negative\n", argv[0]);
        return 2;
    }
    Display* display = XOpenDisplay(nullptr);
    if (!display) {
        std::fprintf(stderr, "%s: no X display\n", argv[0]);
        return 1;
    }
    int damageEvent = 0, damageError = 0;
    if (!XDamageQueryExtension(display, &damageEvent, &damageError)) {
        std::fprintf(stderr, "%s: the X server has no DAMAGE extension\n", argv[0]);
        return 1;
    }
    XSetErrorHandler(IgnoreError);
    Window window = 0;
    for (int tries = 0; tries < 300 && !window; ++tries) {
        window = FindWindow(display, DefaultRootWindow(display), argv[1]);
        if (!window) std::this_thread::sleep_for(std::chrono::milliseconds(100));
    }
    if (!window) {
        std::fprintf(stderr, "%s: no window named \"%s\"\n", argv[0], argv[1]);
        return 1;
    }
    XDamageCreate(display, window, XDamageReportRawRectangles);
    XSync(display, False);
    const auto start = Clock::now();
    CountUntil(display, damageEvent,
               start + std::chrono::duration_cast<Clock::duration>(std::chrono::duration<double>(warmUp)));
    const auto from = Clock::now();
    const long presents =
        CountUntil(display, damageEvent,
                   from + std::chrono::duration_cast<Clock::duration>(std::chrono::duration<double>(seconds)));
    const double elapsed = std::chrono::duration<double>(Clock::now() - from).count();
    std::printf("%ld presents in %.2f s: %.1f a second\n", presents, elapsed, presents / elapsed);
    XCloseDisplay(display);
    return 0;
}
