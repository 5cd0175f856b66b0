// The exclusive full-screen display as the Direct3D-style renderer calls it:
// the display object, its cooperative level and mode, the flipping primary
// surface with its back buffer, the z-buffer, texture and plain surfaces,
// colour fills and copies, page flips and device contexts on surfaces.
//
// The one mode offered, 640 by 480 with 16 bits per pixel, is the virtual
// display (VirtualDisplay.h): the back buffer is its off-screen picture and a
// flip presents it. Texture and plain surfaces keep RGB565 pixels in memory;
// the 3D device uploads a texture when it draws with it.
#pragma once

#include "platform/core/Types.h"

using REFIID = const GUID&;
using REFCLSID = const GUID&;

// Interface and device identifiers; only their identity matters here.
constexpr GUID DisplayIdentifier(DWORD number) { return GUID{number, 0x7D1D, 0x11D0, {0x91, 0, 0, 0, 0, 0, 0, 0}}; }
inline constexpr GUID IID_IDirectDraw7 = DisplayIdentifier(1);
inline constexpr GUID IID_IDirect3D7 = DisplayIdentifier(2);

constexpr HRESULT DD_OK = S_OK;
constexpr HRESULT DDERR_UNSUPPORTED = static_cast<HRESULT>(0x80004001u);
constexpr HRESULT DDERR_GENERIC = E_FAIL;
constexpr HRESULT DDERR_OUTOFMEMORY = static_cast<HRESULT>(0x8007000Eu);
constexpr HRESULT DDERR_INVALIDPARAMS = static_cast<HRESULT>(0x80070057u);

// The display's own results: facility 0x876 with these codes.
constexpr HRESULT MakeDisplayResult(int code) { return static_cast<HRESULT>(0x88760000u + code); }
constexpr HRESULT DDERR_INVALIDMODE = MakeDisplayResult(90);
constexpr HRESULT DDERR_INVALIDPIXELFORMAT = MakeDisplayResult(145);
constexpr HRESULT DDERR_NO3D = MakeDisplayResult(170);
constexpr HRESULT DDERR_NOZBUFFERHW = MakeDisplayResult(180);
constexpr HRESULT DDERR_NOEXCLUSIVEMODE = MakeDisplayResult(225);
constexpr HRESULT DDERR_NOTFOUND = MakeDisplayResult(255);
constexpr HRESULT DDERR_OUTOFVIDEOMEMORY = MakeDisplayResult(380);
constexpr HRESULT DDERR_SURFACEALREADYATTACHED = MakeDisplayResult(410);
constexpr HRESULT DDERR_SURFACELOST = MakeDisplayResult(450);
constexpr HRESULT DDERR_PRIMARYSURFACEALREADYEXISTS = MakeDisplayResult(564);
constexpr HRESULT DDERR_NOTFLIPPABLE = MakeDisplayResult(582);
constexpr HRESULT DDERR_DCALREADYCREATED = MakeDisplayResult(620);
constexpr HRESULT DDERR_CANTCREATEDC = MakeDisplayResult(626);

constexpr DWORD DDSCL_FULLSCREEN = 0x00000001;
constexpr DWORD DDSCL_ALLOWREBOOT = 0x00000002;
constexpr DWORD DDSCL_EXCLUSIVE = 0x00000010;
constexpr DWORD DDSCL_ALLOWMODEX = 0x00000040;

constexpr DWORD DDSD_CAPS = 0x00000001;
constexpr DWORD DDSD_HEIGHT = 0x00000002;
constexpr DWORD DDSD_WIDTH = 0x00000004;
constexpr DWORD DDSD_BACKBUFFERCOUNT = 0x00000020;
constexpr DWORD DDSD_PIXELFORMAT = 0x00001000;
constexpr DWORD DDSD_CKSRCBLT = 0x00010000;

