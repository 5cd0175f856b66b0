// The Direct3D object: the device kinds, their z-buffer formats and the
// making of a device on the display's back buffer.
#include <array>
#include <cstring>

#include "platform/core/Seam.h"
#include "platform/graphics/internal/Direct3DObjects.h"

namespace {

constexpr DDPIXELFORMAT kZ16 = {sizeof(DDPIXELFORMAT), DDPF_ZBUFFER, 0, 16, 0, 0xFFFF, 0, 0};
constexpr DDPIXELFORMAT kZ24 = {sizeof(DDPIXELFORMAT), DDPF_ZBUFFER, 0, 32, 0, 0xFFFFFF00, 0, 0};
constexpr DDPIXELFORMAT kZ24S8 = {
    sizeof(DDPIXELFORMAT), DDPF_ZBUFFER | DDPF_STENCILBUFFER, 0, 32, 8, 0xFFFFFF00, 0xFF, 0};
// Both lists lead with a stencil format, as drivers' lists do.
constexpr std::array kHardwareZFormats = {kZ24S8, kZ24, kZ16};
constexpr std::array kSoftwareZFormats = {kZ24S8, kZ16};

const char* DeviceName(REFCLSID kind) {
    if (kind == IID_IDirect3DHALDevice) return "hardware";
    if (kind == IID_IDirect3DRGBDevice) return "software";
    return nullptr;
}

// Any renderer but Mesa's software rasterisers is taken to be accelerated.
bool AcceleratedContext() { return glGetString(GL_RENDERER) && !SoftwareRasteriser(); }

}  // namespace

ULONG Direct3DObject::Release() {
    SeamCall("Release", "Direct3D");
    return Unreference();
}

ULONG Direct3DObject::Unreference() {
    ULONG left = --references;
    if (left == 0) delete this;
    return left;
}

HRESULT Direct3DObject::CreateDevice(REFCLSID kind, IDirectDrawSurface7* surface, IDirect3DDevice7** device) {
    if (device) *device = nullptr;
    const char* name = DeviceName(kind);
    if (auto failure = SeamCall("CreateDevice", name ? name : "unknown")) return static_cast<HRESULT>(*failure);
    auto* target = static_cast<SurfaceObject*>(surface);
    if (!name || !device || !target || target->kind != SurfaceKind::BackBuffer || target->owner != owner)
        return DDERR_INVALIDPARAMS;
    // One device draws on the display at a time.
    if (!owner->context || owner->device) return DDERR_GENERIC;
    if (kind == IID_IDirect3DHALDevice && !AcceleratedContext()) return DDERR_NO3D;
    *device = new DeviceObject(this, target);
    return D3D_OK;
}

HRESULT Direct3DObject::EnumZBufferFormats(REFCLSID kind, LPD3DENUMPIXELFORMATSCALLBACK callback, void* context) {
    const char* name = DeviceName(kind);
    SeamCall("EnumZBufferFormats", name ? name : "unknown");
    if (!name || !callback) return DDERR_INVALIDPARAMS;
    // A test can stand in a driver that offers only formats with a stencil part.
    const bool onlyStencil = SeamArmed("EnumZBufferFormats.onlyStencil");
    auto offer = [&](const auto& formats) {
        for (DDPIXELFORMAT format : formats) {
            if (onlyStencil && !(format.dwFlags & DDPF_STENCILBUFFER)) continue;
            if (callback(&format, context) == D3DENUMRET_CANCEL) return;
        }
    };
    if (kind == IID_IDirect3DHALDevice) {
        offer(kHardwareZFormats);
    } else {
        offer(kSoftwareZFormats);
    }
    return D3D_OK;
}

IDirect3D7* NewDirect3D(DirectDrawObject* owner) { return new Direct3DObject(owner); }

void FlushDevice(DeviceObject& device) {
    device.Flush();
    device.TexturesChanged();
}
