#include "compiler/light/Lighting.h"

#include <cmath>
#include <numbers>

#include "compiler/light/Parallel.h"

namespace orvcompile {

namespace {

constexpr int kOcclusionRays = 24;
constexpr double kNoHit = 2;
// Sky rays run this far: out of any level.
constexpr double kSkyReach = kWorldExtent;
// A ray's end this near a sky face's plane lies on it.
constexpr double kOnSky = 1e-3;

// The fraction along a→b at which the segment enters solid space, with the
// last empty leaf it crosses before in `empty`.
double Trace(const Tree& tree, const PlaneSet& planes, int index, Vec3 a, Vec3 b, double ta, double tb, int& empty) {
    const Node& node = tree.nodes[static_cast<std::size_t>(index)];
    if (node.IsLeaf()) {
        if (node.solid) return ta;
        empty = index;
        return kNoHit;
    }
    const Plane& plane = planes[node.plane];
    const double da = Distance(plane, a), db = Distance(plane, b);
    if (da >= 0 && db >= 0) return Trace(tree, planes, node.children[0], a, b, ta, tb, empty);
    if (da < 0 && db < 0) return Trace(tree, planes, node.children[1], a, b, ta, tb, empty);
    // Crosses the plane: the near part first.
    const double f = da / (da - db);
    const Vec3 mid = a + (b - a) * f;
    const double tm = ta + (tb - ta) * f;
    const int near = da >= 0 ? 0 : 1;
    const double hit = Trace(tree, planes, node.children[near], a, mid, ta, tm, empty);
    if (hit <= 1) return hit;
    return Trace(tree, planes, node.children[1 - near], mid, b, tm, tb, empty);
}

// Two unit vectors that make a right-handed basis with n.
void Tangents(Vec3 n, Vec3& t1, Vec3& t2) {
    const Vec3 helper = std::fabs(n.y) < 0.9 ? Vec3{0, 1, 0} : Vec3{1, 0, 0};
    t1 = Normalised(Cross(helper, n));
    t2 = Cross(n, t1);
}

// The same fixed spiral of cosine-weighted directions above a surface for
// every sample, so that results never depend on the order of work.
template <typename Visit>
void HemisphereRays(Vec3 n, Visit visit) {
    Vec3 t1, t2;
    Tangents(n, t1, t2);
    const double golden = std::numbers::pi * (3 - std::sqrt(5.0));
    for (int k = 0; k < kOcclusionRays; ++k) {
        const double r = std::sqrt((k + 0.5) / kOcclusionRays);
        const double phi = k * golden;
        visit(t1 * (r * std::cos(phi)) + t2 * (r * std::sin(phi)) + n * std::sqrt(1 - r * r));
    }
}

bool OnFace(const SkyFace& face, Vec3 p) {
    if (std::fabs(Distance(face.plane, p)) > kOnSky) return false;
    bool below = false, above = false;
    for (std::size_t i = 0; i < face.winding.size(); ++i) {
        const Vec3 a = face.winding[i], b = face.winding[(i + 1) % face.winding.size()];
        const double side = Dot(Cross(b - a, p - a), face.plane.normal);
        below = below || side < -kOnSky;
        above = above || side > kOnSky;
    }
    return !(below && above);
}

// Whether the ray from p along `direction` first meets solid space at a sky
// face: one of those of the last empty leaf it crosses.
bool SeesSky(const LightSettings& settings, const Tree& tree, const PlaneSet& planes, Vec3 p, Vec3 direction) {
    const Vec3 far = p + direction * kSkyReach;
    int empty = -1;
    const double hit = Trace(tree, planes, tree.root, p, far, 0, 1, empty);
    if (hit > 1 || empty < 0) return false;
    const Vec3 at = p + (far - p) * hit;
    for (const SkyFace& face : settings.skyFaces[static_cast<std::size_t>(empty)])
        if (OnFace(face, at)) return true;
    return false;
}

bool IsDark(Vec3 c) { return c.x <= 0 && c.y <= 0 && c.z <= 0; }

double Shade(double angleScale, double cosine) { return 1 - angleScale + angleScale * cosine; }

// A light's strength at distance d, before the angle of incidence.
double Strength(const MapLight& light, double d) {
    switch (light.falloff) {
    case Falloff::Linear:
        return 1 - d / light.radius;
    case Falloff::Inverse:
        return light.reference / d;
    case Falloff::InverseSquare:
        return (light.reference / d) * (light.reference / d);
    case Falloff::None:
        break;
    }
    return 1;
}

// A spotlight's share at direction `out` (unit, from the light).
double ConeShare(const MapLight& light, Vec3 out) {
    if (Length(light.axis) == 0) return 1;
    const double c = Dot(light.axis, out);
    if (c <= light.outerCosine) return 0;
    if (c >= light.innerCosine) return 1;
    return (c - light.outerCosine) / (light.innerCosine - light.outerCosine);
}

}  // namespace

LightSettings SettingsOf(const Map& map) {
    return {map.lights, map.ambient,    map.minLight, map.gamma, map.dirtDistance,
            map.bounce, map.modelPatch, map.sky,      {}};
}

double TraceSolid(const Tree& tree, const PlaneSet& planes, Vec3 a, Vec3 b) {
    int empty;
    return Trace(tree, planes, tree.root, a, b, 0, 1, empty);
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
        const double cone = ConeShare(light, d * (-1 / distance));
        if (cone <= 0) continue;
        if (TraceSolid(tree, planes, p, light.position) <= 1) continue;
        sum =
            sum + light.colour * (light.intensity * Shade(light.angleScale, cosine) * Strength(light, distance) * cone);
    }
    if (settings.skyFaces.empty()) return sum;
    const SkyLight& sky = settings.sky;
    const double cosine = Dot(n, sky.towardSun);
    if (!IsDark(sky.sun) && cosine > 0 && SeesSky(settings, tree, planes, p, sky.towardSun))
        sum = sum + sky.sun * Shade(sky.angleScale, cosine);
    if (!IsDark(sky.dome)) {
        int open = 0;
        HemisphereRays(n, [&](Vec3 dir) { open += SeesSky(settings, tree, planes, p, dir) ? 1 : 0; });
        sum = sum + sky.dome * (static_cast<double>(open) / kOcclusionRays);
    }
    return sum;
}

double AmbientOcclusion(const LightSettings& settings, const Tree& tree, const PlaneSet& planes, Vec3 p, Vec3 n) {
    // Occlusion only darkens the ambient light: without either there is nothing to trace.
    if (settings.dirtDistance <= 0 || IsDark(settings.ambient)) return 1;
    double occlusion = 0;
    HemisphereRays(n, [&](Vec3 dir) {
        const double hit = TraceSolid(tree, planes, p, p + dir * settings.dirtDistance);
        if (hit <= 1) occlusion += 1 - hit;  // nearer walls shade more
    });
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
            if (static_cast<int>(k) == i || IsDark(from.emitted)) continue;
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
