// The connection to the display server failing under a running program: the
// X server or Wayland compositor ended, the desktop session logged out, a
// forwarded display dropped, or the server refused a request on our window.
// Left to themselves, Xlib exits at once from inside whichever call noticed
// (and SDL's exit handler then waits for ever on the dead connection, so the
// process spins and its run directory stays), and SDL's Wayland driver reports
// a lost compositor as an ordinary quit. Watched, the failure is only noted,
// every later call on a dead X connection returns at once, and the windowing
// stand-in ends the run the orderly way with status 1.
#pragma once

#include <SDL.h>

#include <string>

// Watches the X or Wayland connection behind WINDOW; nothing for other video
// drivers.
void WatchConnectionOf(SDL_Window* window);

// Whether a watched connection has failed.
bool ConnectionLost();

// What happened, for the run's last line: the display "NAME" (the server the
// connection went to) went away, or refused a request.
std::string ConnectionLossReport();
