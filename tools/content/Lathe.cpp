#include "content/Lathe.h"

#include <algorithm>
#include <cmath>
#include <numbers>

namespace orvcontent {

namespace {

constexpr double kDegree = std::numbers::pi / 180;

void Add(std::vector<ProfileSegment>& segments, double r0, double y0, double r1, double y1, double nr0, double ny0,
         double nr1, double ny1, Finish finish) {
    const double s0 = segments.empty() ? 0 : segments.back().s1;
    segments.push_back({r0, y0, r1, y1, nr0, ny0, nr1, ny1, s0, s0 + std::hypot(r1 - r0, y1 - y0), finish});
}

// Point (r, y) turned to the angle of side `side` of `sides`; the seam's
// last side reuses the first one's cosine and sine, so the surface closes
// exactly.
Vec3 Turned(double r, double y, int side, int sides) {
    const double angle = 2 * std::numbers::pi * (side % sides) / sides;
    return {r * std::cos(angle), y, r * std::sin(angle)};
}

}  // namespace

Profile& Profile::Line(double toR, double toY, Finish finish) {
    // The outward side is to the right of the direction of travel.
    const double length = std::hypot(toR - r, toY - y);
    const double nr = (toY - y) / length, ny = -(toR - r) / length;
    Add(segments, r, y, toR, toY, nr, ny, nr, ny, finish);
    r = toR;
    y = toY;
    return *this;
}

Profile& Profile::Arc(double centreR, double centreY, double radius, double fromDegrees, double toDegrees, int steps,
                      Finish finish) {
    const double sign = toDegrees > fromDegrees ? 1 : -1;
    for (int step = 1; step <= steps; ++step) {
        const double a0 = (fromDegrees + (toDegrees - fromDegrees) * (step - 1) / steps) * kDegree;
        const double a1 = (fromDegrees + (toDegrees - fromDegrees) * step / steps) * kDegree;
        const double toR = centreR + radius * std::cos(a1), toY = centreY + radius * std::sin(a1);
        Add(segments, r, y, toR, toY, sign * std::cos(a0), sign * std::sin(a0), sign * std::cos(a1),
            sign * std::sin(a1), finish);
        r = toR;
        y = toY;
    }
    return *this;
}

std::vector<LatheTriangle> Triangles(const Lathe& lathe) {
    const Chart& chart = lathe.chart;
    const double length = lathe.profile.Length();
    auto vertex = [&](double r, double y, double s, int side, double u) {
        return LatheVertex{Turned(r, y, side, lathe.sides), chart.x + 0.5 + u * (chart.width - 1),
                           chart.y + 0.5 + s / length * (chart.height - 1)};
    };
    std::vector<LatheTriangle> triangles;
    for (const ProfileSegment& g : lathe.profile.segments) {
        for (int side = 0; side < lathe.sides; ++side) {
            const double u0 = static_cast<double>(side) / lathe.sides;
            const double u1 = static_cast<double>(side + 1) / lathe.sides;
            const double middle = (u0 + u1) / 2;  // where a pole's one point takes its skin
            const LatheVertex a0 = vertex(g.r0, g.y0, g.s0, side, g.r0 == 0 ? middle : u0);
            const LatheVertex a1 = vertex(g.r0, g.y0, g.s0, side + 1, g.r0 == 0 ? middle : u1);
            const LatheVertex b0 = vertex(g.r1, g.y1, g.s1, side, g.r1 == 0 ? middle : u0);
            const LatheVertex b1 = vertex(g.r1, g.y1, g.s1, side + 1, g.r1 == 0 ? middle : u1);
            if (g.r1 != 0) triangles.push_back({{a0, b0, b1}});
            if (g.r0 != 0) triangles.push_back({{a0, b1, a1}});
        }
    }
    return triangles;
}

SurfacePoint PointAt(const Lathe& lathe, int column, int row) {
    const Chart& chart = lathe.chart;
    const double angle = 2 * std::numbers::pi * column / (chart.width - 1);
    const double s = lathe.profile.Length() * row / (chart.height - 1);
    const auto& segments = lathe.profile.segments;
    const auto found =
        std::find_if(segments.begin(), segments.end(), [&](const ProfileSegment& g) { return s <= g.s1; });
    const ProfileSegment& g = found == segments.end() ? segments.back() : *found;
    const double t = g.s1 > g.s0 ? std::clamp((s - g.s0) / (g.s1 - g.s0), 0.0, 1.0) : 0;
    const double r = g.r0 + (g.r1 - g.r0) * t, y = g.y0 + (g.y1 - g.y0) * t;
    const double nr = g.nr0 + (g.nr1 - g.nr0) * t, ny = g.ny0 + (g.ny1 - g.ny0) * t;
    const double c = std::cos(angle), d = std::sin(angle);
    return {{r * c, y, r * d}, orvcompile::Normalised({nr * c, ny, nr * d}), g.finish};
}

}  // namespace orvcontent
