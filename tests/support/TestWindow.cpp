#include "support/TestWindow.h"

#include <cstdlib>

#include "app/Globals.h"
#include "platform/VirtualDisplay.h"
#include "platform/Window.h"

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

DisplayPicture::DisplayPicture() : rgb(display::ReadPixels()) {}

Rgb DisplayPicture::At(int x, int y) const {
    const std::uint8_t* pixel = &rgb.at((static_cast<std::size_t>(y) * display::kWidth + x) * 3);
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
