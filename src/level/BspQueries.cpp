// The point-in-solid query and the far-to-near drawing of the level.
#include "globals/Globals.h"
#include "level/Bsp.h"
#include "level/BspWalk.h"
#include "level/Facing.h"
#include "player/Player.h"

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
