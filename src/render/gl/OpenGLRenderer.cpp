#include "render/gl/OpenGLRenderer.h"

#include <GL/glu.h>

#include <cmath>
#include <cstdio>
#include <cstring>
#include <memory>
#include <new>

#include "globals/Globals.h"
#include "level/Bsp.h"
#include "platform/core/Files.h"
#include "platform/display/Gl.h"
#include "player/Player.h"

namespace {

constexpr double kDegreesPerRadian = 57.29577950560105;
constexpr double kHalfAngle = 0.39269908175;
constexpr double kNear = 0.10000000149011612;
constexpr double kFar = 4096.0;
constexpr double kAspect = 1.3333333333333333;

// True when `size` bytes are exactly width x height pixels of 3 bytes each;
// divides rather than multiplies, so no size a file declares can overflow.
bool HoldsPixels(std::int64_t width, std::int64_t height, std::uint32_t size) {
    return width > 0 && height > 0 && size % 3 == 0 && size / 3 % width == 0 && size / 3 / width == height;
}

void SetError(const char* text) { std::snprintf(g_ErrorText, sizeof g_ErrorText, "%s", text); }

std::uint32_t ReadLittleEndian(const unsigned char* bytes, int count) {
    std::uint32_t value = 0;
    for (int i = count - 1; i >= 0; --i) value = value << 8 | bytes[i];
    return value;
}

// The view volume of the level's vertices as GL transforms them: the z
// mirror first (DrawPolygon), then the model-view and projection matrices GL
// holds. GL's column-major storage is the row-vector layout of math/Matrix.h.
ViewVolume LevelViewVolume() {
    Matrix modelView, projection;
    glGetFloatv(GL_MODELVIEW_MATRIX, modelView.m);
    glGetFloatv(GL_PROJECTION_MATRIX, projection.m);
    Matrix mirror = MakeIdentity();
    mirror.m[10] = -1.0f;
    return ViewVolume(Multiply(projection, Multiply(modelView, mirror)));
}

}  // namespace

HRESULT OpenGLRenderer::BlitSurface(IDirectDrawSurface7*, RECT*, IDirectDrawSurface7*, RECT*) { return S_OK; }

std::uint32_t OpenGLRenderer::TestSphere(Sphere) { return 0; }

bool OpenGLRenderer::CreateOffscreenSurface(IDirectDrawSurface7**, int, int) { return true; }

// The texture object is made by LoadTexture.
bool OpenGLRenderer::CreateTexture(Texture*, int, int, std::uint32_t) { return true; }

HRESULT OpenGLRenderer::DrawString(IDirectDrawSurface7*, const char*, int, int, COLORREF) { return S_OK; }

HRESULT OpenGLRenderer::FillRectangle(IDirectDrawSurface7*, RECT*, std::uint32_t) { return S_OK; }

void OpenGLRenderer::GetCurrentMatrix(Matrix*) {}

bool OpenGLRenderer::SetFullScreenMode(int width, int height, int bitsPerPixel) {
    DEVMODEA mode{};
    mode.dmSize = sizeof mode;
    mode.dmFields = DM_BITSPERPEL | DM_PELSWIDTH | DM_PELSHEIGHT;
    mode.dmBitsPerPel = static_cast<DWORD>(bitsPerPixel);
    mode.dmPelsWidth = static_cast<DWORD>(width);
    mode.dmPelsHeight = static_cast<DWORD>(height);
    return ChangeDisplaySettingsA(&mode, CDS_FULLSCREEN) == DISP_CHANGE_SUCCESSFUL;
}

bool OpenGLRenderer::Initialize() {
    if (!SetFullScreenMode(640, 480, 16)) {
        SetError("Could not switch to full-screen display mode.");
        return false;
    }
    deviceContext = GetDC(g_Window);
    if (!deviceContext) {
        SetError("Could not get a device context.");
        return false;
    }
    PIXELFORMATDESCRIPTOR descriptor{};
    descriptor.nSize = 40;
    descriptor.nVersion = 1;
    descriptor.dwFlags = PFD_DRAW_TO_WINDOW | PFD_SUPPORT_OPENGL | PFD_DOUBLEBUFFER;
    descriptor.iPixelType = PFD_TYPE_RGBA;
    descriptor.cColorBits = 16;
    descriptor.cDepthBits = 16;
    int format = ChoosePixelFormat(deviceContext, &descriptor);
    if (format == 0) {
        SetError("Pixel format not found.");
        return false;
    }
    if (!SetPixelFormat(deviceContext, format, &descriptor)) {
        SetError("Could not set requested pixel format.");
        return false;
    }
    renderContext = wglCreateContext(deviceContext);
    if (!renderContext) {
        SetError("Could not acquire rendering context.");
        return false;
    }
    if (!wglMakeCurrent(deviceContext, renderContext)) {
        SetError("Could not activate rendering context.");
        return false;
    }
    return true;
}

