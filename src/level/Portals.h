// What the camera's leaf can see: the portals between the level's empty
// leaves, built when the level is loaded, and the flood through them.
#pragma once

#include <array>
#include <cstdint>
#include <vector>

#include "level/ViewVolume.h"
#include "math/Vector.h"

struct BspNode;
struct Polygon;

// A rectangle of the picture in normalised device coordinates (the clip
// coordinates x and y over w; the picture is -1 to 1 on both), unbounded for
// the view of all space.
struct ScreenRect {
    double low[2];
    double high[2];
};

// A portal's corner. A float's rounding is far finer than the margin its
// part of the picture is widened by.
struct Corner {
    float x, y, z;
};

// One way out of a leaf, as the flood reads it: a side of a portal, where
// two leaves meet on a splitting plane (a convex polygon on it). A leaf's
// ways out lie together (FloodLeaf), their corners too, so that the flood
// reads them in one run; a portal's two sides each keep their own copy, as
// an eye off its plane passes it one way only.
struct Opening {
    std::array<double, 4> plane;  // a x + b y + c z + d, a unit normal pointing into the leaf it leads out of
    // Where the opening shows in the picture, worked out once a flood (mark:
    // that flood's) for every pass through it.
    ScreenRect shown;
    std::uint32_t mark;
    std::uint32_t beyond;                  // the leaf it leads into, in LevelPortals::leaves
    std::uint32_t firstCorner, endCorner;  // in LevelPortals::corners
    // Covered by polygons of the leaf it leads out of that lie on it and face
    // into that leaf, which the drawing hands over after everything beyond it.
    bool closed;
};

// A leaf as the flood reads it: its node (in LevelPortals::nodes), its ways
// out (LevelPortals::openings, [firstOpening, endOpening)), the mark of the
// last flood that reached it, the part of the picture that flood saw it in,
// how often it widened that part after flooding on from it, and whether it
// waits to be flooded on from.
struct FloodLeaf {
    std::uint32_t node;
    std::uint32_t firstOpening, endOpening;
    ScreenRect seen;
    std::uint32_t mark;
    std::uint8_t widenings;
    bool queued;
};

// A node as the flood marks it: its parent (kNoParent for the top) and the
// mark of the last flood that reached a leaf of its subtree. Kept apart from
// the tree, so that marking a leaf's way up reads a few kilobytes, not a
// record per node.
struct FloodNode {
    static constexpr std::uint32_t kNoParent = 0xFFFFFFFF;
    std::uint32_t parent;
    std::uint32_t mark;
};

// The portals of a loaded level and where they were built.
struct LevelPortals {
    // False when the level has none to go by (a splitting plane without a
    // direction, a tree too deep to cut up at load): then every leaf counts
    // as seen.
    bool usable = false;
    Box box{};                      // the bounds of every polygon, widened: the portals are cut to it
    std::vector<FloodNode> nodes;   // every node (BspNode::floodNode)
    std::vector<FloodLeaf> leaves;  // every leaf (BspNode::floodLeaf), solid ones included
    std::vector<Opening> openings;
    std::vector<Corner> corners;
    std::uint32_t mark = 0;  // the last flood's mark
};

// Builds the portals of the tree at `top` into `level` and lists each in its
// two leaves' ways out. Each splitting plane's polygon, as large as
// `bounds` widened, is cut to the node's cell by the planes above it, then
// through both subtrees into the leaves it touches; every piece is a portal,
// solid leaves' included: a solid leaf is only space without polygons, and
// its walls hide what lies beyond only where faces cover them, as a
// compiler closes every solid leaf that the inside of the level touches.
// Portals closed from both sides are left out. Pieces lying on a plane go
// to both of its sides, and clipping keeps a sliver past every plane, so
// the portals may overlap but never miss an opening.
void BuildPortals(BspNode* top, const Box& bounds, LevelPortals& level);

// Marks with a fresh level.mark (FloodNode::mark) every node with a leaf the
// camera might see: the leaves it may stand in, and those reached through
// open portals on the camera's side that show inside the part of the picture
// the leaf before them is seen in (FloodLeaf::seen). A leaf's part is the
// rectangle around the openings it is seen through, widened by a few pixels;
// an opening that reaches behind the camera keeps the part it is seen from.
// A portal its polygons close counts as open while the eye is nearer its
// plane than the view's near reach (ViewVolume::NearReach), as the near plane
// may cut those polygons away.
// A leaf reached again in more of the picture floods on with the union, and
// after a few such widenings with the whole picture, so that the flood ends
// after a few passes of each portal whatever the level. False, marking
// nothing, when that cannot be told: no usable portals, or the camera outside
// the portals' box or possibly in a solid leaf.
bool MarkSeenLeaves(BspNode* top, Vector camera, const ViewVolume& view, LevelPortals& level);

// Whether a polygon of a leaf seen in `part` of the picture may show: false
// only when its corners all lie in front of the camera and the rectangle
// around their projections, widened as an opening's, misses that part. What
// of a leaf lies outside its part is hidden as the leaves beyond its openings
// are, so such a polygon need not be drawn.
bool MayShowIn(const ScreenRect& part, const Polygon& polygon, const ViewVolume& view);
