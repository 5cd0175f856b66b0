// What the drawing tests share: a window to draw in and the picture read back.
#pragma once

#include <gtest/gtest.h>

#include <cstdint>
#include <vector>

#include "platform/Types.h"
#include "support/Bmp.h"

// A visible 1280x720 window, 16:9 like the test display, so the 4:3 picture
// gets bars left and right. g_Window points to it.
HWND OpenTestWindow();

// The virtual display's picture, rows from the top.
class DisplayPicture {
public:
    DisplayPicture();  // reads the display now
    Rgb At(int x, int y) const;
    bool IsWhite(int x, int y) const;
    bool IsBlack(int x, int y) const;

private:
    std::vector<std::uint8_t> rgb;
};

// What the 16-bit display shows of a colour: each channel cut to 5, 6 and 5 bits.
Rgb As565(Rgb colour);

// Each channel of `actual` within `tolerance` of `expected`.
::testing::AssertionResult Near(Rgb actual, Rgb expected, int tolerance);
