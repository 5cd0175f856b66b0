// The display-mode switch and the GL rendering context on the window, as the
// OpenGL renderer calls them. The one full-screen mode the engine asks for
// selects the virtual display; the context is an SDL GL context on the
// window, and SwapBuffers presents the virtual display.
#pragma once

#include <SDL.h>

#include "platform/core/Types.h"

constexpr DWORD DM_BITSPERPEL = 0x00040000;
constexpr DWORD DM_PELSWIDTH = 0x00080000;
constexpr DWORD DM_PELSHEIGHT = 0x00100000;
constexpr DWORD CDS_FULLSCREEN = 0x00000004;
constexpr LONG DISP_CHANGE_SUCCESSFUL = 0;
constexpr LONG DISP_CHANGE_BADMODE = -2;

// The fields of the display-mode record that the mode switch reads.
struct DEVMODEA {
    WORD dmSize;
    DWORD dmFields;
    DWORD dmBitsPerPel;
    DWORD dmPelsWidth;
    DWORD dmPelsHeight;
};

constexpr DWORD PFD_DOUBLEBUFFER = 0x00000001;
constexpr DWORD PFD_DRAW_TO_WINDOW = 0x00000004;
constexpr DWORD PFD_SUPPORT_OPENGL = 0x00000020;
constexpr std::uint8_t PFD_TYPE_RGBA = 0;

struct PIXELFORMATDESCRIPTOR {
    WORD nSize;
    WORD nVersion;
    DWORD dwFlags;
    std::uint8_t iPixelType;
    std::uint8_t cColorBits;
    std::uint8_t cDepthBits;
};

struct GlContextObject;
using HGLRC = GlContextObject*;

// 640x480x16 selects the virtual display; null returns to the desktop.
LONG ChangeDisplaySettingsA(DEVMODEA* mode, DWORD flags);

HDC GetDC(HWND window);
int ReleaseDC(HWND window, HDC dc);
int ChoosePixelFormat(HDC dc, const PIXELFORMATDESCRIPTOR* descriptor);
BOOL SetPixelFormat(HDC dc, int format, const PIXELFORMATDESCRIPTOR* descriptor);
HGLRC wglCreateContext(HDC dc);
BOOL wglMakeCurrent(HDC dc, HGLRC context);
BOOL wglDeleteContext(HGLRC context);
BOOL SwapBuffers(HDC dc);

// Shared with the display stand-ins, which draw through a context of their own.
// A compatibility-profile, double-buffered context on `window`, not current; null on failure.
SDL_GLContext CreateWindowGlContext(SDL_Window* window);
// Makes the context current and, while the engine's full-screen mode is
// selected, directs its drawing into the virtual display.
bool ActivateWindowGlContext(SDL_Window* window, SDL_GLContext context);
// Deletes the context, dropping the virtual display first when it is current.
void DeleteWindowGlContext(SDL_Window* window, SDL_GLContext context);
