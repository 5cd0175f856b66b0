#include "render/d3d/D3DRenderer.h"

#include <cstdio>
#include <cstring>

#include "globals/Globals.h"
#include "level/Bsp.h"
#include "model/Entity.h"
#include "platform/graphics/Gdi.h"
#include "platform/window/Window.h"
#include "player/Player.h"

namespace {

// The device's vertex: position, normal, lightmap pair, texture pair.
struct DeviceVertex {
    float position[3];
    float normal[3];
    float lightmapCoord[2];
    float textureCoord[2];
};
constexpr DWORD kVertexFormat = D3DFVF_XYZ | D3DFVF_NORMAL | D3DFVF_TEX2;

void SetError(const char* text) { std::snprintf(g_ErrorText, sizeof g_ErrorText, "%s", text); }

// A top-down BMP's header gives its height negated; its surface and copy take
// the number of rows, which otherwise would ask for a surface of four billion
// rows and leave the texture empty.
DWORD RowCount(int height) { return height < 0 ? 0u - static_cast<DWORD>(height) : static_cast<DWORD>(height); }

// Takes the first format that is a plain z-buffer: exactly DDPF_ZBUFFER, so
// formats with a stencil part are passed over.
HRESULT TakePlainZBufferFormat(DDPIXELFORMAT* format, void* chosen) {
    if (format->dwFlags != DDPF_ZBUFFER) return D3DENUMRET_OK;
    std::memcpy(chosen, format, sizeof(DDPIXELFORMAT));
    return D3DENUMRET_CANCEL;
}

}  // namespace

HRESULT D3DRenderer::BlitSurface(IDirectDrawSurface7* source, RECT* sourceRect, IDirectDrawSurface7* destination,
                                 RECT* destinationRect) {
    return destination->Blt(destinationRect, source, sourceRect, DDBLT_WAIT, nullptr);
}

std::uint32_t D3DRenderer::TestSphere(Sphere sphere) {
    D3DVECTOR centre{sphere.centre[0], sphere.centre[1], sphere.centre[2]};
    float radius = sphere.radius;
    DWORD result = 0;
    device->ComputeSphereVisibility(&centre, &radius, 1, 0, &result);
    return result;
}

bool D3DRenderer::CreateOffscreenSurface(IDirectDrawSurface7** surface, int width, int height) {
    DDSURFACEDESC2 description{};
    description.dwSize = sizeof description;
    description.dwFlags = DDSD_CAPS | DDSD_WIDTH | DDSD_HEIGHT;
    description.dwWidth = static_cast<DWORD>(width);
    description.dwHeight = static_cast<DWORD>(height);
    description.ddsCaps.dwCaps = DDSCAPS_SYSTEMMEMORY;
    return SUCCEEDED(directDraw->CreateSurface(&description, surface, nullptr));
}

bool D3DRenderer::CreateTexture(Texture* texture, int width, int height, std::uint32_t extraCaps) {
    DDSURFACEDESC2 description{};
    description.dwSize = sizeof description;
    description.dwFlags = DDSD_CAPS | DDSD_WIDTH | DDSD_HEIGHT | DDSD_CKSRCBLT;
    description.dwWidth = static_cast<DWORD>(width);
    description.dwHeight = RowCount(height);
    description.ddckCKSrcBlt = {0, 0};  // black
    // No pixel format: the texture takes the display's 16-bit one.
    description.ddsCaps.dwCaps = extraCaps == 0 ? DDSCAPS_TEXTURE | DDSCAPS_VIDEOMEMORY : extraCaps | DDSCAPS_TEXTURE;
    return SUCCEEDED(directDraw->CreateSurface(&description, &texture->surface, nullptr));
}

HRESULT D3DRenderer::DrawString(IDirectDrawSurface7* surface, const char* text, int x, int y, COLORREF colour) {
    if (!surface) surface = backBuffer;
    HDC dc = nullptr;
    HRESULT result = surface->GetDC(&dc);
    if (FAILED(result)) return result;
    SetTextColor(dc, colour);
    SetBkMode(dc, TRANSPARENT);
    TextOutA(dc, x, y, text, static_cast<int>(std::strlen(text)));
    return surface->ReleaseDC(dc);
}

HRESULT D3DRenderer::FillRectangle(IDirectDrawSurface7* surface, RECT* rect, std::uint32_t value) {
    DDBLTFX effects{};
    effects.dwSize = sizeof effects;
    effects.dwFillColor = value;
    return surface->Blt(rect, nullptr, nullptr, DDBLT_COLORFILL | DDBLT_WAIT, &effects);
}

void D3DRenderer::GetCurrentMatrix(Matrix* matrix) { *matrix = world; }

