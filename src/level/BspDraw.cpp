// The far-to-near drawing of the level.
#include "globals/Globals.h"
#include "level/Bsp.h"
#include "level/BspWalk.h"
#include "level/Facing.h"
#include "player/Player.h"

// The renderers draw the level with the depth test always passing: this order
// and the facing test alone decide what covers what.
void Bsp::Draw(BspNode** link, const ViewVolume& view) {
    if (!*link) return;
    const Vector camera = g_Player.position;
    // The count wraps past 32767; adding a left-out subtree's count at once
    // wraps to the same value as counting its polygons one by one.
    // A camera whose leaf cannot be told (or no portals) sees every leaf.
    const bool flooded = cullUnseen && MarkSeenLeaves(root, camera, view, portals);
    auto leaveOut = [this, &view, camera, flooded](const BspNode* node) {
        if (!cullUnseen) return false;
        if (!(flooded && portals.nodes[node->floodNode].mark != portals.mark) && !view.Excludes(node->bounds))
            return false;
        std::int32_t facing = 0;
        for (std::int32_t i = node->firstPlane; i < node->endPlane; ++i)
            if (!IsBehind(planes[i].v0, planes[i].normal, camera)) ++facing;
        g_PolygonsRendered = static_cast<std::int16_t>(g_PolygonsRendered + facing);
        return true;
    };
    ForEachPolygonFarToNear(
        *link, camera,
        [this, flooded, &view](BspNode& leaf, std::int32_t index) {
            g_PolygonsRendered = static_cast<std::int16_t>(g_PolygonsRendered + 1);
            if (flooded && !MayShowIn(portals.leaves[leaf.floodLeaf].seen, leaf.polygons[index], view)) return;
            g_pRenderer->DrawPolygon(leaf.polygons[index]);
        },
        leaveOut);
}
