#include "Session.h"

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <filesystem>

#include "app/WinMain.h"
#include "globals/Globals.h"
#include "level/Bsp.h"
#include "pack/RunDirectory.h"
#include "pack/UnpackTable.h"
#include "platform/display/VirtualDisplay.h"
#include "platform/window/Window.h"
#include "platform/window/WindowObject.h"
#include "player/Player.h"

std::string g_PackDirectory;

const std::array<Viewpoint, 3> kViewpoints = {{
    {"start", {0.0f, 5.0f, 0.0f}, 0.0f, 0.0f},
    // Looking along +x and +z: yaw -pi/4 (the player looks along (-sin yaw, cos yaw)).
    {"widest room", {-28.0f, 5.0f, -20.0f}, -0.7853982f, 0.0f},
    // Looking along -x: yaw pi/2.
    {"longest sight line", {78.0f, 5.0f, 14.0f}, 1.5707964f, 0.0f},
}};

namespace {

Capturing<D3DRenderer> d3dRenderer;
Capturing<OpenGLRenderer> glRenderer;
Renderer* running = nullptr;
bool started = false;

void Start() {
    if (started) return;
    started = true;
    SetPresentPacing(PresentPacing::None);
    std::error_code error;
    std::filesystem::current_path(g_PackDirectory, error);
    if (error || !std::filesystem::exists(kPackFileName))
        Fail("no " + std::string(kPackFileName) + " in " + g_PackDirectory);
    UnpackAssets();
    WNDCLASSEXA windowClass{};
    windowClass.cbSize = sizeof windowClass;
    windowClass.lpfnWndProc = WindowProc;  // the program's own
    windowClass.lpszClassName = "BENCHWINDOW";
    RegisterClassExA(&windowClass);
    g_Window = CreateWindowExA(WS_EX_TOPMOST, "BENCHWINDOW", "Orvanthelix 3D Engine", WS_POPUP | WS_VISIBLE, 0, 0,
                               kFrameCostWidth, kFrameCostHeight, nullptr, nullptr, nullptr, nullptr);
    if (!g_Window) Fail("no window");
}

// As the shut-down does, then forgets the blank texture and the lightmap
// table, whose handles belong to the renderer just shut down.
void StopRunning() {
    if (!running) return;
    g_Bsp.FreeTree(&g_Bsp.root);
    running->Shutdown();
    delete running->lightmapTable;
    running->lightmapTable = nullptr;
    delete g_pBlankTexture;
    g_pBlankTexture = nullptr;
    running = nullptr;
}

}  // namespace

void Fail(const std::string& message) {
    std::fprintf(stderr, "orvanthelix_bench: %s\n", message.c_str());
    std::exit(1);
}

const char* NameOf(RendererKind kind) { return kind == RendererKind::D3d ? "d3d" : "gl"; }

Renderer& UseRenderer(RendererKind kind) {
    Renderer* wanted = kind == RendererKind::D3d ? static_cast<Renderer*>(&d3dRenderer) : &glRenderer;
    if (running == wanted) return *wanted;
    Start();
    StopRunning();
    g_pRenderer = wanted;
    if (!wanted->Initialize() || !wanted->Setup()) Fail(std::string("renderer start: ") + g_ErrorText);
    running = wanted;
    if (!g_Bsp.Load("Test.bsp")) Fail("the demo level does not load");
    StartModel();
    return *wanted;
}

void EndSession() {
    StopRunning();
    if (started) DeleteUnpackedAssets();
}

void PlaceCamera(const Viewpoint& viewpoint) {
    g_Player = {};
    g_Player.position = viewpoint.position;
    g_Player.yaw = viewpoint.yaw;
    g_Player.pitch = viewpoint.pitch;
}

double ProcessorSeconds() {
    timespec now{};
    clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &now);
    return static_cast<double>(now.tv_sec) + static_cast<double>(now.tv_nsec) * 1e-9;
}

void ResizeWindow(int width, int height) {
    SDL_SetWindowSize(g_Window->sdl, width, height);
    int drawableWidth = 0, drawableHeight = 0;
    SDL_GL_GetDrawableSize(g_Window->sdl, &drawableWidth, &drawableHeight);
    if (drawableWidth != width || drawableHeight != height)
        Fail("the window cannot be made " + std::to_string(width) + "x" + std::to_string(height) +
             " (is the screen that large?)");
    DrainMessages();
}

void SwapWindow() { SDL_GL_SwapWindow(g_Window->sdl); }

double Now() { return std::chrono::duration<double>(std::chrono::steady_clock::now().time_since_epoch()).count(); }

double TimedEngineFrame() {
    const double start = Now();
    running->RenderFrame();
    glFinish();
    return Now() - start;
}

std::vector<CapturedTriangle> CaptureFrame() {
    auto capture = [](auto& renderer) {
        renderer.triangles.clear();
        renderer.capturing = true;
        renderer.RenderFrame();
        renderer.capturing = false;
        return std::move(renderer.triangles);
    };
    return running == &d3dRenderer ? capture(d3dRenderer) : capture(glRenderer);
}

void LevelMatrices(GLfloat projection[16], GLfloat view[16]) {
    glGetFloatv(GL_PROJECTION_MATRIX, projection);
    // The device's view alone (its model-view ends the frame with the model's
    // world matrix in it); the OpenGL renderer's model-view is its view.
    if (running == &d3dRenderer)
        std::memcpy(view, d3dRenderer.view.m, sizeof d3dRenderer.view.m);
    else
        glGetFloatv(GL_MODELVIEW_MATRIX, view);
}

void DrainMessages() {
    MSG message;
    while (PeekMessageA(&message, nullptr, 0, 0, PM_REMOVE) && message.message != WM_QUIT) DispatchMessageA(&message);
}

double Median(std::vector<double> values) {
    if (values.empty()) return 0.0;
    std::sort(values.begin(), values.end());
    const std::size_t middle = values.size() / 2;
    return values.size() % 2 ? values[middle] : (values[middle - 1] + values[middle]) / 2;
}
