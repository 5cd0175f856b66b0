#include "support/observe/DemoScene.h"

#include "app/WinMain.h"
#include "globals/Globals.h"
#include "level/Bsp.h"
#include "pack/RunDirectory.h"
#include "player/Player.h"
#include "render/d3d/D3DRenderer.h"

namespace {

bool unpacked = false;
bool rendererStarted = false;

}  // namespace

bool StartDemo(std::string& error) {
    UnpackAssets();
    unpacked = true;
    g_pRenderer = &g_D3DRenderer;
    rendererStarted = g_D3DRenderer.Initialize();
    if (!rendererStarted || !g_D3DRenderer.Setup()) {
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
    if (rendererStarted) g_D3DRenderer.Shutdown();
    rendererStarted = false;
    g_pRenderer = nullptr;
    if (unpacked) DeleteUnpackedAssets();
    unpacked = false;
}
