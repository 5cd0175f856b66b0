#include "support/files/LevelFiles.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdio>
#include <numeric>
#include <random>

#include "support/files/Bmp.h"

const char kFloorLevel[] =
    "NBSP 2 floor 3\n"
    "0 1 2  0 0 0  0 0 1  1 0 0\n"
    "1 0 1\n"
    "  1  0 0 0 0 0 0 0  0 0 1 0 1 0 1  1 0 0 1 0 1 0  test-lm000 floor0\n"
    "1 1\n";

namespace {

constexpr float kBox = 10.0f;     // cells are sampled within [-kBox, kBox] on each axis
constexpr double kMargin = 0.05;  // polygons keep this far from every plane above them

Vector Add(Vector a, Vector b) { return {a.x + b.x, a.y + b.y, a.z + b.z}; }
Vector Sub(Vector a, Vector b) { return {a.x - b.x, a.y - b.y, a.z - b.z}; }
Vector Scale(Vector a, float s) { return {a.x * s, a.y * s, a.z * s}; }

// The side of one plane a cell lies on.
struct Side {
    Vector v0;
    Vector normal;  // as the loader computes it
    bool front;
};

struct Node {
    bool leaf = false;
    bool solid = false;
    int front = -1, back = -1;  // creation indices
    std::array<Vector, 3> plane{};
    std::vector<std::array<Vector, 3>> polygons;
    std::vector<bool> textured;
};

class Generator {
public:
    explicit Generator(unsigned seed) : random(seed) {}

    std::vector<Node> nodes;  // in creation order, the root first

    int Build(const std::vector<Side>& cell, int depth) {
        const int index = static_cast<int>(nodes.size());
        nodes.emplace_back();
        Vector v0;
        if (depth > 0 && Uniform(0, 1) > 0.1f && PointIn(cell, v0)) {
            Vector t1, t2;
            Basis(RandomUnit(), t1, t2);
            const std::array<Vector, 3> plane = {v0, Add(v0, Scale(t1, 3)), Add(v0, Scale(t2, 3))};
            const Vector normal = Normalise(Cross(Sub(plane[1], plane[0]), Sub(plane[2], plane[0])));
            nodes[index].plane = plane;
            std::vector<Side> frontCell = cell, backCell = cell;
            frontCell.push_back({v0, normal, true});
            backCell.push_back({v0, normal, false});
            const int front = Build(frontCell, depth - 1);
            const int back = Build(backCell, depth - 1);
            nodes[index].front = front;
            nodes[index].back = back;
            return index;
        }
        nodes[index].leaf = true;
        nodes[index].solid = Uniform(0, 1) < 0.2f;
        if (!nodes[index].solid) AddPolygons(cell, nodes[index]);
        return index;
    }

    float Uniform(float low, float high) { return std::uniform_real_distribution<float>(low, high)(random); }
    std::mt19937& Random() { return random; }

private:
    std::mt19937 random;

    Vector RandomUnit() {
        for (;;) {
            const Vector v{Uniform(-1, 1), Uniform(-1, 1), Uniform(-1, 1)};
            const float length2 = Dot(v, v);
            if (length2 > 0.01f && length2 <= 1.0f) return Normalise(v);
        }
    }

    // t1 and t2 span the plane with normal n, and Cross(t1, t2) points along n.
    static void Basis(Vector n, Vector& t1, Vector& t2) {
        const Vector other = std::fabs(n.x) < 0.9f ? Vector{1, 0, 0} : Vector{0, 1, 0};
        t1 = Normalise(Cross(n, other));
        t2 = Cross(n, t1);
    }

    static bool Inside(const std::vector<Side>& cell, Vector p) {
        for (const Side& side : cell) {
            const double d = double(p.x - side.v0.x) * side.normal.x + double(p.y - side.v0.y) * side.normal.y +
                             double(p.z - side.v0.z) * side.normal.z;
            if (side.front ? d < kMargin : d > -kMargin) return false;
        }
        return true;
    }

