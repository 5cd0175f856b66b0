#include "compiler/light/Lightmaps.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <numeric>

#include "compiler/light/Lighting.h"
#include "compiler/light/Parallel.h"

namespace orvcompile {

namespace {

constexpr int kMaxPageSize = 4096;
// Samples sit this far off their surface, so that they see their own
// surface's side of the tree.
constexpr double kSampleLift = 0.1;
// At most this many bounce patches: the gather costs their number squared.
constexpr int kMaxPatches = 1500;

// A coordinate that is an integer up to rounding noise becomes one.
double SnapGrid(double c) {
    const double r = std::round(c);
    return std::fabs(c - r) < 1e-6 ? r : c;
}

// Union-find over the faces of one plane: faces of one texel size sharing a vertex join.
std::vector<std::vector<int>> ConnectedGroups(const std::vector<int>& faces, const std::vector<Face>& all,
                                              const std::vector<double>& texelSizes) {
    std::vector<int> parent(faces.size());
    std::iota(parent.begin(), parent.end(), 0);
    auto find = [&](int i) {
        while (parent[static_cast<std::size_t>(i)] != i) i = parent[static_cast<std::size_t>(i)];
        return i;
    };
    for (std::size_t a = 0; a < faces.size(); ++a)
        for (std::size_t b = a + 1; b < faces.size(); ++b) {
            if (texelSizes[static_cast<std::size_t>(faces[a])] != texelSizes[static_cast<std::size_t>(faces[b])])
                continue;
            bool shared = false;
            for (Vec3 p : all[static_cast<std::size_t>(faces[a])].winding)
                for (Vec3 q : all[static_cast<std::size_t>(faces[b])].winding) shared = shared || p == q;
            if (shared) parent[static_cast<std::size_t>(find(static_cast<int>(b)))] = find(static_cast<int>(a));
        }
    std::vector<std::vector<int>> groups;
    std::vector<int> groupOf(faces.size(), -1);
    for (std::size_t i = 0; i < faces.size(); ++i) {
        const int root = find(static_cast<int>(i));
        if (groupOf[static_cast<std::size_t>(root)] < 0) {
            groupOf[static_cast<std::size_t>(root)] = static_cast<int>(groups.size());
            groups.emplace_back();
        }
        groups[static_cast<std::size_t>(groupOf[static_cast<std::size_t>(root)])].push_back(faces[i]);
    }
    return groups;
}

// Shelf packing, tallest charts first; the model patch opens every page.
bool Pack(std::vector<Chart>& charts, int size, int pageCount) {
    std::vector<int> order(charts.size());
    std::iota(order.begin(), order.end(), 0);
    std::stable_sort(order.begin(), order.end(), [&](int a, int b) {
        const Chart& ca = charts[static_cast<std::size_t>(a)];
        const Chart& cb = charts[static_cast<std::size_t>(b)];
        return ca.height != cb.height ? ca.height > cb.height : ca.width > cb.width;
    });
    int page = 0, x = 0, shelfY = 0, shelfHeight = 0;
    bool fresh = true;  // nothing on the page yet but the patch
    for (int index : order) {
        Chart& chart = charts[static_cast<std::size_t>(index)];
        if (chart.width > size || chart.height > size) return false;
        if (fresh) {
            x = kModelPatchSize;
            shelfY = 0;
            shelfHeight = std::max(kModelPatchSize, chart.height);
            fresh = false;
        }
        if (x + chart.width > size) {  // next shelf
            shelfY += shelfHeight;
            x = 0;
            shelfHeight = chart.height;
        }
        if (shelfY + chart.height > size) {  // next page
            if (++page >= pageCount) return false;
            x = kModelPatchSize;
            shelfY = 0;
            shelfHeight = std::max(kModelPatchSize, chart.height);
        }
        chart.page = page;
        chart.x = x;
        chart.y = shelfY;
        x += chart.width;
    }
    return true;
}

using Polygon2 = std::vector<std::pair<double, double>>;

double Cross2(std::pair<double, double> o, std::pair<double, double> a, std::pair<double, double> b) {
    return (a.first - o.first) * (b.second - o.second) - (a.second - o.second) * (b.first - o.first);
}

// Area of the square [s, s+1] × [t, t+1] inside a counter-clockwise convex polygon.
double OverlapArea(const Polygon2& polygon, double s, double t) {
    Polygon2 clip = {{s, t}, {s + 1, t}, {s + 1, t + 1}, {s, t + 1}};
    for (std::size_t i = 0; i < polygon.size() && !clip.empty(); ++i) {
        const auto a = polygon[i], b = polygon[(i + 1) % polygon.size()];
        Polygon2 kept;
        for (std::size_t k = 0; k < clip.size(); ++k) {
            const auto p = clip[k], q = clip[(k + 1) % clip.size()];
            const double dp = Cross2(a, b, p), dq = Cross2(a, b, q);
            if (dp >= 0) kept.push_back(p);
            if ((dp >= 0) != (dq >= 0)) {
                const double f = dp / (dp - dq);
                kept.push_back({p.first + (q.first - p.first) * f, p.second + (q.second - p.second) * f});
            }
        }
        clip = kept;
    }
    double area = 0;
    for (std::size_t i = 1; i + 1 < clip.size(); ++i) area += Cross2(clip[0], clip[i], clip[i + 1]);
    return area / 2;
}

bool Inside(const Polygon2& polygon, std::pair<double, double> p) {
    for (std::size_t i = 0; i < polygon.size(); ++i)
        if (Cross2(polygon[i], polygon[(i + 1) % polygon.size()], p) < 0) return false;
    return true;
}

// The point of the polygon nearest to p, moved a little toward its inside.
std::pair<double, double> Nearest(const Polygon2& polygon, std::pair<double, double> p, double& distance) {
    std::pair<double, double> best = polygon[0];
    distance = 1e300;
    for (std::size_t i = 0; i < polygon.size(); ++i) {
        const auto a = polygon[i], b = polygon[(i + 1) % polygon.size()];
        const double ex = b.first - a.first, ey = b.second - a.second;
        const double length2 = ex * ex + ey * ey;
        double f = length2 > 0 ? ((p.first - a.first) * ex + (p.second - a.second) * ey) / length2 : 0;
        f = std::clamp(f, 0.0, 1.0);
        const std::pair<double, double> q{a.first + ex * f, a.second + ey * f};
        const double d = std::hypot(q.first - p.first, q.second - p.second);
        if (d < distance) {
            distance = d;
            best = q;
        }
    }
    double cx = 0, cy = 0;
    for (const auto& v : polygon) {
        cx += v.first;
        cy += v.second;
    }
    cx /= static_cast<double>(polygon.size());
    cy /= static_cast<double>(polygon.size());
    return {best.first + (cx - best.first) * 0.05, best.second + (cy - best.second) * 0.05};
}

// One chart's texels while it is being lit.
struct ChartTexels {
    std::vector<Texel> state;
    std::vector<Vec3> position;  // lit texels: the sample point
    std::vector<Vec3> direct;
    std::vector<double> occlusion;
    std::vector<Vec3> colour;
};

void SampleChart(const Chart& chart, const std::vector<Face>& faces, const PlaneSet& planes, const Tree& tree,
                 const LightSettings& settings, ChartTexels& out) {
    const Plane& plane = planes[chart.plane];
    const std::size_t count = static_cast<std::size_t>(chart.width * chart.height);
    out.state.assign(count, Texel::Unused);
    out.position.assign(count, {});
    out.direct.assign(count, {});
    out.occlusion.assign(count, 1);
    out.colour.assign(count, {});
    std::vector<Polygon2> polygons;
    std::vector<Vec3> centres;  // lifted face centres: known to lie in the face's empty leaf
    for (int f : chart.faces) {
        Polygon2 polygon;
        for (Vec3 p : faces[static_cast<std::size_t>(f)].winding) polygon.push_back({chart.S(p), chart.T(p)});
        polygons.push_back(polygon);
        centres.push_back(Centre(faces[static_cast<std::size_t>(f)].winding) + plane.normal * kSampleLift);
    }
    for (int j = 0; j < chart.height; ++j) {
        for (int i = 0; i < chart.width; ++i) {
            const double s = chart.sMin + i, t = chart.tMin + j;
            const std::pair<double, double> centre{s + 0.5, t + 0.5};
            int best = -1;
            double bestDistance = 1e300;
            std::pair<double, double> sample;
            for (std::size_t k = 0; k < polygons.size(); ++k) {
                if (OverlapArea(polygons[k], s, t) <= 1e-9) continue;
                if (Inside(polygons[k], centre)) {
                    best = static_cast<int>(k);
                    sample = centre;
                    break;
                }
                double distance;
                const auto nearest = Nearest(polygons[k], centre, distance);
                if (distance < bestDistance) {
                    bestDistance = distance;
                    best = static_cast<int>(k);
                    sample = nearest;
                }
            }
            if (best < 0) continue;
            Vec3 p = chart.Point(sample.first, sample.second, plane) + plane.normal * kSampleLift;
            // Out of solid space: step toward the face's centre.
            const Vec3 inner = centres[static_cast<std::size_t>(best)];
            for (int step = 1; step <= 8 && PointSolid(tree, planes, p); ++step) p = p + (inner - p) * (step / 8.0);
            const std::size_t at = static_cast<std::size_t>(j * chart.width + i);
            out.state[at] = Texel::Lit;
            out.position[at] = p;
            out.direct[at] = DirectLight(settings, tree, planes, p, plane.normal);
            out.occlusion[at] = AmbientOcclusion(settings, tree, planes, p, plane.normal);
        }
    }
}

// Fills unused texels next to filled ones with their average, ring by ring.
void Dilate(const Chart& chart, ChartTexels& texels) {
    for (bool changed = true; changed;) {
        changed = false;
        const std::vector<Texel> before = texels.state;
        for (int j = 0; j < chart.height; ++j) {
            for (int i = 0; i < chart.width; ++i) {
                const std::size_t at = static_cast<std::size_t>(j * chart.width + i);
                if (before[at] != Texel::Unused) continue;
                Vec3 sum;
                int count = 0;
                for (int dj = -1; dj <= 1; ++dj)
                    for (int di = -1; di <= 1; ++di) {
                        const int x = i + di, y = j + dj;
                        if (x < 0 || y < 0 || x >= chart.width || y >= chart.height) continue;
                        const std::size_t n = static_cast<std::size_t>(y * chart.width + x);
                        if (before[n] == Texel::Unused) continue;
                        sum = sum + texels.colour[n];
                        ++count;
                    }
                if (count == 0) continue;
                texels.colour[at] = sum * (1.0 / count);
                texels.state[at] = Texel::Dilated;
                changed = true;
            }
        }
    }
}

std::uint8_t Byte(double c) { return static_cast<std::uint8_t>(std::lround(std::clamp(c, 0.0, 1.0) * 255)); }

// A texel's light from its parts: the gamma, then the floor, last of all so
// that nothing takes a texel below it.
Vec3 FinalLight(Vec3 light, const LightSettings& settings) {
    if (settings.gamma != 1) {
        auto curve = [&](double c) { return c > 0 ? std::pow(c, 1 / settings.gamma) : c; };
        light = {curve(light.x), curve(light.y), curve(light.z)};
    }
    const Vec3 floor = settings.minLight;
    return {std::max(light.x, floor.x), std::max(light.y, floor.y), std::max(light.z, floor.z)};
}

// Patches of cell × cell texels for the bounce. The cell grows until the
// gather, which costs the square of the patch count, stays affordable, or
// until each chart is a single patch.
struct PatchGrid {
    int cell = 4;
    std::vector<std::vector<int>> patchOf;  // per chart, per cell: patch index or -1
    std::vector<Patch> patches;
    std::vector<Vec3> received;  // per patch