bool D3DRenderer::Initialize() {
    if (FAILED(DirectDrawCreateEx(nullptr, reinterpret_cast<void**>(&directDraw), IID_IDirectDraw7, nullptr))) {
        SetError("Could not create a DirectDraw object.");
        return false;
    }
    if (FAILED(directDraw->SetCooperativeLevel(
            g_Window, DDSCL_FULLSCREEN | DDSCL_ALLOWREBOOT | DDSCL_EXCLUSIVE | DDSCL_ALLOWMODEX))) {
        SetError("Could not set the DirectDraw cooperative level requested.");
        return false;
    }
    if (FAILED(directDraw->SetDisplayMode(640, 480, 16, 0, 0))) {
        SetError("Could not set the requested display mode.");
        return false;
    }

    DDSURFACEDESC2 description{};
    description.dwSize = sizeof description;
    description.dwFlags = DDSD_CAPS | DDSD_BACKBUFFERCOUNT;
    description.dwBackBufferCount = 1;
    description.ddsCaps.dwCaps =
        DDSCAPS_PRIMARYSURFACE | DDSCAPS_FLIP | DDSCAPS_COMPLEX | DDSCAPS_3DDEVICE | DDSCAPS_VIDEOMEMORY;
    if (FAILED(directDraw->CreateSurface(&description, &primary, nullptr))) {
        SetError("Could not create a primary surface.");
        return false;
    }
    DDSCAPS2 backBufferCaps{};
    backBufferCaps.dwCaps = DDSCAPS_BACKBUFFER;
    if (FAILED(primary->GetAttachedSurface(&backBufferCaps, &backBuffer))) {
        SetError("Could not retrieve a pointer to attached surface.");
        return false;
    }
    if (directDraw->QueryInterface(IID_IDirect3D7, reinterpret_cast<void**>(&direct3D)) != DD_OK) {
        SetError("Could not retrieve a pointer to Direct3D.");
        return false;
    }

    if (FAILED(direct3D->CreateDevice(IID_IDirect3DHALDevice, backBuffer, &device))) {
        hardwareDevice = 0;
        if (FAILED(direct3D->CreateDevice(IID_IDirect3DRGBDevice, backBuffer, &device))) {
            SetError("No suitable device available.");
            return false;
        }
    }

    DDPIXELFORMAT zFormat{};
    direct3D->EnumZBufferFormats(hardwareDevice ? IID_IDirect3DHALDevice : IID_IDirect3DRGBDevice,
                                 TakePlainZBufferFormat, &zFormat);
    if (zFormat.dwFlags != DDPF_ZBUFFER) {
        SetError("No suitable z-buffer available.");
        return false;
    }

    DDSURFACEDESC2 zDescription{};
    zDescription.dwSize = sizeof zDescription;
    zDescription.dwFlags = DDSD_CAPS | DDSD_WIDTH | DDSD_HEIGHT | DDSD_PIXELFORMAT;
    zDescription.dwWidth = 640;
    zDescription.dwHeight = 480;
    zDescription.ddpfPixelFormat = zFormat;
    zDescription.ddsCaps.dwCaps = DDSCAPS_ZBUFFER | DDSCAPS_VIDEOMEMORY;
    HRESULT zResult = directDraw->CreateSurface(&zDescription, &zBuffer, nullptr);
    if (FAILED(zResult)) {
        const char* reason = zResult == DDERR_NOZBUFFERHW ? "Hardware z-buffering is unsupported on this video card."
                             : zResult == DDERR_OUTOFVIDEOMEMORY
                                 ? "Not enough video memory."
                                 : "An unusual error has occurred. Please phone tech. support.";
        std::snprintf(g_ErrorText, sizeof g_ErrorText, "%s%s", "Could not create the z-buffer: ", reason);
        return false;
    }
    if (FAILED(backBuffer->AddAttachedSurface(zBuffer))) {
        SetError("Could not add attached surface.");
        return false;
    }
    // The device takes up the z-buffer attached after it was made.
    device->SetRenderTarget(backBuffer, 0);
    return true;
}

bool D3DRenderer::IsHardware() { return hardwareDevice != 0; }

