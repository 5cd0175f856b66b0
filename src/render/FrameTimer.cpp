#include "render/FrameTimer.h"

#include "platform/core/System.h"

std::uint32_t FrameTimer::Now() { return GetTickCount(); }

std::uint32_t FrameTimer::Mark() {
    lastTick = GetTickCount();
    return lastTick;
}
