// The portals between empty leaves and the flood through them.
#include "level/Portals.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <limits>
#include <span>
#include <utility>

#include "level/Bsp.h"
#include "level/BspWalk.h"

namespace {

// A point in double precision, for the portals' clipping.
struct Point {
    double x, y, z;
};

using Plane = std::array<double, 4>;  // a point is outside when a x + b y + c z + d > 0
using Polygon3 = std::vector<Point>;

// As the view volume's margin: far larger than a float's rounding, far
// smaller than anything worth drawing.
constexpr double kRelativeMargin = 1e-4;
// How far an opening's part of the picture is widened, in normalised device
// coordinates: a few pixels, far more than the rasteriser's rounding of an
// edge.
constexpr double kPictureMargin = 0.01;
constexpr double kUnbounded = std::numeric_limits<double>::infinity();
// How often a leaf's part of the picture widens before it counts as all of
// it: bounds the flood's passes of each portal.
constexpr std::uint8_t kMostWidenings = 4;
// The most point-plane tests the load spends on portals (the room grid of
// 66,432 triangles needs 2.3 million, under a tenth of a second; a hostile
// tree of tens of thousands of nested planes billions).
constexpr long long kBuildBudget = 20'000'000;
// At load the portals are cut with far less margin than the view's: a
// double's rounding is far smaller still, and a portal counts as covered
// when no more than slivers of this width are left open.
constexpr double kBuildMargin = 1e-7;
// How near a polygon's corners must lie to a portal's plane to count as on
// it, as a part of the view's margin: the level's float normals are off by
// far less.
constexpr double kOnPlane = 0.1;
// An eye nearer a portal's plane than this part of the view's margin lies on
// it, as far as a float position tells (a double's rounding is far smaller).
constexpr double kEyeOnPlane = 1e-3;

// A portal as the load builds it: a convex polygon where two leaves meet on
// a splitting plane (a unit normal pointing to leaves[0], the plane's
// front), and whether it is closed to a camera on the side of leaves[i]
// (Opening::closed).
struct Portal {
    Polygon3 points;
    Plane plane;
    BspNode* leaves[2];
    bool closed[2];
};

Point Minus(Point a, Point b) { return {a.x - b.x, a.y - b.y, a.z - b.z}; }
Point Along(Point a, Point direction, double t) {
    return {a.x + t * direction.x, a.y + t * direction.y, a.z + t * direction.z};
}
double Dot(Point a, Point b) { return a.x * b.x + a.y * b.y + a.z * b.z; }
Point Cross(Point a, Point b) { return {a.y * b.z - a.z * b.y, a.z * b.x - a.x * b.z, a.x * b.y - a.y * b.x}; }
double Length(Point a) { return std::sqrt(Dot(a, a)); }
Point ToPoint(Vector v) { return {v.x, v.y, v.z}; }

double Value(const Plane& plane, Point p) { return plane[0] * p.x + plane[1] * p.y + plane[2] * p.z + plane[3]; }

// What a point's value may be off by: the margin of the size of its terms.
double Margin(const Plane& plane, Point p) {
    return kRelativeMargin *
           (std::fabs(plane[0] * p.x) + std::fabs(plane[1] * p.y) + std::fabs(plane[2] * p.z) + std::fabs(plane[3]));
}

Plane Row(const ViewVolume& view, int coordinate) {
    const double* row = view.ClipRow(coordinate);
    return {row[0], row[1], row[2], row[3]};
}

Plane Flipped(const Plane& plane) { return {-plane[0], -plane[1], -plane[2], -plane[3]}; }

// The part of `polygon` not outside `plane`, with a sliver of `margin`
// (relative, as Margin's) beyond it; empty when less than a triangle is left.
Polygon3 Clip(const Polygon3& polygon, const Plane& plane, long long& work, double margin = kRelativeMargin) {
    Polygon3 kept;
    const std::size_t count = polygon.size();
    work += static_cast<long long>(count);
    for (std::size_t i = 0; i < count; ++i) {
        const Point a = polygon[i], b = polygon[(i + 1) % count];
        const double outA = Value(plane, a) - Margin(plane, a) / kRelativeMargin * margin;
        const double outB = Value(plane, b) - Margin(plane, b) / kRelativeMargin * margin;
        if (outA <= 0) kept.push_back(a);
        if ((outA <= 0) != (outB <= 0)) kept.push_back(Along(a, Minus(b, a), outA / (outA - outB)));
    }
    if (kept.size() < 3) kept.clear();
    return kept;
}

// A node's plane with its front (where the facing rule puts a point in
// front, the plane included) outside; false for a plane without a direction.
bool FrontPlane(const BspNode& node, Plane& plane) {
    const Point normal{node.plane.normal[0], node.plane.normal[1], node.plane.normal[2]};
    const float* v0 = node.plane.vertices[0].position;
    const Point at{v0[0], v0[1], v0[2]};
    const double length = Length(normal);
    if (!std::isfinite(length) || std::fabs(length - 1) > 1e-3 || !std::isfinite(Dot(at, at))) return false;
    plane = {normal.x, normal.y, normal.z, -Dot(normal, at)};
    return true;
}

// The pieces of `polygon` in the leaves of the subtree at `top`.
std::vector<std::pair<Polygon3, BspNode*>> CutThrough(Polygon3 polygon, BspNode* top, long long& work) {
    std::vector<std::pair<Polygon3, BspNode*>> pieces, pending{{std::move(polygon), top}};
    while (!pending.empty() && work <= kBuildBudget) {
        auto [piece, node] = std::move(pending.back());
        pending.pop_back();
        if (node->isLeaf) {
            pieces.emplace_back(std::move(piece), node);
            continue;
        }
        Plane plane;
        FrontPlane(*node, plane);  // every node's was checked before
        Polygon3 front = Clip(piece, Flipped(plane), work, kBuildMargin);
        Polygon3 back = Clip(piece, plane, work, kBuildMargin);
        if (!front.empty()) pending.emplace_back(std::move(front), node->front);
        if (!back.empty()) pending.emplace_back(std::move(back), node->back);
    }
    return pieces;
}

Point Centre(const Polygon3& polygon) {
    Point centre{0, 0, 0};
    for (Point p : polygon) centre = Along(centre, p, 1.0 / static_cast<double>(polygon.size()));
    return centre;
}

// The unit direction, in the plane of `normal`, across the edge from a to b
// and away from `centre`; none for an edge without length.
Point Outward(Point a, Point b, Point normal, Point centre) {
    const Point out = Cross(Minus(b, a), normal);
    const double length = Length(out);
    if (!(length > 0)) return {0, 0, 0};
    return Along({0, 0, 0}, out, (Dot(out, Minus(a, centre)) < 0 ? -1 : 1) / length);
}

double Area(const Polygon3& polygon) {
    Point sum{0, 0, 0};
    for (std::size_t i = 0; i < polygon.size(); ++i) {
        const Point across = Cross(polygon[i], polygon[(i + 1) % polygon.size()]);
        sum = {sum.x + across.x, sum.y + across.y, sum.z + across.z};
    }
    return Length(sum) / 2;
}

// Whether the polygons of `leaf` that lie on the portal's plane and face
// `facing` (1 along its normal, -1 against it) cover the portal: their areas
// within it add up to its own, up to the slivers of the cutting. In a
// compiled level the faces of one plane do not overlap, so what they leave
// open shows as area missing.
bool Covered(const Portal& portal, const BspNode& leaf, double facing, long long& work) {
    const Point normal{portal.plane[0], portal.plane[1], portal.plane[2]};
    const Point centre = Centre(portal.points);
    double perimeter = 0, width = 0;
    std::vector<Plane> edges;  // across the portal's edges, outside away from it
    for (std::size_t i = 0; i < portal.points.size(); ++i) {
        const Point a = portal.points[i], b = portal.points[(i + 1) % portal.points.size()];
        perimeter += Length(Minus(b, a));
        width = std::max(width, 2 * kBuildMargin * (std::fabs(a.x) + std::fabs(a.y) + std::fabs(a.z)));
        const Point out = Outward(a, b, normal, centre);
        if (Length(out) > 0) edges.push_back({out.x, out.y, out.z, -Dot(out, a)});
    }
    double covered = 0;
    for (std::int32_t i = 0; i < leaf.polygonCount; ++i) {
        const ::Polygon& polygon = leaf.polygons[i];
        const Point facingNormal{polygon.normal[0], polygon.normal[1], polygon.normal[2]};
        if (!(Dot(facingNormal, normal) * facing > 0.999)) continue;
        Polygon3 part;
        for (const Vertex& vertex : polygon.vertices) {
            const Point p{vertex.position[0], vertex.position[1], vertex.position[2]};
            if (!(std::fabs(Value(portal.plane, p)) <= Margin(portal.plane, p) * kOnPlane)) break;
            part.push_back(p);
        }
        if (part.size() < 3) continue;
        for (std::size_t e = 0; e < edges.size() && !part.empty(); ++e) part = Clip(part, edges[e], work, 0);
        if (!part.empty()) covered += Area(part);
    }
    return covered >= Area(portal.points) - 2 * perimeter * width;
}

// A square on `plane` around the point of it nearest `centre`, `reach` from
// it each way.
Polygon3 PlaneSquare(const Plane& plane, Point centre, double reach) {
    const Point normal{plane[0], plane[1], plane[2]};
    const Point middle = Along(centre, normal, -Value(plane, centre));
    // Any direction not along the normal, then two across it.
    const Point axis = std::fabs(normal.x) < 0.6 ? Point{1, 0, 0} : Point{0, 1, 0};
    Point u = Cross(normal, axis);
    u = Along({0, 0, 0}, u, 1 / Length(u));
    const Point v = Cross(normal, u);
    return {Along(Along(middle, u, -reach), v, -reach), Along(Along(middle, u, reach), v, -reach),
            Along(Along(middle, u, reach), v, reach), Along(Along(middle, u, -reach), v, reach)};
}

bool Holds(const ScreenRect& outer, const ScreenRect& inner) {
    return outer.low[0] <= inner.low[0] && outer.low[1] <= inner.low[1] && inner.high[0] <= outer.high[0] &&
           inner.high[1] <= outer.high[1];
}

ScreenRect Union(const ScreenRect& a, const ScreenRect& b) {
    return {{std::min(a.low[0], b.low[0]), std::min(a.low[1], b.low[1])},
            {std::max(a.high[0], b.high[0]), std::max(a.high[1], b.high[1])}};
}

// The part of the picture a polygon shows in: the rectangle around its
// corners' projections, widened by the picture margin; unbounded when it
// reaches to or behind the camera's plane (w about 0), where its picture is
// unbounded too, or the view has no picture; empty when it lies wholly
// behind the camera.
ScreenRect Shown(const Corner* corners, std::size_t count, const ViewVolume& view) {
    const ScreenRect unbounded{{-kUnbounded, -kUnbounded}, {kUnbounded, kUnbounded}};
    if (!view.Projects()) return unbounded;
    const Plane x = Row(view, 0), y = Row(view, 1), w = Row(view, 2);
    ScreenRect around{{kUnbounded, kUnbounded}, {-kUnbounded, -kUnbounded}};
    bool onPlane = false, behind = false;
    for (const Corner& corner : std::span(corners, count)) {
        const Point p{corner.x, corner.y, corner.z};
        const double depth = Value(w, p), margin = Margin(w, p);
        if (depth <= margin) {
            (depth >= -margin ? onPlane : behind) = true;
            continue;
        }
        const double at[2] = {Value(x, p) / depth, Value(y, p) / depth};
        for (int axis = 0; axis < 2; ++axis) {
            around.low[axis] = std::min(around.low[axis], at[axis] - kPictureMargin);
            around.high[axis] = std::max(around.high[axis], at[axis] + kPictureMargin);
        }
    }
    const bool inFront = around.low[0] <= around.high[0];
    // Corners on both sides of the camera's plane: an edge between them crosses it.
    return onPlane || (inFront && behind) ? unbounded : around;
}

// The part of `from` that `shown` covers; false when it is empty.
bool Overlap(const ScreenRect& from, const ScreenRect& shown, ScreenRect& part) {
    for (int axis = 0; axis < 2; ++axis) {
        part.low[axis] = std::max(from.low[axis], shown.low[axis]);
        part.high[axis] = std::min(from.high[axis], shown.high[axis]);
        if (!(part.low[axis] <= part.high[axis])) return false;
    }
    return true;
}

void MarkUp(std::vector<FloodNode>& nodes, std::uint32_t node, std::uint32_t mark) {
    for (; node != FloodNode::kNoParent && nodes[node].mark != mark; node = nodes[node].parent) nodes[node].mark = mark;
}

// Lays the open portals out for the flood: each leaf's ways out in one run,
// in the order the portals were built, with their corners in the same order.
void LayOut(const std::vector<Portal>& open, LevelPortals& level) {
    std::vector<std::uint32_t> first(level.leaves.size() + 1, 0);
    for (const Portal& portal : open)
        for (const BspNode* leaf : portal.leaves) ++first[leaf->floodLeaf + 1];
    for (std::size_t i = 1; i < first.size(); ++i) first[i] += first[i - 1];
    std::vector<std::pair<const Portal*, int>> ways(first.back());  // a portal and its side
    std::vector<std::uint32_t> next(first.begin(), first.end() - 1);
    for (const Portal& portal : open)
        for (int side = 0; side < 2; ++side) ways[next[portal.leaves[side]->floodLeaf]++] = {&portal, side};
    level.openings.reserve(ways.size());
    for (std::size_t leaf = 0; leaf < level.leaves.size(); ++leaf) {
        level.leaves[leaf].firstOpening = first[leaf];
        level.leaves[leaf].endOpening = first[leaf + 1];
        for (std::uint32_t way = first[leaf]; way < first[leaf + 1]; ++way) {
            const auto [portal, side] = ways[way];
            const auto start = static_cast<std::uint32_t>(level.corners.size());
            for (const Point& p : portal->points)
                level.corners.push_back({static_cast<float>(p.x), static_cast<float>(p.y), static_cast<float>(p.z)});
            level.openings.push_back({side ? Flipped(portal->plane) : portal->plane,
                                      {},
                                      0,
                                      portal->leaves[1 - side]->floodLeaf,
                                      start,
                                      static_cast<std::uint32_t>(level.corners.size()),
                                      portal->closed[side]});
        }
    }
}

}  // namespace

