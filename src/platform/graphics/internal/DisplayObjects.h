// What the display's handles point to: the display object, its surfaces and
// the pictures they hold. Shared by the display, 3D-device and GDI stand-ins.
#pragma once

#include <SDL.h>

#include <cstdint>
#include <memory>
#include <vector>

#include "platform/core/DeviceContextObject.h"
#include "platform/display/Gl.h"
#include "platform/graphics/DirectDraw.h"
#include "platform/graphics/SurfaceContents.h"

// RGB565 pixels, rows top first. Surfaces filled from one unchanged file share
// one Picture (and its GL texture); a surface copies a shared one before it
// writes to it.
struct Picture {
    int width = 0;
    int height = 0;
    std::vector<std::uint16_t> pixels;

    Picture() = default;
    Picture(const Picture& other) : width(other.width), height(other.height), pixels(other.pixels) {}
    Picture& operator=(const Picture&) = delete;
    ~Picture();

    // The GL texture holding the pixels in the display's current context,
    // made or refreshed as needed. Leaves it bound to the active unit.
    GLuint Texture();
    // The pixels changed: the texture is refreshed at its next use.
    void Changed() {
        textureCurrent = false;
        ++version;
    }
    unsigned version = 0;  // counts the changes, for copies of the pixels elsewhere

    // What the device's texture layers (internal/TextureLayers.h) know of the
    // picture: whose layers (their serial), whether its pixels are all alike
    // as of version `checked`, and its own layer holding version `loaded`.
    struct LayerCopy {
        unsigned book = 0;
        unsigned checked = 0;
        bool uniform = false;
        int array = -1;
        int layer = -1;
        unsigned loaded = 0;
    } layerCopy;

private:
    GLuint texture = 0;
    unsigned textureContext = 0;  // which display context the texture lives in
    bool textureCurrent = false;
};

class DeviceObject;
class SurfaceObject;

class DirectDrawObject final : public IDirectDraw7 {
public:
    HRESULT QueryInterface(REFIID iid, void** object) override;
    HRESULT SetCooperativeLevel(HWND window, DWORD flags) override;
    HRESULT SetDisplayMode(DWORD width, DWORD height, DWORD bitsPerPixel, DWORD refreshRate, DWORD flags) override;
    HRESULT CreateSurface(DDSURFACEDESC2* description, IDirectDrawSurface7** surface, void* outer) override;
    ULONG Release() override;
    // The counts the stand-ins keep among themselves; Release is the caller's.
    void AddRef() { ++references; }
    ULONG Unreference();

    // Draws what the device has batched, before anything else touches the display.
    void FlushDrawing();

    // The GL context behind the display, made with the primary surface. It
    // lives as long as this object, which every surface and device keeps alive.
    SDL_GLContext context = nullptr;
    unsigned contextSerial = 0;
    GlEntryPoints gl{};
    DeviceObject* device = nullptr;  // the device drawing on the display, if any

private:
    ~DirectDrawObject();
    bool StartContext();

    ULONG references = 1;
    HWND window = nullptr;
    bool exclusive = false;
    bool modeSet = false;
};

// The serial of the display context now alive, 0 when there is none.
unsigned LiveContextSerial();

enum class SurfaceKind { Primary, BackBuffer, ZBuffer, Texture, Plain };

struct TextMask;

class SurfaceObject final : public IDirectDrawSurface7 {
public:
    SurfaceObject(DirectDrawObject* owner, SurfaceKind kind, int width, int height);

    HRESULT GetAttachedSurface(DDSCAPS2* caps, IDirectDrawSurface7** surface) override;
    HRESULT AddAttachedSurface(IDirectDrawSurface7* surface) override;
    HRESULT Blt(RECT* rect, IDirectDrawSurface7* source, RECT* sourceRect, DWORD flags, DDBLTFX* fx) override;
    HRESULT Flip(IDirectDrawSurface7* target, DWORD flags) override;
    HRESULT GetDC(HDC* dc) override;
    HRESULT ReleaseDC(HDC dc) override;
    ULONG Release() override;
    void AddRef() { ++references; }
    ULONG Unreference();

    // Pixel access for blits, bitmaps and text (DirectDrawPixels.cpp);
    // everything is clipped to the surface.
    bool HasPixels() const { return kind == SurfaceKind::BackBuffer || picture != nullptr; }
    void Fill(RECT rect, std::uint16_t value);
    void Write(int x, int y, int width, int height, const std::uint16_t* pixels, int pitch);
    void Read(RECT rect, std::uint16_t* pixels);
    void DrawMask(int x, int y, const TextMask& mask, COLORREF colour);
    // Takes `shared` as its whole picture; it must be this surface's size.
    void Share(std::shared_ptr<Picture> shared);

    DirectDrawObject* const owner;
    const SurfaceKind kind;
    const int width;
    const int height;
    std::shared_ptr<Picture> picture;   // texture and plain surfaces
    DDPIXELFORMAT zFormat{};            // z-buffer
    SurfaceObject* attached = nullptr;  // primary: its back buffer; back buffer: its z-buffer

private:
    ~SurfaceObject();
    Picture& OwnPicture();

    ULONG references = 1;
    DeviceContextObject dc{};
    bool dcTaken = false;
};

// Defined with the device (Direct3D.cpp).
struct IDirect3D7;
IDirect3D7* NewDirect3D(DirectDrawObject* owner);
void FlushDevice(DeviceObject& device);
