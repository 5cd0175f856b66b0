// Shared by the stand-ins: SDL's video subsystem, started on first use, and
// the SDL window behind a window handle.
#pragma once

#include <SDL.h>

#include "platform/core/Types.h"

// Starts SDL's video and event subsystems once; false when there is no display.
bool EnsureVideo();

// Has SDL read what the display sent, unless the connection to it has failed
// (ConnectionWatch.h): SDL's Wayland pump first has libdecor dispatch, which
// spins for ever when the dead connection left events queued (a compositor
// that sent some as it ended), so a run pumping on would never end.
void PumpSdl();

// The SDL window of a live window handle, or null.
SDL_Window* SdlWindowOf(HWND window);
