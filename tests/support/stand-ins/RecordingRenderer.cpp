#include "support/stand-ins/RecordingRenderer.h"

HRESULT RecordingRenderer::BlitSurface(IDirectDrawSurface7*, RECT*, IDirectDrawSurface7*, RECT*) {
    calls.push_back("BlitSurface");
    return S_OK;
}

std::uint32_t RecordingRenderer::TestSphere(Sphere) {
    calls.push_back("TestSphere");
    return 0;
}

bool RecordingRenderer::CreateOffscreenSurface(IDirectDrawSurface7**, int, int) {
    calls.push_back("CreateOffscreenSurface");
    return true;
}

bool RecordingRenderer::CreateTexture(Texture* texture, int width, int height, std::uint32_t) {
    calls.push_back("CreateTexture");
    textureCalls.push_back({"CreateTexture", texture, "", width, height});
    return true;
}

HRESULT RecordingRenderer::DrawString(IDirectDrawSurface7*, const char* text, int, int, COLORREF) {
    calls.push_back("DrawString");
    strings.push_back(text);
    return S_OK;
}

HRESULT RecordingRenderer::FillRectangle(IDirectDrawSurface7*, RECT*, std::uint32_t) {
    calls.push_back("FillRectangle");
    return S_OK;
}

void RecordingRenderer::GetCurrentMatrix(Matrix* matrix) {
    calls.push_back("GetCurrentMatrix");
    *matrix = current;
}

bool RecordingRenderer::Initialize() {
    calls.push_back("Initialize");
    return true;
}

bool RecordingRenderer::IsHardware() { return true; }

HRESULT RecordingRenderer::LoadImageFile(ImageTarget, const char*, int, int) {
    calls.push_back("LoadImageFile");
    return S_OK;
}

HRESULT RecordingRenderer::LoadTexture(Texture* texture, const char* fileName, int width, int height) {
    calls.push_back("LoadTexture");
    textureCalls.push_back({"LoadTexture", texture, fileName, width, height});
    return S_OK;
}

void RecordingRenderer::PopMatrix() { calls.push_back("PopMatrix"); }

void RecordingRenderer::PushMatrix() { calls.push_back("PushMatrix"); }

void RecordingRenderer::ReleaseSurface(IDirectDrawSurface7*) { calls.push_back("ReleaseSurface"); }

void RecordingRenderer::ReleaseTexture(Texture* texture) {
    calls.push_back("ReleaseTexture");
    textureCalls.push_back({"ReleaseTexture", texture, "", 0, 0});
}

bool RecordingRenderer::RenderFrame() {
    calls.push_back("RenderFrame");
    return true;
}

HRESULT RecordingRenderer::DrawPolygon(Polygon polygon) {
    calls.push_back("DrawPolygon");
    polygons.push_back(polygon);
    return S_OK;
}

void RecordingRenderer::SetMatrix(MatrixKind kind, Matrix matrix) {
    calls.push_back("SetMatrix");
    matrices.emplace_back(kind, matrix);
}

bool RecordingRenderer::Setup() {
    calls.push_back("Setup");
    return true;
}

bool RecordingRenderer::Shutdown() {
    calls.push_back("Shutdown");
    return true;
}
