// Double-precision geometry for the level compiler: vectors, planes and
// convex windings. The engine works in floats; the compiler keeps doubles
// and explicit epsilons throughout so that its decisions are stable.
#pragma once

#include <vector>

namespace orvcompile {

// Distance below which a point counts as lying on a plane.
constexpr double kOnEpsilon = 1e-5;
// Half the side of the square every base winding starts as; larger than any map.
constexpr double kWorldExtent = 1 << 20;

struct Vec3 {
    double x = 0, y = 0, z = 0;
};

inline Vec3 operator+(Vec3 a, Vec3 b) { return {a.x + b.x, a.y + b.y, a.z + b.z}; }
inline Vec3 operator-(Vec3 a, Vec3 b) { return {a.x - b.x, a.y - b.y, a.z - b.z}; }
inline Vec3 operator-(Vec3 a) { return {-a.x, -a.y, -a.z}; }
inline Vec3 operator*(Vec3 a, double s) { return {a.x * s, a.y * s, a.z * s}; }
inline bool operator==(Vec3 a, Vec3 b) { return a.x == b.x && a.y == b.y && a.z == b.z; }
double Dot(Vec3 a, Vec3 b);
Vec3 Cross(Vec3 a, Vec3 b);
double Length(Vec3 a);
Vec3 Normalised(Vec3 a);
double Component(Vec3 a, int axis);

// A plane n·p = dist with unit normal n. `points` is a triangle on the plane,
// ordered so that Cross(points[1] − points[0], points[2] − points[0]) points
// along n: the level file stores split planes as such triangles.
struct Plane {
    Vec3 normal;
    double dist = 0;
    Vec3 points[3];
};

Plane PlaneFromPoints(Vec3 a, Vec3 b, Vec3 c);  // normal by the cross rule above
Plane Flipped(const Plane& plane);
double Distance(const Plane& plane, Vec3 p);
// 0..2 for a plane whose normal is a coordinate axis, else -1.
int AxisOf(const Plane& plane);

// A convex polygon; its vertices wind so that the cross rule gives its plane's normal.
using Winding = std::vector<Vec3>;

// A square on the plane, much larger than any map.
Winding BaseWinding(const Plane& plane);
// A square on the plane around the point nearest to `centre`, reaching
// `extent` from it along both of its axes. The smaller the square, the more
// precise the points cut from it.
Winding BaseWinding(const Plane& plane, Vec3 centre, double extent);
// The part of w on the front side of the plane (points within epsilon kept).
Winding ClipFront(const Winding& w, const Plane& plane, double epsilon = kOnEpsilon);
// Both parts; a winding lying on the plane goes wholly to one side by its normal.
void Split(const Winding& w, const Plane& plane, Winding& front, Winding& back, double epsilon = kOnEpsilon);
// Normal times area, by the winding's turn.
Vec3 AreaVector(const Winding& w);
double Area(const Winding& w);
Vec3 Centre(const Winding& w);
Winding Reversed(const Winding& w);

struct Bounds {
    Vec3 min{1e300, 1e300, 1e300};
    Vec3 max{-1e300, -1e300, -1e300};
    void Add(Vec3 p);
    bool Empty() const { return min.x > max.x; }
    bool Contains(Vec3 p) const;  // the faces included
    Vec3 Nearest(Vec3 p) const;   // the point of the box nearest to p
};

}  // namespace orvcompile
