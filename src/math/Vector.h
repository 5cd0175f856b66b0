// Three-component vectors: points and directions in world space (y is up).
#pragma once

struct Vector {
    float x, y, z;
};

float Dot(Vector a, Vector b);

// Cross(a, b) == -Cross(b, a); the level's normals depend on this operand order.
Vector Cross(Vector a, Vector b);

// Unit vector in the direction of v. A zero vector gives three NaNs; callers
// that can pass one (the player's idle movement direction) deal with that.
Vector Normalise(Vector v);
