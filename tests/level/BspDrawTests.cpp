// The point query and the far-to-near drawing, on hand-made levels and on
// generated ones checked against a brute-force reading of what covers what.
#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdint>
#include <map>
#include <optional>
#include <random>
#include <set>
#include <string>
#include <vector>

#include "globals/Globals.h"
#include "level/Bsp.h"
#include "player/Player.h"
#include "support/files/CompileHelpers.h"
#include "support/files/LevelFiles.h"
#include "support/observe/LevelTest.h"

namespace {

// Root plane y = 0 facing up; in front, "above" at y = 1 facing down; behind,
// "below" at y = -1 facing up.
const std::string kFacingFloors =
    "NBSP 2 floors 3\n"
    "0 1 2  0 0 0 0 0 1 1 0 0\n"
    "1 0 1  0  0 1 0 0 0  1 1 0 0 0  0 1 1 0 0  above\n"
    "1 0 1  0  0 -1 0 0 0  0 -1 1 0 0  1 -1 0 0 0  below\n";

class DrawTest : public LevelTest {
protected:
    // The lightmap names of the polygons handed over from `camera`, in order.
    std::vector<std::string> DrawnFrom(Vector camera, BspNode** link = nullptr) {
        g_Player.position = camera;
        renderer.polygons.clear();
        level.Draw(link ? link : &level.root);
        std::vector<std::string> names;
        for (const Polygon& polygon : renderer.polygons) names.push_back(polygon.lightmapName);
        return names;
    }
};

using Names = std::vector<std::string>;

// A 90-degree view along x (`direction` 1) or -x (-1) from `camera`: clip
// (z - cz, y - cy, 0, w) with w the distance ahead.
ViewVolume LookingAlongX(Vector camera, float direction) {
    Matrix clip = MakeZero();
    clip.m[4 * 2 + 0] = 1;
    clip.m[4 * 3 + 0] = -camera.z;
    clip.m[4 * 1 + 1] = 1;
    clip.m[4 * 3 + 1] = -camera.y;
    clip.m[4 * 0 + 3] = direction;
    clip.m[4 * 3 + 3] = -direction * camera.x;
    return ViewVolume(clip);
}

TEST_F(DrawTest, APointOnASplittingPlaneIsInFront) {
    EXPECT_FALSE(level.IsPointSolid(0, -1, 0)) << "no tree yet";
    ASSERT_TRUE(Load(kFloorLevel));
    EXPECT_FALSE(level.IsPointSolid(7, 0, -3));
    EXPECT_TRUE(level.IsPointSolid(7, -0.001f, -3));
    EXPECT_FALSE(level.IsPointSolid(0, 5, 0));
}

TEST_F(DrawTest, TheSideAwayFromTheCameraIsDrawnFirst) {
    ASSERT_TRUE(Load(kFacingFloors));
    EXPECT_EQ(DrawnFrom({0, 0.5f, 0}), (Names{"below", "above"}));
    EXPECT_EQ(DrawnFrom({0, -0.5f, 0}), (Names{"above", "below"}));
    EXPECT_EQ(DrawnFrom({3, 0, 3}), (Names{"below", "above"})) << "on the plane: the back first";
}

TEST_F(DrawTest, PolygonsSeenFromBehindAreNeitherDrawnNorCounted) {
    ASSERT_TRUE(Load(kFacingFloors));
    g_PolygonsRendered = 0;
    EXPECT_EQ(DrawnFrom({0, 2, 0}), Names{"below"});
    EXPECT_EQ(g_PolygonsRendered, 1);
    EXPECT_EQ(DrawnFrom({0, -2, 0}), Names{"above"});
    EXPECT_EQ(g_PolygonsRendered, 2);
}

TEST_F(DrawTest, APolygonSeenEdgeOnIsDrawnAndCounted) {
    ASSERT_TRUE(Load(kFloorLevel));
    g_PolygonsRendered = 0;
    EXPECT_EQ(DrawnFrom({5, 0, 5}), Names{"test-lm000"});
    EXPECT_EQ(g_PolygonsRendered, 1);
}

TEST_F(DrawTest, ADegeneratePolygonFacesEveryCamera) {
    ASSERT_TRUE(Load("NBSP 2 w 1  1 0 1  0  0 0 0 0 0  1 1 1 0 0  2 2 2 0 0  line"));
    EXPECT_EQ(DrawnFrom({0, 5, 0}), Names{"line"});
    EXPECT_EQ(DrawnFrom({0, -5, 0}), Names{"line"});
}

TEST_F(DrawTest, TheCounterWrapsPast32767) {
    ASSERT_TRUE(Load(kFloorLevel));
    g_PolygonsRendered = 32767;
    DrawnFrom({0, 5, 0});
    EXPECT_EQ(g_PolygonsRendered, -32768);
}

TEST_F(DrawTest, ASubtreeOutsideTheViewIsNotHandedOverButStillCounted) {
    ASSERT_TRUE(Load(kFacingFloors));
    // Draws with a 90-degree view up from (0, height, 0), clip (x, z, 0,
    // y - height), the count starting at `count`.
    auto drawUp = [&](float height, bool cull, std::int16_t count) {
        Matrix up = MakeZero();
        up.m[4 * 0 + 0] = 1;
        up.m[4 * 2 + 1] = 1;
        up.m[4 * 1 + 3] = 1;
        up.m[4 * 3 + 3] = -height;
        g_Player.position = {0, height, 0};
        level.cullUnseen = cull;
        renderer.polygons.clear();
        g_PolygonsRendered = count;
        level.Draw(&level.root, ViewVolume(up));
    };
    for (bool cull : {true, false}) {
        drawUp(0.5f, cull, 32767);
        EXPECT_EQ(renderer.polygons.size(), cull ? 1u : 2u);
        EXPECT_STREQ(renderer.polygons.back().lightmapName, "above");
        EXPECT_EQ(g_PolygonsRendered, -32767) << "both face the camera; the count wraps";
        // From (0, 2, 0) the whole tree lies outside the view: of what is
        // left out, only what faces the camera ("below") is counted.
        drawUp(2, cull, 0);
        EXPECT_EQ(renderer.polygons.size(), cull ? 0u : 1u);
        EXPECT_EQ(g_PolygonsRendered, 1);
    }
}

TEST_F(DrawTest, RoomsThePortalsShowNoWayIntoAreNotHandedOverButStillCounted) {
    // Four rooms, 2 x 2, each with doorways to its two neighbours; the
    // camera in the first, (0, 0), whose doorways lie east and north.
    ASSERT_TRUE(Load(RoomGridLevel(2, 4)));
    EXPECT_TRUE(level.portals.usable);
    // A 90-degree view along -x (west, away from both doorways) or +x (east, through one).
    auto looking = LookingAlongX;
    // The rooms (by lightmap: "grid-lm" + column + row) handed over, and the count.
    auto rooms = [this](Vector camera, const ViewVolume& view) {
        g_Player.position = camera;
        renderer.polygons.clear();
        g_PolygonsRendered = 0;
        level.Draw(&level.root, view);
        std::set<std::string> names;
        for (const Polygon& polygon : renderer.polygons) names.insert(polygon.lightmapName);
        return std::pair(names, g_PolygonsRendered);
    };
    const Vector inRoom{16, 8, 12}, inWall{kGridRoomSize, 8, 8};
    for (const auto& [camera, direction] :
         {std::pair(inRoom, -1.0f), std::pair(inRoom, 1.0f), std::pair(inWall, -1.0f)}) {
        SCOPED_TRACE(::testing::Message() << "from x " << camera.x << " looking " << direction);
        level.cullUnseen = false;
        const auto [all, countedAll] = rooms(camera, looking(camera, direction));
        EXPECT_EQ(all, (std::set<std::string>{"grid-lm0", "grid-lm1", "grid-lm2"}));
        level.cullUnseen = true;
        const auto [seen, counted] = rooms(camera, looking(camera, direction));
        EXPECT_EQ(counted, countedAll);
        if (camera.x == inWall.x) {
            EXPECT_EQ(seen, (std::set<std::string>{"grid-lm0", "grid-lm1"}))
                << "in a solid leaf: every room the view volume holds";
        } else if (direction < 0) {
            EXPECT_EQ(seen, std::set<std::string>{"grid-lm0"}) << "its own room only";
        } else {
            EXPECT_EQ(seen.count("grid-lm1"), 1u) << "the room beyond the doorway";
        }
    }
}

// Two halls, x 0 to 200 and 204 to 320, joined by a doorway at the north end
// of the wall between them; in the west one 8 x 8 pillars, whose leaves the
// openings between them join in countless chains; the east one a passage
// along its north wall, which turns into the room south of it at its east end.
std::string PillarHalls() {
    std::string map = "level pillars\nstart 10 5 100\n";
    for (const char* box :
         {"-4 -4 -4 324 0 204", "-4 16 -4 324 20 204", "-4 0 -4 0 16 204", "320 0 -4 324 16 204", "0 0 -4 320 16 0",
          "0 0 200 320 16 204", "200 0 0 204 16 180", "200 0 196 204 16 200", "204 0 176 310 16 180"})
        map += std::string("box ") + box + " wall\n";
    for (int i = 0; i < 8; ++i)
        for (int j = 0; j < 8; ++j) {
            const int x = 20 + 22 * i, z = 12 + 22 * j;
            map += "box " + std::to_string(x) + " 0 " + std::to_string(z) + " " + std::to_string(x + 4) + " 16 " +
                   std::to_string(z + 4) + " pillar\n";
        }
    return map;
}

TEST_F(DrawTest, AHallFullOfPillarsStillHidesTheRoomBehindItsWalls) {
    const Compiled compiled = CompileText(PillarHalls());
    ASSERT_EQ(compiled.error, "");
    ASSERT_TRUE(Load(compiled.level.levelText));
    // From the west end looking east: the east hall lies ahead, its passage
    // seen through the doorway, its room not at all.
    g_Player.position = {10, 5, 100};
    int eastRoom[2] = {};
    for (bool cull : {false, true}) {
        level.cullUnseen = cull;
        renderer.polygons.clear();
        level.Draw(&level.root, LookingAlongX(g_Player.position, 1));
        for (const Polygon& polygon : renderer.polygons)
            if (polygon.vertices[0].position[0] > 205 && polygon.vertices[0].position[2] < 175) ++eastRoom[cull];
    }
    EXPECT_GT(eastRoom[0], 0);
    EXPECT_EQ(eastRoom[1], 0) << "the room behind the walls is left out";
}

TEST_F(DrawTest, ARoomSeenOnlyThroughTheSecondOfTwoWindowsIsStillDrawn) {
    // Room A (x 0 to 40) looks through two openings in its east wall into
    // room B; B's east wall has a doorway into room C that only the northern
    // opening shows from where the camera stands.
    std::string map = "level windows\nstart 10 5 50\n";
    for (const char* box : {"-4 -4 -4 164 0 104", "-4 16 -4 164 20 104", "-4 0 -4 0 16 104", "160 0 -4 164 16 104",
                            "0 0 -4 160 16 0", "0 0 100 160 16 104", "40 0 0 44 16 30", "40 0 40 44 16 56",
                            "40 0 66 44 16 100", "100 0 0 104 16 86", "100 0 96 104 16 100", "104 0 0 160 16 60"})
        map += std::string("box ") + box + " wall\n";
    const Compiled compiled = CompileText(map);
    ASSERT_EQ(compiled.error, "");
    ASSERT_TRUE(Load(compiled.level.levelText));
    g_Player.position = {10, 5, 50};
    int roomC[2] = {};
    std::int16_t counted[2] = {};
    for (bool cull : {false, true}) {
        level.cullUnseen = cull;
        renderer.polygons.clear();
        g_PolygonsRendered = 0;
        level.Draw(&level.root, LookingAlongX(g_Player.position, 1));
        counted[cull] = g_PolygonsRendered;
        for (const Polygon& polygon : renderer.polygons)
            if (polygon.vertices[0].position[0] > 105 && polygon.vertices[1].position[0] > 105) ++roomC[cull];
    }
    EXPECT_GT(roomC[1], 0) << "room C is seen through the doorway";
    EXPECT_LT(roomC[1], roomC[0]) << "but not its polygons outside the doorway's part of the picture";
    EXPECT_EQ(counted[1], counted[0]);
}

TEST_F(DrawTest, DrawingASubtreeDrawsOnlyThatSubtree) {
    ASSERT_TRUE(Load(kFacingFloors));
    EXPECT_EQ(DrawnFrom({0, 0.5f, 0}, &level.root->front), Names{"above"});
    BspNode* none = nullptr;
    EXPECT_TRUE(DrawnFrom({0, 0.5f, 0}, &none).empty());
}

// --- Generated levels against a brute-force reading -------------------------

// Where the ray from `origin` through `through` meets the triangle, as a
// distance along the ray (Moller-Trumbore, in double precision).
std::optional<double> RayHit(const Vector& origin, const Vector& through, const Vector (&t)[3]) {
    const double d[3] = {double(through.x) - origin.x, double(through.y) - origin.y, double(through.z) - origin.z};
    const double e1[3] = {double(t[1].x) - t[0].x, double(t[1].y) - t[0].y, double(t[1].z) - t[0].z};
    const double e2[3] = {double(t[2].x) - t[0].x, double(t[2].y) - t[0].y, double(t[2].z) - t[0].z};
    const double p[3] = {d[1] * e2[2] - d[2] * e2[1], d[2] * e2[0] - d[0] * e2[2], d[0] * e2[1] - d[1] * e2[0]};
    const double det = e1[0] * p[0] + e1[1] * p[1] + e1[2] * p[2];
    if (std::fabs(det) < 1e-12) return std::nullopt;
    const double s[3] = {double(origin.x) - t[0].x, double(origin.y) - t[0].y, double(origin.z) - t[0].z};
    const double u = (s[0] * p[0] + s[1] * p[1] + s[2] * p[2]) / det;
    const double q[3] = {s[1] * e1[2] - s[2] * e1[1], s[2] * e1[0] - s[0] * e1[2], s[0] * e1[1] - s[1] * e1[0]};
    const double v = (d[0] * q[0] + d[1] * q[1] + d[2] * q[2]) / det;
    const double along = (e2[0] * q[0] + e2[1] * q[1] + e2[2] * q[2]) / det;
    if (u < 0 || v < 0 || u + v > 1 || along <= 0) return std::nullopt;
    return along * std::sqrt(d[0] * d[0] + d[1] * d[1] + d[2] * d[2]);
}

// Points spread over the triangle: its vertices, edges and inside.
std::vector<Vector> SamplePoints(const Vector (&t)[3]) {
    constexpr int kSteps = 5;
    std::vector<Vector> points;
    for (int a = 0; a <= kSteps; ++a)
        for (int b = 0; a + b <= kSteps; ++b) {
            // Pulled a little towards the middle, so that a sample never lies on an edge.
            const double wa = (a + 0.1) / (kSteps + 0.3), wb = (b + 0.1) / (kSteps + 0.3), wc = 1 - wa - wb;
            points.push_back({float(wa * t[0].x + wb * t[1].x + wc * t[2].x),
                              float(wa * t[0].y + wb * t[1].y + wc * t[2].y),
                              float(wa * t[0].z + wb * t[1].z + wc * t[2].z)});
        }
    return points;
}

// True when some ray from the camera meets `near` clearly before `far`.
bool Covers(const Vector& camera, const GeneratedPolygon& nearer, const GeneratedPolygon& farther) {
    for (const Vector& point : SamplePoints(nearer.vertices)) {
        const auto nearHit = RayHit(camera, point, nearer.vertices);
        const auto farHit = RayHit(camera, point, farther.vertices);
        if (nearHit && farHit && *nearHit < *farHit - 1e-3) return true;
    }
    for (const Vector& point : SamplePoints(farther.vertices)) {
        const auto nearHit = RayHit(camera, point, nearer.vertices);
        const auto farHit = RayHit(camera, point, farther.vertices);
        if (nearHit && farHit && *nearHit < *farHit - 1e-3) return true;
    }
    return false;
}

Vector Scale(Vector v, float s) { return {v.x * s, v.y * s, v.z * s}; }

bool Faces(const GeneratedPolygon& polygon, const Vector& camera) {
    const Vector* v = polygon.vertices;
    const Vector normal = Normalise(Cross({v[1].x - v[0].x, v[1].y - v[0].y, v[1].z - v[0].z},
                                          {v[2].x - v[0].x, v[2].y - v[0].y, v[2].z - v[0].z}));
    return Dot({v[0].x - camera.x, v[0].y - camera.y, v[0].z - camera.z}, normal) <= 0;
}

TEST_F(DrawTest, OnGeneratedLevelsNoPolygonIsDrawnOverOneInFrontOfIt) {
    int coveringPairs = 0;  // pairs where one covers the other: the check must have met many
    for (unsigned seed = 1; seed <= 8; ++seed) {
        SCOPED_TRACE("seed " + std::to_string(seed));
        const GeneratedLevel generated = GenerateLevel(seed, 7);
        level.FreeTree(&level.root);
        ASSERT_TRUE(Load(generated.text));
        std::map<std::string, const GeneratedPolygon*> byName;
        for (const GeneratedPolygon& polygon : generated.polygons) byName[polygon.lightmapName] = &polygon;

        // Cameras among the polygons, far outside them (where many cover one
        // another on screen) and exactly on splitting planes.
        std::mt19937 random(seed);
        std::uniform_real_distribution<float> coordinate(-12, 12);
        std::vector<Vector> cameras;
        for (int i = 0; i < 10; ++i) {
            const Vector inside{coordinate(random), coordinate(random), coordinate(random)};
            cameras.push_back(inside);
            cameras.push_back(Scale(Normalise(inside), 40));
        }
        for (std::size_t i = 0; i < generated.planePoints.size() && i < 3; ++i)
            cameras.push_back(generated.planePoints[i]);

        for (const Vector& camera : cameras) {
            const Names drawn = DrawnFrom(camera);
            Names facing;
            for (const GeneratedPolygon& polygon : generated.polygons)
                if (Faces(polygon, camera)) facing.push_back(polygon.lightmapName);
            Names sorted = drawn;
            std::sort(sorted.begin(), sorted.end());
            std::sort(facing.begin(), facing.end());
            ASSERT_EQ(sorted, facing) << "every polygon facing the camera, each once";

            for (std::size_t earlier = 0; earlier < drawn.size(); ++earlier)
                for (std::size_t later = earlier + 1; later < drawn.size(); ++later) {
                    const GeneratedPolygon& first = *byName[drawn[earlier]];
                    const GeneratedPolygon& second = *byName[drawn[later]];
                    EXPECT_FALSE(Covers(camera, first, second))
                        << drawn[earlier] << " is drawn before " << drawn[later] << " but lies in front of it";
                    coveringPairs += Covers(camera, second, first);
                }
        }
    }
    EXPECT_GT(coveringPairs, 150);
}

TEST_F(DrawTest, AmongPillarsEveryPolygonARayFromTheCameraMeetsFirstIsHandedOver) {
    const Compiled compiled = CompileText(PillarHalls());
    ASSERT_EQ(compiled.error, "");
    ASSERT_TRUE(Load(compiled.level.levelText));
    using Corners = std::array<float, 9>;
    auto cornersOf = [](const Polygon& polygon) {
        Corners corners;
        for (int i = 0; i < 9; ++i) corners[i] = polygon.vertices[i / 3].position[i % 3];
        return corners;
    };
    std::mt19937 random(3);
    std::uniform_real_distribution<float> across(2, 198);
    constexpr int kRows = 48;
    int rays = 0, missed = 0;
    std::size_t handedOver[2] = {};
    // First a camera from which a leaf already flooded from is reached again
    // in a wider part of the picture; then cameras anywhere among the pillars.
    std::vector<Vector> cameras{{104.45f, 5, 105.45f}};
    while (cameras.size() < 9) cameras.push_back({across(random), 5, across(random)});
    for (const Vector& eye : cameras) {
        if (level.IsPointSolid(eye.x, eye.y, eye.z)) continue;  // inside a pillar
        g_Player.position = eye;
        for (float direction : {1.0f, -1.0f}) {
            std::vector<Polygon> drawn[2];
            for (bool cull : {false, true}) {
                level.cullUnseen = cull;
                renderer.polygons.clear();
                level.Draw(&level.root, LookingAlongX(eye, direction));
                drawn[cull] = renderer.polygons;
                handedOver[cull] += drawn[cull].size();
            }
            std::set<Corners> kept;
            for (const Polygon& polygon : drawn[1]) kept.insert(cornersOf(polygon));
            // Rays through a grid over the picture (x over w is z, y over w is y).
            for (int row = 0; row < kRows; ++row)
                for (int column = 0; column < kRows * 4 / 3; ++column) {
                    const Vector through{eye.x + direction, eye.y + 1.98f * (row + 0.5f) / kRows - 0.99f,
                                         eye.z + 1.98f * (column + 0.5f) / (kRows * 4 / 3) - 0.99f};
                    std::optional<double> nearest;
                    const Polygon* first = nullptr;
                    for (const Polygon& polygon : drawn[0]) {
                        Vector triangle[3];
                        for (int i = 0; i < 3; ++i)
                            triangle[i] = {polygon.vertices[i].position[0], polygon.vertices[i].position[1],
                                           polygon.vertices[i].position[2]};
                        const auto hit = RayHit(eye, through, triangle);
                        if (hit && (!nearest || *hit < *nearest)) nearest = hit, first = &polygon;
                    }
                    rays += first != nullptr;
                    if (first && !kept.count(cornersOf(*first)) && ++missed <= 3)
                        ADD_FAILURE() << "from (" << eye.x << ", " << eye.z << ") looking " << direction
                                      << ": a ray first meets a polygon left out";
                }
        }
    }
    EXPECT_EQ(missed, 0);
    EXPECT_GT(rays, 20000);
    EXPECT_LT(handedOver[1] * 2, handedOver[0]) << "the culling leaves out much";
}

}  // namespace
