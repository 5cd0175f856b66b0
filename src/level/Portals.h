// What the camera's leaf can see: the portals between the level's empty
// leaves, built when the level is loaded, and the flood through them.
#pragma once

#include <array>
#include <cstdint>
#include <vector>

#include "level/ViewVolume.h"
#include "math/Vector.h"

struct BspNode;

// A point in double precision, for the portals' clipping.
struct Point {
    double x, y, z;
};

// Where two leaves meet on a splitting plane: a convex polygon on it, the
// plane (a x + b y + c z + d, a unit normal pointing to leaves[0], the
// plane's front), and whether it is closed to a camera on the side of
// leaves[i]: covered by polygons of that leaf lying on it and facing that
// way, which the drawing hands over after everything beyond it.
struct Portal {
    std::vector<Point> points;
    std::array<double, 4> plane;
    BspNode* leaves[2];
    bool closed[2];
};

// The portals of a loaded level and where they were built.
struct LevelPortals {
    // False when the level has none to go by (a splitting plane without a
    // direction, a tree too deep to cut up at load): then every leaf counts
    // as seen.
    bool usable = false;
    Box box{};  // the bounds of every polygon, widened: the portals are cut to it
    std::vector<Portal> portals;
    std::uint32_t mark = 0;  // the last flood's mark (BspNode::seenMark)
};

// Builds the portals of the tree at `top` into `level` and lists each in its
// two leaves (BspNode::portals). Each splitting plane's polygon, as large as
// `bounds` widened, is cut to the node's cell by the planes above it, then
// through both subtrees into the leaves it touches; every piece is a portal,
// solid leaves' included: a solid leaf is only space without polygons, and
// its walls hide what lies beyond only where faces cover them, as a
// compiler closes every solid leaf that the inside of the level touches.
// Portals closed from both sides are left out. Pieces lying on a plane go
// to both of its sides, and clipping keeps a sliver past every plane, so
// the portals may overlap but never miss an opening.
void BuildPortals(BspNode* top, const Box& bounds, LevelPortals& level);

// Marks with a fresh level.mark (BspNode::seenMark) every node with a leaf
// the camera might see: the leaves it may stand in, and those reached through
// portals inside the view, each portal narrowing the view to the opening
// (widened by a few pixels' angle). False, marking nothing, when that cannot
// be told: no usable portals, the camera outside the portals' box or possibly
// in a solid leaf, or a flood that grew too long.
bool MarkSeenLeaves(BspNode* top, Vector camera, const ViewVolume& view, LevelPortals& level);
