#include "support/observe/TestWindow.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>

#include "globals/Globals.h"
#include "level/Bsp.h"
#include "platform/display/Gl.h"
#include "platform/display/VirtualDisplay.h"
#include "platform/window/Window.h"
#include "player/Player.h"
#include "support/files/LevelFiles.h"
#include "support/stand-ins/TestSeam.h"

namespace {

LRESULT Procedure(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    return DefWindowProcA(window, message, wParam, lParam);
}

}  // namespace

HWND OpenTestWindow() {
    WNDCLASSEXA windowClass{};
    windowClass.cbSize = sizeof windowClass;
    windowClass.lpfnWndProc = Procedure;
    windowClass.lpszClassName = "TESTWINDOW";
    RegisterClassExA(&windowClass);
    g_Window = CreateWindowExA(0, "TESTWINDOW", "test", WS_POPUP | WS_VISIBLE, 0, 0, 1280, 720, nullptr, nullptr,
                               nullptr, nullptr);
    return g_Window;
}

DisplayPicture::DisplayPicture() : rgb(ReadDisplayPixels()) {}

Rgb DisplayPicture::At(int x, int y) const {
    const std::uint8_t* pixel = &rgb.at((static_cast<std::size_t>(y) * kDisplayWidth + x) * 3);
    return Rgb{pixel[0], pixel[1], pixel[2]};
}

bool DisplayPicture::IsWhite(int x, int y) const {
    Rgb c = At(x, y);
    return c.r == 255 && c.g == 255 && c.b == 255;
}

bool DisplayPicture::IsBlack(int x, int y) const {
    Rgb c = At(x, y);
    return c.r == 0 && c.g == 0 && c.b == 0;
}

Rgb As565(Rgb colour) {
    auto cut = [](int value, int bits) {
        int top = (1 << bits) - 1;
        return static_cast<std::uint8_t>(((value >> (8 - bits)) * 255 + top / 2) / top);
    };
    return Rgb{cut(colour.r, 5), cut(colour.g, 6), cut(colour.b, 5)};
}

::testing::AssertionResult Near(Rgb actual, Rgb expected, int tolerance) {
    if (std::abs(actual.r - expected.r) <= tolerance && std::abs(actual.g - expected.g) <= tolerance &&
        std::abs(actual.b - expected.b) <= tolerance)
        return ::testing::AssertionSuccess();
    return ::testing::AssertionFailure() << "(" << int(actual.r) << ", " << int(actual.g) << ", " << int(actual.b)
                                         << ") is not within " << tolerance << " of (" << int(expected.r) << ", "
                                         << int(expected.g) << ", " << int(expected.b) << ")";
}

std::array<Polygon, 2> FacingSquare(Vector centre, Vector right, Vector up, std::int32_t lightmapIndex,
                                    Texture* texture, bool textured) {
    auto vertex = [&](float a, float b) {
        const Vector p{centre.x + a * right.x + b * up.x, centre.y + a * right.y + b * up.y,
                       centre.z + a * right.z + b * up.z};
        return Vertex{{p.x, p.y, p.z}, {0.5f, 0.5f}, {(a + 1) / 2, (1 - b) / 2}};
    };
    const Vector normal = Normalise(Cross(up, right));  // toward the viewer
    const Vertex corners[2][3] = {{vertex(-1, -1), vertex(-1, 1), vertex(1, -1)},
                                  {vertex(-1, 1), vertex(1, 1), vertex(1, -1)}};
    std::array<Polygon, 2> square;
    for (int i = 0; i < 2; ++i) {
        Polygon& polygon = square[i];
        polygon.textured = textured ? 1 : 0;
        polygon.lightmapIndex = lightmapIndex;
        polygon.texture = texture;
        polygon.normal[0] = normal.x;
        polygon.normal[1] = normal.y;
        polygon.normal[2] = normal.z;
        std::copy(std::begin(corners[i]), std::end(corners[i]), polygon.vertices);
    }
    return square;
}