constexpr DWORD DDSCAPS_BACKBUFFER = 0x00000004;
constexpr DWORD DDSCAPS_COMPLEX = 0x00000008;
constexpr DWORD DDSCAPS_FLIP = 0x00000010;
constexpr DWORD DDSCAPS_PRIMARYSURFACE = 0x00000200;
constexpr DWORD DDSCAPS_SYSTEMMEMORY = 0x00000800;
constexpr DWORD DDSCAPS_TEXTURE = 0x00001000;
constexpr DWORD DDSCAPS_3DDEVICE = 0x00002000;
constexpr DWORD DDSCAPS_VIDEOMEMORY = 0x00004000;
constexpr DWORD DDSCAPS_ZBUFFER = 0x00020000;

constexpr DWORD DDPF_ZBUFFER = 0x00000400;
constexpr DWORD DDPF_STENCILBUFFER = 0x00004000;

constexpr DWORD DDBLT_COLORFILL = 0x00000400;
constexpr DWORD DDBLT_WAIT = 0x01000000;

constexpr DWORD DDFLIP_WAIT = 0x00000001;

// 32 bytes, as the z-buffer enumeration hands it over.
struct DDPIXELFORMAT {
    DWORD dwSize;
    DWORD dwFlags;
    DWORD dwFourCC;
    DWORD dwZBufferBitDepth;
    DWORD dwStencilBitDepth;
    DWORD dwZBitMask;
    DWORD dwStencilBitMask;
    DWORD dwRGBZBitMask;
};

struct DDSCAPS2 {
    DWORD dwCaps;
    DWORD dwCaps2;
    DWORD dwCaps3;
    DWORD dwCaps4;
};

struct DDCOLORKEY {
    DWORD dwColorSpaceLowValue;
    DWORD dwColorSpaceHighValue;
};

// The fields of the surface description that surface creation reads.
struct DDSURFACEDESC2 {
    DWORD dwSize;
    DWORD dwFlags;
    DWORD dwHeight;
    DWORD dwWidth;
    DWORD dwBackBufferCount;
    DDCOLORKEY ddckCKSrcBlt;  // kept, but only keyed blits would use it
    DDPIXELFORMAT ddpfPixelFormat;
    DDSCAPS2 ddsCaps;
};

struct DDBLTFX {
    DWORD dwSize;
    DWORD dwFillColor;  // the raw pixel value; a 16-bit surface takes its low 16 bits
};

struct IDirectDrawSurface7 {
    // The back buffer of a flipping chain (caps DDSCAPS_BACKBUFFER), counted once more.
    virtual HRESULT GetAttachedSurface(DDSCAPS2* caps, IDirectDrawSurface7** surface) = 0;
    // Attaches a z-buffer of the same size to a back buffer; the back buffer holds it.
    virtual HRESULT AddAttachedSurface(IDirectDrawSurface7* surface) = 0;
    // DDBLT_COLORFILL fills the rectangle (null: all) with fx->dwFillColor; otherwise
    // copies the source rectangle (null: all of it) onto it, scaling to fit.
    virtual HRESULT Blt(RECT* rect, IDirectDrawSurface7* source, RECT* sourceRect, DWORD flags, DDBLTFX* fx) = 0;
    // Presents the back buffer, paced to the display's refresh.
    virtual HRESULT Flip(IDirectDrawSurface7* target, DWORD flags) = 0;
    virtual HRESULT GetDC(HDC* dc) = 0;
    virtual HRESULT ReleaseDC(HDC dc) = 0;
    virtual ULONG Release() = 0;

protected:
    ~IDirectDrawSurface7() = default;
};

struct IDirectDraw7 {
    // IID_IDirect3D7 gives the display's 3D interface.
    virtual HRESULT QueryInterface(REFIID iid, void** object) = 0;
    virtual HRESULT SetCooperativeLevel(HWND window, DWORD flags) = 0;
    // Only 640 by 480 with 16 bits per pixel is offered.
    virtual HRESULT SetDisplayMode(DWORD width, DWORD height, DWORD bitsPerPixel, DWORD refreshRate, DWORD flags) = 0;
    virtual HRESULT CreateSurface(DDSURFACEDESC2* description, IDirectDrawSurface7** surface, void* outer) = 0;
    virtual ULONG Release() = 0;

protected:
    ~IDirectDraw7() = default;
};

// `driver` null is the default display driver; `iid` must be IID_IDirectDraw7.
HRESULT DirectDrawCreateEx(GUID* driver, void** directDraw, REFIID iid, void* outer);