    bool PointIn(const std::vector<Side>& cell, Vector& point) {
        for (int attempt = 0; attempt < 200; ++attempt) {
            point = {Uniform(-kBox, kBox), Uniform(-kBox, kBox), Uniform(-kBox, kBox)};
            if (Inside(cell, point)) return true;
        }
        return false;
    }

    // Up to four triangles in one plane through a point of the cell.
    void AddPolygons(const std::vector<Side>& cell, Node& leaf) {
        Vector centre, u, w;
        if (!PointIn(cell, centre)) return;
        Basis(RandomUnit(), u, w);
        const int count = std::uniform_int_distribution<int>(0, 4)(random);
        for (int i = 0; i < count; ++i) {
            float reach = Uniform(1.0f, 8.0f);
            for (int attempt = 0; attempt < 40; ++attempt, reach *= 0.9f) {
                std::array<Vector, 3> triangle;
                for (Vector& vertex : triangle)
                    vertex = Add(centre, Add(Scale(u, Uniform(-reach, reach)), Scale(w, Uniform(-reach, reach))));
                const Vector cross = Cross(Sub(triangle[1], triangle[0]), Sub(triangle[2], triangle[0]));
                if (Dot(cross, cross) < 0.01f) continue;
                if (!std::all_of(triangle.begin(), triangle.end(), [&](Vector v) { return Inside(cell, v); })) continue;
                if (Uniform(0, 1) < 0.5f) std::swap(triangle[1], triangle[2]);
                leaf.polygons.push_back(triangle);
                leaf.textured.push_back(Uniform(0, 1) < 0.5f);
                break;
            }
        }
    }
};

std::string Number(float value) {
    char text[32];
    std::snprintf(text, sizeof text, "%.9g", value);  // enough digits to read back the same float
    return text;
}

std::string Position(Vector v) { return Number(v.x) + " " + Number(v.y) + " " + Number(v.z); }

}  // namespace

GeneratedLevel GenerateLevel(unsigned seed, int maxDepth) {
    Generator generator(seed);
    generator.Build({}, maxDepth);
    const std::vector<Node>& nodes = generator.nodes;

    // The records go out in a shuffled order, so the root is seldom record 0.
    std::vector<int> fileIndex(nodes.size());
    std::iota(fileIndex.begin(), fileIndex.end(), 0);
    std::shuffle(fileIndex.begin(), fileIndex.end(), generator.Random());
    std::vector<int> creationIndex(nodes.size());
    for (std::size_t i = 0; i < nodes.size(); ++i) creationIndex[fileIndex[i]] = static_cast<int>(i);

    GeneratedLevel level;
    level.nodeCount = static_cast<int>(nodes.size());
    level.text = "NBSP 2 generated " + std::to_string(nodes.size()) + "\n";
    for (std::size_t file = 0; file < nodes.size(); ++file) {
        const Node& node = nodes[creationIndex[file]];
        if (!node.leaf) {
            level.text += "0 " + std::to_string(fileIndex[node.front]) + " " + std::to_string(fileIndex[node.back]);
            for (Vector v : node.plane) level.text += "  " + Position(v);
            level.text += "\n";
            level.planePoints.push_back(node.plane[0]);
        } else if (node.solid) {
            level.text += "1 1\n";
        } else {
            level.text += "1 0 " + std::to_string(node.polygons.size()) + "\n";
            for (std::size_t i = 0; i < node.polygons.size(); ++i) {
                const bool textured = node.textured[i];
                GeneratedPolygon polygon{static_cast<int>(file),
                                         static_cast<int>(i),
                                         "n" + std::to_string(file) + "p" + std::to_string(i),
                                         {}};
                level.text += textured ? "  1" : "  0";
                for (int v = 0; v < 3; ++v) {
                    polygon.vertices[v] = node.polygons[i][v];
                    level.text += "  " + Position(polygon.vertices[v]) + " 0.5 0.25";
                    if (textured) level.text += " 1 -1";
                }
                level.text += "  " + polygon.lightmapName + (textured ? " t" + std::to_string(i) : "") + "\n";
                level.polygons.push_back(polygon);
            }
        }
    }
    return level;
}

