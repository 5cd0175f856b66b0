#include "support/DemoScene.h"

#include "app/Globals.h"
#include "app/Unpack.h"
#include "app/WinMain.h"
#include "level/Bsp.h"
#include "player/Player.h"
#include "render/d3d/D3DRenderer.h"

namespace {

bool g_Unpacked = false;
bool g_RendererStarted = false;

}  // namespace

bool StartDemo(std::string& error) {
    UnpackAssets();
    g_Unpacked = true;
    g_pRenderer = &g_D3DRenderer;
    g_RendererStarted = g_D3DRenderer.Initialize();
    if (!g_RendererStarted || !g_D3DRenderer.Setup()) {
        error = std::string("renderer: ") + g_ErrorText;
        return false;
    }
    if (!g_Bsp.Load("Test.bsp")) {
        error = "the level does not load";
        return false;
    }
    StartModel();
    return true;
}

void DrawDemoFrom(Vector position, float yaw, float pitch) {
    g_Player = {};
    g_Player.position = position;
    g_Player.yaw = yaw;
    g_Player.pitch = pitch;
    MSG message;  // the window's messages handled, as the main loop would
    while (PeekMessageA(&message, nullptr, 0, 0, PM_REMOVE) && message.message != WM_QUIT) DispatchMessageA(&message);
    g_D3DRenderer.RenderFrame();
}

void EndDemo() {
    if (g_Bsp.root) g_Bsp.FreeTree(&g_Bsp.root);
    if (g_RendererStarted) g_D3DRenderer.Shutdown();
    g_RendererStarted = false;
    g_pRenderer = nullptr;
    if (g_Unpacked) DeleteUnpackedAssets();
    g_Unpacked = false;
}
