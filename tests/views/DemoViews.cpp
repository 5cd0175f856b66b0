// demo_views PACK_DIR OUT_DIR: the demo as the program shows it, from fixed
// places. The program always starts at the same place, so this starts the
// same way (the pack unpacked, a window the size of the screen, the
// program's Direct3D-style renderer, the level and the model loaded), puts
// the player at each place in turn and saves the screen as OUT_DIR/NAME.png
// with ImageMagick's `import`. scripts/screenshots runs it under Xvfb.
#include <array>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>

#include "app/WinMain.h"
#include "globals/Globals.h"
#include "platform/window/Window.h"
#include "support/observe/DemoScene.h"

namespace {

struct View {
    const char* name;
    Vector position;
    float yaw;    // the player looks along (-sin yaw, 0, cos yaw)
    float pitch;  // larger looks further up
};

const std::array<View, 8> kViews = {{
    {"start-hall", {0.0f, 5.0f, 0.0f}, 0.0f, 0.0f},
    {"lamp", {-1.0f, 6.5f, 6.0f}, -0.30f, -0.34f},
    {"mainframe", {9.0f, 6.0f, 41.0f}, 0.68f, 0.1f},
    {"east-gallery", {44.0f, 5.0f, 16.0f}, -2.2f, 0.0f},
    {"ledge", {88.0f, 13.0f, -4.0f}, 1.16f, -0.36f},
    {"west-hall", {-44.0f, 5.0f, -20.0f}, 0.61f, 0.0f},
    {"low-passage", {0.0f, 5.0f, -20.0f}, 3.1415927f, 0.0f},
    {"store-room", {-14.0f, 5.0f, -52.0f}, -2.39f, -0.05f},
}};

int Fail(const std::string& message) {
    std::fprintf(stderr, "demo_views: %s\n", message.c_str());
    return 1;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 3) return Fail("usage: demo_views PACK_DIR OUT_DIR");
    const std::filesystem::path out = std::filesystem::absolute(argv[2]);
    std::filesystem::create_directories(out);
    std::filesystem::current_path(argv[1]);

    WNDCLASSEXA windowClass{};
    windowClass.cbSize = sizeof windowClass;
    windowClass.lpfnWndProc = WindowProc;
    windowClass.lpszClassName = "WINDOWCLASS";
    RegisterClassExA(&windowClass);
    g_Window = CreateWindowExA(WS_EX_TOPMOST, "WINDOWCLASS", "Orvanthelix 3D Engine", WS_POPUP | WS_VISIBLE, 0, 0,
                               GetSystemMetrics(SM_CXSCREEN), GetSystemMetrics(SM_CYSCREEN), nullptr, nullptr, nullptr,
                               nullptr);
    if (!g_Window) return Fail("no window");
    std::string error;
    int status = StartDemo(error) ? 0 : Fail(error);
    for (std::size_t i = 0; status == 0 && i < kViews.size(); ++i) {
        const View& view = kViews[i];
        // A second of frames, so the frame-rate counter has counted.
        for (int frame = 0; frame < 75; ++frame) DrawDemoFrom(view.position, view.yaw, view.pitch);
        const std::string file = (out / (std::string(view.name) + ".png")).string();
        if (std::system(("import -window root '" + file + "'").c_str()) != 0) status = Fail("import " + file);
    }
    EndDemo();
    return status;
}
