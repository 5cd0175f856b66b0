// The display object with its cooperative level, mode and GL context; the
// surfaces' making, attachment, flips and device contexts. Their pixels are
// in DirectDrawPixels.cpp.
#include <algorithm>
#include <bit>
#include <new>
#include <string>

#include "platform/core/Seam.h"
#include "platform/display/GlContext.h"
#include "platform/display/VirtualDisplay.h"
#include "platform/graphics/internal/DisplayObjects.h"
#include "platform/window/Sdl.h"

namespace {

// The largest texture or plain surface the display makes, on either side.
constexpr int kLargestSurface = 4096;

unsigned lastContextSerial = 0;
unsigned liveContextSerial = 0;
bool primaryExists = false;

const char* KindName(SurfaceKind kind) {
    switch (kind) {
    case SurfaceKind::Primary:
        return "primary";
    case SurfaceKind::BackBuffer:
        return "back buffer";
    case SurfaceKind::ZBuffer:
        return "z-buffer";
    case SurfaceKind::Texture:
        return "texture";
    case SurfaceKind::Plain:
        return "plain";
    }
    return "";
}

// The z-buffer formats the display can hold: 16, 24 or 32 depth bits, or 24 with 8 of stencil.
bool ZFormatBits(const DDPIXELFORMAT& format, int& depthBits, int& stencilBits) {
    if (!(format.dwFlags & DDPF_ZBUFFER)) return false;
    depthBits = std::popcount(format.dwZBitMask);
    stencilBits = (format.dwFlags & DDPF_STENCILBUFFER) ? static_cast<int>(format.dwStencilBitDepth) : 0;
    return (stencilBits == 0 && (depthBits == 16 || depthBits == 24 || depthBits == 32)) ||
           (stencilBits == 8 && depthBits == 24);
}

}  // namespace

unsigned LiveContextSerial() { return liveContextSerial; }

// --- Picture

Picture::~Picture() {
    if (texture && textureContext == liveContextSerial) glDeleteTextures(1, &texture);
}

GLuint Picture::Texture() {
    if (texture && textureContext != liveContextSerial) texture = 0;  // its context is gone
    if (!texture) {
        glGenTextures(1, &texture);
        textureContext = liveContextSerial;
        textureCurrent = false;
        glBindTexture(GL_TEXTURE_2D, texture);
        glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAX_LEVEL, 0);  // surfaces have no mipmap levels
    }
    glBindTexture(GL_TEXTURE_2D, texture);
    if (!textureCurrent) {
        glPixelStorei(GL_UNPACK_ALIGNMENT, 2);
        glPixelStorei(GL_UNPACK_ROW_LENGTH, 0);
        // Rows top first: texture coordinate v = 0 is the picture's top row. The
        // driver keeps at least 8 bits a channel, so texels keep their exact 16-bit values.
        glTexImage2D(GL_TEXTURE_2D, 0, GL_RGB, width, height, 0, GL_RGB, GL_UNSIGNED_SHORT_5_6_5, pixels.data());
        textureCurrent = true;
    }
    return texture;
}

// --- The display object

HRESULT DirectDrawCreateEx(GUID* driver, void** directDraw, REFIID iid, void*) {
    if (directDraw) *directDraw = nullptr;
    if (auto failure = SeamCall("DirectDrawCreateEx")) return static_cast<HRESULT>(*failure);
    if (!directDraw || driver || !(iid == IID_IDirectDraw7)) return DDERR_INVALIDPARAMS;
    if (!EnsureVideo()) return DDERR_GENERIC;
    *directDraw = static_cast<IDirectDraw7*>(new DirectDrawObject);
    return DD_OK;
}

DirectDrawObject::~DirectDrawObject() {
    if (context) {
        DeleteWindowGlContext(SdlWindowOf(window), context);  // null once the window is gone
        liveContextSerial = 0;
    }
    // Releasing the exclusive display object returns the desktop's mode.
    if (modeSet) SelectVirtualDisplay(false);
}

ULONG DirectDrawObject::Release() {
    SeamCall("Release", "display");
    return Unreference();
}

ULONG DirectDrawObject::Unreference() {
    ULONG left = --references;
    if (left == 0) delete this;
    return left;
}

HRESULT DirectDrawObject::QueryInterface(REFIID iid, void** object) {
    if (object) *object = nullptr;
    if (auto failure = SeamCall("QueryInterface")) return static_cast<HRESULT>(*failure);
    if (!object) return DDERR_INVALIDPARAMS;
    if (!(iid == IID_IDirect3D7)) return E_NOINTERFACE;
    *object = NewDirect3D(this);
    return DD_OK;
}

HRESULT DirectDrawObject::SetCooperativeLevel(HWND newWindow, DWORD flags) {
    if (auto failure = SeamCall("SetCooperativeLevel", std::to_string(flags))) return static_cast<HRESULT>(*failure);
    // Exclusive use goes with full screen, and needs a live window.
    if (!SdlWindowOf(newWindow) || !(flags & DDSCL_FULLSCREEN) != !(flags & DDSCL_EXCLUSIVE))
        return DDERR_INVALIDPARAMS;
    window = newWindow;
    exclusive = (flags & DDSCL_EXCLUSIVE) != 0;
    return DD_OK;
}

