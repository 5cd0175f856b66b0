// Level files for the tests, written as text the way other programs write them.
#pragma once

#include <array>
#include <string>
#include <vector>

#include "math/Vector.h"
#include "support/files/TempDir.h"

// One floor plane (node 0: y = 0, normal up); node 1, the empty space above
// it, holds one textured triangle facing up (lightmap "test-lm000", texture
// "floor0"); node 2, below, is solid.
extern const char kFloorLevel[];

// One polygon of a generated level as written to its file.
struct GeneratedPolygon {
    int node;                  // the leaf's index in the file
    int index;                 // the polygon's index in that leaf
    std::string lightmapName;  // "n<node>p<index>": tells the polygons apart once drawn
    Vector vertices[3];
};

// A random level as a BSP compiler writes one: random splitting planes, the
// root somewhere among the records, solid and empty leaves. Every polygon lies
// inside its leaf's cell, clear of each plane above it, and the polygons of
// one leaf lie in one plane, so none of them can cover another of its leaf.
// About half of them are textured; their windings are random.
struct GeneratedLevel {
    std::string text;
    int nodeCount;
    std::vector<GeneratedPolygon> polygons;
    std::vector<Vector> planePoints;  // the first vertex of every splitting plane
};

GeneratedLevel GenerateLevel(unsigned seed, int maxDepth);

// A tree as deep as a careless compiler makes one: `depth` internal nodes in a
// chain, each with the floor plane y = -i (normal up), the next node in
// front and a solid leaf behind; at the end of the chain the empty leaf holds
// one textured triangle facing up at y = 0 (lightmap "deep-lm", texture "deep").
std::string DeepChainLevel(int depth);

// A triangle at y = 0 facing up, as a polygon record: untextured (15 floats
// and the lightmap name) when `texture` is empty, else textured (21 floats,
// the lightmap name, the texture name).
std::string PolygonRecord(const std::string& lightmap, const std::string& texture = "");

// An empty leaf's record holding these polygon records.
std::string EmptyLeaf(const std::vector<std::string>& polygons);

// A level of one convex cell: behind each plane (three points whose normal by
// the level's rule points into the cell) lies solid space; the cell, an
// empty leaf, holds the polygon records.
std::string ConvexCellLevel(const std::vector<std::array<Vector, 3>>& planes, const std::vector<std::string>& polygons);

// The two polygon records of the rectangle centre ± right ± up, facing a
// viewer who sees `right` to the right and `up` upward. The lightmap spans it
// once, its top row at the top; the texture, when there is one, `repeat`
// times in each direction.
std::vector<std::string> QuadRecords(Vector centre, Vector right, Vector up, const std::string& lightmap,
                                     const std::string& texture = "", float repeat = 1.0f);

// A splitting node's record for hand-built levels: its front and back
// children's indices and the plane `axis` = `at` ('x', 'y' or 'z'), whose
// front side (the side its normal points to, the plane itself included) is
// where that coordinate is at least `at`, or with `frontAbove` false at most.
std::string SplitRecord(int front, int back, char axis, float at, bool frontAbove = true);

// A level file of these node records, in this order.
std::string LevelText(const std::vector<std::string>& records);

// A large level of `rooms` x `rooms` box rooms as a compiler makes one: solid
// space around empty leaves. Each room stands in a cell `kGridRoomSize` wide,
// its floor at y = 0, the first cell spanning x and z from 0 to kGridRoomSize,
// in walls kGridWall thick on each side of the cells' edges, and is
// `kGridRoomHeight` high. Its floor and ceiling (textured "grid-floor") and
// four walls face into it, each cut into `cuts` x `cuts` squares of two
// triangles; a wall with a room beyond it leaves a doorway (the square after
// the middle, counted along the axis, in its two lowest rows) into a passage
// to the next room's doorway, a square tube facing inward. The tree halves
// the grid along x and z in turn; in a cell, planes cut off the solid below
// and above, then the wall strips with their passages (an empty leaf each),
// leaving the room, one empty leaf. Its lightmaps are "grid-lm0" to
// "grid-lm3", in turn by room.
constexpr float kGridRoomSize = 32.0f, kGridRoomHeight = 16.0f, kGridWall = 1.0f;
std::string RoomGridLevel(int rooms, int cuts);

// The grid the drawing tests and the benchmarks use: 144 rooms, 66,432 triangles.
constexpr int kGridRooms = 12, kGridCuts = 6;

// Writes that level as "test.bsp" into `dir` with its lightmaps (a colour
// each) and floor texture (a checkerboard).
void WriteRoomGrid(const TempDir& dir);

// Where to look at it from: inside rooms, in a passage, in solid space on
// splitting planes, outside the grid and above it, in many directions.
struct GridView {
    Vector position;
    float yaw, pitch;
};
constexpr std::size_t kGridViewCount = 14;
extern const std::array<GridView, kGridViewCount> kGridViews;

// Flat ground for walking: solid below the floor y = 0 where `axis` < 3 and
// below the floor y = `height` where `axis` >= 3, so a step up of `height`
// (or a ledge down, when it is negative) 3 units along +axis from the
// origin. A tall step is a wall.
std::string StepLevel(float height, char axis = 'z');
