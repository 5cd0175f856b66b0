// The far-to-near drawing of the level.
#include "globals/Globals.h"
#include "level/Bsp.h"
#include "level/BspWalk.h"
#include "player/Player.h"

// The renderers draw the level with the depth test always passing: this order
// and the facing test alone decide what covers what.
void Bsp::Draw(BspNode** link) {
    if (!*link) return;
    ForEachPolygonFarToNear(*link, g_Player.position, [](BspNode& leaf, std::int32_t index) {
        g_PolygonsRendered = static_cast<std::int16_t>(g_PolygonsRendered + 1);  // wraps past 32767
        g_pRenderer->DrawPolygon(leaf.polygons[index]);
    });
}
