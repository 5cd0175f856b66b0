// A renderer of the tests' own: it draws nothing and records what it is asked
// to do, so tests can see what the level, the model and the shell hand over.
#pragma once

#include <string>
#include <vector>

#include "render/Renderer.h"

class RecordingRenderer : public Renderer {
public:
    struct TextureCall {
        std::string operation;  // "CreateTexture", "LoadTexture" or "ReleaseTexture"
        Texture* texture;
        std::string fileName;  // LoadTexture only
        int width;
        int height;
    };

    std::vector<std::string> calls;  // every operation's name, in order
    std::vector<Polygon> polygons;   // DrawPolygon's arguments
    std::vector<TextureCall> textureCalls;
    std::vector<std::pair<MatrixKind, Matrix>> matrices;  // SetMatrix's arguments
    std::vector<std::string> strings;                     // DrawString's texts
    Matrix current = MakeIdentity();                      // what GetCurrentMatrix reports

    HRESULT BlitSurface(IDirectDrawSurface7*, RECT*, IDirectDrawSurface7*, RECT*) override;
    std::uint32_t TestSphere(Sphere) override;
    bool CreateOffscreenSurface(IDirectDrawSurface7**, int, int) override;
    bool CreateTexture(Texture* texture, int width, int height, std::uint32_t extraCaps) override;
    HRESULT DrawString(IDirectDrawSurface7*, const char* text, int x, int y, COLORREF colour) override;
    HRESULT FillRectangle(IDirectDrawSurface7*, RECT*, std::uint32_t) override;
    void GetCurrentMatrix(Matrix* matrix) override;
    bool Initialize() override;
    bool IsHardware() override;
    HRESULT LoadImageFile(ImageTarget, const char*, int, int) override;
    HRESULT LoadTexture(Texture* texture, const char* fileName, int width, int height) override;
    void PopMatrix() override;
    void PushMatrix() override;
    void ReleaseSurface(IDirectDrawSurface7*) override;
    void ReleaseTexture(Texture* texture) override;
    bool RenderFrame() override;
    HRESULT DrawPolygon(Polygon polygon) override;
    void SetMatrix(MatrixKind kind, Matrix matrix) override;
    bool Setup() override;
    bool Shutdown() override;
};
