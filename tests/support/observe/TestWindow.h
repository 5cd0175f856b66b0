// What the drawing tests share: a window to draw in and the picture read back.
#pragma once

#include <gtest/gtest.h>

#include <array>
#include <cstdint>
#include <functional>
#include <vector>

#include "math/Vector.h"
#include "platform/core/Types.h"
#include "render/Renderer.h"
#include "support/files/Bmp.h"

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

// The virtual display's colour bytes, then its depth values' bytes: frames
// compared byte for byte.
std::vector<std::uint8_t> DisplayColourAndDepth();

// For each grid view, draws a frame with the level's culling off, then on,
// with `drawFrame` (which returns the level polygons the renderer was handed),
// and expects the same colour, depth and polygon count, and fewer polygons
// handed over when `fewerHanded` (from the places in empty space, under a
// tenth in all). The level must be loaded.
void ExpectCullingToChangeNoFrame(const std::function<int()>& drawFrame, bool fewerHanded);

// What the 16-bit display shows of a colour: each channel cut to 5, 6 and 5 bits.
Rgb As565(Rgb colour);

// Each channel of `actual` within `tolerance` of `expected`.
::testing::AssertionResult Near(Rgb actual, Rgb expected, int tolerance);

// Two triangles making the square centre ± right ± up, wound clockwise on
// screen for a viewer who sees `right` to the right and `up` upward, which is
// how the level's rule makes a polygon face the camera. Lightmap coordinates
// (0.5, 0.5); texture v = 0 is the image's top row.
std::array<Polygon, 2> FacingSquare(Vector centre, Vector right, Vector up, std::int32_t lightmapIndex,
                                    Texture* texture, bool textured);

// Turns the player (at (3, 4, -5), yaw 0.5, pitch 0.3); then, for a square 3
// units to its right and one 3 units above its line of sight, 10 ahead, has
// `drawFrame` draw a frame showing that square alone and checks that it shows
// on that side of the picture's centre only. Where the square lies is worked
// out from the player's directions as the player update defines them, not
// from any renderer's view.
void ExpectThePictureToFollowThePlayersView(const std::function<void(const std::array<Polygon, 2>&)>& drawFrame);
