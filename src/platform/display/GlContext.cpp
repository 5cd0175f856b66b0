#include "platform/display/GlContext.h"

#include <string>

#include "platform/core/Seam.h"
#include "platform/display/VirtualDisplay.h"
#include "platform/window/ConnectionWatch.h"
#include "platform/window/WindowObject.h"

struct GlContextObject {
    SDL_GLContext sdl;
    SDL_Window* window;
};

namespace {

// The one pixel format there is: RGBA, double-buffered, 16 colour and 16 depth bits.
constexpr int kPixelFormat = 1;

}  // namespace

SDL_GLContext CreateWindowGlContext(SDL_Window* window) {
    SDL_GL_SetAttribute(SDL_GL_CONTEXT_PROFILE_MASK, SDL_GL_CONTEXT_PROFILE_COMPATIBILITY);
    SDL_GL_SetAttribute(SDL_GL_DOUBLEBUFFER, 1);
    SDL_GL_SetAttribute(SDL_GL_DEPTH_SIZE, 16);
    SDL_GLContext context = SDL_GL_CreateContext(window);  // also makes it current
    if (context) SDL_GL_MakeCurrent(window, nullptr);
    return context;
}

bool ActivateWindowGlContext(SDL_Window* window, SDL_GLContext context) {
    if (SDL_GL_MakeCurrent(window, context) != 0) return false;
    // Vsync where the driver offers it; the virtual display paces presents anyway.
    SDL_GL_SetSwapInterval(1);
    return !VirtualDisplaySelected() || AttachVirtualDisplay(window);
}

void DeleteWindowGlContext(SDL_Window* window, SDL_GLContext context) {
    if (SDL_GL_GetCurrentContext() == context) {
        DetachVirtualDisplay();
        SDL_GL_MakeCurrent(window, nullptr);
    } else if (!window && !SDL_GL_GetCurrentContext() && !ConnectionLost()) {
        // Its window went first, and took the context's currency with it: the
        // display's X image and GC are still to be freed.
        DetachVirtualDisplay();
    }
    SDL_GL_DeleteContext(context);
}

LONG ChangeDisplaySettingsA(DEVMODEA* mode, DWORD) {
    const std::string asked = mode ? std::to_string(mode->dmPelsWidth) + "x" + std::to_string(mode->dmPelsHeight) +
                                         "x" + std::to_string(mode->dmBitsPerPel)
                                   : "null";
    if (auto failure = SeamCall("ChangeDisplaySettingsA", asked)) return static_cast<LONG>(*failure);
    if (!mode) {
        SelectVirtualDisplay(false);
        return DISP_CHANGE_SUCCESSFUL;
    }
    constexpr DWORD kNeeded = DM_BITSPERPEL | DM_PELSWIDTH | DM_PELSHEIGHT;
    if ((mode->dmFields & kNeeded) != kNeeded || mode->dmPelsWidth != kDisplayWidth ||
        mode->dmPelsHeight != kDisplayHeight || mode->dmBitsPerPel != 16)
        return DISP_CHANGE_BADMODE;
    SelectVirtualDisplay(true);
    return DISP_CHANGE_SUCCESSFUL;
}

HDC GetDC(HWND window) {
    if (SeamCall("GetDC") || !window || window->destroyed) return nullptr;
    return &window->dc;
}

int ReleaseDC(HWND window, HDC dc) {
    if (SeamCall("ReleaseDC") || !window || dc != &window->dc) return 0;
    return 1;
}

int ChoosePixelFormat(HDC dc, const PIXELFORMATDESCRIPTOR* descriptor) {
    if (SeamCall("ChoosePixelFormat") || !dc || !descriptor) return 0;
    constexpr DWORD kNeeded = PFD_DRAW_TO_WINDOW | PFD_SUPPORT_OPENGL | PFD_DOUBLEBUFFER;
    if ((descriptor->dwFlags & kNeeded) != kNeeded || descriptor->iPixelType != PFD_TYPE_RGBA) return 0;
    return kPixelFormat;
}

BOOL SetPixelFormat(HDC dc, int format, const PIXELFORMATDESCRIPTOR*) {
    if (SeamCall("SetPixelFormat") || !dc || format != kPixelFormat) return FALSE;
    dc->pixelFormat = format;
    return TRUE;
}

HGLRC wglCreateContext(HDC dc) {
    if (SeamCall("wglCreateContext") || !dc || !dc->pixelFormat) return nullptr;
    SDL_Window* window = dc->window->sdl;
    if (!window) return nullptr;
    SDL_GLContext context = CreateWindowGlContext(window);
    if (!context) return nullptr;
    return new GlContextObject{context, window};
}

BOOL wglMakeCurrent(HDC dc, HGLRC context) {
    if (SeamCall("wglMakeCurrent", context ? "context" : "null")) return FALSE;
    if (!context) {
        DetachVirtualDisplay();
        SDL_GL_MakeCurrent(SDL_GL_GetCurrentWindow(), nullptr);
        return TRUE;
    }
    if (!dc || dc->window->sdl != context->window) return FALSE;
    return ActivateWindowGlContext(context->window, context->sdl) ? TRUE : FALSE;
}

BOOL wglDeleteContext(HGLRC context) {
    if (SeamCall("wglDeleteContext") || !context) return FALSE;
    DeleteWindowGlContext(context->window, context->sdl);
    delete context;
    return TRUE;
}

BOOL SwapBuffers(HDC dc) {
    if (!dc || !dc->window->sdl) return FALSE;
    if (VirtualDisplaySelected()) {
        PresentVirtualDisplay();
    } else {
        SDL_GL_SwapWindow(dc->window->sdl);
    }
    return TRUE;
}
