#include "compiler/LevelFile.h"

#include <array>
#include <cmath>
#include <cstdio>

namespace orvcompile {

namespace {

void Append(std::string& out, const char* format, double value) {
    char text[40];
    std::snprintf(text, sizeof text, format, value);
    out += text;
}

// Node triangles are floats (NodeTriangle) and written exactly; surface values
// with the digits that carry a float over unchanged.
void AppendPoint(std::string& out, Vec3 p, const char* format) {
    for (double c : {p.x, p.y, p.z}) {
        out += ' ';
        Append(out, format, c == 0 ? 0.0 : c);  // no "-0"
    }
}

Vec3 ToFloats(Vec3 p) { return {static_cast<float>(p.x), static_cast<float>(p.y), static_cast<float>(p.z)}; }

// The triangle a split plane is written as. The engine reads its corners as
// floats and takes the plane's normal from them by the cross rule: corners
// rounded on the way tilt that plane by their rounding over the triangle's
// size, and a map's points are a unit apart, scaled. So the defining points
// are written when floats hold them exactly (an unscaled map's integers),
// else a triangle `span` wide on the plane, its corners floats, whose
// rounding tilts the engine's plane by next to nothing. It starts at the
// plane's point nearest the origin, which the engine's plane passes through
// up to that point's rounding: the engine's margins shrink with the
// coordinates, so its plane must be finest there.
std::array<Vec3, 3> NodeTriangle(const Plane& plane, double span) {
    const std::array<Vec3, 3> defining{plane.points[0], plane.points[1], plane.points[2]};
    if (ToFloats(defining[0]) == defining[0] && ToFloats(defining[1]) == defining[1] &&
        ToFloats(defining[2]) == defining[2])
        return defining;
    // Two directions in the plane with u × v along the normal, from its point nearest the origin.
    const Vec3 across = std::fabs(plane.normal.x) < 0.6 ? Vec3{1, 0, 0} : Vec3{0, 1, 0};
    const Vec3 u = Normalised(Cross(across, plane.normal));
    const Vec3 v = Cross(plane.normal, u);
    const Vec3 origin = plane.normal * plane.dist;
    return {ToFloats(origin), ToFloats(origin + u * span), ToFloats(origin + v * span)};
}

void AppendNode(std::string& out, const Tree& tree, const PlaneSet& planes,
                const std::vector<std::vector<LevelPolygon>>& polygons, double span, int index, int& count) {
    const Node& node = tree.nodes[static_cast<std::size_t>(index)];
    ++count;
    if (node.IsLeaf()) {
        if (node.solid) {
            out += "1 1\n";
            return;
        }
        const auto& list = polygons[static_cast<std::size_t>(index)];
        out += "1 0 " + std::to_string(list.size()) + "\n";
        for (const LevelPolygon& polygon : list) {
            const bool textured = !polygon.textureName.empty();
            out += textured ? "1" : "0";
            for (const LevelVertex& v : polygon.v) {
                AppendPoint(out, v.position, "%.9g");
                for (double c : v.lightmap) Append(out += ' ', "%.9g", c);
                if (textured)
                    for (double c : v.texture) Append(out += ' ', "%.9g", c);
            }
            out += " " + polygon.lightmapName;
            if (textured) out += " " + polygon.textureName;
            out += "\n";
        }
        return;
    }
    // Children follow in pre-order; the front subtree's size gives the back index.
    std::string front, back;
    const int frontIndex = count;
    AppendNode(front, tree, planes, polygons, span, node.children[0], count);
    const int backIndex = count;
    AppendNode(back, tree, planes, polygons, span, node.children[1], count);
    out += "0 " + std::to_string(frontIndex) + " " + std::to_string(backIndex);
    for (Vec3 p : NodeTriangle(planes[node.plane], span)) AppendPoint(out, p, "%.17g");
    out += "\n" + front + back;
}

}  // namespace

std::string LevelText(const Tree& tree, const PlaneSet& planes, const std::vector<std::vector<LevelPolygon>>& polygons,
                      const std::string& freeWord) {
    // As wide as the level: a power of two at least its largest coordinate.
    double span = 1;
    for (const auto& list : polygons)
        for (const LevelPolygon& polygon : list)
            for (const LevelVertex& v : polygon.v)
                while (span <
                       std::fmax(std::fabs(v.position.x), std::fmax(std::fabs(v.position.y), std::fabs(v.position.z))))
                    span *= 2;
    std::string nodes;
    int count = 0;
    AppendNode(nodes, tree, planes, polygons, span, tree.root, count);
    return "NBSP\n2\n" + freeWord + "\n" + std::to_string(count) + "\n" + nodes;
}

std::string BmpBytes(const Picture& picture) {
    const std::uint32_t imageSize = static_cast<std::uint32_t>(picture.width * picture.height * 3);
    std::string out;
    auto put16 = [&](std::uint32_t v) {
        out += static_cast<char>(v & 0xff);
        out += static_cast<char>((v >> 8) & 0xff);
    };
    auto put32 = [&](std::uint32_t v) {
        put16(v & 0xffff);
        put16(v >> 16);
    };
    out += "BM";
    put32(54 + imageSize);  // file size
    put32(0);               // reserved
    put32(54);              // pixel data offset
    put32(40);              // information header size
    put32(static_cast<std::uint32_t>(picture.width));
    put32(static_cast<std::uint32_t>(picture.height));  // positive: rows stored bottom first
    put16(1);                                           // planes
    put16(24);                                          // bits per pixel
    put32(0);                                           // no compression
    put32(imageSize);
    put32(2835);  // 72 dots per inch
    put32(2835);
    put32(0);
    put32(0);
    for (int row = picture.height - 1; row >= 0; --row) {
        for (int x = 0; x < picture.width; ++x) {
            const std::size_t at = (static_cast<std::size_t>(row) * picture.width + x) * 3;
            out += static_cast<char>(picture.rgb[at + 2]);  // blue, green, red
            out += static_cast<char>(picture.rgb[at + 1]);
            out += static_cast<char>(picture.rgb[at]);
        }
    }
    return out;
}

}  // namespace orvcompile
