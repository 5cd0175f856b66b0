// The script of orvtool walk: groups of frames, each KEYS[@DX,DY][*N], KEYS
// being '-' or key names joined by '+'. Its own file so that the fuzz target
// reads scripts through the same code.
#pragma once

#include <string>
#include <vector>

#include "platform/core/Types.h"

// One group of the script: these keys and this mouse motion, `frames` times.
struct FrameGroup {
    std::vector<int> keys;
    LONG motionX = 0;
    LONG motionY = 0;
    long frames = 1;
};

// The groups of `script`, separated by white space; false with `bad` set to
// the first group not of that form.
bool ParseScript(const std::string& script, std::vector<FrameGroup>& groups, std::string& bad);