void BuildPortals(BspNode* top, const Box& bounds, LevelPortals& level) {
    level = {};
    std::vector<BspNode*> internal;
    bool directed = true;
    WalkSubtree(
        top, [](const BspNode* node) { return node->front; },
        [&](BspNode* node) {
            Plane plane;
            node->floodNode = static_cast<std::uint32_t>(level.nodes.size());
            level.nodes.push_back({FloodNode::kNoParent, 0});
            if (node->isLeaf) {
                node->floodLeaf = static_cast<std::uint32_t>(level.leaves.size());
                level.leaves.push_back({node->floodNode, 0, 0, {}, 0, 0, false});
            } else {
                internal.push_back(node);
                if (!FrontPlane(*node, plane)) directed = false;
                // Its children came first.
                level.nodes[node->front->floodNode].parent = level.nodes[node->back->floodNode].parent =
                    node->floodNode;
            }
        });
    double reach = 0;
    for (int axis = 0; axis < 3; ++axis) {
        const double low = bounds.low[axis], high = bounds.high[axis];
        if (!(low <= high) || !std::isfinite(low) || !std::isfinite(high)) return;  // no polygons, or unbounded
        const double widen = 0.01 * (high - low) + 1;
        level.box.low[axis] = static_cast<float>(low - widen);
        level.box.high[axis] = static_cast<float>(high + widen);
        reach += (high - low + 2 * widen) * (high - low + 2 * widen);
    }
    if (!directed) return;
    reach = std::sqrt(reach);
    const Point centre{(level.box.low[0] + level.box.high[0]) / 2.0, (level.box.low[1] + level.box.high[1]) / 2.0,
                       (level.box.low[2] + level.box.high[2]) / 2.0};
    long long work = 0;
    std::vector<Portal> portals;
    for (BspNode* node : internal) {
        Plane plane;
        FrontPlane(*node, plane);
        Polygon3 polygon = PlaneSquare(plane, centre, reach);
        for (int axis = 0; axis < 3 && !polygon.empty(); ++axis)
            for (int side = 0; side < 2; ++side) {
                Plane wall{0, 0, 0, side ? -static_cast<double>(level.box.high[axis]) : level.box.low[axis]};
                wall[axis] = side ? 1 : -1;
                polygon = Clip(polygon, wall, work, kBuildMargin);
            }
        // Into the node's cell: on the side of each plane above it that holds it.
        for (BspNode* child = node; child != top && !polygon.empty() && work <= kBuildBudget; child = child->parent) {
            Plane above;
            FrontPlane(*child->parent, above);
            polygon = Clip(polygon, child == child->parent->front ? Flipped(above) : above, work, kBuildMargin);
        }
        if (polygon.empty()) continue;
        for (auto& [frontPiece, frontLeaf] : CutThrough(std::move(polygon), node->front, work))
            for (auto& [piece, backLeaf] : CutThrough(std::move(frontPiece), node->back, work))
                portals.push_back({std::move(piece), plane, {frontLeaf, backLeaf}, {false, false}});
        if (work > kBuildBudget) break;
    }
    // Laid out in their leaves, save those covered from both sides.
    std::vector<Portal> open;
    for (Portal& portal : portals) {
        for (int side = 0; side < 2 && work <= kBuildBudget; ++side)
            portal.closed[side] = Covered(portal, *portal.leaves[side], side ? -1 : 1, work);
        if (!(portal.closed[0] && portal.closed[1])) open.push_back(std::move(portal));
    }
    if (work > kBuildBudget) {
        level = {};
        return;
    }
    LayOut(open, level);
    level.usable = true;
}

