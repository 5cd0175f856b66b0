// The compiled tree against brute force: sealing, leaks, brush checks, cracks,
// facing and the engine's painter's order.
#include <algorithm>
#include <array>
#include <cmath>
#include <deque>
#include <map>
#include <random>
#include <tuple>

#include <gtest/gtest.h>

#include "support/files/CompileHelpers.h"
#include "support/observe/Raster.h"

using namespace orvcompile;

namespace {

bool InsideAnyBrush(const Map& map, Vec3 p) {
    for (const MapBrush& brush : map.brushes) {
        bool inside = true;
        for (const MapFace& face : brush.faces)
            inside = inside && Distance(PlaneFromPoints(face.points[0], face.points[1], face.points[2]), p) < 0;
        if (inside) return true;
    }
    return false;
}

double NearestPlane(const Map& map, Vec3 p) {
    double nearest = 1e9;
    for (const MapBrush& brush : map.brushes)
        for (const MapFace& face : brush.faces)
            nearest = std::min(nearest,
                               std::fabs(Distance(PlaneFromPoints(face.points[0], face.points[1], face.points[2]), p)));
    return nearest;
}

Vector ToVector(Vec3 p) { return {static_cast<float>(p.x), static_cast<float>(p.y), static_cast<float>(p.z)}; }

// A room with random boxes and wedges in it, some overlapping each other and
// the walls. `blocked` and `reachable` hold, per unit cell, whether its centre
// is in a brush and whether a flood over the cells from the start got there.
struct RandomRoom {
    std::string text;
    Map map;
    int size[3];
    std::vector<char> blocked, reachable;

