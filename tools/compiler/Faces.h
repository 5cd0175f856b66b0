// The visible surface: faces from the portals between reached empty leaves and
// solid leaves (or leaves inside brushes that are not solid), each kept in the
// empty leaf it faces; T-junction fixing and triangulation.
#pragma once

#include <vector>

#include "compiler/Tree.h"

namespace orvcompile {

struct Face {
    int leaf = -1;     // the empty leaf the face looks into
    int plane = -1;    // its normal points into the leaf
    int texture = -1;  // into BrushSet::textures
    Winding winding;
};

// The faces, less those whose texture is undrawn (skip, caulk).
std::vector<Face> MakeFaces(const Tree& tree, const BrushSet& set);

// Joins faces of one leaf, plane and texture that share an edge where their
// union stays convex, and drops the corners that joining leaves straight.
void MergeFaces(std::vector<Face>& faces, const PlaneSet& planes);

// Adds to each face's edges the vertices of other faces that lie on them, so
// that neighbouring triangles share whole edges.
void FixTJunctions(std::vector<Face>& faces);

struct Triangle {
    Vec3 v[3];  // ordered so that Cross(v1 − v0, v2 − v0) points along the face normal
};

// Splits a convex face into triangles none of which has (nearly) zero area.
std::vector<Triangle> Triangulate(const Winding& winding);

}  // namespace orvcompile
