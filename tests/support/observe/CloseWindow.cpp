#include "support/observe/CloseWindow.h"

#include <X11/Xlib.h>
#include <X11/Xutil.h>

std::string CloseWindow(unsigned long id) {
    Display* display = XOpenDisplay(nullptr);
    if (!display) return "cannot open the display";
    Window window = id;
    Atom protocols = XInternAtom(display, "WM_PROTOCOLS", False);
    Atom deleteWindow = XInternAtom(display, "WM_DELETE_WINDOW", False);

    std::string problem = "the window does not take WM_DELETE_WINDOW";
    Atom* taken = nullptr;
    int count = 0;
    if (XGetWMProtocols(display, window, &taken, &count)) {
        for (int i = 0; i < count; ++i)
            if (taken[i] == deleteWindow) problem.clear();
        XFree(taken);
    }
    if (problem.empty()) {
        XEvent event{};
        event.xclient.type = ClientMessage;
        event.xclient.window = window;
        event.xclient.message_type = protocols;
        event.xclient.format = 32;
        event.xclient.data.l[0] = static_cast<long>(deleteWindow);
        event.xclient.data.l[1] = CurrentTime;
        if (!XSendEvent(display, window, False, NoEventMask, &event)) problem = "the message could not be sent";
        XSync(display, False);
    }
    XCloseDisplay(display);
    return problem;
}