HRESULT D3DRenderer::LoadImageFile(ImageTarget target, const char* fileName, int width, int height) {
    IDirectDrawSurface7** slot = std::get_if<IDirectDrawSurface7*>(&target);
    if (!slot || !*slot) return DDERR_INVALIDPARAMS;
    IDirectDrawSurface7* surface = *slot;
    HDC surfaceDc = nullptr;
    HRESULT result = surface->GetDC(&surfaceDc);
    if (FAILED(result)) return result;
    HDC memoryDc = CreateCompatibleDC(surfaceDc);
    HGDIOBJ bitmap = LoadImageA(nullptr, fileName, IMAGE_BITMAP, 0, 0, LR_LOADFROMFILE);
    SelectObject(memoryDc, bitmap);
    BitBlt(surfaceDc, 0, 0, width, static_cast<int>(RowCount(height)), memoryDc, 0, 0, SRCCOPY);
    DeleteDC(memoryDc);
    // Once copied the bitmap is of no more use; kept, every texture load
    // would hold on to a bitmap for the rest of the run.
    DeleteObject(bitmap);
    return surface->ReleaseDC(surfaceDc);
}

HRESULT D3DRenderer::LoadTexture(Texture* texture, const char* fileName, int width, int height) {
    return LoadImageFile(texture->surface, fileName, width, height);
}

// Nothing in the engine pops more than it pushed; an empty stack leaves the
// current world matrix as it is.
void D3DRenderer::PopMatrix() {
    if (const Matrix* top = matrixStack.Pop()) world = *top;
}

void D3DRenderer::PushMatrix() { matrixStack.Push(world); }

void D3DRenderer::ReleaseSurface(IDirectDrawSurface7* surface) {
    if (surface) surface->Release();
}

void D3DRenderer::ReleaseTexture(Texture* texture) { ReleaseSurface(texture->surface); }

bool D3DRenderer::RenderFrame() {
    FillRectangle(backBuffer, nullptr, 0);
    device->Clear(0, nullptr, D3DCLEAR_TARGET | D3DCLEAR_ZBUFFER, 0, 1.0f, 0);
    device->BeginScene();

    // The camera's position first, then its yaw about the vertical axis, then its pitch.
    view = Multiply(MakeRotationX(-g_Player.pitch),
                    Multiply(MakeRotationY(-g_Player.yaw),
                             MakeTranslation(-g_Player.position.x, -g_Player.position.y, -g_Player.position.z)));
    device->SetTransform(D3DTRANSFORMSTATE_VIEW, &view);
    world = MakeIdentity();
    device->SetTransform(D3DTRANSFORMSTATE_WORLD, &world);
    g_PolygonsRendered = 0;

    // The level's far-to-near order decides what covers what, and it hands
    // over only polygons facing the camera; its depth values are still written.
    device->SetRenderState(D3DRENDERSTATE_ZFUNC, D3DCMP_ALWAYS);
    device->SetRenderState(D3DRENDERSTATE_CULLMODE, D3DCULL_NONE);
    // The world matrix is the identity: a level point reaches clip space through the view, then the projection.
    g_Bsp.Draw(&g_Bsp.root, ViewVolume(Multiply(projection, view)));

    // The model is culled and depth-tested against the level.
    device->SetRenderState(D3DRENDERSTATE_CULLMODE, D3DCULL_CCW);
    device->SetRenderState(D3DRENDERSTATE_ZFUNC, D3DCMP_LESSEQUAL);
    g_ModelEntity.Draw();
    device->EndScene();

    RECT horizontal{316, 240, 325, 241};
    FillRectangle(backBuffer, &horizontal, 0xFFFFFF);
    RECT vertical{320, 236, 321, 245};
    FillRectangle(backBuffer, &vertical, 0xFFFFFF);

    frameRate.CountFrame(g_FrameTimer);
    DrawOverlay(*this, frameRate.FrameRate(), g_PolygonsRendered);

    if (FAILED(primary->Flip(nullptr, DDFLIP_WAIT))) PostQuitMessage(0);
    return true;
}

HRESULT D3DRenderer::DrawPolygon(Polygon polygon) {
    // An index outside the table, or no table at all, draws without a lightmap.
    IDirectDrawSurface7* lightmap = nullptr;
    if (lightmapTable && polygon.lightmapIndex >= 0 && polygon.lightmapIndex < kLightmapCount)
        lightmap = lightmapTable->entries[polygon.lightmapIndex].surface;
    device->SetTexture(0, lightmap);
    device->SetTexture(1, polygon.texture ? polygon.texture->surface : nullptr);

    DeviceVertex vertices[3];
    for (int i = 0; i < 3; ++i) {
        const Vertex& from = polygon.vertices[i];
        DeviceVertex& to = vertices[i];
        std::memcpy(to.position, from.position, sizeof to.position);
        std::memcpy(to.normal, polygon.normal, sizeof to.normal);
        std::memcpy(to.lightmapCoord, from.lightmapCoord, sizeof to.lightmapCoord);
        // An untextured polygon has no second pair of its own; (0, 0) stands
        // in, and the blank texture it is drawn with looks alike everywhere.
        if (polygon.textured) {
            std::memcpy(to.textureCoord, from.textureCoord, sizeof to.textureCoord);
        } else {
            to.textureCoord[0] = to.textureCoord[1] = 0.0f;
        }
    }
    return device->DrawPrimitive(D3DPT_TRIANGLELIST, kVertexFormat, vertices, 3, 0);
}

