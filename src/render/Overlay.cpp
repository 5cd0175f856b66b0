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
    std::array<OverlayText, 3> texts{{{{}, 290, 10}, {{}, 10, 10}, {{}, 380, 450}}};
    std::snprintf(texts[0].text, sizeof texts[0].text, "FPS: %d", frameRate);
    std::snprintf(texts[1].text, sizeof texts[1].text, "Polygons Rendered: %i", static_cast<int>(polygonsRendered));
    std::snprintf(texts[2].text, sizeof texts[2].text, "%s", kBanner);
    return texts;
}

void DrawOverlay(Renderer& renderer, int frameRate, std::int16_t polygonsRendered) {
    for (const auto& overlay : OverlayTexts(frameRate, polygonsRendered))
        renderer.DrawString(nullptr, overlay.text, overlay.x, overlay.y, kOverlayColour);
}