HRESULT DirectDrawObject::SetDisplayMode(DWORD width, DWORD height, DWORD bitsPerPixel, DWORD refreshRate, DWORD) {
    const std::string mode = std::to_string(width) + "x" + std::to_string(height) + "x" + std::to_string(bitsPerPixel);
    if (auto failure = SeamCall("SetDisplayMode", mode)) return static_cast<HRESULT>(*failure);
    if (!exclusive) return DDERR_NOEXCLUSIVEMODE;
    if (width != kDisplayWidth || height != kDisplayHeight || bitsPerPixel != 16 ||
        (refreshRate != 0 && refreshRate != 60))
        return DDERR_INVALIDMODE;
    SelectVirtualDisplay(true);
    modeSet = true;
    return DD_OK;
}

bool DirectDrawObject::StartContext() {
    SDL_Window* sdl = SdlWindowOf(window);
    if (!sdl) return false;
    context = CreateWindowGlContext(sdl);
    if (!context) return false;
    if (!ActivateWindowGlContext(sdl, context) || !LoadGlEntryPoints(gl)) {
        DeleteWindowGlContext(sdl, context);
        context = nullptr;
        return false;
    }
    contextSerial = liveContextSerial = ++lastContextSerial;
    glDisable(GL_DITHER);  // fills and texels keep their exact 16-bit values
    return true;
}

HRESULT DirectDrawObject::CreateSurface(DDSURFACEDESC2* description, IDirectDrawSurface7** surface, void*) {
    if (surface) *surface = nullptr;  // on failure, the caller holds no surface
    if (!description || !surface || !(description->dwFlags & DDSD_CAPS)) return DDERR_INVALIDPARAMS;
    const DWORD caps = description->ddsCaps.dwCaps;
    const bool sized = (description->dwFlags & (DDSD_WIDTH | DDSD_HEIGHT)) == (DDSD_WIDTH | DDSD_HEIGHT);
    const int width = static_cast<int>(std::min<DWORD>(description->dwWidth, kLargestSurface + 1));
    const int height = static_cast<int>(std::min<DWORD>(description->dwHeight, kLargestSurface + 1));
    const bool pixelFormat = (description->dwFlags & DDSD_PIXELFORMAT) != 0;

    if (caps & DDSCAPS_PRIMARYSURFACE) {
        if (auto failure = SeamCall("CreateSurface", "primary")) return static_cast<HRESULT>(*failure);
        // Only the flipping chain with one back buffer that the engine asks for.
        constexpr DWORD kChain = DDSCAPS_FLIP | DDSCAPS_COMPLEX;
        if ((caps & kChain) != kChain || !(description->dwFlags & DDSD_BACKBUFFERCOUNT) ||
            description->dwBackBufferCount != 1 || sized || pixelFormat)
            return DDERR_INVALIDPARAMS;
        if (!modeSet) return DDERR_NOEXCLUSIVEMODE;
        if (primaryExists) return DDERR_PRIMARYSURFACEALREADYEXISTS;
        if (!context && !StartContext()) return DDERR_GENERIC;
        auto* primary = new SurfaceObject(this, SurfaceKind::Primary, kDisplayWidth, kDisplayHeight);
        primary->attached = new SurfaceObject(this, SurfaceKind::BackBuffer, kDisplayWidth, kDisplayHeight);
        primaryExists = true;
        *surface = primary;
        return DD_OK;
    }
    if (caps & DDSCAPS_ZBUFFER) {
        if (auto failure = SeamCall("CreateSurface", "z-buffer")) return static_cast<HRESULT>(*failure);
        int depthBits = 0, stencilBits = 0;
        if (!sized || width < 1 || height < 1 || width > kLargestSurface || height > kLargestSurface)
            return DDERR_INVALIDPARAMS;
        if (!pixelFormat || !ZFormatBits(description->ddpfPixelFormat, depthBits, stencilBits))
            return DDERR_INVALIDPIXELFORMAT;
        auto* zBuffer = new SurfaceObject(this, SurfaceKind::ZBuffer, width, height);
        zBuffer->zFormat = description->ddpfPixelFormat;
        *surface = zBuffer;
        return DD_OK;
    }
    const bool texture = (caps & DDSCAPS_TEXTURE) != 0;
    if (auto failure = SeamCall("CreateSurface", texture ? "texture" : "plain")) return static_cast<HRESULT>(*failure);
    // Texture and plain surfaces take the display's 16-bit format.
    if (pixelFormat) return DDERR_INVALIDPIXELFORMAT;
    if (!sized || width < 1 || height < 1 || width > kLargestSurface || height > kLargestSurface ||
        (caps & (DDSCAPS_FLIP | DDSCAPS_BACKBUFFER | DDSCAPS_3DDEVICE)))
        return DDERR_INVALIDPARAMS;
    auto picture = std::make_shared<Picture>();
    picture->width = width;
    picture->height = height;
    try {
        picture->pixels.assign(static_cast<std::size_t>(width) * height, 0);
    } catch (const std::bad_alloc&) {
        return texture ? DDERR_OUTOFVIDEOMEMORY : DDERR_OUTOFMEMORY;
    }
    auto* created = new SurfaceObject(this, texture ? SurfaceKind::Texture : SurfaceKind::Plain, width, height);
    created->picture = std::move(picture);
    *surface = created;
    return DD_OK;
}

