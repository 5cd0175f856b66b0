#include "compiler/Geometry.h"

#include <algorithm>
#include <cmath>

namespace orvcompile {

double Dot(Vec3 a, Vec3 b) { return a.x * b.x + a.y * b.y + a.z * b.z; }

Vec3 Cross(Vec3 a, Vec3 b) { return {a.y * b.z - a.z * b.y, a.z * b.x - a.x * b.z, a.x * b.y - a.y * b.x}; }

double Length(Vec3 a) { return std::sqrt(Dot(a, a)); }

Vec3 Normalised(Vec3 a) {
    const double length = Length(a);
    return length > 0 ? a * (1 / length) : Vec3{};
}

double Component(Vec3 a, int axis) { return axis == 0 ? a.x : axis == 1 ? a.y : a.z; }

Plane PlaneFromPoints(Vec3 a, Vec3 b, Vec3 c) {
    Plane plane;
    plane.normal = Normalised(Cross(b - a, c - a));
    plane.dist = Dot(plane.normal, a);
    plane.points[0] = a;
    plane.points[1] = b;
    plane.points[2] = c;
    return plane;
}

Plane Flipped(const Plane& plane) {
    return {-plane.normal, -plane.dist, {plane.points[0], plane.points[2], plane.points[1]}};
}

double Distance(const Plane& plane, Vec3 p) { return Dot(plane.normal, p) - plane.dist; }

int AxisOf(const Plane& plane) {
    for (int axis = 0; axis < 3; ++axis)
        if (std::fabs(Component(plane.normal, axis)) == 1.0) return axis;
    return -1;
}

Winding BaseWinding(const Plane& plane) { return BaseWinding(plane, {}, kWorldExtent); }

Winding BaseWinding(const Plane& plane, Vec3 centre, double extent) {
    // Pick the world axis least aligned with the normal to build the square's sides.
    const Vec3 n = plane.normal;
    const double ax = std::fabs(n.x), ay = std::fabs(n.y), az = std::fabs(n.z);
    Vec3 up = ax <= ay && ax <= az ? Vec3{1, 0, 0} : ay <= az ? Vec3{0, 1, 0} : Vec3{0, 0, 1};
    up = Normalised(up - n * Dot(up, n)) * extent;
    const Vec3 right = Cross(n, up);  // so that the corners below wind about n
    const Vec3 origin = centre - n * Distance(plane, centre);
    return {origin - right + up, origin + right + up, origin + right - up, origin - right - up};
}

namespace {

// Splits w; `wantFront`/`wantBack` say which parts to build.
void SplitInto(const Winding& w, const Plane& plane, double epsilon, Winding* front, Winding* back) {
    std::vector<double> dists(w.size());
    std::vector<int> sides(w.size());
    int counts[3] = {0, 0, 0};  // front, back, on
    for (std::size_t i = 0; i < w.size(); ++i) {
        dists[i] = Distance(plane, w[i]);
        sides[i] = dists[i] > epsilon ? 0 : dists[i] < -epsilon ? 1 : 2;
        ++counts[sides[i]];
    }
    if (front) front->clear();
    if (back) back->clear();
    if (counts[0] == 0 && counts[1] == 0) {
        // Lies on the plane: its own normal decides.
        Winding* whole = Dot(AreaVector(w), plane.normal) >= 0 ? front : back;
        if (whole) *whole = w;
        return;
    }
    if (counts[1] == 0) {
        if (front) *front = w;
        return;
    }
    if (counts[0] == 0) {
        if (back) *back = w;
        return;
    }
    for (std::size_t i = 0; i < w.size(); ++i) {
        const Vec3 p = w[i];
        if (sides[i] == 2) {
            if (front) front->push_back(p);
            if (back) back->push_back(p);
            continue;
        }
        if (sides[i] == 0 && front) front->push_back(p);
        if (sides[i] == 1 && back) back->push_back(p);
        const std::size_t j = (i + 1) % w.size();
        if (sides[j] == 2 || sides[j] == sides[i]) continue;
        const double t = dists[i] / (dists[i] - dists[j]);
        Vec3 mid = p + (w[j] - p) * t;
        // Keep exact coordinates on axial planes.
        for (int axis = 0; axis < 3; ++axis) {
            const double c = Component(plane.normal, axis);
            double& m = axis == 0 ? mid.x : axis == 1 ? mid.y : mid.z;
            if (c == 1) m = plane.dist;
            if (c == -1) m = -plane.dist;
        }
        if (front) front->push_back(mid);
        if (back) back->push_back(mid);
    }
    if (front && front->size() < 3) front->clear();
    if (back && back->size() < 3) back->clear();
}

}  // namespace

Winding ClipFront(const Winding& w, const Plane& plane, double epsilon) {
    Winding front;
    if (!w.empty()) SplitInto(w, plane, epsilon, &front, nullptr);
    return front;
}

void Split(const Winding& w, const Plane& plane, Winding& front, Winding& back, double epsilon) {
    front.clear();
    back.clear();
    if (!w.empty()) SplitInto(w, plane, epsilon, &front, &back);
}

Vec3 AreaVector(const Winding& w) {
    Vec3 sum;
    for (std::size_t i = 2; i < w.size(); ++i) sum = sum + Cross(w[i - 1] - w[0], w[i] - w[0]);
    return sum * 0.5;
}

double Area(const Winding& w) { return Length(AreaVector(w)); }

Vec3 Centre(const Winding& w) {
    Vec3 sum;
    for (Vec3 p : w) sum = sum + p;
    return w.empty() ? sum : sum * (1.0 / static_cast<double>(w.size()));
}

Winding Reversed(const Winding& w) { return Winding(w.rbegin(), w.rend()); }

void Bounds::Add(Vec3 p) {
    min = {std::min(min.x, p.x), std::min(min.y, p.y), std::min(min.z, p.z)};
    max = {std::max(max.x, p.x), std::max(max.y, p.y), std::max(max.z, p.z)};
}

bool Bounds::Contains(Vec3 p) const {
    return p.x >= min.x && p.y >= min.y && p.z >= min.z && p.x <= max.x && p.y <= max.y && p.z <= max.z;
}

Vec3 Bounds::Nearest(Vec3 p) const {
    return {std::clamp(p.x, min.x, max.x), std::clamp(p.y, min.y, max.y), std::clamp(p.z, min.z, max.z)};
}

}  // namespace orvcompile