std::string DeepChainLevel(int depth) {
    // Internal node i is record i; the empty leaf is record `depth`; the solid
    // leaf behind node i is record depth + 1 + i.
    std::string text = "NBSP 2 deep " + std::to_string(2 * depth + 1) + "\n";
    for (int i = 0; i < depth; ++i) {
        const std::string y = std::to_string(-i);
        text += "0 " + std::to_string(i + 1) + " " + std::to_string(depth + 1 + i) + " 0 " + y + " 0 0 " + y + " 1 1 " +
                y + " 0\n";
    }
    text += "1 0 1 1 0 0 0 0 0 0 0 0 0 1 0 1 0 1 1 0 0 1 0 1 0 deep-lm deep\n";
    for (int i = 0; i < depth; ++i) text += "1 1\n";
    return text;
}

std::string PolygonRecord(const std::string& lightmap, const std::string& texture) {
    if (texture.empty()) return "0  0 0 0 0 0  0 0 1 0 1  1 0 0 1 0  " + lightmap;
    return "1  0 0 0 0 0 0 0  0 0 1 0 1 0 1  1 0 0 1 0 1 0  " + lightmap + " " + texture;
}

std::string EmptyLeaf(const std::vector<std::string>& polygons) {
    std::string text = "1 0 " + std::to_string(polygons.size());
    for (const std::string& polygon : polygons) text += "\n  " + polygon;
    return text + "\n";
}

std::string ConvexCellLevel(const std::vector<std::array<Vector, 3>>& planes,
                            const std::vector<std::string>& polygons) {
    // Plane i is record i, its front the next plane's record; the cell is
    // record k; the solid leaf behind plane i is record k + 1 + i.
    const int k = static_cast<int>(planes.size());
    std::string text = "NBSP 2 cell " + std::to_string(2 * k + 1) + "\n";
    for (int i = 0; i < k; ++i) {
        text += "0 " + std::to_string(i + 1) + " " + std::to_string(k + 1 + i);
        for (Vector v : planes[i]) text += "  " + Position(v);
        text += "\n";
    }
    text += EmptyLeaf(polygons);
    for (int i = 0; i < k; ++i) text += "1 1\n";
    return text;
}

std::vector<std::string> QuadRecords(Vector centre, Vector right, Vector up, const std::string& lightmap,
                                     const std::string& texture, float repeat) {
    // Corner (a, b) is centre + a * right + b * up.
    auto corner = [&](float a, float b) {
        std::string record = "  " + Position(Add(centre, Add(Scale(right, a), Scale(up, b)))) + " " +
                             Number((a + 1) / 2) + " " + Number((1 - b) / 2);
        if (!texture.empty()) record += " " + Number((a + 1) / 2 * repeat) + " " + Number((1 - b) / 2 * repeat);
        return record;
    };
    const std::string kind = texture.empty() ? "0" : "1";
    const std::string names = "  " + lightmap + (texture.empty() ? "" : " " + texture);
    return {kind + corner(-1, -1) + corner(-1, 1) + corner(1, -1) + names,
            kind + corner(-1, 1) + corner(1, 1) + corner(1, -1) + names};
}

std::string SplitRecord(int front, int back, char axis, float at, bool frontAbove) {
    // Two directions in the plane whose cross product points along +axis.
    const int a = axis == 'x' ? 0 : axis == 'y' ? 1 : 2;
    float v0[3] = {0, 0, 0}, v1[3] = {0, 0, 0}, v2[3] = {0, 0, 0};
    v0[a] = v1[a] = v2[a] = at;
    v1[(a + 1) % 3] = 1;
    v2[(a + 2) % 3] = 1;
    if (!frontAbove) std::swap(v1, v2);
    std::string text = "0 " + std::to_string(front) + " " + std::to_string(back);
    for (const float* v : {v0, v1, v2}) text += "  " + Position({v[0], v[1], v[2]});
    return text + "\n";
}

std::string LevelText(const std::vector<std::string>& records) {
    std::string text = "NBSP 2 test " + std::to_string(records.size()) + "\n";
    for (const std::string& record : records) text += record.back() == '\n' ? record : record + "\n";
    return text;
}