void ExpectThePictureToFollowThePlayersView(const std::function<void(const std::array<Polygon, 2>&)>& drawFrame) {
    g_Player = {};
    g_Player.position = {3.0f, 4.0f, -5.0f};
    g_Player.yaw = 0.5f;
    g_Player.pitch = 0.3f;
    // Ahead (-sin yaw, 0, cos yaw) tilted up by the pitch; right where D
    // pushes, (cos yaw, 0, sin yaw); up square to both.
    const float sy = std::sin(g_Player.yaw), cy = std::cos(g_Player.yaw);
    const float sp = std::sin(g_Player.pitch), cp = std::cos(g_Player.pitch);
    const Vector ahead{-sy * cp, sp, cy * cp}, right{cy, 0.0f, sy}, up{sy * sp, cp, -cy * sp};
    for (const bool toTheRight : {true, false}) {
        SCOPED_TRACE(toTheRight ? "3 to the player's right" : "3 above its line of sight");
        const float r = toTheRight ? 3.0f : 0.0f, u = toTheRight ? 0.0f : 3.0f;
        const Vector& eye = g_Player.position;
        const Vector centre{eye.x + 10 * ahead.x + r * right.x + u * up.x,
                            eye.y + 10 * ahead.y + r * right.y + u * up.y,
                            eye.z + 10 * ahead.z + r * right.z + u * up.z};
        drawFrame(FacingSquare(centre, right, up, 0, nullptr, false));

        const DisplayPicture picture;
        int left = 0, rightOf = 0, above = 0, below = 0;
        for (int y = 0; y < kDisplayHeight; ++y)
            for (int x = 0; x < kDisplayWidth; ++x) {
                if (picture.IsBlack(x, y)) continue;
                (x < kDisplayWidth / 2 ? left : rightOf)++;
                (y < kDisplayHeight / 2 ? above : below)++;
            }
        const int shown = left + rightOf;
        EXPECT_GT(shown, 1000);
        EXPECT_EQ(toTheRight ? left : below, 0);
        // Across the other axis the square sits on the centre line.
        EXPECT_NEAR(toTheRight ? above : left, toTheRight ? below : rightOf, shown / 10);
    }
}

std::vector<std::uint8_t> DisplayColourAndDepth() {
    std::vector<std::uint8_t> bytes = ReadDisplayPixels();  // binds the display's framebuffer
    std::vector<float> depth(kDisplayWidth * kDisplayHeight);
    glReadPixels(0, 0, kDisplayWidth, kDisplayHeight, GL_DEPTH_COMPONENT, GL_FLOAT, depth.data());
    const auto* depthBytes = reinterpret_cast<const std::uint8_t*>(depth.data());
    bytes.insert(bytes.end(), depthBytes, depthBytes + depth.size() * sizeof(float));
    return bytes;
}

void ExpectCullingToChangeNoFrame(const std::function<int()>& drawFrame, bool fewerHanded) {
    seam::SetTickCount(1000);  // the overlay's frame rate stays as it is
    for (const GridView& view : kGridViews) {
        SCOPED_TRACE(::testing::Message() << "from " << view.position.x << ", " << view.position.y << ", "
                                          << view.position.z << " yaw " << view.yaw << " pitch " << view.pitch);
        g_Player.position = view.position;
        g_Player.yaw = view.yaw;
        g_Player.pitch = view.pitch;
        g_Bsp.cullOutsideView = false;
        g_PolygonsRendered = 0;
        const int handedAll = drawFrame();
        const std::int16_t countedAll = g_PolygonsRendered;
        const std::vector<std::uint8_t> all = DisplayColourAndDepth();
        g_Bsp.cullOutsideView = true;
        g_PolygonsRendered = 0;
        const int handedCulled = drawFrame();
        EXPECT_EQ(g_PolygonsRendered, countedAll);
        EXPECT_TRUE(DisplayColourAndDepth() == all) << "the frames differ";
        if (fewerHanded) {
            EXPECT_LT(handedCulled, handedAll);
        }
    }
}
