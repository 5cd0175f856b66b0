// Shared by the stand-ins: SDL's video subsystem, started on first use, and
// the SDL window behind a window handle.
#pragma once

#include <SDL.h>

#include "platform/core/Types.h"

// Starts SDL's video and event subsystems once; false when there is no display.
bool EnsureVideo();

// The SDL window of a live window handle, or null.
SDL_Window* SdlWindowOf(HWND window);
