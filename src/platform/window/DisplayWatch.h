// The X display going away under a running program: its server ended, the
// desktop session logged out, a forwarded display dropped. Xlib's own answer
// is to exit at once from inside whichever call noticed, and SDL's exit
// handler then waits for ever for events from the dead connection, so the
// process spins and its run directory stays. Watched, the loss is only noted,
// every later call on the dead connection returns at once, and the windowing
// stand-in ends the run the orderly way.
#pragma once

#include <SDL.h>

// Watches the X connection behind WINDOW; nothing for other video drivers.
void WatchDisplayOf(SDL_Window* window);

// Whether a watched display has gone away.
bool DisplayLost();
