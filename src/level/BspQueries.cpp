// The point-in-solid query of the level.
#include "level/Bsp.h"
#include "level/Facing.h"

bool Bsp::IsPointSolid(float x, float y, float z) {
    const BspNode* node = root;
    if (!node) return false;
    const Vector point{x, y, z};
    while (!node->isLeaf) node = IsBehind(node->plane, point) ? node->back : node->front;
    return node->isSolid == 1;
}