void D3DRenderer::SetMatrix(MatrixKind kind, Matrix matrix) {
    switch (kind) {
    case MatrixKind::Projection:
        projection = matrix;  // the level's view volume follows the device's projection
        device->SetTransform(D3DTRANSFORMSTATE_PROJECTION, &matrix);
        break;
    case MatrixKind::View:
        device->SetTransform(D3DTRANSFORMSTATE_VIEW, &matrix);
        break;
    case MatrixKind::World:
        device->SetTransform(D3DTRANSFORMSTATE_WORLD, &matrix);
        break;
    default:
        break;
    }
}

bool D3DRenderer::Setup() {
    viewport = {0, 0, 640, 480, 0.0f, 1.0f};
    if (FAILED(device->SetViewport(&viewport))) {
        SetError("Could not set the viewport.");
        return false;
    }

    projection = MakePerspective(0.1f, 1000.0f, 90.0f);
    projection.m[0] = 1.1f;
    projection.m[5] = 1.5f;
    device->SetTransform(D3DTRANSFORMSTATE_PROJECTION, &projection);

    device->SetRenderState(D3DRENDERSTATE_ZENABLE, 1);
    device->SetRenderState(D3DRENDERSTATE_ZWRITEENABLE, 1);
    device->SetRenderState(D3DRENDERSTATE_CULLMODE, D3DCULL_CCW);
    device->SetRenderState(D3DRENDERSTATE_SPECULARENABLE, 1);
    device->SetRenderState(D3DRENDERSTATE_SUBPIXEL, 1);
    device->SetRenderState(D3DRENDERSTATE_TEXTUREPERSPECTIVE, 1);
    device->SetRenderState(D3DRENDERSTATE_ALPHATESTENABLE, 1);
    device->SetRenderState(D3DRENDERSTATE_ALPHAFUNC, D3DCMP_GREATEREQUAL);

    // Stage 0 shows the lightmap through coordinate pair 0, stage 1 multiplies
    // in the texture through pair 1, stage 2 multiplies by the lit colour.
    device->SetTextureStageState(0, D3DTSS_MAGFILTER, D3DTFG_ANISOTROPIC);
    device->SetTextureStageState(0, D3DTSS_MINFILTER, D3DTFN_ANISOTROPIC);
    device->SetTextureStageState(0, D3DTSS_MIPFILTER, D3DTFP_LINEAR);
    device->SetRenderState(D3DRENDERSTATE_ANTIALIAS, D3DANTIALIAS_SORTINDEPENDENT);
    device->SetTextureStageState(0, D3DTSS_COLORARG1, D3DTA_TEXTURE);
    device->SetTextureStageState(0, D3DTSS_COLOROP, D3DTOP_SELECTARG1);
    device->SetTextureStageState(1, D3DTSS_COLORARG1, D3DTA_TEXTURE);
    device->SetTextureStageState(1, D3DTSS_COLORARG2, D3DTA_CURRENT);
    device->SetTextureStageState(1, D3DTSS_COLOROP, D3DTOP_MODULATE);
    device->SetTextureStageState(1, D3DTSS_TEXCOORDINDEX, 1);
    device->SetTextureStageState(2, D3DTSS_COLORARG1, D3DTA_CURRENT);
    device->SetTextureStageState(2, D3DTSS_COLORARG2, D3DTA_DIFFUSE);
    device->SetTextureStageState(2, D3DTSS_COLOROP, D3DTOP_MODULATE);

    D3DMATERIAL7 material{};
    material.ambient = {1.0f, 1.0f, 1.0f, 0.0f};
    device->SetMaterial(&material);

    // No light is set: the ambient term alone lights every vertex white.
    device->SetRenderState(D3DRENDERSTATE_LIGHTING, 1);
    device->SetRenderState(D3DRENDERSTATE_AMBIENT, 0xFFFFFFFF);
    return true;
}

bool D3DRenderer::Shutdown() {
    auto release = [](auto*& pointer) {
        if (pointer) pointer->Release();
        pointer = nullptr;
    };
    release(device);
    release(direct3D);
    if (lightmapTable) {
        for (Texture& entry : lightmapTable->entries) ReleaseSurface(entry.surface);
        delete lightmapTable;
        lightmapTable = nullptr;
    }
    if (g_pBlankTexture) ReleaseTexture(g_pBlankTexture);
    release(zBuffer);
    release(backBuffer);
    release(primary);
    release(directDraw);
    return true;
}
