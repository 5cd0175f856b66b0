// Brushes as convex solids: the shared plane table, brush sides with their
// windings, building brushes from the map (with the checks that make a map
// invalid) and cutting a brush in two.
#pragma once

#include <string>
#include <vector>

#include "compiler/Geometry.h"
#include "compiler/Map.h"

namespace orvcompile {

// Planes are kept in pairs: plane i and plane i ^ 1 are the same plane facing
// opposite ways. Equal planes (within epsilon) share one entry, the first one
// found keeping its defining points.
class PlaneSet {
public:
    int Find(const Plane& plane);  // adds the plane (and its opposite) when new
    const Plane& operator[](int index) const { return planes[static_cast<std::size_t>(index)]; }
    int Size() const { return static_cast<int>(planes.size()); }
    void Scale(double factor);  // every plane moved with the space scaled about the origin

private:
    std::vector<Plane> planes;
};

struct BrushSide {
    int plane = -1;        // outward
    int texture = -1;      // index into the map's face textures; -1 for cut sides
    bool original = true;  // a face of the map's brush, not made by a cut
    bool tested = false;   // already used as a splitter above this brush fragment
    Winding winding;
};

struct Brush {
    int original = -1;  // index in BrushSet::brushes of the whole brush this is (a piece of)
    std::vector<BrushSide> sides;
    Bounds bounds;
    bool solid = true;  // MapBrush::solid
};

// The textures of all map faces in one table, indexed by BrushSide::texture.
struct BrushSet {
    PlaneSet planes;
    std::vector<TextureProjection> textures;
    std::vector<Brush> brushes;
};

// Builds the map's brushes; false, with the brush's line, when a brush is
// open, has no volume or has a face that does not bound it. For a lenient map
// that brush is left out instead, with a warning.
bool BuildBrushes(const Map& map, BrushSet& set, Reporter& reporter);

// Cuts `brush` by plane `planeIndex`. A side that misses a piece leaves that
// piece empty (no sides); pieces too thin to matter are dropped.
void SplitBrush(const Brush& brush, int planeIndex, const PlaneSet& planes, Brush& front, Brush& back);

// Which side of the plane the brush lies on: 0 front, 1 back, 2 both (cut).
int BrushOnPlaneSide(const Brush& brush, const Plane& plane);

double Volume(const Brush& brush);
// True when p lies inside the brush (on its faces counts as inside).
bool BrushContains(const Brush& brush, const PlaneSet& planes, Vec3 p);

}  // namespace orvcompile
