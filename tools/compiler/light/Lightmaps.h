// Lightmaps: charts of connected coplanar faces on a world-aligned texel grid,
// packed into pages of one power-of-two size, lit (Lighting.h), dilated into
// their padding and turned into pictures.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "compiler/Faces.h"
#include "compiler/LevelFile.h"

namespace orvcompile {

// Texels of padding around every chart: bilinear filtering at a chart's edge
// reads one texel beyond it.
constexpr int kChartPadding = 1;
// The model's patch in the top-left corner of every page.
constexpr int kModelPatchSize = 128;

// What a page texel holds, for checks: nothing, a lit sample, a copy of its
// lit neighbours, or the model's patch.
enum class Texel : std::uint8_t { Unused, Lit, Dilated, ModelPatch };

struct Chart {
    int plane = -1;
    std::vector<int> faces;
    Vec3 uAxis, vAxis;          // the plane's own unit basis; with the normal, right-handed
    double density = 1;         // world units per texel
    double sMin = 0, tMin = 0;  // grid position of the chart's first texel (padding included)
    int width = 0, height = 0;  // in texels, padding included
    int page = -1, x = 0, y = 0;

    // Texel-grid coordinates of a point, and the plane's point at grid position (s, t).
    double S(Vec3 p) const { return Dot(p, uAxis) / density; }
    double T(Vec3 p) const { return Dot(p, vAxis) / density; }
    Vec3 Point(double s, double t, const Plane& plane) const;
};

struct Lightmaps {
    int pageSize = 0;  // every page is pageSize × pageSize texels
    int pageCount = 0;
    std::vector<Chart> charts;
    std::vector<int> faceChart;  // per face; -1 for a face without a chart (full bright)
    std::vector<Picture> pages;
    std::vector<std::vector<Texel>> texels;  // per page, row by row from the top

    // The lightmap coordinates of point p of a face (v = 0 is the page's top row).
    void Coordinates(int face, Vec3 p, double uv[2]) const;
};

struct LightSettings;

// Lays out the charts, each of faces with the same texel size (`texelSizes`,
// world units per texel for each face; 0: the face gets no chart); false when
// a face is too large for the largest page or the charts do not fit into
// `pageCount` pages.
bool LayOutCharts(const std::vector<Face>& faces, const PlaneSet& planes, const std::vector<double>& texelSizes,
                  int pageCount, Lightmaps& lightmaps, std::string& error);

// Lights every chart and fills the pages.
void BakeLightmaps(const std::vector<Face>& faces, const PlaneSet& planes, const Tree& tree,
                   const LightSettings& settings, int threads, const std::function<void(const std::string&)>& progress,
                   Lightmaps& lightmaps);

}  // namespace orvcompile
