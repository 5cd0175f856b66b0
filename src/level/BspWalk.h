// Walks over a subtree that need neither recursion nor a stack of their own:
// they climb back through the parent links, so a tree of any depth is safe,
// hostile files included. Internal nodes must have both children.
#pragma once

#include "level/Bsp.h"
#include "level/Facing.h"

// Calls done(node) for every node of the subtree at `top` once the node's
// whole subtree is done (a leaf at once), taking at every internal node first
// the child that first(node) names, then the other. A node for which
// skip(node) is true, asked when the walk reaches it, is passed over with its
// subtree, done not called. done may free the node: nothing of a node is read
// after done returns, and top's parent is never read.
template <typename First, typename Done, typename Skip>
void WalkSubtree(BspNode* top, First first, Done done, Skip skip) {
    BspNode* node = top;
    for (;;) {
        bool skipped;
        while (!(skipped = skip(node)) && !node->isLeaf) node = first(node);
        // node's subtree is complete: climb until a second child is left to walk.
        for (;;) {
            if (node == top) {
                if (!skipped) done(node);
                return;
            }
            BspNode* parent = node->parent;
            BspNode* second = first(parent) == parent->front ? parent->back : parent->front;
            const bool wasFirst = node != second;
            if (!skipped) done(node);
            skipped = false;
            if (wasFirst) {
                node = second;
                break;
            }
            node = parent;
        }
    }
}

template <typename First, typename Done>
void WalkSubtree(BspNode* top, First first, Done done) {
    WalkSubtree(top, first, done, [](const BspNode*) { return false; });
}

// Calls visit(leaf, index) for every polygon of the subtree at `top` that faces
// `camera`, in drawing order: at each plane the whole subtree on the far side
// first (the back one when the camera is on the plane), leaves' polygons in
// array order. Subtrees for which skip(node) is true are passed over.
template <typename Visit, typename Skip>
void ForEachPolygonFarToNear(BspNode* top, Vector camera, Visit visit, Skip skip) {
    WalkSubtree(
        top, [camera](const BspNode* node) { return IsBehind(node->plane, camera) ? node->front : node->back; },
        [camera, &visit](BspNode* node) {
            if (!node->isLeaf || node->isSolid) return;
            for (std::int32_t i = 0; i < node->polygonCount; ++i)
                if (!IsBehind(node->polygons[i], camera)) visit(*node, i);
        },
        skip);
}

template <typename Visit>
void ForEachPolygonFarToNear(BspNode* top, Vector camera, Visit visit) {
    ForEachPolygonFarToNear(top, camera, visit, [](const BspNode*) { return false; });
}