std::string StepLevel(float height, char axis) {
    return LevelText({SplitRecord(1, 2, axis, 3.0f), SplitRecord(3, 4, 'y', height), SplitRecord(5, 6, 'y', 0.0f),
                      EmptyLeaf({}), "1 1", EmptyLeaf({}), "1 1"});
}

namespace {

// The room grid's coordinates. Every vertex is made by one of these from
// whole numbers, so the corners that squares, doorways and passages share are
// the same floats and the rooms are closed to the last pixel.
struct GridCoordinates {
    int cuts;
    float Along(int cell, int square) const {  // x or z of a room's square corner
        return static_cast<float>(cell) * kGridRoomSize + kGridWall +
               static_cast<float>(square) * ((kGridRoomSize - 2 * kGridWall) / static_cast<float>(cuts));
    }
    float Cell(int cell) const { return static_cast<float>(cell) * kGridRoomSize; }
    float Height(int row) const { return kGridRoomHeight * static_cast<float>(row) / static_cast<float>(cuts); }
    int Door() const { return cuts / 2; }  // the doorway's square; its rows are the two lowest
};

// The point at `along` on the x axis (or z when `alongX` is false), `across`
// on the other, at height y.
Vector GridPoint(bool alongX, float along, float y, float across) {
    return alongX ? Vector{along, y, across} : Vector{across, y, along};
}

// The two triangles of the square p00, p10 (right of it), p01 (above it),
// p11, facing along `facing`.
void GridSquare(Vector p00, Vector p10, Vector p01, Vector p11, Vector facing, const std::string& lightmap,
                const std::string& texture, std::vector<std::string>& records) {
    const bool flip = Dot(Cross(Sub(p01, p00), Sub(p10, p00)), facing) < 0;
    const std::string kind = texture.empty() ? "0" : "1";
    auto corner = [&](Vector p, float u, float v) {
        std::string text = "  " + Position(p) + " " + Number(u) + " " + Number(v);
        return texture.empty() ? text : text + " " + Number(u) + " " + Number(v);
    };
    const std::string a = corner(p00, 0, 1), b = corner(p10, 1, 1), c = corner(p01, 0, 0), d = corner(p11, 1, 0);
    const std::string names = "  " + lightmap + (texture.empty() ? "" : " " + texture);
    records.push_back(kind + (flip ? a + b + c : a + c + b) + names);
    records.push_back(kind + (flip ? b + d + c : c + d + b) + names);
}

// One room's polygon records, every surface facing into the room: floor and
// ceiling (textured) and four walls of `cuts` x `cuts` squares; a wall with a
// neighbouring room beyond it leaves a doorway.
std::vector<std::string> GridRoom(const GridCoordinates& at, int column, int row, int rooms,
                                  const std::string& lightmap) {
    std::vector<std::string> records;
    const int n = at.cuts;
    // A surface of squares: point(i, j) for corners 0..n each way.
    auto surface = [&](auto point, Vector facing, bool door, const std::string& texture) {
        for (int i = 0; i < n; ++i)
            for (int j = 0; j < n; ++j)
                if (!door || i != at.Door() || j >= 2)
                    GridSquare(point(i, j), point(i + 1, j), point(i, j + 1), point(i + 1, j + 1), facing, lightmap,
                               texture, records);
    };
    for (int level = 0; level < 2; ++level) {  // floor, ceiling
        const float y = level ? kGridRoomHeight : 0.0f;
        surface(
            [&](int i, int j) {
                return Vector{at.Along(column, i), y, at.Along(row, j)};
            },
            {0, level ? -1.0f : 1.0f, 0}, false, "grid-floor");
    }
    for (bool alongX : {true, false}) {
        const int cell = alongX ? row : column, other = alongX ? column : row;
        for (int side = 0; side < 2; ++side) {  // the low wall facing up the axis, the high one facing down
            const float across = at.Along(cell, side ? n : 0);
            const Vector facing = GridPoint(alongX, 0, 0, side ? -1.0f : 1.0f);
            const int beyond = cell + (side ? 1 : -1);
            surface([&](int i, int j) { return GridPoint(alongX, at.Along(other, i), at.Height(j), across); }, facing,
                    beyond >= 0 && beyond < rooms, "");
        }
    }
    return records;
}

// The half of a passage between two rooms that lies in one cell: from
// `from` to `to` across the wall (along z when `alongX`, the doorway's width
// along x; the other way round otherwise), floor, ceiling and two sides,
// facing into it.
std::vector<std::string> GridPassage(const GridCoordinates& at, bool alongX, int other, float from, float to,
                                     const std::string& lightmap) {
    std::vector<std::string> records;
    const float low = at.Along(other, at.Door()), high = at.Along(other, at.Door() + 1);
    auto point = [&](float along, float y, float across) { return GridPoint(alongX, along, y, across); };
    for (int level = 0; level < 2; ++level) {
        const float y = at.Height(level ? 2 : 0);
        GridSquare(point(low, y, from), point(high, y, from), point(low, y, to), point(high, y, to),
                   {0, level ? -1.0f : 1.0f, 0}, lightmap, "grid-floor", records);
    }
    for (int side = 0; side < 2; ++side) {
        const float along = side ? high : low;
        for (int j = 0; j < 2; ++j)
            GridSquare(point(along, at.Height(j), from), point(along, at.Height(j), to),
                       point(along, at.Height(j + 1), from), point(along, at.Height(j + 1), to),
                       point(side ? -1.0f : 1.0f, 0, 0), lightmap, "", records);
    }
    return records;
}

constexpr char kSolidLeaf[] = "1 1";

// Appends a record and returns its index.
int Append(std::vector<std::string>& records, std::string record) {
    records.push_back(std::move(record));
    return static_cast<int>(records.size()) - 1;
}

// A splitting node whose children are made after it: its index; the caller
// fills the record in.
int Reserve(std::vector<std::string>& records) { return Append(records, ""); }

// The records of one cell: the room's box, an empty leaf, in walls of
// kGridWall on each side of the cell's edges, solid like the space above,
// below and around the grid, pierced by a passage to each neighbour.
int GridCell(const GridCoordinates& at, int column, int row, int rooms, std::vector<std::string>& records) {
    const std::string lightmap = "grid-lm" + std::to_string((column + row) % 4);
    const int top = Reserve(records), below = Reserve(records);
    records[top] = SplitRecord(below, Append(records, kSolidLeaf), 'y', 0.0f);
    int parent = Reserve(records);
    records[below] = SplitRecord(parent, Append(records, kSolidLeaf), 'y', kGridRoomHeight, false);
    // The four wall strips, each cut off the cell in turn; what is left is the room.
    for (bool alongX : {false, true}) {  // x walls (west, east), then z walls (south, north)
        const int cell = alongX ? row : column, other = alongX ? column : row;
        for (int side = 0; side < 2; ++side) {
            const int beyond = cell + (side ? 1 : -1);
            int strip;
            if (beyond < 0 || beyond >= rooms) {
                strip = Append(records, kSolidLeaf);
            } else {
                // The passage: between the doorway's sides, below its top.
                const char axis = alongX ? 'x' : 'z';
                const float edge = at.Cell(cell + side), wall = at.Along(cell, side ? at.cuts : 0);
                strip = Reserve(records);
                const int second = Reserve(records), third = Reserve(records);
                const int leaf = Append(records, EmptyLeaf(GridPassage(at, alongX, other, edge, wall, lightmap)));
                records[strip] = SplitRecord(second, Append(records, kSolidLeaf), axis, at.Along(other, at.Door()));
                records[second] =
                    SplitRecord(third, Append(records, kSolidLeaf), axis, at.Along(other, at.Door() + 1), false);
                records[third] = SplitRecord(leaf, Append(records, kSolidLeaf), 'y', at.Height(2), false);
            }
            const int rest = Reserve(records);
            records[parent] =
                SplitRecord(rest, strip, alongX ? 'z' : 'x', at.Along(cell, side ? at.cuts : 0), side == 0);
            parent = rest;
        }
    }
    records[parent] = EmptyLeaf(GridRoom(at, column, row, rooms, lightmap));
    return top;
}

// The records of the subtree over cells [x0, x1) x [z0, z1), appended to
// `records`; its index there.
int GridSubtree(const GridCoordinates& at, int x0, int x1, int z0, int z1, bool alongX, int rooms,
                std::vector<std::string>& records) {
    if (x1 - x0 == 1 && z1 - z0 == 1) return GridCell(at, x0, z0, rooms, records);
    if (x1 - x0 == 1) alongX = false;
    if (z1 - z0 == 1) alongX = true;
    const int index = Reserve(records);
    const int middle = alongX ? (x0 + x1) / 2 : (z0 + z1) / 2;
    const int front = alongX ? GridSubtree(at, middle, x1, z0, z1, !alongX, rooms, records)
                             : GridSubtree(at, x0, x1, middle, z1, !alongX, rooms, records);
    const int back = alongX ? GridSubtree(at, x0, middle, z0, z1, !alongX, rooms, records)
                            : GridSubtree(at, x0, x1, z0, middle, !alongX, rooms, records);
    records[index] = SplitRecord(front, back, alongX ? 'x' : 'z', at.Cell(middle));
    return index;
}

}  // namespace

