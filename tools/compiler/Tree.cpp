#include "compiler/Tree.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <deque>

namespace orvcompile {

namespace {

// Space kept between the brushes and the outer box, so that the outside flood
// has room to run around the map.
constexpr double kOuterMargin = 16;
// A cut that leaves less than this on one side of a brush makes a sliver.
constexpr double kSliverDepth = 1.0;

// The side of the box on the plane: 0 front, 1 back, 2 both.
int BoundsOnPlaneSide(const Bounds& b, const Plane& plane) {
    Vec3 nearest, farthest;  // corners with the smallest and largest distance
    for (int axis = 0; axis < 3; ++axis) {
        const bool positive = Component(plane.normal, axis) >= 0;
        const double lo = Component(b.min, axis), hi = Component(b.max, axis);
        (axis == 0 ? nearest.x : axis == 1 ? nearest.y : nearest.z) = positive ? lo : hi;
        (axis == 0 ? farthest.x : axis == 1 ? farthest.y : farthest.z) = positive ? hi : lo;
    }
    if (Distance(plane, nearest) >= -kOnEpsilon) return 0;
    if (Distance(plane, farthest) <= kOnEpsilon) return 1;
    return 2;
}

struct Score {
    long value;
    bool valid = false;
};

// Picks the splitting plane among the untested brush faces: axial planes
// first; among them, faces on the plane count for it, cut brushes, imbalance
// and slivers against it. Ties go to the candidate met first.
int SelectSplit(const std::vector<Brush>& brushes, const PlaneSet& planes, const std::vector<char>& visible) {
    std::vector<int> candidates;
    std::vector<char> seen;  // per candidate: whether some face on it is visible
    for (const Brush& brush : brushes)
        for (const BrushSide& side : brush.sides) {
            if (!side.original || side.tested) continue;
            const auto at = std::find(candidates.begin(), candidates.end(), side.plane & ~1);
            const bool shows = !visible.empty() && visible[static_cast<std::size_t>(side.texture)];
            if (at == candidates.end()) {
                candidates.push_back(side.plane & ~1);
                seen.push_back(static_cast<char>(shows));
            } else if (shows) {
                seen[static_cast<std::size_t>(at - candidates.begin())] = 1;
            }
        }
    // Visible faces first, then the rest; within each, axial planes first.
    for (int pass = 0; pass < 4; ++pass) {
        int best = -1;
        long bestValue = 0;
        for (std::size_t c = 0; c < candidates.size(); ++c) {
            const int candidate = candidates[c];
            const Plane& plane = planes[candidate];
            if ((AxisOf(plane) >= 0) != (pass % 2 == 0)) continue;
            if (!visible.empty() && bool(seen[c]) != (pass < 2)) continue;
            long front = 0, back = 0, splits = 0, facing = 0, slivers = 0;
            for (const Brush& brush : brushes) {
                for (const BrushSide& side : brush.sides)
                    if ((side.plane & ~1) == candidate) ++facing;
                int s = BoundsOnPlaneSide(brush.bounds, plane);
                if (s == 2) s = BrushOnPlaneSide(brush, plane);
                if (s == 0) ++front;
                if (s == 1) ++back;
                if (s != 2) continue;
                ++splits;
                double most = 0, least = 0;
                for (const BrushSide& side : brush.sides)
                    for (Vec3 p : side.winding) {
                        most = std::max(most, Distance(plane, p));
                        least = std::min(least, Distance(plane, p));
                    }
                if (most < kSliverDepth || -least < kSliverDepth) ++slivers;
            }
            const long value = 5 * facing - 5 * splits - std::labs(front - back) - 50 * slivers;
            if (best < 0 || value > bestValue) {
                best = candidate;
                bestValue = value;
            }
        }
        if (best >= 0) return best;
    }
    return -1;
}

int Build(Tree& tree, std::vector<Brush> brushes, const PlaneSet& planes, const std::vector<char>& visible) {
    const int index = static_cast<int>(tree.nodes.size());
    tree.nodes.emplace_back();
    const int plane = SelectSplit(brushes, planes, visible);
    if (plane < 0) {
        // Every face of every piece here is a plane above: the leaf lies inside
        // them all, solid when one of them is.
        Node& leaf = tree.nodes[static_cast<std::size_t>(index)];
        leaf.solid = std::any_of(brushes.begin(), brushes.end(), [](const Brush& b) { return b.solid; });
        for (const Brush& brush : brushes)
            if (brush.solid == leaf.solid) leaf.brushes.push_back(brush.original);
        std::sort(leaf.brushes.begin(), leaf.brushes.end());
        leaf.brushes.erase(std::unique(leaf.brushes.begin(), leaf.brushes.end()), leaf.brushes.end());
        return index;
    }
    std::vector<Brush> sides[2];
    for (const Brush& brush : brushes) {
        Brush pieces[2];
        SplitBrush(brush, plane, planes, pieces[0], pieces[1]);
        for (int s = 0; s < 2; ++s) {
            if (pieces[s].sides.empty()) continue;
            for (BrushSide& side : pieces[s].sides)
                if ((side.plane & ~1) == plane) side.tested = true;
            sides[s].push_back(std::move(pieces[s]));
        }
    }
    brushes.clear();
    const int front = Build(tree, std::move(sides[0]), planes, visible);
    const int back = Build(tree, std::move(sides[1]), planes, visible);
    Node& node = tree.nodes[static_cast<std::size_t>(index)];
    node.plane = plane;
    node.children[0] = front;
    node.children[1] = back;
    return index;
}

Node& NodeAt(Tree& tree, int index) { return tree.nodes[static_cast<std::size_t>(index)]; }

void AddPortal(Tree& tree, Portal portal) {
    const int id = static_cast<int>(tree.portals.size());
    NodeAt(tree, portal.nodes[0]).portals.push_back(id);
    NodeAt(tree, portal.nodes[1]).portals.push_back(id);
    tree.portals.push_back(std::move(portal));
}

void RemovePortal(Node& node, int id) { node.portals.erase(std::find(node.portals.begin(), node.portals.end(), id)); }

Vec3 BoxCentre(const Tree& tree) { return (tree.box.min + tree.box.max) * 0.5; }
double BoxExtent(const Tree& tree) { return Length(tree.box.max - tree.box.min) + 1; }

void MakeOuterPortals(Tree& tree, const Bounds& bounds) {
    tree.box = bounds;
    tree.box.Add(bounds.min - Vec3{kOuterMargin, kOuterMargin, kOuterMargin});
    tree.box.Add(bounds.max + Vec3{kOuterMargin, kOuterMargin, kOuterMargin});
    Plane faces[6];
    for (int axis = 0; axis < 3; ++axis) {
        const Vec3 n{axis == 0 ? 1.0 : 0.0, axis == 1 ? 1.0 : 0.0, axis == 2 ? 1.0 : 0.0};
        // Normals point into the box: the root lies in front.
        faces[axis * 2] = {n, Component(tree.box.min, axis), {}};
        faces[axis * 2 + 1] = {-n, -Component(tree.box.max, axis), {}};
    }
    for (int i = 0; i < 6; ++i) {
        Portal portal;
        portal.plane = faces[i];
        portal.nodes[0] = tree.root;
        portal.nodes[1] = tree.outside;
        portal.winding = BaseWinding(faces[i], BoxCentre(tree), BoxExtent(tree));
        for (int j = 0; j < 6; ++j)
            if (j != i) portal.winding = ClipFront(portal.winding, faces[j]);
        AddPortal(tree, std::move(portal));
    }
}

void MakeTreePortals(Tree& tree, int index, const PlaneSet& planes) {
    if (NodeAt(tree, index).IsLeaf()) return;
    const int planeIndex = NodeAt(tree, index).plane;
    const Plane& plane = planes[planeIndex];
    const int front = NodeAt(tree, index).children[0];
    const int back = NodeAt(tree, index).children[1];

    // The new portal: the whole plane, cut down to the node's region.
    Portal portal;
    portal.plane = plane;
    portal.planeIndex = planeIndex;
    portal.nodes[0] = front;
    portal.nodes[1] = back;
    portal.winding = BaseWinding(plane, BoxCentre(tree), BoxExtent(tree));
    const std::vector<int> bounding = NodeAt(tree, index).portals;
    for (int id : bounding) {
        const Portal& p = tree.portals[static_cast<std::size_t>(id)];
        portal.winding = ClipFront(portal.winding, p.nodes[0] == index ? p.plane : Flipped(p.plane));
    }
    // The bounding portals go to the child (or both children) they touch.
    for (int id : bounding) {
        const int side = tree.portals[static_cast<std::size_t>(id)].nodes[0] == index ? 0 : 1;
        const int other = tree.portals[static_cast<std::size_t>(id)].nodes[1 - side];
        RemovePortal(NodeAt(tree, other), id);
        Winding parts[2];
        Split(tree.portals[static_cast<std::size_t>(id)].winding, plane, parts[0], parts[1]);
        bool kept = false;
        for (int child = 0; child < 2; ++child) {
            if (parts[child].empty()) continue;
            if (!kept) {
                Portal& p = tree.portals[static_cast<std::size_t>(id)];
                p.winding = parts[child];
                p.nodes[side] = NodeAt(tree, index).children[child];
                NodeAt(tree, p.nodes[0]).portals.push_back(id);
                NodeAt(tree, p.nodes[1]).portals.push_back(id);
                kept = true;
            } else {
                Portal piece = tree.portals[static_cast<std::size_t>(id)];
                piece.winding = parts[child];
                piece.nodes[side] = NodeAt(tree, index).children[child];
                AddPortal(tree, std::move(piece));
            }
        }
    }
    NodeAt(tree, index).portals.clear();
    if (!portal.winding.empty()) AddPortal(tree, std::move(portal));
    MakeTreePortals(tree, front, planes);
    MakeTreePortals(tree, back, planes);
}

std::string Format(Vec3 p) {
    char text[96];
    std::snprintf(text, sizeof text, "(%g %g %g)", p.x, p.y, p.z);
    return text;
}

// The centre of the winding's part within the box, or of the whole winding
// when no part of it is.
Vec3 MiddleWithin(const Bounds& b, const Winding& w) {
    Winding part = w;
    for (int axis = 0; axis < 3 && !part.empty(); ++axis) {
        Vec3 n;
        (axis == 0 ? n.x : axis == 1 ? n.y : n.z) = 1;
        part = ClipFront(part, {n, Component(b.min, axis), {}});
        part = ClipFront(part, {-n, -Component(b.max, axis), {}});
    }
    return Centre(part.empty() ? w : part);
}

}  // namespace

Tree BuildTree(const BrushSet& set, const std::vector<char>& visible) {
    Tree tree;
    tree.root = Build(tree, set.brushes, set.planes, visible);
    tree.outside = static_cast<int>(tree.nodes.size());
    tree.nodes.emplace_back();
    return tree;
}

int LeafAt(const Tree& tree, const PlaneSet& planes, Vec3 p) {
    int index = tree.root;
    while (!tree.nodes[static_cast<std::size_t>(index)].IsLeaf()) {
        const Node& node = tree.nodes[static_cast<std::size_t>(index)];
        index = node.children[Distance(planes[node.plane], p) >= 0 ? 0 : 1];
    }
    return index;
}

bool FloodAndFill(Tree& tree, const BrushSet& set, Vec3 start, std::string& error, std::vector<Vec3>* leakPath) {
    Bounds bounds;
    for (const Brush& brush : set.brushes) {
        bounds.Add(brush.bounds.min);
        bounds.Add(brush.bounds.max);
    }
    MakeOuterPortals(tree, bounds);
    MakeTreePortals(tree, tree.root, set.planes);

    // A start beyond the outer box leaks straight out; one inside a brush is
    // no leak but a start to move.
    if (!tree.box.Contains(start)) {
        error = "leak: the player start " + Format(start) + " lies outside the map";
        if (leakPath) *leakPath = {start, tree.box.Nearest(start)};
        return false;
    }
    const int first = LeafAt(tree, set.planes, start);
    if (NodeAt(tree, first).solid) {
        error = "the player start " + Format(start) + " lies inside a brush";
        return false;
    }
    std::vector<int> via(tree.nodes.size(), -1);  // the portal the flood came through
    std::deque<int> queue{first};
    NodeAt(tree, first).reached = true;
    while (!queue.empty()) {
        const int leaf = queue.front();
        queue.pop_front();
        for (int id : NodeAt(tree, leaf).portals) {
            const Portal& portal = tree.portals[static_cast<std::size_t>(id)];
            const int other = portal.nodes[portal.nodes[0] == leaf ? 1 : 0];
            Node& node = NodeAt(tree, other);
            if (node.solid || node.reached) continue;
            if (other == tree.outside) {
                // The way back to the start: each opening by the middle of its
                // part among the brushes, so that the last such point names the hole.
                std::vector<Vec3> path{Centre(portal.winding)};
                for (int at = leaf; via[static_cast<std::size_t>(at)] >= 0;) {
                    const Portal& back = tree.portals[static_cast<std::size_t>(via[static_cast<std::size_t>(at)])];
                    path.push_back(MiddleWithin(bounds, back.winding));
                    at = back.nodes[back.nodes[0] == at ? 1 : 0];
                }
                path.push_back(start);
                std::reverse(path.begin(), path.end());
                if (leaf == first) {
                    // Above the roof, say, within the brushes' bounds but in no room.
                    error = "leak: the player start " + Format(start) +
                            " is not enclosed by brushes: its space opens straight onto the outside";
                } else {
                    const auto hole =
                        std::find_if(path.rbegin(), path.rend(), [&](Vec3 p) { return bounds.Contains(p); });
                    error = "leak: the map is not sealed; the outside can be reached from the player start " +
                            Format(start) + " by way of " + Format(hole == path.rend() ? start : *hole);
                }
                if (leakPath) *leakPath = std::move(path);
                return false;
            }
            node.reached = true;
            via[static_cast<std::size_t>(other)] = id;
            queue.push_back(other);
        }
    }
    for (Node& node : tree.nodes)
        if (node.IsLeaf() && !node.solid && !node.reached) node.solid = true;
    NodeAt(tree, tree.outside).solid = false;
    return true;
}

namespace {

bool MergeSolid(Tree& tree, int index) {
    Node& node = NodeAt(tree, index);
    if (node.IsLeaf()) return node.solid;
    const bool front = MergeSolid(tree, node.children[0]);
    const bool back = MergeSolid(tree, node.children[1]);
    if (!front || !back) return false;
    Node& merged = NodeAt(tree, index);
    merged.plane = -1;
    merged.solid = true;
    merged.children[0] = merged.children[1] = -1;
    return true;
}

}  // namespace

void MergeSolidSiblings(Tree& tree) { MergeSolid(tree, tree.root); }

}  // namespace orvcompile