    int Across(const Chart& chart) const { return (chart.width + cell - 1) / cell; }
    int Down(const Chart& chart) const { return (chart.height + cell - 1) / cell; }
    int PatchAt(std::size_t chart, int cx, int cy, const Chart& c) const {
        if (cx < 0 || cy < 0 || cx >= Across(c) || cy >= Down(c)) return -1;
        return patchOf[chart][static_cast<std::size_t>(cy * Across(c) + cx)];
    }

    // The bounce at texel (i, j): bilinear between the neighbouring cells' centres.
    Vec3 BounceAt(const Chart& chart, std::size_t c, int i, int j) const {
        const double fx = (i + 0.5) / cell - 0.5, fy = (j + 0.5) / cell - 0.5;
        const int x0 = static_cast<int>(std::floor(fx)), y0 = static_cast<int>(std::floor(fy));
        Vec3 sum;
        double weights = 0;
        for (int dy = 0; dy < 2; ++dy)
            for (int dx = 0; dx < 2; ++dx) {
                const int patch = PatchAt(c, x0 + dx, y0 + dy, chart);
                if (patch < 0) continue;
                const double w = (dx ? fx - x0 : 1 - (fx - x0)) * (dy ? fy - y0 : 1 - (fy - y0));
                sum = sum + received[static_cast<std::size_t>(patch)] * w;
                weights += w;
            }
        if (weights > 0) return sum * (1 / weights);
        const int own = PatchAt(c, i / cell, j / cell, chart);  // a lit texel's own cell always has a patch
        return own >= 0 ? received[static_cast<std::size_t>(own)] : Vec3{};
    }
};

PatchGrid MakePatches(const std::vector<Chart>& charts, const std::vector<ChartTexels>& texels, const PlaneSet& planes,
                      double share) {
    PatchGrid grid;
    grid.patchOf.resize(charts.size());
    for (;; grid.cell *= 2) {
        grid.patches.clear();
        for (std::size_t c = 0; c < charts.size(); ++c) {
            const Chart& chart = charts[c];
            grid.patchOf[c].assign(static_cast<std::size_t>(grid.Across(chart) * grid.Down(chart)), -1);
            for (int cy = 0; cy < grid.Down(chart); ++cy)
                for (int cx = 0; cx < grid.Across(chart); ++cx) {
                    std::vector<std::size_t> lit;
                    for (int j = cy * grid.cell; j < std::min(chart.height, (cy + 1) * grid.cell); ++j)
                        for (int i = cx * grid.cell; i < std::min(chart.width, (cx + 1) * grid.cell); ++i) {
                            const std::size_t at = static_cast<std::size_t>(j * chart.width + i);
                            if (texels[c].state[at] == Texel::Lit) lit.push_back(at);
                        }
                    if (lit.empty()) continue;
                    Vec3 mean, light;
                    for (std::size_t at : lit) {
                        mean = mean + texels[c].position[at] * (1.0 / static_cast<double>(lit.size()));
                        light = light + texels[c].direct[at] * (1.0 / static_cast<double>(lit.size()));
                    }
                    // The sample nearest the mean stands for the patch: it is known to be free.
                    std::size_t chosen = lit[0];
                    for (std::size_t at : lit)
                        if (Length(texels[c].position[at] - mean) < Length(texels[c].position[chosen] - mean))
                            chosen = at;
                    grid.patchOf[c][static_cast<std::size_t>(cy * grid.Across(chart) + cx)] =
                        static_cast<int>(grid.patches.size());
                    grid.patches.push_back({texels[c].position[chosen], planes[chart.plane].normal,
                                            static_cast<double>(lit.size()) * chart.density * chart.density,
                                            light * share});
                }
        }
        // Past the largest chart every chart is one patch: fewer there cannot be.
        int largest = 0;
        for (const Chart& chart : charts) largest = std::max({largest, chart.width, chart.height});
        if (static_cast<int>(grid.patches.size()) <= kMaxPatches || grid.cell >= largest) return grid;
    }
}

// The pages: the model patch in each, then every chart's texels.
void FillPages(const std::vector<ChartTexels>& texels, Vec3 modelPatch, Lightmaps& lightmaps) {
    const int size = lightmaps.pageSize;
    const std::size_t area = static_cast<std::size_t>(size * size);
    lightmaps.pages.assign(static_cast<std::size_t>(lightmaps.pageCount), Picture{size, size, {}});
    lightmaps.texels.assign(static_cast<std::size_t>(lightmaps.pageCount), std::vector<Texel>(area, Texel::Unused));
    auto put = [](Picture& picture, std::size_t at, Vec3 colour) {
        picture.rgb[at * 3] = Byte(colour.x);
        picture.rgb[at * 3 + 1] = Byte(colour.y);
        picture.rgb[at * 3 + 2] = Byte(colour.z);
    };
    for (std::size_t page = 0; page < lightmaps.pages.size(); ++page) {
        lightmaps.pages[page].rgb.assign(area * 3, 0);
        for (int y = 0; y < kModelPatchSize; ++y)
            for (int x = 0; x < kModelPatchSize; ++x) {
                const std::size_t at = static_cast<std::size_t>(y * size + x);
                lightmaps.texels[page][at] = Texel::ModelPatch;
                put(lightmaps.pages[page], at, modelPatch);
            }
    }
    for (std::size_t c = 0; c < lightmaps.charts.size(); ++c) {
        const Chart& chart = lightmaps.charts[c];
        const std::size_t page = static_cast<std::size_t>(chart.page);
        for (int j = 0; j < chart.height; ++j)
            for (int i = 0; i < chart.width; ++i) {
                const std::size_t from = static_cast<std::size_t>(j * chart.width + i);
                const std::size_t to = static_cast<std::size_t>((chart.y + j) * size + chart.x + i);
                lightmaps.texels[page][to] = texels[c].state[from];
                put(lightmaps.pages[page], to, texels[c].colour[from]);
            }
    }
}

}  // namespace

Vec3 Chart::Point(double s, double t, const Plane& plane) const {
    return plane.normal * plane.dist + uAxis * (s * density) + vAxis * (t * density);
}

void Lightmaps::Coordinates(int face, Vec3 p, double uv[2]) const {
    const Chart& chart = charts[static_cast<std::size_t>(faceChart[static_cast<std::size_t>(face)])];
    uv[0] = (chart.x + chart.S(p) - chart.sMin) / pageSize;
    uv[1] = (chart.y + chart.T(p) - chart.tMin) / pageSize;
}

bool LayOutCharts(const std::vector<Face>& faces, const PlaneSet& planes, const std::vector<double>& texelSizes,
                  int pageCount, Lightmaps& lightmaps, std::string& error) {
    lightmaps = Lightmaps{};
    lightmaps.faceChart.assign(faces.size(), -1);
    std::vector<std::vector<int>> byPlane(static_cast<std::size_t>(planes.Size()));
    std::vector<int> planeOrder;  // planes in order of their first face
    for (std::size_t f = 0; f < faces.size(); ++f) {
        if (texelSizes[f] <= 0) continue;
        auto& list = byPlane[static_cast<std::size_t>(faces[f].plane)];
        if (list.empty()) planeOrder.push_back(faces[f].plane);
        list.push_back(static_cast<int>(f));
    }
    for (int planeIndex : planeOrder) {
        const Plane& plane = planes[planeIndex];
        for (const std::vector<int>& group :
             ConnectedGroups(byPlane[static_cast<std::size_t>(planeIndex)], faces, texelSizes)) {
            Chart chart;
            chart.plane = planeIndex;
            chart.faces = group;
            chart.density = texelSizes[static_cast<std::size_t>(group[0])];
            const Vec3 across = Cross({0, 1, 0}, plane.normal);
            chart.uAxis = Length(across) > 1e-6 ? Normalised(across) : Vec3{1, 0, 0};
            chart.vAxis = Cross(plane.normal, chart.uAxis);
            double sLo = 1e300, sHi = -1e300, tLo = 1e300, tHi = -1e300;
            for (int f : group)
                for (Vec3 p : faces[static_cast<std::size_t>(f)].winding) {
                    sLo = std::min(sLo, SnapGrid(chart.S(p)));
                    sHi = std::max(sHi, SnapGrid(chart.S(p)));
                    tLo = std::min(tLo, SnapGrid(chart.T(p)));
                    tHi = std::max(tHi, SnapGrid(chart.T(p)));
                }
            chart.sMin = std::floor(sLo) - kChartPadding;
            chart.tMin = std::floor(tLo) - kChartPadding;
            chart.width = static_cast<int>(std::max(1.0, std::ceil(sHi) - std::floor(sLo))) + 2 * kChartPadding;
            chart.height = static_cast<int>(std::max(1.0, std::ceil(tHi) - std::floor(tLo))) + 2 * kChartPadding;
            if (chart.width > kMaxPageSize || chart.height > kMaxPageSize) {
                const Vec3 c = Centre(faces[static_cast<std::size_t>(group[0])].winding);
                char text[160];
                std::snprintf(text, sizeof text,
                              "the face at (%g %g %g) needs more than %d lightmap texels across; "
                              "raise lightmap_density",
                              c.x, c.y, c.z, kMaxPageSize);
                error = text;
                return false;
            }
            for (int f : group)
                lightmaps.faceChart[static_cast<std::size_t>(f)] = static_cast<int>(lightmaps.charts.size());
            lightmaps.charts.push_back(std::move(chart));
        }
    }
    for (int size = kModelPatchSize; size <= kMaxPageSize; size *= 2) {  // the patch at least
        if (Pack(lightmaps.charts, size, pageCount)) {
            lightmaps.pageSize = size;
            lightmaps.pageCount = pageCount;
            return true;
        }
    }
    error = "the lightmaps do not fit into " + std::to_string(pageCount) + " pages of " + std::to_string(kMaxPageSize) +
            " x " + std::to_string(kMaxPageSize) + " texels; raise lightmap_density or lightmap_pages";
    return false;
}

void BakeLightmaps(const std::vector<Face>& faces, const PlaneSet& planes, const Tree& tree,
                   const LightSettings& settings, int threads, const std::function<void(const std::string&)>& progress,
                   Lightmaps& lightmaps) {
    const int chartCount = static_cast<int>(lightmaps.charts.size());
    std::vector<ChartTexels> texels(lightmaps.charts.size());
    ParallelFor(chartCount, threads, [&](int c) {
        SampleChart(lightmaps.charts[static_cast<std::size_t>(c)], faces, planes, tree, settings,
                    texels[static_cast<std::size_t>(c)]);
    });
    if (progress) progress("lit " + std::to_string(chartCount) + " charts");

    PatchGrid grid;
    if (settings.bounce > 0) {
        grid = MakePatches(lightmaps.charts, texels, planes, settings.bounce);
        grid.received = GatherBounce(grid.patches, tree, planes, threads);
        if (progress) progress("bounced light between " + std::to_string(grid.patches.size()) + " patches");
    }
    for (std::size_t c = 0; c < lightmaps.charts.size(); ++c) {
        const Chart& chart = lightmaps.charts[c];
        ChartTexels& t = texels[c];
        for (int j = 0; j < chart.height; ++j)
            for (int i = 0; i < chart.width; ++i) {
                const std::size_t at = static_cast<std::size_t>(j * chart.width + i);
                if (t.state[at] != Texel::Lit) continue;
                const Vec3 bounce = grid.patches.empty() ? Vec3{} : grid.BounceAt(chart, c, i, j);
                const Vec3 ambient = settings.ambient * t.occlusion[at];
                t.colour[at] = FinalLight(t.direct[at] + ambient + bounce, settings);
            }
        Dilate(chart, t);
    }
    FillPages(texels, settings.modelPatch, lightmaps);
}

}  // namespace orvcompile
