// What the stand-ins ask a Wayland compositor themselves: whether SDL's
// Wayland driver can safely start on it, and whether the connection under an
// SDL window has failed.
#pragma once

#include <SDL.h>

struct wl_display;

// Whether the compositor WAYLAND_DISPLAY names offers an input seat; true
// when it cannot be reached (SDL then fails to start on it by itself).
bool CompositorOffersSeat();

// Nothing when SDL's window is not a Wayland one.
wl_display* WaylandDisplayOf(SDL_Window* window);