std::string RoomGridLevel(int rooms, int cuts) {
    std::vector<std::string> records;
    GridSubtree({cuts}, 0, rooms, 0, rooms, true, rooms, records);
    return LevelText(records);
}

const std::array<GridView, kGridViewCount> kGridViews = {{
    {{16, 8, 16}, 0.0f, 0.0f},               // the first room, along its column
    {{200, 8, 200}, 0.7f, 0.1f},             // mid-grid, across the diagonal
    {{100, 3, 180}, -2.0f, -0.2f},           // low, looking back
    {{128, 8, 128}, 3.14159f, 0.0f},         // in the walls' corner, on two splitting planes at once
    {{192, 60, -40}, 0.0f, -0.6f},           // above and outside, looking in and down
    {{-50, 8, 192}, -1.5708f, 0.0f},         // outside the west wall, looking east
    {{192, 200, 192}, 0.3f, -1.5f},          // high above, looking straight down
    {{370, 14, 10}, -0.785f, -0.3f},         // the last room's corner, up at the ceiling
    {{50, 8, 40}, 1.5708f, 0.0f},            // inside a room, facing its west wall
    {{3, 3, 18.5f}, -1.5708f, 0.0f},         // along a row of rooms, east through the doorways in line
    {{128, 2, 146.5f}, 1.5708f, 0.05f},      // in a passage, on the splitting plane between two cells
    {{240, 8, 272}, 2.4f, -0.1f},            // in a room's corner, the doorways at the side of the view
    {{30, 6, 16.5f}, 0.0f, 0.0f},            // beside a doorway, its opening reaching behind the camera
    {{133.7f, 4.3f, 94.9f}, 0.665f, -0.2f},  // 0.1 from a wall, which the near plane cuts open
}};

void WriteRoomGrid(const TempDir& dir) {
    const Rgb colours[4] = {{255, 255, 255}, {255, 160, 96}, {96, 200, 255}, {160, 255, 120}};
    for (int i = 0; i < 4; ++i)
        dir.Write("grid-lm" + std::to_string(i) + ".bmp", MakeBmp24(8, 8, [&](int x, int y) {
                      const int shade = 128 + 16 * ((x + y) % 8);  // lightmap filtering shows
                      return Rgb{static_cast<std::uint8_t>(colours[i].r * shade / 255),
                                 static_cast<std::uint8_t>(colours[i].g * shade / 255),
                                 static_cast<std::uint8_t>(colours[i].b * shade / 255)};
                  }));
    dir.Write("grid-floor.bmp", MakeBmp24(16, 16, [](int x, int y) {
                  return (x / 4 + y / 4) % 2 ? Rgb{200, 200, 200} : Rgb{60, 60, 60};
              }));
    dir.Write("test.bsp", RoomGridLevel(kGridRooms, kGridCuts));
}
