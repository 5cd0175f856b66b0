// The frame-rate counter and the overlay texts, shared by the renderers that
// draw an overlay.
#pragma once

#include <array>
#include <cstdint>

#include "render/FrameTimer.h"
#include "render/Renderer.h"

// Counts frames per completed period of at least one second.
class FrameRateCounter {
public:
    // Called once per frame, before the overlay is drawn.
    void CountFrame(FrameTimer& timer);
    int FrameRate() const { return frameRate; }

private:
    bool started = false;
    std::int32_t framesCounted = 0;
    std::int32_t frameRate = 0;  // 0 until the first period ends
    std::uint32_t secondStart = 0;
};

// One overlay text in a scratch buffer large enough for the longest text
// ("Polygons Rendered: -32768"), so drawing the overlay allocates nothing.
struct OverlayText {
    char text[32];
    int x;
    int y;
};

constexpr COLORREF kOverlayColour = 0xFFFFFF;
constexpr const char* kBanner = "Orvanthelix 3D Engine V.0.0.0.7";

// The three overlay texts with their positions, in drawing order.
std::array<OverlayText, 3> OverlayTexts(int frameRate, std::int16_t polygonsRendered);

// Draws the overlay texts on the back buffer.
void DrawOverlay(Renderer& renderer, int frameRate, std::int16_t polygonsRendered);
