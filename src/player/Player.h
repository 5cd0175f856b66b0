// The player: a first-person eye point, moved once per frame.
#pragma once

#include <cstdint>

#include "math/Vector.h"

struct Player {
    Vector position;     // the eye, 5 units above the feet
    Vector newPosition;  // this frame's proposed position, before collision
    float probe[2];      // x and z of the wall-test point ahead of newPosition
    float yaw;           // radians about the vertical axis
    float pitch;         // radians; larger looks further up
    Vector velocity;     // world units per frame; y is vertical, positive up
    std::uint8_t airborne;
    std::uint8_t jumpHeld;
};

// The start-up's player, before the first frame: the eye at (0, 5, 0) looking
// along +z, at rest on the ground.
void StartPlayer();
