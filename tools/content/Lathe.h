// Surfaces of revolution about a part's y axis: a profile in the (radius, y)
// half-plane, turned full circle. Each surface owns a chart of the model's
// skin: across it the angle, down it the distance along the profile, so a
// skin texel always stands for one point of the smooth surface.
#pragma once

#include <vector>

#include "compiler/Geometry.h"

namespace orvcontent {

using orvcompile::Vec3;

// What a piece of surface is made of, which decides how the skin paints it.
enum class Finish { Enamel, Lining, Steel, Chrome, Brass, Glass };

// One straight run of the profile. Normals are given at both ends, so curved
// runs shade smoothly while corners between runs stay sharp.
struct ProfileSegment {
    double r0, y0, r1, y1;
    double nr0, ny0, nr1, ny1;
    double s0, s1;  // distance along the profile at both ends
    Finish finish;
};

// A profile from the axis round to the axis again, so the turned surface is
// closed. Walked in this order, its outward side lies to the walker's right
// in the (r, y) plane: starting along the bottom and going up the outside.
class Profile {
public:
    Profile(double r, double y) : r(r), y(y) {}
    Profile& Line(double toR, double toY, Finish finish);
    // An arc about (centreR, centreY), angles in degrees from the +r axis
    // towards +y; rising angles bulge out, falling ones curve in.
    Profile& Arc(double centreR, double centreY, double radius, double fromDegrees, double toDegrees, int steps,
                 Finish finish);

    std::vector<ProfileSegment> segments;
    double Length() const { return segments.empty() ? 0 : segments.back().s1; }

private:
    double r, y;
};

// The skin texels a surface owns, in the model patch.
struct Chart {
    int x, y, width, height;
};

struct LatheVertex {
    Vec3 position;
    double skinX, skinY;  // in patch texels, at texel centres
};

struct LatheTriangle {
    LatheVertex v[3];
};

struct Lathe {
    Profile profile;
    int sides;
    Chart chart;
};

// The triangles, wound so that Cross(V1 − V0, V2 − V0) points out of the surface.
std::vector<LatheTriangle> Triangles(const Lathe& lathe);

// The smooth surface's point, outward normal and finish at the skin texel
// (column, row) of the lathe's chart.
struct SurfacePoint {
    Vec3 position;
    Vec3 normal;
    Finish finish;
};
SurfacePoint PointAt(const Lathe& lathe, int column, int row);

}  // namespace orvcontent