    std::size_t Cell(int x, int y, int z) const { return (static_cast<std::size_t>(x) * size[1] + y) * size[2] + z; }
    bool ExpectedSolid(Vec3 p) const {
        const int x = static_cast<int>(std::floor(p.x)), y = static_cast<int>(std::floor(p.y)),
                  z = static_cast<int>(std::floor(p.z));
        if (x < 0 || y < 0 || z < 0 || x >= size[0] || y >= size[1] || z >= size[2]) return true;
        if (InsideAnyBrush(map, p)) return true;
        // A cell cut by a slope counts as reached: its free part touches free cells.
        return !blocked[Cell(x, y, z)] && !reachable[Cell(x, y, z)];
    }
};

RandomRoom MakeRandomRoom(unsigned seed, bool wedges = false) {
    std::mt19937 random(seed);
    auto between = [&](int lo, int hi) { return std::uniform_int_distribution<int>(lo, hi)(random); };
    RandomRoom room;
    room.size[0] = between(16, 28);
    room.size[1] = between(10, 18);
    room.size[2] = between(16, 28);
    std::string brushes;
    const int count = between(3, 9);
    for (int i = 0; i < count; ++i) {
        std::array<int, 6> b;
        for (int axis = 0; axis < 3; ++axis) {
            b[axis] = between(0, room.size[axis] - 2);
            b[axis + 3] = between(b[axis] + 1, std::min(room.size[axis], b[axis] + 10));
        }
        const bool wedge = wedges && between(0, 1) == 1;
        brushes += wedge ? "wedge" : "box";
        for (int c : b) brushes += " " + std::to_string(c);
        brushes += wedge ? std::string(" ") + "+-"[between(0, 1)] + "xz"[between(0, 1)] + " ramp0\n" : " box0\n";
    }
    Reporter reporter("r");
    EXPECT_TRUE(ParseMap("level r\nstart 0 0 0\n" + brushes, room.map, reporter)) << reporter.Error();
    const std::size_t cells = static_cast<std::size_t>(room.size[0]) * room.size[1] * room.size[2];
    room.blocked.assign(cells, 0);
    room.reachable.assign(cells, 0);
    for (int x = 0; x < room.size[0]; ++x)
        for (int y = 0; y < room.size[1]; ++y)
            for (int z = 0; z < room.size[2]; ++z)
                room.blocked[room.Cell(x, y, z)] = InsideAnyBrush(room.map, {x + 0.5, y + 0.5, z + 0.5});
    // Start in a free cell, then flood the free cells from it.
    std::array<int, 3> start;
    do {
        for (int axis = 0; axis < 3; ++axis) start[axis] = between(0, room.size[axis] - 1);
    } while (room.blocked[room.Cell(start[0], start[1], start[2])]);
    std::deque<std::array<int, 3>> queue{start};
    room.reachable[room.Cell(start[0], start[1], start[2])] = 1;
    while (!queue.empty()) {
        const auto c = queue.front();
        queue.pop_front();
        for (int axis = 0; axis < 3; ++axis)
            for (int step : {-1, 1}) {
                auto n = c;
                n[axis] += step;
                if (n[axis] < 0 || n[axis] >= room.size[axis]) continue;
                const std::size_t cell = room.Cell(n[0], n[1], n[2]);
                if (room.blocked[cell] || room.reachable[cell]) continue;
                room.reachable[cell] = 1;
                queue.push_back(n);
            }
    }
    room.text = RoomMap(0, 0, 0, room.size[0], room.size[1], room.size[2],
                        std::to_string(start[0] + 0.5) + " " + std::to_string(start[1] + 0.5) + " " +
                            std::to_string(start[2] + 0.5)) +
                brushes;
    return room;
}

TEST(Bsp, RandomRoomsAreSealedExactly) {
    for (unsigned seed = 1; seed <= 16; ++seed) {
        SCOPED_TRACE("seed " + std::to_string(seed));
        const RandomRoom room = MakeRandomRoom(seed, seed > 8);
        const Compiled compiled = CompileText(room.text);
        ASSERT_EQ(compiled.error, "");
        std::mt19937 random(seed * 7919);
        std::uniform_real_distribution<double> unit(0, 1);
        int checked = 0, wrong = 0;
        for (int i = 0; i < 3000; ++i) {
            Vec3 p;
            for (int axis = 0; axis < 3; ++axis) {
                const double c = -6 + unit(random) * (room.size[axis] + 12);
                (axis == 0 ? p.x : axis == 1 ? p.y : p.z) = c;
            }
            // Points on a face may go either way: keep away from the faces' planes.
            if (std::fabs(p.x - std::round(p.x)) < 1e-3 || std::fabs(p.y - std::round(p.y)) < 1e-3 ||
                std::fabs(p.z - std::round(p.z)) < 1e-3 || NearestPlane(room.map, p) < 1e-3)
                continue;
            ++checked;
            if (compiled.read.IsPointSolid(ToVector(p)) != room.ExpectedSolid(p)) ++wrong;
        }
        EXPECT_GT(checked, 2800);
        EXPECT_EQ(wrong, 0);
    }
}

TEST(Bsp, SampleMapIsSealedExactly) {
    const Compiled compiled = CompileText(SampleMap());
    ASSERT_EQ(compiled.error, "");
    // The two rooms' inside: everything there that is in no brush is reachable.
    std::mt19937 random(5);
    std::uniform_real_distribution<double> x(-60, 156), y(-20, 52), z(-60, 60);
    int wrong = 0, checked = 0;
    for (int i = 0; i < 5000; ++i) {
        const Vec3 p{x(random), y(random), z(random)};
        if (NearestPlane(compiled.map, p) < 1e-3) continue;
        const bool insideRooms = p.x > -32 && p.x < 128 && p.y > 0 && p.y < 32 && p.z > -32 && p.z < 32;
        const bool expected = !insideRooms || InsideAnyBrush(compiled.map, p);
        ++checked;
        if (compiled.read.IsPointSolid(ToVector(p)) != expected) ++wrong;
    }
    EXPECT_GT(checked, 4900);
    EXPECT_EQ(wrong, 0);
    // The engine's player start stands in the first room.
    EXPECT_FALSE(compiled.read.IsPointSolid({0, 5, 0}));
    EXPECT_TRUE(compiled.read.IsPointSolid({0, -0.01f, 0}));
}

TEST(Bsp, EnclosedVoidsBecomeSolid) {
    // A hollow box inside the room: its inside cannot be reached.
    const std::string hollow =
        "box 10 0 10 20 1 20 w\nbox 10 9 10 20 10 20 w\nbox 10 1 10 11 9 20 w\n"
        "box 19 1 10 20 9 20 w\nbox 11 1 10 19 9 11 w\nbox 11 1 19 19 9 20 w\n";
    const Compiled compiled = CompileText(RoomMap(0, 0, 0, 32, 16, 32, "2 5 2") + hollow);
    ASSERT_EQ(compiled.error, "");
    EXPECT_TRUE(compiled.read.IsPointSolid({15, 5, 15}));
    EXPECT_FALSE(compiled.read.IsPointSolid({5, 5, 5}));
    // No polygon looks into the void.
    for (const ReadPolygon* p : compiled.read.AllPolygons())
        for (const ReadVertex& v : p->v)
            EXPECT_FALSE(v.position.x > 11 && v.position.x < 19 && v.position.z > 11 && v.position.z < 19 &&
                         v.position.y > 1 && v.position.y < 9);
}

TEST(Bsp, LeakNamesAPointOnThePathOut) {
    // The +x wall has a hole at y 4..6, z 10..12.
    std::string text =
        "level leak\nstart 5 5 5\n"
        "box -4 -4 -4 36 0 36 w\nbox -4 16 -4 36 20 36 w\nbox -4 0 -4 0 16 36 w\n"
        "box 0 0 -4 32 16 0 w\nbox 0 0 32 32 16 36 w\n"
        "box 32 0 -4 36 4 36 w\nbox 32 6 -4 36 16 36 w\nbox 32 4 -4 36 6 10 w\nbox 32 4 12 36 6 36 w\n";
    const Compiled compiled = CompileText(text);
    ASSERT_EQ(compiled.error.find("test.map: leak: the map is not sealed; the outside can be reached from the "
                                  "player start (5 5 5) by way of ("),
              0u)
        << compiled.error;
    double x, y, z;
    ASSERT_EQ(std::sscanf(compiled.error.c_str() + compiled.error.rfind('('), "(%lf %lf %lf)", &x, &y, &z), 3);
    EXPECT_GE(x, 32);
    EXPECT_LE(x, 36);
    EXPECT_GE(y, 4);
    EXPECT_LE(y, 6);
    EXPECT_GE(z, 10);
    EXPECT_LE(z, 12);
    // Closing the hole seals it.
    EXPECT_EQ(CompileText(text + "box 32 4 10 36 6 12 w\n").error, "");
}

TEST(Bsp, RefusesBadBrushesAndStarts) {
    const std::string room = RoomMap(0, 0, 0, 32, 16, 32, "5 5 5");
    // A face turned inside out leaves nothing of the brush.
    EXPECT_EQ(CompileText(room + "brush\n face 0 0 0 0 0 1 0 1 0 w\n face 4 0 0 4 1 0 4 0 1 w\n"
                                 " face 0 0 0 1 0 0 0 0 1 w\n face 0 4 0 0 4 1 1 4 0 w\n"
                                 " face 0 0 0 0 1 0 1 0 0 w\n face 0 0 4 0 1 4 1 0 4 w\nend\n")
                  .error,
              "test.map:9: brush is not a convex solid: face 5 does not bound it (it lies outside the other faces, "
              "or its points run the wrong way round)");
    // Four faces that leave it open towards +x.
    EXPECT_EQ(
        CompileText(room + "brush\n face 0 0 0 0 0 1 0 1 0 w\n face 0 0 0 1 0 0 0 0 1 w\n"
                           " face 0 4 0 0 4 1 1 4 0 w\n face 0 0 0 0 1 0 1 0 0 w\n face 0 0 4 1 0 4 0 1 4 w\nend\n")
            .error,
        "test.map:9: brush is open: its faces do not enclose a volume");
    EXPECT_EQ(CompileText(room + "brush\n face 0 0 0 0 0 1 0 1 0 w\n face 0 0 0 0 0 2 0 2 0 w\nend\n").error,
              "test.map:9: brush has two faces on one plane");
    EXPECT_EQ(CompileText(RoomMap(0, 0, 0, 32, 16, 32, "5 -1 5")).error,
              "test.map: the player start (5 -1 5) lies inside a brush");
    EXPECT_EQ(CompileText(RoomMap(0, 0, 0, 32, 16, 32, "5 500 5")).error,
              "test.map: leak: the player start (5 500 5) lies outside the map");
    EXPECT_EQ(CompileText(RoomMap(0, 0, 0, 32, 16, 32, "5 40 5") + "box 40 -4 0 44 60 4 w\n").error,
              "test.map: leak: the player start (5 40 5) is not enclosed by brushes: its space opens straight onto the "
              "outside");
    EXPECT_EQ(CompileText(room + "light 5 -2 5 1 1 1 1 10\n").error,
              "test.map:9: the light lies in solid space or outside the map");
}

// Directed edges keyed by the written float positions.
using Edge = std::tuple<float, float, float, float, float, float>;

// Every edge is met as often in one direction as in the other, and no
// triangle is flat: each is higher than ten times the float spacing of the
// written coordinates, so the engine finds its normal.
void ExpectClosedSurface(const ReadLevel& level) {
    std::map<Edge, int> edges;
    for (const ReadPolygon* p : level.AllPolygons()) {
        const Vector a = p->v[0].position, b = p->v[1].position, c = p->v[2].position;
        const Vec3 da{b.x - a.x, b.y - a.y, b.z - a.z}, db{c.x - a.x, c.y - a.y, c.z - a.z},
            dc{c.x - b.x, c.y - b.y, c.z - b.z};
        const double height = Length(Cross(da, db)) / std::max({Length(da), Length(db), Length(dc)});
        EXPECT_GT(height, 2e-5);
        for (int i = 0; i < 3; ++i) {
            const Vector u = p->v[i].position, v = p->v[(i + 1) % 3].position;
            ++edges[{u.x, u.y, u.z, v.x, v.y, v.z}];
        }
    }
    int open = 0;
    for (const auto& [edge, count] : edges) {
        const auto& [ux, uy, uz, vx, vy, vz] = edge;
        const auto reverse = edges.find({vx, vy, vz, ux, uy, uz});
        if (reverse == edges.end() || reverse->second != count) ++open;
    }
    EXPECT_EQ(open, 0);
    EXPECT_GT(edges.size(), 20u);
}

TEST(Bsp, SurfaceIsClosedWithoutCracksOrFlatTriangles) {
    for (const std::string& text : {SampleMap(), MakeRandomRoom(3).text, MakeRandomRoom(12, true).text}) {
        const Compiled compiled = CompileText(text);
        ASSERT_EQ(compiled.error, "");
        ExpectClosedSurface(compiled.read);
    }
}

// Random tetrahedra: brushes whose faces lie on planes of every slant.
std::string RandomTetrahedra(unsigned seed, int count) {
    std::mt19937 random(seed);
    auto between = [&](int lo, int hi) { return std::uniform_int_distribution<int>(lo, hi)(random); };
    std::string text;
    for (int k = 0; k < count; ++k) {
        Vec3 p[4];
        do {
            for (Vec3& v : p) v = {double(between(1, 39)), double(between(1, 19)), double(between(1, 39))};
        } while (std::fabs(Dot(Cross(p[1] - p[0], p[2] - p[0]), p[3] - p[0])) < 20);
        const Vec3 centre = (p[0] + p[1] + p[2] + p[3]) * 0.25;
        text += "brush\n";
        for (int skip = 0; skip < 4; ++skip) {
            Vec3 f[3];
            int n = 0;
            for (int i = 0; i < 4; ++i)
                if (i != skip) f[n++] = p[i];
            if (Dot(Cross(f[1] - f[0], f[2] - f[0]), f[0] - centre) < 0) std::swap(f[1], f[2]);
            text += " face";
            for (Vec3 v : f)
                text +=
                    " " + std::to_string(int(v.x)) + " " + std::to_string(int(v.y)) + " " + std::to_string(int(v.z));
            text += " t\n";
        }
        text += "end\n";
    }
    return text;
}

TEST(Bsp, SlantedBrushesLeaveAClosedSurfaceFacingOut) {
    for (unsigned seed = 1; seed <= 6; ++seed) {
        SCOPED_TRACE("seed " + std::to_string(seed));
        const Compiled compiled = CompileText(RoomMap(0, 0, 0, 40, 20, 40, "0.5 0.5 0.5") + RandomTetrahedra(seed, 6));
        ASSERT_EQ(compiled.error, "");
        ExpectClosedSurface(compiled.read);
        std::mt19937 random(seed);
        std::uniform_real_distribution<double> x(-8, 48), y(-8, 28);
        int wrong = 0;
        for (int i = 0; i < 3000; ++i) {
            const Vec3 p{x(random), y(random), x(random)};
            if (NearestPlane(compiled.map, p) < 1e-3) continue;
            const bool solid = compiled.read.IsPointSolid(ToVector(p));
            if (InsideAnyBrush(compiled.map, p) && !solid) ++wrong;
        }
        EXPECT_EQ(wrong, 0);
    }
}

TEST(Bsp, PolygonsFaceIntoEmptySpaceWithSolidBehind) {
    const Compiled compiled = CompileText(SampleMap());
    ASSERT_EQ(compiled.error, "");
    int polygons = 0;
    for (const ReadPolygon* p : compiled.read.AllPolygons()) {
        const Vector a = p->v[0].position, b = p->v[1].position, c = p->v[2].position;
        const Vector centre{(a.x + b.x + c.x) / 3, (a.y + b.y + c.y) / 3, (a.z + b.z + c.z) / 3};
        const Vector n = p->normal;
        EXPECT_FALSE(
            compiled.read.IsPointSolid({centre.x + n.x * 0.01f, centre.y + n.y * 0.01f, centre.z + n.z * 0.01f}));
        EXPECT_TRUE(
            compiled.read.IsPointSolid({centre.x - n.x * 0.01f, centre.y - n.y * 0.01f, centre.z - n.z * 0.01f}));
        ++polygons;
    }
    EXPECT_GT(polygons, 100);
}

TEST(Bsp, PaintersOrderMatchesADepthBuffer) {
    for (const std::string& text : {SampleMap(), MakeRandomRoom(4).text, MakeRandomRoom(10, true).text}) {
        const Compiled compiled = CompileText(text);
        ASSERT_EQ(compiled.error, "");
        std::mt19937 random(11);
        Bounds bounds;
        for (const ReadPolygon* p : compiled.read.AllPolygons())
            for (const ReadVertex& v : p->v) bounds.Add({v.position.x, v.position.y, v.position.z});
        std::uniform_real_distribution<double> unit(0, 1), angle(-3.14159, 3.14159);
        int cameras = 0;
        while (cameras < 25) {
            const Vector eye{static_cast<float>(bounds.min.x + unit(random) * (bounds.max.x - bounds.min.x)),
                             static_cast<float>(bounds.min.y + unit(random) * (bounds.max.y - bounds.min.y)),
                             static_cast<float>(bounds.min.z + unit(random) * (bounds.max.z - bounds.min.z))};
            // Away from the walls: a wall nearer than the near plane would be cut away.
            bool clear = true;
            for (int axis = 0; axis < 3; ++axis)
                for (float step : {-0.1f, 0.1f}) {
                    Vector p = eye;
                    (axis == 0 ? p.x : axis == 1 ? p.y : p.z) += step;
                    clear = clear && !compiled.read.IsPointSolid(p);
                }
            if (!clear) continue;
            ++cameras;
            const Camera camera =
                MakeCamera(eye, static_cast<float>(angle(random)), static_cast<float>(angle(random) / 2));
            const DepthImage painted = Paint(camera, compiled.read.DrawOrder(eye), false);
            const DepthImage buffered = Paint(camera, compiled.read.AllPolygons(), true);
            int differing = 0, covered = 0;
            for (std::size_t i = 0; i < painted.depth.size(); ++i) {
                const double a = painted.depth[i], b = buffered.depth[i];
                if (b < kFar) ++covered;
                if (std::fabs(a - b) > 1e-3 * (1 + b)) ++differing;
            }
            EXPECT_LE(differing, 2) << "camera " << eye.x << " " << eye.y << " " << eye.z;
            EXPECT_GT(covered, static_cast<int>(painted.depth.size()) * 9 / 10);
        }
    }
}

TEST(Bsp, NodeTrianglesAreExactAndFaceTheFrontChild) {
    const Compiled compiled = CompileText(SampleMap());
    ASSERT_EQ(compiled.error, "");
    for (const ReadNode& node : compiled.read.nodes) {
        if (node.leaf) continue;
        for (const Vector& v : node.plane) {
            EXPECT_EQ(v.x, std::round(v.x));
            EXPECT_EQ(v.y, std::round(v.y));
            EXPECT_EQ(v.z, std::round(v.z));
        }
    }
    // Two sibling solid leaves never remain: they merge into one.
    for (const ReadNode& node : compiled.read.nodes) {
        if (node.leaf) continue;
        const ReadNode& front = compiled.read.nodes[static_cast<std::size_t>(node.front)];
        const ReadNode& back = compiled.read.nodes[static_cast<std::size_t>(node.back)];
        EXPECT_FALSE(front.leaf && back.leaf && front.solid && back.solid);
    }
}

TEST(Bsp, CompilingTwiceGivesTheSameBytes) {
    const Compiled first = CompileText(SampleMap());
    const Compiled second = CompileText(SampleMap(), 1);
    ASSERT_EQ(first.error, "");
    EXPECT_EQ(first.level.levelText, second.level.levelText);
    ASSERT_EQ(first.level.lightmaps.pages.size(), second.level.lightmaps.pages.size());
    for (std::size_t i = 0; i < first.level.lightmaps.pages.size(); ++i)
        EXPECT_EQ(BmpBytes(first.level.lightmaps.pages[i]), BmpBytes(second.level.lightmaps.pages[i]));
}

}  // namespace
