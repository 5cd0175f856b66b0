#include "platform/core/System.h"

#include <SDL.h>

#include "platform/core/Seam.h"

namespace {

SDL_Scancode ScancodeOf(int virtualKey) {
    switch (virtualKey) {
    case VK_ESCAPE:
        return SDL_SCANCODE_ESCAPE;
    case VK_SPACE:
        return SDL_SCANCODE_SPACE;
    case VK_LEFT:
        return SDL_SCANCODE_LEFT;
    case VK_UP:
        return SDL_SCANCODE_UP;
    case VK_RIGHT:
        return SDL_SCANCODE_RIGHT;
    case VK_DOWN:
        return SDL_SCANCODE_DOWN;
    case 'W':
        return SDL_SCANCODE_W;
    case 'A':
        return SDL_SCANCODE_A;
    case 'S':
        return SDL_SCANCODE_S;
    case 'D':
        return SDL_SCANCODE_D;
    default:
        return SDL_SCANCODE_UNKNOWN;
    }
}

}  // namespace

DWORD GetTickCount() {
    if (auto ticks = SeamTickCount()) return *ticks;
    return SDL_GetTicks();
}

SHORT GetAsyncKeyState(int virtualKey) {
    SDL_Scancode scancode = ScancodeOf(virtualKey);
    if (scancode == SDL_SCANCODE_UNKNOWN || !SDL_WasInit(SDL_INIT_VIDEO)) return 0;
    // The state is as fresh as the last event pump; the main loop pumps on every pass.
    const Uint8* keys = SDL_GetKeyboardState(nullptr);
    return keys[scancode] ? static_cast<SHORT>(0x8000) : 0;
}

const char* GetLastErrorText() { return SDL_GetError(); }
