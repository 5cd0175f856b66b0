// The tick source of the frame-rate counter.
#pragma once

#include <cstdint>

class FrameTimer {
public:
    std::uint32_t lastTick = 0;

    // The tick count now; lastTick is left alone.
    std::uint32_t Now();
    // Stores the tick count now in lastTick and returns it.
    std::uint32_t Mark();
};