bool OpenGLRenderer::IsHardware() { return true; }

HRESULT OpenGLRenderer::LoadImageFile(ImageTarget target, const char* fileName, int width, int height) {
    Image** slot = std::get_if<Image*>(&target);
    if (!slot || !*slot) return E_FAIL;
    Image& image = **slot;
    FILE* file = OpenFile(fileName, "rb");
    if (!file) return E_FAIL;
    unsigned char fileHeader[14] = {};
    unsigned char infoHeader[40] = {};
    bool ok = std::fread(fileHeader, 1, sizeof fileHeader, file) == sizeof fileHeader &&
              ReadLittleEndian(fileHeader, 2) == 0x4D42 &&
              std::fread(infoHeader, 1, sizeof infoHeader, file) == sizeof infoHeader;
    // Rows must be stored without padding: the image size has to be exactly
    // width x height x 3, which also refuses any other bit count or compression.
    const std::int64_t ownWidth = static_cast<std::int32_t>(ReadLittleEndian(infoHeader + 4, 4));
    const std::int64_t ownHeight = static_cast<std::int32_t>(ReadLittleEndian(infoHeader + 8, 4));
    const std::uint32_t imageSize = ReadLittleEndian(infoHeader + 20, 4);
    ok = ok && ReadLittleEndian(infoHeader + 14, 2) == 24 && ReadLittleEndian(infoHeader + 16, 4) == 0 &&
         HoldsPixels(ownWidth, ownHeight, imageSize);
    // The pixels start where the file header says; for the usual 54-byte
    // header that is right after it, and larger headers are skipped properly.
    // A size the file cannot hold from there is refused before anything is
    // allocated for it.
    const long pixelOffset = static_cast<long>(ReadLittleEndian(fileHeader + 10, 4));
    ok = ok && std::fseek(file, 0, SEEK_END) == 0 && std::ftell(file) - pixelOffset >= static_cast<long>(imageSize) &&
         std::fseek(file, pixelOffset, SEEK_SET) == 0;
    std::unique_ptr<std::uint8_t[]> pixels(ok ? new (std::nothrow) std::uint8_t[imageSize] : nullptr);
    ok = pixels && std::fread(pixels.get(), 1, imageSize, file) == imageSize;
    CloseFile(file);
    // The caller's width and height must describe the same pixels.
    if (!ok || !HoldsPixels(width, height, imageSize)) return E_FAIL;
    image.width = width;
    image.height = height;
    image.pixels = pixels.release();
    FlipRows(image.pixels, width * 3, height);
    return S_OK;
}

HRESULT OpenGLRenderer::LoadTexture(Texture* texture, const char* fileName, int width, int height) {
    Image image;
    LoadImageFile(&image, fileName, width, height);
    std::unique_ptr<std::uint8_t[]> pixels(image.pixels);
    if (!pixels) return S_OK;
    // A record loaded again gives up the texture object it held before.
    if (GLuint previous = sharedTextures.Release(texture)) glDeleteTextures(1, &previous);
    // Records of one picture share one texture object (see SharedTextures.h).
    const SharedTextures::Content content = SharedTextures::ContentOf(image);
    if (GLuint shared = sharedTextures.Share(content, texture)) {
        texture->glTexture = shared;
        return S_OK;
    }
    GLuint name = 0;
    glGenTextures(1, &name);
    glBindTexture(GL_TEXTURE_2D, name);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER, GL_LINEAR);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, GL_LINEAR_MIPMAP_LINEAR);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_WRAP_S, GL_REPEAT);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_WRAP_T, GL_REPEAT);
    glTexEnvi(GL_TEXTURE_ENV, GL_TEXTURE_ENV_MODE, GL_MODULATE);
    glPixelStorei(GL_UNPACK_ALIGNMENT, 1);
    gluBuild2DMipmaps(GL_TEXTURE_2D, 3, image.width, image.height, GL_BGR_EXT, GL_UNSIGNED_BYTE, pixels.get());
    sharedTextures.Add(content, name, texture);
    texture->glTexture = name;
    return S_OK;
}

