#include "compiler/Brushes.h"

#include <cmath>

namespace orvcompile {

namespace {

constexpr double kNormalEpsilon = 1e-9;
constexpr double kDistEpsilon = 1e-6;
// Pieces of a cut brush thinner than this volume are noise, not solid.
constexpr double kMinVolume = 1e-3;
// A brush vertex this far out means no plane closed the brush on that side.
constexpr double kOpenExtent = kWorldExtent / 2;

void ComputeBounds(Brush& brush) {
    brush.bounds = Bounds{};
    for (const BrushSide& side : brush.sides)
        for (Vec3 p : side.winding) brush.bounds.Add(p);
}

}  // namespace

int PlaneSet::Find(const Plane& plane) {
    for (std::size_t i = 0; i < planes.size(); ++i) {
        const Plane& p = planes[i];
        if (std::fabs(p.dist - plane.dist) < kDistEpsilon && std::fabs(p.normal.x - plane.normal.x) < kNormalEpsilon &&
            std::fabs(p.normal.y - plane.normal.y) < kNormalEpsilon &&
            std::fabs(p.normal.z - plane.normal.z) < kNormalEpsilon)
            return static_cast<int>(i);
    }
    planes.push_back(plane);
    planes.push_back(Flipped(plane));
    return static_cast<int>(planes.size()) - 2;
}

void PlaneSet::Scale(double factor) {
    for (Plane& plane : planes) {
        plane.dist *= factor;
        for (Vec3& p : plane.points) p = p * factor;
    }
}

double Volume(const Brush& brush) {
    if (brush.sides.empty()) return 0;
    // Pyramids from one corner to every side.
    const Vec3 corner = brush.sides[0].winding.empty() ? Vec3{} : brush.sides[0].winding[0];
    double volume = 0;
    for (const BrushSide& side : brush.sides) {
        if (side.winding.size() < 3) continue;
        volume += Dot(AreaVector(side.winding), side.winding[0] - corner) / 3;
    }
    return volume;
}

bool BrushContains(const Brush& brush, const PlaneSet& planes, Vec3 p) {
    for (const BrushSide& side : brush.sides)
        if (Distance(planes[side.plane], p) > 0) return false;
    return true;
}

int BrushOnPlaneSide(const Brush& brush, const Plane& plane) {
    bool front = false, back = false;
    for (const BrushSide& side : brush.sides) {
        for (Vec3 p : side.winding) {
            const double d = Distance(plane, p);
            if (d > kOnEpsilon) front = true;
            if (d < -kOnEpsilon) back = true;
        }
    }
    return front && back ? 2 : back ? 1 : 0;
}

namespace {

// One map brush as a convex solid; "" on success, else why it is not one. A
// lenient map loses only the faces that bound nothing (counted in `dropped`).
std::string BuildBrush(const MapBrush& mapBrush, bool lenient, BrushSet& set, Brush& brush, int& dropped) {
    for (const MapFace& face : mapBrush.faces) {
        BrushSide side;
        side.plane = set.planes.Find(PlaneFromPoints(face.points[0], face.points[1], face.points[2]));
        for (const BrushSide& other : brush.sides)
            if (other.plane == side.plane) return "has two faces on one plane";
        side.texture = static_cast<int>(set.textures.size());
        set.textures.push_back(face.texture);
        brush.sides.push_back(side);
    }
    if (brush.sides.size() < 4) return "is open: it needs at least four faces";
    for (std::size_t i = 0; i < brush.sides.size(); ++i) {
        BrushSide& side = brush.sides[i];
        side.winding = BaseWinding(set.planes[side.plane]);
        for (std::size_t j = 0; j < brush.sides.size() && !side.winding.empty(); ++j) {
            if (i == j) continue;
            // Keep the inside: the back of every other outward plane.
            side.winding = ClipFront(side.winding, set.planes[brush.sides[j].plane ^ 1], 0);
        }
        if (!lenient && (side.winding.empty() || Area(side.winding) < kMinVolume))
            return "is not a convex solid: face " + std::to_string(i + 1) +
                   " does not bound it (it lies outside the other faces, or its points run the wrong way round)";
    }
    // A face whose plane misses the rest of the brush either changes nothing
    // or leaves nothing: dropping it keeps the solid, and what is left tells which.
    const std::size_t faces = brush.sides.size();
    std::erase_if(brush.sides,
                  [](const BrushSide& side) { return side.winding.empty() || Area(side.winding) < kMinVolume; });
    if (brush.sides.size() < 4)
        return "is not a convex solid: its faces enclose nothing (are their points the wrong way round?)";
    ComputeBounds(brush);
    for (int axis = 0; axis < 3; ++axis)
        if (Component(brush.bounds.max, axis) > kOpenExtent || Component(brush.bounds.min, axis) < -kOpenExtent)
            return "is open: its faces do not enclose a volume";
    if (Volume(brush) < kMinVolume) return "has no volume";
    dropped += static_cast<int>(faces - brush.sides.size());
    return "";
}

}  // namespace

bool BuildBrushes(const Map& map, BrushSet& set, Reporter& reporter) {
    int dropped = 0;
    for (const MapBrush& mapBrush : map.brushes) {
        Brush brush;
        // Left-out brushes leave no gap: the leaves name brushes by this index.
        brush.original = static_cast<int>(set.brushes.size());
        brush.solid = mapBrush.solid;
        const std::size_t textures = set.textures.size();
        const std::string problem = BuildBrush(mapBrush, map.lenient, set, brush, dropped);
        if (problem.empty()) {
            set.brushes.push_back(std::move(brush));
            continue;
        }
        if (!map.lenient) return reporter.Fail(mapBrush.line, "brush " + problem);
        set.textures.resize(textures);  // the planes it added stay, unused
        reporter.Warn(mapBrush.line, "brush " + problem + "; left out");
    }
    if (dropped > 0) reporter.Warn("left out " + Counted(dropped, "face", "faces") + " of brushes that bound nothing");
    return true;
}

void SplitBrush(const Brush& brush, int planeIndex, const PlaneSet& planes, Brush& front, Brush& back) {
    front = Brush{brush.original, {}, {}, brush.solid};
    back = Brush{brush.original, {}, {}, brush.solid};
    const Plane& plane = planes[planeIndex];
    const int side = BrushOnPlaneSide(brush, plane);
    if (side != 2) {
        (side == 0 ? front : back) = brush;
        return;
    }
    // The cut face: the plane clipped by all sides.
    Winding mid = BaseWinding(plane);
    for (const BrushSide& s : brush.sides) mid = ClipFront(mid, planes[s.plane ^ 1], 0);
    if (mid.empty() || Area(mid) < kMinVolume) {
        // The plane only grazes the brush: keep it whole on its bigger side.
        double most = 0;
        for (const BrushSide& s : brush.sides)
            for (Vec3 p : s.winding) most = std::fabs(Distance(plane, p)) > std::fabs(most) ? Distance(plane, p) : most;
        (most >= 0 ? front : back) = brush;
        return;
    }
    for (const BrushSide& s : brush.sides) {
        Winding f, b;
        Split(s.winding, plane, f, b);
        if (f.size() >= 3) {
            front.sides.push_back(s);
            front.sides.back().winding = f;
        }
        if (b.size() >= 3) {
            back.sides.push_back(s);
            back.sides.back().winding = b;
        }
    }
    BrushSide cut;
    cut.original = false;
    cut.tested = true;
    cut.plane = planeIndex ^ 1;  // outward from the front piece
    cut.winding = Reversed(mid);
    front.sides.push_back(cut);
    cut.plane = planeIndex;
    cut.winding = mid;
    back.sides.push_back(cut);
    for (Brush* piece : {&front, &back}) {
        ComputeBounds(*piece);
        if (piece->sides.size() < 4 || Volume(*piece) < kMinVolume) piece->sides.clear();
    }
}

}  // namespace orvcompile