bool MarkSeenLeaves(BspNode* top, Vector camera, const ViewVolume& view, LevelPortals& level) {
    if (!level.usable || !top) return false;
    const Point eye = ToPoint(camera);
    for (int axis = 0; axis < 3; ++axis) {
        const double at = axis == 0 ? eye.x : axis == 1 ? eye.y : eye.z;
        if (!(level.box.low[axis] <= at && at <= level.box.high[axis])) return false;  // not-a-number too
    }
    // The leaves the camera may stand in: both sides of a plane it lies on.
    std::vector<BspNode*> starts, pending{top};
    while (!pending.empty()) {
        BspNode* node = pending.back();
        pending.pop_back();
        if (node->isLeaf) {
            if (node->isSolid) return false;
            starts.push_back(node);
            continue;
        }
        Plane plane;
        FrontPlane(*node, plane);
        const double value = Value(plane, eye), margin = Margin(plane, eye);
        if (value >= -margin) pending.push_back(node->front);
        if (value <= margin) pending.push_back(node->back);
    }
    const std::uint32_t mark = ++level.mark;
    const double bound = view.Projects() ? 1 + kPictureMargin : kUnbounded;
    const ScreenRect whole{{-bound, -bound}, {bound, bound}};
    // Leaves wait in the order they are reached, so that a leaf is mostly
    // reached through all its nearer openings before the flood goes on from
    // it. A leaf seen in `part`: a waiting one takes it in; one flooded from
    // already waits again unless its part holds it.
    std::vector<std::uint32_t> queue;
    auto reach = [&](std::uint32_t index, const ScreenRect& part) {
        FloodLeaf& leaf = level.leaves[index];
        if (leaf.mark != mark) {
            leaf.mark = mark;
            MarkUp(level.nodes, leaf.node, mark);
            leaf.seen = part;
            leaf.widenings = 0;
        } else if (Holds(leaf.seen, part)) {
            return;
        } else if (leaf.queued) {
            leaf.seen = Union(leaf.seen, part);
            return;
        } else {
            leaf.seen = ++leaf.widenings > kMostWidenings ? whole : Union(leaf.seen, part);
        }
        leaf.queued = true;
        queue.push_back(index);
    };
    for (const BspNode* start : starts) reach(start->floodLeaf, whole);
    for (std::size_t next = 0; next < queue.size(); ++next) {
        FloodLeaf& leaf = level.leaves[queue[next]];
        leaf.queued = false;
        const ScreenRect from = leaf.seen;
        for (std::uint32_t way = leaf.firstOpening; way < leaf.endOpening; ++way) {
            Opening& opening = level.openings[way];
            // The eye must lie on this leaf's side of the opening: from its plane
            // no ray crosses it (the leaves on both sides it may stand in are
            // where the flood starts). Its covering polygons face an eye
            // clearly off that plane, and hide what lies beyond unless the
            // near plane may cut them.
            const double side = Value(opening.plane, eye), margin = Margin(opening.plane, eye);
            if (side <= margin * kEyeOnPlane ||
                (side > margin * kOnPlane && side >= view.NearReach() && opening.closed))
                continue;
            if (opening.mark != mark) {
                opening.shown =
                    Shown(&level.corners[opening.firstCorner], opening.endCorner - opening.firstCorner, view);
                opening.mark = mark;
            }
            ScreenRect part;
            if (Overlap(from, opening.shown, part)) reach(opening.beyond, part);
        }
    }
    return true;
}

bool MayShowIn(const ScreenRect& part, const Polygon& polygon, const ViewVolume& view) {
    Corner corners[3];
    for (int i = 0; i < 3; ++i) {
        const float* at = polygon.vertices[i].position;
        corners[i] = {at[0], at[1], at[2]};
    }
    ScreenRect overlap;
    return Overlap(part, Shown(corners, 3, view), overlap);
}