void OpenGLRenderer::PopMatrix() { glPopMatrix(); }

void OpenGLRenderer::PushMatrix() { glPushMatrix(); }

void OpenGLRenderer::ReleaseSurface(IDirectDrawSurface7*) {}

// The texture object goes with its last holder. A record that holds none
// (never loaded, or released before) deletes nothing, so a second release
// cannot take a picture from the records still sharing it.
void OpenGLRenderer::ReleaseTexture(Texture* texture) {
    if (GLuint last = sharedTextures.Release(texture)) glDeleteTextures(1, &last);
}

bool OpenGLRenderer::RenderFrame() {
    glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
    glLoadIdentity();
    glRotatef(static_cast<GLfloat>(-g_Player.pitch * kDegreesPerRadian), 1, 0, 0);
    glRotatef(static_cast<GLfloat>(-g_Player.yaw * kDegreesPerRadian), 0, 1, 0);
    // z is mirrored throughout (see DrawPolygon), so the camera's z enters unnegated.
    glTranslatef(-g_Player.position.x, -g_Player.position.y, g_Player.position.z);
    glDepthFunc(GL_ALWAYS);
    g_Bsp.Draw(&g_Bsp.root, LevelViewVolume());
    glDepthFunc(GL_LEQUAL);
    glFlush();
    SwapBuffers(deviceContext);
    return true;
}

HRESULT OpenGLRenderer::DrawPolygon(Polygon polygon) {
    GLuint lightmap = 0;
    if (lightmapTable && polygon.lightmapIndex >= 0 && polygon.lightmapIndex < kLightmapCount)
        lightmap = lightmapTable->entries[polygon.lightmapIndex].glTexture;
    glBindTexture(GL_TEXTURE_2D, lightmap);
    glBegin(GL_TRIANGLES);
    for (const Vertex& vertex : polygon.vertices) {
        glTexCoord2f(vertex.lightmapCoord[0], vertex.lightmapCoord[1]);
        glVertex3f(vertex.position[0], vertex.position[1], -vertex.position[2]);
    }
    glEnd();
    return S_OK;
}

void OpenGLRenderer::SetMatrix(MatrixKind, Matrix) {}

bool OpenGLRenderer::Setup() {
    SetError("Renderer (OpenGL): Setup failed.");
    glViewport(0, 0, 640, 480);
    glClearColor(0, 0, 0, 0);
    glMatrixMode(GL_PROJECTION);
    glLoadIdentity();
    const double h = std::tan(kHalfAngle) * kNear;
    glFrustum(-h * kAspect, h * kAspect, -h, h, kNear, kFar);
    glMatrixMode(GL_MODELVIEW);
    glLoadIdentity();
    glShadeModel(GL_SMOOTH);
    glClearDepth(1.0);
    glDepthFunc(GL_LEQUAL);
    glEnable(GL_DEPTH_TEST);
    glEnable(GL_COLOR_MATERIAL);
    glEnable(GL_TEXTURE_2D);
    glColor4f(1.0f, 1.0f, 1.0f, 0.5f);
    glBlendFunc(GL_SRC_ALPHA, GL_ONE_MINUS_SRC_ALPHA);
    glFrontFace(GL_CW);
    glCullFace(GL_BACK);
    glEnable(GL_CULL_FACE);
    glHint(GL_PERSPECTIVE_CORRECTION_HINT, GL_NICEST);
    glEnable(GL_LIGHTING);
    const GLfloat ambient[] = {1.0f, 1.0f, 1.0f, 1.0f};
    glLightModelfv(GL_LIGHT_MODEL_AMBIENT, ambient);
    return true;
}

bool OpenGLRenderer::Shutdown() {
    ChangeDisplaySettingsA(nullptr, 0);
    if (renderContext) {
        if (!wglMakeCurrent(nullptr, nullptr)) return false;
        if (!wglDeleteContext(renderContext)) return false;
        renderContext = nullptr;
    }
    if (deviceContext && ReleaseDC(g_Window, deviceContext)) deviceContext = nullptr;
    return true;
}
