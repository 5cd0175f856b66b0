// The OpenGL renderer: draws the level only, each polygon with its lightmap,
// through a GL context on the main window and the virtual 640x480 display.
#pragma once

#include "platform/display/GlContext.h"
#include "render/Renderer.h"
#include "render/gl/SharedTextures.h"

class OpenGLRenderer : public Renderer {
public:
    HDC deviceContext = nullptr;
    HGLRC renderContext = nullptr;

    HRESULT BlitSurface(IDirectDrawSurface7*, RECT*, IDirectDrawSurface7*, RECT*) override;
    std::uint32_t TestSphere(Sphere) override;
    bool CreateOffscreenSurface(IDirectDrawSurface7**, int, int) override;
    bool CreateTexture(Texture*, int, int, std::uint32_t) override;
    HRESULT DrawString(IDirectDrawSurface7*, const char*, int, int, COLORREF) override;
    HRESULT FillRectangle(IDirectDrawSurface7*, RECT*, std::uint32_t) override;
    void GetCurrentMatrix(Matrix*) override;
    bool Initialize() override;
    bool IsHardware() override;
    HRESULT LoadImageFile(ImageTarget target, const char* fileName, int width, int height) override;
    HRESULT LoadTexture(Texture* texture, const char* fileName, int width, int height) override;
    void PopMatrix() override;
    void PushMatrix() override;
    void ReleaseSurface(IDirectDrawSurface7*) override;
    void ReleaseTexture(Texture* texture) override;
    bool RenderFrame() override;
    HRESULT DrawPolygon(Polygon polygon) override;
    void SetMatrix(MatrixKind, Matrix) override;
    bool Setup() override;
    bool Shutdown() override;

    // Switches the display mode; true exactly when the switch succeeded.
    bool SetFullScreenMode(int width, int height, int bitsPerPixel);

private:
    SharedTextures sharedTextures;
};
