// The renderer the program draws with: the exclusive 640x480x16 display with
// a flipping primary surface and one back buffer, a hardware or software 3D
// device drawing each polygon as its lightmap times its texture in one pass,
// bitmaps and text through device contexts on surfaces. Each frame shows the
// level, the model, the crosshair and the overlay.
#pragma once

#include "math/Matrix.h"
#include "math/MatrixStack.h"
#include "platform/graphics/Direct3D.h"
#include "render/Overlay.h"
#include "render/Renderer.h"

class D3DRenderer : public Renderer {
public:
    std::uint8_t hardwareDevice = 1;  // cleared once Initialize falls back to the software device
    Matrix projection{};
    Matrix view{};
    Matrix world{};  // the current world matrix
    D3DVIEWPORT7 viewport{};
    IDirectDraw7* directDraw = nullptr;
    IDirectDrawSurface7* backBuffer = nullptr;
    IDirectDrawSurface7* primary = nullptr;
    IDirectDrawSurface7* zBuffer = nullptr;
    IDirect3D7* direct3D = nullptr;
    IDirect3DDevice7* device = nullptr;
    MatrixStack matrixStack;

    HRESULT BlitSurface(IDirectDrawSurface7* source, RECT* sourceRect, IDirectDrawSurface7* destination,
                        RECT* destinationRect) override;
    std::uint32_t TestSphere(Sphere sphere) override;
    bool CreateOffscreenSurface(IDirectDrawSurface7** surface, int width, int height) override;
    bool CreateTexture(Texture* texture, int width, int height, std::uint32_t extraCaps) override;
    HRESULT DrawString(IDirectDrawSurface7* surface, const char* text, int x, int y, COLORREF colour) override;
    HRESULT FillRectangle(IDirectDrawSurface7* surface, RECT* rect, std::uint32_t value) override;
    void GetCurrentMatrix(Matrix* matrix) override;
    bool Initialize() override;
    bool IsHardware() override;
    HRESULT LoadImageFile(ImageTarget target, const char* fileName, int width, int height) override;
    HRESULT LoadTexture(Texture* texture, const char* fileName, int width, int height) override;
    void PopMatrix() override;
    void PushMatrix() override;
    void ReleaseSurface(IDirectDrawSurface7* surface) override;
    void ReleaseTexture(Texture* texture) override;
    bool RenderFrame() override;
    HRESULT DrawPolygon(Polygon polygon) override;
    void SetMatrix(MatrixKind kind, Matrix matrix) override;
    bool Setup() override;
    bool Shutdown() override;

private:
    FrameRateCounter frameRate;
};
