// The X connection and window under an SDL window, for the stand-ins that
// talk to the X server themselves: the connection watch and shared-memory
// presents.
#pragma once

#include <SDL.h>
#include <X11/Xlib.h>

#include <optional>

struct X11Window {
    Display* display;
    Window window;
};

// Nothing when SDL's window is not an X11 one.
std::optional<X11Window> X11WindowOf(SDL_Window* window);
