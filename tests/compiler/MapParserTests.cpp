// The map text: what it accepts and the messages for what it refuses.
#include <gtest/gtest.h>

#include "compiler/Map.h"
#include "support/files/CompileHelpers.h"

using namespace orvcompile;

namespace {

std::string ParseError(const std::string& text) {
    Map map;
    Reporter reporter("bad.map");
    EXPECT_FALSE(ParseMap(text, map, reporter));
    return reporter.Error();
}

const std::string kHead = "level l\nstart 0 5 0\n";
const std::string kBox = "box -8 -8 -8 8 8 8 wall0\n";

TEST(MapParser, ReadsTheSampleMap) {
    Map map;
    Reporter reporter("sample.map");
    ASSERT_TRUE(ParseMap(SampleMap(), map, reporter)) << reporter.Error();
    EXPECT_EQ(map.level, "sample");
    EXPECT_EQ(map.start.y, 5);
    EXPECT_EQ(map.lightmapPages, 2);
    EXPECT_EQ(map.lightmapDensity, 4);
    EXPECT_EQ(map.brushes.size(), 17u);
    EXPECT_EQ(map.lights.size(), 2u);
    EXPECT_EQ(map.lights[1].radius, 90);
    EXPECT_DOUBLE_EQ(map.ambient.z, 0.1);
    EXPECT_EQ(map.brushes[0].faces[0].texture.scaleU, 32);
}

TEST(MapParser, BoxesAndWedgesHaveOutwardFaces) {
    Map map;
    Reporter reporter("m");
    ASSERT_TRUE(ParseMap(kHead + "box 0 0 0 4 2 6 a rotate 90\nwedge 0 0 0 8 4 2 +x b\nwedge 0 0 0 8 4 2 -z b\n", map,
                         reporter))
        << reporter.Error();
    ASSERT_EQ(map.brushes.size(), 3u);
    EXPECT_EQ(map.brushes[0].faces.size(), 6u);
    EXPECT_EQ(map.brushes[1].faces.size(), 5u);
    EXPECT_EQ(map.brushes[0].faces[0].texture.rotation, 90);
    const Vec3 centres[3] = {{2, 1, 3}, {6, 1, 1}, {4, 1, 0.5}};
    for (std::size_t b = 0; b < 3; ++b) {
        for (const MapFace& face : map.brushes[b].faces) {
            const Plane plane = PlaneFromPoints(face.points[0], face.points[1], face.points[2]);
            EXPECT_LT(Distance(plane, centres[b]), 0) << "brush " << b;
        }
    }
    // +x rises toward +x: the slope's normal leans to -x; -z: it leans to +z.
    const MapFace& slope = map.brushes[1].faces.back();
    EXPECT_LT(PlaneFromPoints(slope.points[0], slope.points[1], slope.points[2]).normal.x, 0);
    const MapFace& slopeZ = map.brushes[2].faces.back();
    EXPECT_GT(PlaneFromPoints(slopeZ.points[0], slopeZ.points[1], slopeZ.points[2]).normal.z, 0);
}

TEST(MapParser, CommentsBlankLinesAndUntexturedFaces) {
    Map map;
    Reporter reporter("m");
    ASSERT_TRUE(ParseMap("# a map\n\n level l  # name\nstart 1.5 5 -2.25\n" + kBox.substr(0, kBox.size() - 6) + "- \n",
                         map, reporter))
        << reporter.Error();
    EXPECT_EQ(map.start.x, 1.5);
    EXPECT_EQ(map.brushes[0].faces[0].texture.name, "");
}

TEST(MapParser, RefusesBadMapsWithFileAndLine) {
    EXPECT_EQ(ParseError(kHead + "colour 1 2 3\n"), "bad.map:3: unknown key 'colour'");
    EXPECT_EQ(ParseError("start 0 5 0\n" + kBox), "bad.map:2: the map names no level (add 'level NAME')");
    EXPECT_EQ(ParseError("level l\n" + kBox), "bad.map:2: the map has no player start (add 'start X Y Z')");
    EXPECT_EQ(ParseError(kHead), "bad.map:2: the map has no brushes");
    EXPECT_EQ(ParseError(kHead + "box 0 0 0 4 4 4.5 wall0\n"),
              "bad.map:3: '4.5' is not an integer (integer coordinate)");
    EXPECT_EQ(ParseError(kHead + "box 0 0 0 4 0 4 wall0\n"), "bad.map:3: the corners give no volume (equal y)");
    EXPECT_EQ(ParseError(kHead + "box 0 0 0 4 4 4\n"),
              "bad.map:3: missing texture name (use '-' for an untextured face)");
    EXPECT_EQ(ParseError(kHead + "box 0 0 0 4 4 4 w shift 1 2\n"),
              "bad.map:3: unknown texture option 'shift' (expected scale, offset or rotate)");
    EXPECT_EQ(ParseError(kHead + "box 0 0 0 4 4 4 w scale 0 1\n"), "bad.map:3: texture scale must not be 0");
    EXPECT_EQ(ParseError(kHead + "box 0 0 0 4 4 4 w extra\n"),
              "bad.map:3: unknown texture option 'extra' (expected scale, offset or rotate)");
    EXPECT_EQ(ParseError(kHead + "wedge 0 0 0 4 4 4 +y w\n"),
              "bad.map:3: '+y' is not a rising side (+x, -x, +z or -z)");
    EXPECT_EQ(ParseError(kHead + "brush\n face 0 0 0 1 0 0 2 0 0 w\nend\n"),
              "bad.map:4: the face's three points lie on one line");
    EXPECT_EQ(ParseError(kHead + "brush\n box 0 0 0 1 1 1 w\nend\n"),
              "bad.map:4: unknown key 'box' inside a brush (expected face or end)");
    EXPECT_EQ(ParseError(kHead + kBox + "brush\n"), "bad.map:4: 'brush' has no 'end'");
    EXPECT_EQ(ParseError(kHead + kBox + "end\n"), "bad.map:4: 'end' outside a brush");
    EXPECT_EQ(ParseError(kHead + kBox + "level again\n"), "bad.map:4: 'level' is given twice");
    EXPECT_EQ(ParseError(kHead + kBox + "lightmap_pages 33\n"),
              "bad.map:4: lightmap_pages must lie between 1 and 32: the engine's lightmap table holds 32 names");
    EXPECT_EQ(ParseError(kHead + kBox + "light 0 0 0 1 1 1 1 0\n"), "bad.map:4: light radius must be greater than 0");
    EXPECT_EQ(ParseError(kHead + kBox + "light 0 0 0 1 1 1\n"), "bad.map:4: missing intensity");
    EXPECT_EQ(ParseError(kHead + kBox + "start 1 2 3\n"), "bad.map:4: 'start' is given twice");
    EXPECT_EQ(ParseError(kHead + kBox + "ambient 1 1\n"), "bad.map:4: missing blue");
    EXPECT_EQ(ParseError(kHead + kBox + "dirt 4 4\n"), "bad.map:4: unexpected '4' at the end of the line");
    EXPECT_EQ(ParseError(kHead + "box 0 0 0 70000 1 1 w\n"), "bad.map:3: coordinate 70000 lies outside -65536..65536");
    EXPECT_EQ(ParseError("level a-name-that-is-far-too-long\n"),
              "bad.map:1: level name 'a-name-that-is-far-too-long' is longer than 25 characters");
    EXPECT_EQ(ParseError("level bad/name\n"),
              "bad.map:1: level name 'bad/name' may hold only letters, digits, '_' and '-'");
    EXPECT_EQ(ParseError(kHead + "box 0 0 0 1 1 1 " + std::string(32, 't') + "\n"),
              "bad.map:3: texture name '" + std::string(32, 't') + "' is longer than 31 characters");
}

}  // namespace
