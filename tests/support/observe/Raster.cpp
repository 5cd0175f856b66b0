#include "support/observe/Raster.h"

#include <algorithm>
#include <cmath>

namespace {

struct CameraPoint {
    double x, y, z;
};

constexpr double kNear = 0.01;

}  // namespace

Camera MakeCamera(Vector eye, float yaw, float pitch) {
    const Vector forward{-std::sin(yaw) * std::cos(pitch), std::sin(pitch), std::cos(yaw) * std::cos(pitch)};
    const Vector right = Normalise(Cross({0, 1, 0}, forward));
    return {eye, right, Cross(forward, right), forward};
}

DepthImage Paint(const Camera& camera, const std::vector<const ReadPolygon*>& polygons, bool depthTest) {
    DepthImage image;
    image.depth.assign(static_cast<std::size_t>(image.width * image.height), kFar);
    const double half = image.width / 2.0;
    for (const ReadPolygon* polygon : polygons) {
        std::vector<CameraPoint> points;
        for (const ReadVertex& v : polygon->v) {
            const double d[3] = {double(v.position.x) - camera.eye.x, double(v.position.y) - camera.eye.y,
                                 double(v.position.z) - camera.eye.z};
            auto along = [&](Vector axis) { return d[0] * axis.x + d[1] * axis.y + d[2] * axis.z; };
            points.push_back({along(camera.right), along(camera.up), along(camera.forward)});
        }
        // Clip to the near plane.
        std::vector<CameraPoint> clipped;
        for (std::size_t i = 0; i < points.size(); ++i) {
            const CameraPoint a = points[i], b = points[(i + 1) % points.size()];
            if (a.z >= kNear) clipped.push_back(a);
            if ((a.z >= kNear) != (b.z >= kNear)) {
                const double t = (kNear - a.z) / (b.z - a.z);
                clipped.push_back({a.x + (b.x - a.x) * t, a.y + (b.y - a.y) * t, kNear});
            }
        }
        if (clipped.size() < 3) continue;
        struct Screen {
            double x, y, inverseZ;
        };
        std::vector<Screen> screen;
        for (const CameraPoint& p : clipped)
            screen.push_back({half + p.x / p.z * half, image.height / 2.0 - p.y / p.z * half, 1 / p.z});
        for (std::size_t k = 1; k + 1 < screen.size(); ++k) {
            const Screen a = screen[0], b = screen[k], c = screen[k + 1];
            const double area = (b.x - a.x) * (c.y - a.y) - (b.y - a.y) * (c.x - a.x);
            if (area == 0) continue;
            const int x0 = std::max(0, static_cast<int>(std::floor(std::min({a.x, b.x, c.x}))));
            const int x1 = std::min(image.width - 1, static_cast<int>(std::ceil(std::max({a.x, b.x, c.x}))));
            const int y0 = std::max(0, static_cast<int>(std::floor(std::min({a.y, b.y, c.y}))));
            const int y1 = std::min(image.height - 1, static_cast<int>(std::ceil(std::max({a.y, b.y, c.y}))));
            for (int y = y0; y <= y1; ++y) {
                for (int x = x0; x <= x1; ++x) {
                    const double px = x + 0.5, py = y + 0.5;
                    const double wa = ((b.x - px) * (c.y - py) - (b.y - py) * (c.x - px)) / area;
                    const double wb = ((c.x - px) * (a.y - py) - (c.y - py) * (a.x - px)) / area;
                    const double wc = 1 - wa - wb;
                    if (wa < 0 || wb < 0 || wc < 0) continue;
                    const double z = 1 / (wa * a.inverseZ + wb * b.inverseZ + wc * c.inverseZ);
                    double& stored = image.depth[static_cast<std::size_t>(y * image.width + x)];
                    if (!depthTest || z < stored) stored = z;
                }
            }
        }
    }
    return image;
}
