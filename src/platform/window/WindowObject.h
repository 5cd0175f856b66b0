// What a window handle points to; shared by the stand-ins that work on a window.
#pragma once

#include <SDL.h>

#include "platform/core/DeviceContextObject.h"
#include "platform/window/Window.h"

struct WindowObject {
    WNDPROC procedure = nullptr;
    SDL_Window* sdl = nullptr;
    bool destroyed = false;
    bool needsPaint = true;    // a newly shown window is painted once
    DeviceContextObject dc{};  // the window's own context (CS_OWNDC)
};
