#include "content/LampSkin.h"

#include <algorithm>
#include <cmath>

#include "compiler/light/Lightmaps.h"
#include "compiler/light/Parallel.h"
#include "content/LampModel.h"

namespace orvcontent {

using orvcompile::Cross;
using orvcompile::Dot;
using orvcompile::Length;
using orvcompile::LightSettings;
using orvcompile::Normalised;
using orvcompile::Picture;

namespace {

// Highlights are baked for the view from the player's start.
constexpr Vec3 kEye{0, 5, 0};
// Samples sit this far off the surface, so they do not shadow themselves.
constexpr double kLift = 0.02;
// The tiled floor's share of light it passes on, for the bounce from below.
constexpr double kFloorAlbedo = 0.45;

struct Look {
    Vec3 albedo;
    double specular, shininess, reflection;
};

Look LookOf(Finish finish) {
    switch (finish) {
    case Finish::Enamel:
        return {{0.07, 0.38, 0.36}, 0.45, 40, 0.06};
    case Finish::Lining:
        return {{0.95, 0.93, 0.86}, 0.08, 8, 0};
    case Finish::Steel:
        return {{0.5, 0.5, 0.52}, 0.6, 24, 0.22};
    case Finish::Chrome:
        return {{0.22, 0.22, 0.24}, 1.3, 60, 0.65};
    case Finish::Brass:
        return {{0.7, 0.5, 0.2}, 0.8, 30, 0.25};
    case Finish::Glass:
        break;
    }
    return {{1, 1, 1}, 0, 1, 0};
}

Vec3 Times(Vec3 a, Vec3 b) { return {a.x * b.x, a.y * b.y, a.z * b.z}; }

// What polished metal mirrors: the hall's warm walls and pale ceiling above
// the horizon, its dark floor below.
Vec3 Surroundings(Vec3 direction) {
    if (direction.y >= 0) {
        const double t = direction.y;
        return Vec3{0.42, 0.27, 0.2} * (1 - t) + Vec3{0.6, 0.58, 0.52} * t;
    }
    return Vec3{0.3, 0.26, 0.22} * (1 + direction.y) + Vec3{0.16, 0.15, 0.14} * -direction.y;
}

struct WorldTriangle {
    Vec3 a, b, c;
};

// The lamp's parts in the world, but the bulb: it glows and casts no shadow.
std::vector<WorldTriangle> Occluders(const orvcompile::ModelPlace* place) {
    std::vector<WorldTriangle> all;
    const auto& parts = LampParts();
    for (std::size_t i = 0; i < parts.size(); ++i) {
        if (std::string(parts[i].name) == "bulb") continue;
        const int part = static_cast<int>(i);
        for (const LatheTriangle& t : Triangles(parts[i].surface))
            all.push_back({LampToWorld(part, t.v[0].position, false, place),
                           LampToWorld(part, t.v[1].position, false, place),
                           LampToWorld(part, t.v[2].position, false, place)});
    }
    return all;
}

// Whether the segment from p to q passes through a triangle (Möller and Trumbore).
bool Blocked(const std::vector<WorldTriangle>& triangles, Vec3 p, Vec3 q) {
    const Vec3 d = q - p;
    for (const WorldTriangle& t : triangles) {
        const Vec3 e1 = t.b - t.a, e2 = t.c - t.a;
        const Vec3 h = Cross(d, e2);
        const double det = Dot(e1, h);
        if (std::fabs(det) < 1e-12) continue;
        const Vec3 s = p - t.a;
        const double u = Dot(s, h) / det;
        if (u < 0 || u > 1) continue;
        const Vec3 k = Cross(s, e1);
        const double v = Dot(d, k) / det;
        if (v < 0 || u + v > 1) continue;
        const double along = Dot(e2, k) / det;
        if (along > 0 && along < 1) return true;
    }
    return false;
}

Vec3 Shade(const SurfacePoint& point, int part, const LightSettings& settings, const orvcompile::Tree& tree,
           const orvcompile::PlaneSet& planes, const std::vector<WorldTriangle>& occluders,
           const orvcompile::ModelPlace* place) {
    const Vec3 p = LampToWorld(part, point.position, false, place);
    const Vec3 n = Normalised(LampToWorld(part, point.normal, true, place));
    const Vec3 view = Normalised(kEye - p);
    if (point.finish == Finish::Glass) {
        // Brightest where the glass faces the eye, a warmer glow at its edge.
        const double facing = std::max(0.0, Dot(n, view));
        return Vec3{1.0, 0.86, 0.6} * (1 - facing) + Vec3{1.0, 0.98, 0.9} * facing;
    }
    const Look look = LookOf(point.finish);
    const Vec3 lifted = p + n * kLift;
    Vec3 diffuse, highlight;
    LightSettings one = settings;
    for (const orvcompile::MapLight& light : settings.lights) {
        one.lights = {light};
        const Vec3 received = orvcompile::DirectLight(one, tree, planes, lifted, n);
        if (received.x <= 0 && received.y <= 0 && received.z <= 0) continue;
        if (Blocked(occluders, lifted, light.position)) continue;
        diffuse = diffuse + received;
        const Vec3 toLight = Normalised(light.position - lifted);
        const double halfway = std::max(0.0, Dot(n, Normalised(toLight + view)));
        highlight = highlight + received * (std::pow(halfway, look.shininess) / Dot(n, toLight));
    }
    // Light off the floor reaches what faces down.
    one.lights = settings.lights;
    const double floorY = place ? place->position.y : 0;  // the floor the lamp stands on
    const Vec3 floor = orvcompile::DirectLight(one, tree, planes, {p.x, floorY + 0.05, p.z}, {0, 1, 0});
    const Vec3 bounced = floor * (settings.bounce * kFloorAlbedo * (1 - n.y) / 2);
    const Vec3 ambient = settings.ambient * orvcompile::AmbientOcclusion(settings, tree, planes, lifted, n);
    const Vec3 mirrored = Surroundings(view * -1 + n * (2 * Dot(n, view)));
    return Times(look.albedo, diffuse + ambient + bounced) + highlight * look.specular + mirrored * look.reflection;
}

void Put(Picture& picture, int x, int y, Vec3 colour) {
    const std::size_t at = (static_cast<std::size_t>(y) * picture.width + x) * 3;
    picture.rgb[at] = static_cast<std::uint8_t>(std::clamp(colour.x, 0.0, 1.0) * 255 + 0.5);
    picture.rgb[at + 1] = static_cast<std::uint8_t>(std::clamp(colour.y, 0.0, 1.0) * 255 + 0.5);
    picture.rgb[at + 2] = static_cast<std::uint8_t>(std::clamp(colour.z, 0.0, 1.0) * 255 + 0.5);
}

}  // namespace

orvcompile::MapLight BulbLight() {
    const auto& parts = LampParts();
    const int bulb = static_cast<int>(parts.size()) - 1;
    orvcompile::MapLight light;
    light.position = LampToWorld(bulb, {0, -0.55, 0});  // the glass's centre
    light.colour = {1, 0.82, 0.55};
    light.intensity = 0.9;
    light.radius = 9;
    return light;
}

Picture PaintLampSkin(const LightSettings& settings, const orvcompile::Tree& tree, const orvcompile::PlaneSet& planes,
                      int threads, const orvcompile::ModelPlace* place) {
    const int size = orvcompile::kModelPatchSize;
    Picture skin;
    skin.width = skin.height = size;
    skin.rgb.assign(static_cast<std::size_t>(size) * size * 3, 0);
    // Texels no chart owns take the enamel's colour.
    for (int y = 0; y < size; ++y)
        for (int x = 0; x < size; ++x) Put(skin, x, y, LookOf(Finish::Enamel).albedo * 0.5);
    const std::vector<WorldTriangle> occluders = Occluders(place);
    const auto& parts = LampParts();
    for (std::size_t i = 0; i < parts.size(); ++i) {
        const Lathe& lathe = parts[i].surface;
        const Chart& chart = lathe.chart;
        orvcompile::ParallelFor(chart.height, threads, [&](int row) {
            for (int column = 0; column < chart.width; ++column)
                Put(skin, chart.x + column, chart.y + row,
                    Shade(PointAt(lathe, column, row), static_cast<int>(i), settings, tree, planes, occluders, place));
        });
    }
    return skin;
}

void PutSkin(const Picture& skin, Picture& page) {
    for (int y = 0; y < skin.height && y < page.height; ++y)
        std::copy_n(skin.rgb.begin() + static_cast<std::ptrdiff_t>(y) * skin.width * 3,
                    std::min(skin.width, page.width) * 3,
                    page.rgb.begin() + static_cast<std::ptrdiff_t>(y) * page.width * 3);
}

}  // namespace orvcontent
