// The facing and normal rules, the point-in-solid query and the far-to-near
// drawing of the level.
#include "level/Bsp.h"
#include "level/BspWalk.h"
#include "player/Player.h"

bool IsBehind(const Polygon& polygon, Vector point) {
    const float* v0 = polygon.vertices[0].position;
    const Vector toPlane{v0[0] - point.x, v0[1] - point.y, v0[2] - point.z};
    return Dot(toPlane, {polygon.normal[0], polygon.normal[1], polygon.normal[2]}) > 0.0f;
}

void SetNormal(Polygon& polygon) {
    const float* v0 = polygon.vertices[0].position;
    const float* v1 = polygon.vertices[1].position;
    const float* v2 = polygon.vertices[2].position;
    const Vector normal = Normalise(Cross({v1[0] - v0[0], v1[1] - v0[1], v1[2] - v0[2]},
                                          {v2[0] - v0[0], v2[1] - v0[1], v2[2] - v0[2]}));
    polygon.normal[0] = normal.x;
    polygon.normal[1] = normal.y;
    polygon.normal[2] = normal.z;
}

bool Bsp::IsPointSolid(float x, float y, float z) {
    const BspNode* node = root;
    if (!node) return false;
    const Vector point{x, y, z};
    while (!node->isLeaf) node = IsBehind(node->plane, point) ? node->back : node->front;
    return node->isSolid == 1;
}

// The renderers draw the level with the depth test always passing: this order
// and the facing test alone decide what covers what.
void Bsp::Draw(BspNode** link) {
    if (!*link) return;
    ForEachPolygonFarToNear(*link, g_Player.position, [](BspNode& leaf, std::int32_t index) {
        g_PolygonsRendered = static_cast<std::int16_t>(g_PolygonsRendered + 1);  // wraps past 32767
        g_pRenderer->DrawPolygon(leaf.polygons[index]);
    });
}