void DirectDrawObject::FlushDrawing() {
    if (device) FlushDevice(*device);
}

// --- Surfaces

SurfaceObject::SurfaceObject(DirectDrawObject* owner, SurfaceKind kind, int width, int height)
    : owner(owner), kind(kind), width(width), height(height) {
    owner->AddRef();
}

SurfaceObject::~SurfaceObject() {
    if (attached) attached->Unreference();
    if (kind == SurfaceKind::Primary) primaryExists = false;
    picture.reset();  // its texture goes while the display's context still lives
    owner->Unreference();
}

ULONG SurfaceObject::Release() {
    SeamCall("Release", KindName(kind));
    return Unreference();
}

ULONG SurfaceObject::Unreference() {
    ULONG left = --references;
    if (left == 0) delete this;
    return left;
}

HRESULT SurfaceObject::GetAttachedSurface(DDSCAPS2* caps, IDirectDrawSurface7** surface) {
    if (surface) *surface = nullptr;
    if (auto failure = SeamCall("GetAttachedSurface")) return static_cast<HRESULT>(*failure);
    if (!caps || !surface) return DDERR_INVALIDPARAMS;
    const bool wanted =
        attached && (((caps->dwCaps & DDSCAPS_BACKBUFFER) && attached->kind == SurfaceKind::BackBuffer) ||
                     ((caps->dwCaps & DDSCAPS_ZBUFFER) && attached->kind == SurfaceKind::ZBuffer));
    if (!wanted) return DDERR_NOTFOUND;
    attached->AddRef();
    *surface = attached;
    return DD_OK;
}

HRESULT SurfaceObject::AddAttachedSurface(IDirectDrawSurface7* surface) {
    if (auto failure = SeamCall("AddAttachedSurface")) return static_cast<HRESULT>(*failure);
    auto* zBuffer = static_cast<SurfaceObject*>(surface);
    if (!zBuffer || kind != SurfaceKind::BackBuffer || zBuffer->kind != SurfaceKind::ZBuffer ||
        zBuffer->owner != owner || zBuffer->width != width || zBuffer->height != height)
        return DDERR_INVALIDPARAMS;
    if (attached) return DDERR_SURFACEALREADYATTACHED;
    int depthBits = 0, stencilBits = 0;
    ZFormatBits(zBuffer->zFormat, depthBits, stencilBits);
    owner->FlushDrawing();
    if (!SetVirtualDisplayDepth(depthBits, stencilBits)) return DDERR_INVALIDPIXELFORMAT;
    zBuffer->AddRef();
    attached = zBuffer;
    return DD_OK;
}

HRESULT SurfaceObject::Flip(IDirectDrawSurface7*, DWORD) {
    if (auto failure = SeamCall("Flip")) return static_cast<HRESULT>(*failure);
    if (kind != SurfaceKind::Primary || !attached) return DDERR_NOTFLIPPABLE;
    owner->FlushDrawing();
    PresentVirtualDisplay();
    return DD_OK;
}

HRESULT SurfaceObject::GetDC(HDC* result) {
    if (result) *result = nullptr;
    if (auto failure = SeamCall("Surface.GetDC")) return static_cast<HRESULT>(*failure);
    if (!result) return DDERR_INVALIDPARAMS;
    if (!HasPixels()) return DDERR_CANTCREATEDC;
    if (dcTaken) return DDERR_DCALREADYCREATED;
    owner->FlushDrawing();
    dc = DeviceContextObject{};
    dc.surface = this;
    dcTaken = true;
    *result = &dc;
    return DD_OK;
}

HRESULT SurfaceObject::ReleaseDC(HDC given) {
    SeamCall("Surface.ReleaseDC");
    if (!dcTaken || given != &dc) return DDERR_INVALIDPARAMS;
    dc.surface = nullptr;
    dcTaken = false;
    return DD_OK;
}

// --- What tests and benchmarks read of a surface (SurfaceContents.h)

const std::vector<std::uint16_t>* SurfacePixels(IDirectDrawSurface7* surface) {
    const auto* picture = static_cast<SurfaceObject*>(surface)->picture.get();
    return picture ? &picture->pixels : nullptr;
}

GLuint SurfaceTexture(IDirectDrawSurface7* surface) {
    Picture* picture = static_cast<SurfaceObject*>(surface)->picture.get();
    return picture ? picture->Texture() : 0;
}

DDPIXELFORMAT SurfaceZFormat(IDirectDrawSurface7* surface) { return static_cast<SurfaceObject*>(surface)->zFormat; }
