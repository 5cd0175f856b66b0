#include "compiler/Lighting.h"

#include <cmath>
#include <numbers>

#include "compiler/Parallel.h"

namespace orvcompile {

namespace {

constexpr int kOcclusionRays = 24;
constexpr double kNoHit = 2;

double Trace(const Tree& tree, const PlaneSet& planes, int index, Vec3 a, Vec3 b, double ta, double tb) {
    const Node& node = tree.nodes[static_cast<std::size_t>(index)];
    if (node.IsLeaf()) return node.solid ? ta : kNoHit;
    const Plane& plane = planes[node.plane];
    const double da = Distance(plane, a), db = Distance(plane, b);
    if (da >= 0 && db >= 0) return Trace(tree, planes, node.children[0], a, b, ta, tb);
    if (da < 0 && db < 0) return Trace(tree, planes, node.children[1], a, b, ta, tb);
    // Crosses the plane: the near part first.
    const double f = da / (da - db);
    const Vec3 mid = a + (b - a) * f;
    const double tm = ta + (tb - ta) * f;
    const int near = da >= 0 ? 0 : 1;
    const double hit = Trace(tree, planes, node.children[near], a, mid, ta, tm);
    if (hit <= 1) return hit;
    return Trace(tree, planes, node.children[1 - near], mid, b, tm, tb);
}

// Two unit vectors that make a right-handed basis with n.
void Tangents(Vec3 n, Vec3& t1, Vec3& t2) {
    const Vec3 helper = std::fabs(n.y) < 0.9 ? Vec3{0, 1, 0} : Vec3{1, 0, 0};
    t1 = Normalised(Cross(helper, n));
    t2 = Cross(n, t1);
}

}  // namespace

LightSettings SettingsOf(const Map& map) {
    return {map.lights, map.ambient, map.dirtDistance, map.bounce, map.modelPatch};
}

double TraceSolid(const Tree& tree, const PlaneSet& planes, Vec3 a, Vec3 b) {
    return Trace(tree, planes, tree.root, a, b, 0, 1);
}

bool PointSolid(const Tree& tree, const PlaneSet& planes, Vec3 p) {
    return tree.nodes[static_cast<std::size_t>(LeafAt(tree, planes, p))].solid;
}

Vec3 DirectLight(const LightSettings& settings, const Tree& tree, const PlaneSet& planes, Vec3 p, Vec3 n) {
    Vec3 sum;
    for (const MapLight& light : settings.lights) {
        const Vec3 d = light.position - p;
        const double distance = Length(d);
        if (distance >= light.radius || distance == 0) continue;
        const double cosine = Dot(n, d) / distance;
        if (cosine <= 0) continue;
        if (TraceSolid(tree, planes, p, light.position) <= 1) continue;
        sum = sum + light.colour * (light.intensity * cosine * (1 - distance / light.radius));
    }
    return sum;
}

double AmbientOcclusion(const LightSettings& settings, const Tree& tree, const PlaneSet& planes, Vec3 p, Vec3 n) {
    // Occlusion only darkens the ambient light: without either there is nothing to trace.
    if (settings.dirtDistance <= 0 || (settings.ambient.x <= 0 && settings.ambient.y <= 0 && settings.ambient.z <= 0))
        return 1;
    Vec3 t1, t2;
    Tangents(n, t1, t2);
    // A fixed spiral of cosine-weighted directions: the same for every sample,
    // so results never depend on the order of work.
    const double golden = std::numbers::pi * (3 - std::sqrt(5.0));
    double occlusion = 0;
    for (int k = 0; k < kOcclusionRays; ++k) {
        const double r = std::sqrt((k + 0.5) / kOcclusionRays);
        const double phi = k * golden;
        const Vec3 dir = t1 * (r * std::cos(phi)) + t2 * (r * std::sin(phi)) + n * std::sqrt(1 - r * r);
        const double hit = TraceSolid(tree, planes, p, p + dir * settings.dirtDistance);
        if (hit <= 1) occlusion += 1 - hit;  // nearer walls shade more
    }
    return 1 - occlusion / kOcclusionRays;
}

std::vector<Vec3> GatherBounce(const std::vector<Patch>& patches, const Tree& tree, const PlaneSet& planes,
                               int threads) {
    std::vector<Vec3> received(patches.size());
    ParallelFor(static_cast<int>(patches.size()), threads, [&](int i) {
        const Patch& to = patches[static_cast<std::size_t>(i)];
        Vec3 sum;
        for (std::size_t k = 0; k < patches.size(); ++k) {
            const Patch& from = patches[k];
            if (static_cast<int>(k) == i || (from.emitted.x <= 0 && from.emitted.y <= 0 && from.emitted.z <= 0))
                continue;
            const Vec3 d = from.position - to.position;
            const double d2 = Dot(d, d);
            if (d2 == 0) continue;
            const double distance = std::sqrt(d2);
            const double cosTo = Dot(to.normal, d) / distance;
            const double cosFrom = -Dot(from.normal, d) / distance;
            if (cosTo <= 0 || cosFrom <= 0) continue;
            if (TraceSolid(tree, planes, to.position, from.position) <= 1) continue;
            // The patch's own area in the denominator keeps near patches finite.
            const double factor = from.area * cosTo * cosFrom / (std::numbers::pi * d2 + from.area);
            sum = sum + from.emitted * factor;
        }
        received[static_cast<std::size_t>(i)] = sum;
    });
    return received;
}

}  // namespace orvcompile
