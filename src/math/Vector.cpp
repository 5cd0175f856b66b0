#include "math/Vector.h"

#include <cmath>

float Dot(Vector a, Vector b) { return a.x * b.x + a.y * b.y + a.z * b.z; }

Vector Cross(Vector a, Vector b) { return {a.y * b.z - a.z * b.y, a.z * b.x - a.x * b.z, a.x * b.y - a.y * b.x}; }

Vector Normalise(Vector v) {
    const float length = std::sqrt(v.x * v.x + v.y * v.y + v.z * v.z);
    // One reciprocal and three multiplies instead of three divisions. No zero
    // check: 1/0 is +inf and 0 * inf is NaN, which is the intended result.
    const float reciprocal = 1.0f / length;
    return {v.x * reciprocal, v.y * reciprocal, v.z * reciprocal};
}
