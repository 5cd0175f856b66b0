// The facing and normal rules of the engine's triangles.
#include "level/Facing.h"

bool IsBehind(const Polygon& polygon, Vector point) {
    const float* v0 = polygon.vertices[0].position;
    return IsBehind({v0[0], v0[1], v0[2]}, {polygon.normal[0], polygon.normal[1], polygon.normal[2]}, point);
}

bool IsBehind(Vector v0, Vector normal, Vector point) {
    return Dot({v0.x - point.x, v0.y - point.y, v0.z - point.z}, normal) > 0.0f;
}

void SetNormal(Polygon& polygon) {
    const float* v0 = polygon.vertices[0].position;
    const float* v1 = polygon.vertices[1].position;
    const float* v2 = polygon.vertices[2].position;
    const Vector normal =
        Normalise(Cross({v1[0] - v0[0], v1[1] - v0[1], v1[2] - v0[2]}, {v2[0] - v0[0], v2[1] - v0[1], v2[2] - v0[2]}));
    polygon.normal[0] = normal.x;
    polygon.normal[1] = normal.y;
    polygon.normal[2] = normal.z;
}
