#include "render/Overlay.h"

#include <cstdio>

void FrameRateCounter::CountFrame(FrameTimer& timer) {
    if (!started) {
        secondStart = timer.Now();
        started = true;
    }
    timer.Mark();
    ++framesCounted;
    // Unsigned difference, so the tick counter's wrap-around does no harm.
    if (timer.Now() - secondStart >= 1000u) {
        secondStart = timer.Now();
        frameRate = framesCounted;
        framesCounted = 0;
    }
}

std::array<OverlayText, 3> OverlayTexts(int frameRate, std::int16_t polygonsRendered) {
    char fps[32];
    std::snprintf(fps, sizeof fps, "FPS: %d", frameRate);
    char polygons[48];
    std::snprintf(polygons, sizeof polygons, "Polygons Rendered: %i", static_cast<int>(polygonsRendered));
    return {{{fps, 290, 10}, {polygons, 10, 10}, {kBanner, 380, 450}}};
}

void DrawOverlay(Renderer& renderer, int frameRate, std::int16_t polygonsRendered) {
    for (const auto& overlay : OverlayTexts(frameRate, polygonsRendered))
        renderer.DrawString(nullptr, overlay.text.c_str(), overlay.x, overlay.y, kOverlayColour);
}
