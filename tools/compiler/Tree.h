// The brush BSP: building it from brush faces, portals between its leaves,
// the flood from the player start with leak detection, filling unreachable
// space, and merging solid siblings.
#pragma once

#include <string>
#include <vector>

#include "compiler/Brushes.h"

namespace orvcompile {

struct Node {
    int plane = -1;              // into the PlaneSet; -1 for leaves
    int children[2] = {-1, -1};  // front (the normal's side, the plane itself included), back
    bool solid = false;
    bool reached = false;  // empty leaf the flood from the player start reached
    // The brushes (BrushSet::brushes) that hold the leaf: the solid ones in a
    // solid leaf, those that are not (Brush::solid) in an empty one.
    std::vector<int> brushes;
    std::vector<int> portals;
    bool IsLeaf() const { return plane < 0; }
};

// A convex opening on a node's plane between two leaves; nodes[0] lies on
// the front of `plane`.
struct Portal {
    Plane plane;
    int planeIndex = -1;  // -1 for the portals on the outer box
    int nodes[2] = {-1, -1};
    Winding winding;
};

struct Tree {
    std::vector<Node> nodes;
    std::vector<Portal> portals;
    int root = -1;
    int outside = -1;  // the leaf beyond the outer box; not in the tree
    Bounds box;        // the outer box: the brushes' bounds with a margin
};

// Builds the tree of `set`'s brushes (their cut pieces become the leaves'
// content). `visible`, when not empty, tells per brush face (by its texture
// index) whether the face shows: the planes of faces that show split first.
Tree BuildTree(const BrushSet& set, const std::vector<char>& visible);

int LeafAt(const Tree& tree, const PlaneSet& planes, Vec3 p);

// Portals, flood from `start`, and filling. False with a message when the start
// is in solid space or when the flood reaches the outside (a leak); for a leak,
// `leakPath` (when given) gets the way out: the start, the centres of the
// openings passed, and the last one, into the outside.
bool FloodAndFill(Tree& tree, const BrushSet& set, Vec3 start, std::string& error,
                  std::vector<Vec3>* leakPath = nullptr);

// Collapses every node whose subtrees are all solid into one solid leaf.
void MergeSolidSiblings(Tree& tree);

}  // namespace orvcompile
