#include "compiler/Faces.h"

#include <algorithm>
#include <cmath>
#include <map>
#include <tuple>

namespace orvcompile {

namespace {

// Vertices closer than this are one vertex. Corners cut where portal edges
// graze a plane drift by up to about a thousandth of a unit; map features are
// whole units, so welding at a thousandth loses nothing.
constexpr double kWeldEpsilon = 1e-3;
// A vertex this close to an edge, between its ends, lies on it.
constexpr double kEdgeEpsilon = 1e-3;
// The least height a triangle may have.
constexpr double kMinTriangleHeight = 1e-3;

// Snaps coordinates that are integers up to rounding noise, so that welded
// vertices come out alike whatever path of cuts made them.
Vec3 Snap(Vec3 p) {
    auto snap = [](double c) {
        const double r = std::round(c);
        return std::fabs(c - r) < 1e-6 ? r : c;
    };
    return {snap(p.x), snap(p.y), snap(p.z)};
}

bool Undrawn(int texture, const BrushSet& set) {
    return texture >= 0 && set.textures[static_cast<std::size_t>(texture)].undrawn;
}

// A texture from a brush that holds the solid leaf and has a face on the
// plane, a drawn one before an undrawn one where brushes overlap.
int TextureFor(const Node& solid, int plane, const BrushSet& set) {
    int best = -1, undrawn = -1;
    double bestDot = -2;
    for (int b : solid.brushes) {
        for (const BrushSide& side : set.brushes[static_cast<std::size_t>(b)].sides) {
            if (side.plane == plane && !Undrawn(side.texture, set)) return side.texture;
            if (side.plane == plane && undrawn < 0) undrawn = side.texture;
            const double d = Dot(set.planes[side.plane].normal, set.planes[plane].normal);
            if (d > bestDot) {
                bestDot = d;
                best = side.texture;
            }
        }
    }
    return undrawn >= 0 ? undrawn : best;
}

double Height(Vec3 a, Vec3 b, Vec3 c) {
    // Twice the area over the longest side.
    const double twiceArea = Length(Cross(b - a, c - a));
    const double longest = std::max({Length(b - a), Length(c - b), Length(a - c)});
    return longest > 0 ? twiceArea / longest : 0;
}

}  // namespace

std::vector<Face> MakeFaces(const Tree& tree, const BrushSet& set) {
    std::vector<Face> faces;
    for (std::size_t index = 0; index < tree.nodes.size(); ++index) {
        const Node& leaf = tree.nodes[index];
        if (!leaf.IsLeaf() || !leaf.reached) continue;
        for (int id : leaf.portals) {
            const Portal& portal = tree.portals[static_cast<std::size_t>(id)];
            const bool front = portal.nodes[0] == static_cast<int>(index);
            const Node& other = tree.nodes[static_cast<std::size_t>(portal.nodes[front ? 1 : 0])];
            // Where open space meets solid space, or the inside of brushes that
            // are not solid (seen from outside them).
            const bool shows = other.solid || (!other.brushes.empty() && leaf.brushes.empty());
            if (!shows || portal.planeIndex < 0) continue;
            Face face;
            face.leaf = static_cast<int>(index);
            face.plane = front ? portal.planeIndex : portal.planeIndex ^ 1;
            face.winding = front ? portal.winding : Reversed(portal.winding);
            for (Vec3& p : face.winding) p = Snap(p);
            face.texture = TextureFor(other, face.plane, set);
            if (!Undrawn(face.texture, set)) faces.push_back(std::move(face));
        }
    }
    return faces;
}

namespace {

// The turn at b on the way a → b → c, positive when it bends around n.
double Turn(Vec3 a, Vec3 b, Vec3 c, Vec3 n) { return Dot(Cross(b - a, c - b), n); }

bool Near(Vec3 a, Vec3 b) { return Length(a - b) < kWeldEpsilon; }

// The union of two convex windings that share an edge, when it is convex.
bool Merge(const Winding& a, const Winding& b, Vec3 normal, Winding& merged) {
    const std::size_t na = a.size(), nb = b.size();
    for (std::size_t i = 0; i < na; ++i) {
        for (std::size_t j = 0; j < nb; ++j) {
            if (!Near(a[i], b[(j + 1) % nb]) || !Near(a[(i + 1) % na], b[j])) continue;
            // All of a from the shared edge's end round to its start, then b's other corners.
            Winding joined;
            for (std::size_t k = 1; k <= na; ++k) joined.push_back(a[(i + k) % na]);
            for (std::size_t k = 2; k < nb; ++k) joined.push_back(b[(j + k) % nb]);
            Winding kept;
            const std::size_t n = joined.size();
            for (std::size_t k = 0; k < n; ++k) {
                const Vec3 prev = joined[(k + n - 1) % n], here = joined[k], next = joined[(k + 1) % n];
                const double turn = Turn(prev, here, next, normal);
                const double scale = Length(here - prev) * Length(next - here);
                if (turn < -1e-9 * scale) return false;         // a dent: not convex
                if (turn > 1e-9 * scale) kept.push_back(here);  // a straight corner is dropped
            }
            if (kept.size() < 3) return false;
            merged = kept;
            return true;
        }
    }
    return false;
}

}  // namespace

void MergeFaces(std::vector<Face>& faces, const PlaneSet& planes) {
    for (std::size_t i = 0; i < faces.size(); ++i) {
        for (std::size_t j = i + 1; j < faces.size(); ++j) {
            Face& a = faces[i];
            const Face& b = faces[j];
            if (a.leaf != b.leaf || a.plane != b.plane || a.texture != b.texture) continue;
            Winding merged;
            if (!Merge(a.winding, b.winding, planes[a.plane].normal, merged)) continue;
            a.winding = merged;
            faces.erase(faces.begin() + static_cast<std::ptrdiff_t>(j));
            j = i;  // the grown face may now join faces passed over
        }
    }
}

void FixTJunctions(std::vector<Face>& faces) {
    // Weld: one position per cluster of close vertices, in order of first sight.
    std::map<std::tuple<long long, long long, long long>, std::vector<Vec3>> grid;
    std::vector<Vec3> vertices;
    auto cell = [](double c) { return static_cast<long long>(std::floor(c / (kWeldEpsilon * 10))); };
    auto weld = [&](Vec3 p) {
        const long long cx = cell(p.x), cy = cell(p.y), cz = cell(p.z);
        for (long long dx = -1; dx <= 1; ++dx)
            for (long long dy = -1; dy <= 1; ++dy)
                for (long long dz = -1; dz <= 1; ++dz) {
                    auto found = grid.find({cx + dx, cy + dy, cz + dz});
                    if (found == grid.end()) continue;
                    for (Vec3 q : found->second)
                        if (Length(q - p) < kWeldEpsilon) return q;
                }
        grid[{cx, cy, cz}].push_back(p);
        vertices.push_back(p);
        return p;
    };
    for (Face& face : faces) {
        Winding welded;
        for (Vec3 p : face.winding) {
            const Vec3 q = weld(p);
            if (welded.empty() || !(welded.back() == q)) welded.push_back(q);
        }
        while (welded.size() > 1 && welded.front() == welded.back()) welded.pop_back();
        face.winding = welded;
    }
    // Sorting by x lets each edge look only at vertices within its x range.
    std::sort(vertices.begin(), vertices.end(),
              [](Vec3 a, Vec3 b) { return std::tie(a.x, a.y, a.z) < std::tie(b.x, b.y, b.z); });
    for (Face& face : faces) {
        Winding fixed;
        for (std::size_t i = 0; i < face.winding.size(); ++i) {
            const Vec3 a = face.winding[i], b = face.winding[(i + 1) % face.winding.size()];
            fixed.push_back(a);
            const Vec3 edge = b - a;
            const double length = Length(edge);
            if (length == 0) continue;
            const Vec3 dir = edge * (1 / length);
            std::vector<std::pair<double, Vec3>> onEdge;
            const double lo = std::min(a.x, b.x) - kEdgeEpsilon, hi = std::max(a.x, b.x) + kEdgeEpsilon;
            auto it = std::lower_bound(vertices.begin(), vertices.end(), lo, [](Vec3 v, double x) { return v.x < x; });
            for (; it != vertices.end() && it->x <= hi; ++it) {
                const double t = Dot(*it - a, dir);
                // Any other vertex between the ends counts, however near to one:
                // one that welding kept apart is a corner of some other face.
                if (t <= 0 || t >= length || *it == a || *it == b) continue;
                if (Length(*it - (a + dir * t)) < kEdgeEpsilon) onEdge.push_back({t, *it});
            }
            std::sort(onEdge.begin(), onEdge.end(), [](const auto& x, const auto& y) { return x.first < y.first; });
            for (const auto& entry : onEdge) fixed.push_back(entry.second);
        }
        face.winding = fixed;
    }
}

std::vector<Triangle> Triangulate(const Winding& w) {
    std::vector<Triangle> triangles;
    const std::size_t n = w.size();
    if (n < 3) return triangles;
    // Fans from a corner give the fewest triangles, but corners on the
    // polygon's straight runs make flat ones; a fan from the centre, which lies
    // strictly inside a convex polygon, never does. The first corner fan with
    // no thin triangle wins, else the fan whose thinnest triangle is thickest.
    auto thinnest = [&](Vec3 apex, std::size_t first, std::size_t count) {
        double least = 1e300;
        for (std::size_t i = 0; i < count; ++i)
            least = std::min(least, Height(apex, w[(first + i) % n], w[(first + i + 1) % n]));
        return least;
    };
    std::size_t bestApex = n;  // n: the centre
    double bestHeight = thinnest(Centre(w), 0, n);
    for (std::size_t apex = 0; apex < n; ++apex) {
        const double height = thinnest(w[apex], apex + 1, n - 2);
        if (height >= kMinTriangleHeight || height > bestHeight) {
            bestApex = apex;
            bestHeight = height;
            if (height >= kMinTriangleHeight) break;
        }
    }
    if (bestApex == n) {
        const Vec3 centre = Centre(w);
        for (std::size_t i = 0; i < n; ++i) triangles.push_back({{centre, w[i], w[(i + 1) % n]}});
        return triangles;
    }
    for (std::size_t i = 1; i + 1 < n; ++i)
        triangles.push_back({{w[bestApex], w[(bestApex + i) % n], w[(bestApex + i + 1) % n]}});
    return triangles;
}

}  // namespace orvcompile
