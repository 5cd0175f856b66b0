// A tiny CPU rasteriser for the painter's-order test: it draws polygons either
// in the order given (each one covering what came before, like the engine's
// always-passing depth test) or with a depth buffer, and keeps the depth seen
// at each pixel.
#pragma once

#include <vector>

#include "support/files/LevelReader.h"

constexpr double kFar = 1e30;

struct Camera {
    Vector eye, right, up, forward;
};

Camera MakeCamera(Vector eye, float yaw, float pitch);

struct DepthImage {
    int width = 96, height = 72;
    std::vector<double> depth;  // kFar where nothing was drawn
};

DepthImage Paint(const Camera& camera, const std::vector<const ReadPolygon*>& polygons, bool depthTest);
