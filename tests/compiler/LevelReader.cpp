#include "compiler/LevelReader.h"

#include <cstdlib>
#include <sstream>

namespace {

Vector Sub(Vector a, Vector b) { return {a.x - b.x, a.y - b.y, a.z - b.z}; }

Vector NormalOf(const Vector v[3]) { return Normalise(Cross(Sub(v[1], v[0]), Sub(v[2], v[0]))); }

class Tokens {
public:
    explicit Tokens(const std::string& text) : in(text) {}
    bool Word(std::string& w) { return static_cast<bool>(in >> w); }
    bool Int(int& value) {
        std::string w;
        if (!Word(w)) return false;
        char* end = nullptr;
        value = static_cast<int>(std::strtol(w.c_str(), &end, 0));
        return *end == '\0';
    }
    bool Float(float& value) {
        std::string w;
        if (!Word(w)) return false;
        char* end = nullptr;
        value = std::strtof(w.c_str(), &end);
        return *end == '\0';
    }
    bool Point(Vector& p) { return Float(p.x) && Float(p.y) && Float(p.z); }

private:
    std::istringstream in;
};

void Collect(const ReadLevel& level, int index, Vector camera, std::vector<const ReadPolygon*>& out) {
    while (!level.nodes[static_cast<std::size_t>(index)].leaf) {
        const ReadNode& node = level.nodes[static_cast<std::size_t>(index)];
        if (!InFront(node.plane[0], node.normal, camera)) {
            Collect(level, node.front, camera, out);
            index = node.back;
        } else {
            Collect(level, node.back, camera, out);
            index = node.front;
        }
    }
    for (const ReadPolygon& p : level.nodes[static_cast<std::size_t>(index)].polygons)
        if (InFront(p.v[0].position, p.normal, camera)) out.push_back(&p);
}

}  // namespace

bool InFront(Vector v0, Vector normal, Vector p) { return !(Dot(Sub(v0, p), normal) > 0); }

ReadLevel ReadLevel::Parse(const std::string& text, std::string& error) {
    ReadLevel level;
    Tokens tokens(text);
    std::string word;
    int version = 0, count = 0;
    if (!tokens.Word(word) || word != "NBSP" || !tokens.Int(version) || version != 2 || !tokens.Word(word) ||
        !tokens.Int(count) || count <= 0) {
        error = "bad header";
        return level;
    }
    level.nodes.resize(static_cast<std::size_t>(count));
    std::vector<int> parents(static_cast<std::size_t>(count), -1);
    for (int i = 0; i < count; ++i) {
        ReadNode& node = level.nodes[static_cast<std::size_t>(i)];
        int kind = 0;
        if (!tokens.Int(kind)) error = "node " + std::to_string(i) + ": no kind";
        if (kind == 0) {
            if (!tokens.Int(node.front) || !tokens.Int(node.back) || !tokens.Point(node.plane[0]) ||
                !tokens.Point(node.plane[1]) || !tokens.Point(node.plane[2]) || node.front < 0 ||
                node.front >= count || node.back < 0 || node.back >= count || parents[node.front] >= 0 ||
                parents[node.back] >= 0) {
                error = "node " + std::to_string(i) + ": bad internal node";
                return level;
            }
            parents[node.front] = parents[node.back] = i;
            node.normal = NormalOf(node.plane);
            continue;
        }
        node.leaf = true;
        int solid = 0, polygons = 0;
        if (!tokens.Int(solid)) error = "leaf " + std::to_string(i) + ": no solid flag";
        node.solid = solid != 0;
        if (node.solid) continue;
        if (!tokens.Int(polygons) || polygons < 0) error = "leaf " + std::to_string(i) + ": bad count";
        for (int k = 0; k < polygons && error.empty(); ++k) {
            ReadPolygon polygon;
            int textured = 0;
            bool ok = tokens.Int(textured);
            polygon.textured = textured != 0;
            for (ReadVertex& v : polygon.v) {
                ok = ok && tokens.Point(v.position) && tokens.Float(v.lightmap[0]) && tokens.Float(v.lightmap[1]);
                if (polygon.textured) ok = ok && tokens.Float(v.texture[0]) && tokens.Float(v.texture[1]);
            }
            ok = ok && tokens.Word(polygon.lightmapName);
            if (polygon.textured) ok = ok && tokens.Word(polygon.textureName);
            if (!ok) error = "leaf " + std::to_string(i) + ": bad polygon " + std::to_string(k);
            const Vector positions[3] = {polygon.v[0].position, polygon.v[1].position, polygon.v[2].position};
            polygon.normal = NormalOf(positions);
            node.polygons.push_back(polygon);
        }
        if (!error.empty()) return level;
    }
    if (tokens.Word(word)) error = "tokens after the last node: " + word;
    for (int i = 0; i < count && level.root < 0; ++i)
        if (parents[static_cast<std::size_t>(i)] < 0) level.root = i;
    for (int i = 0; i < count; ++i)
        if (i != level.root && parents[static_cast<std::size_t>(i)] < 0) error = "more than one root";
    return level;
}

bool ReadLevel::IsPointSolid(Vector p) const {
    int index = root;
    while (!nodes[static_cast<std::size_t>(index)].leaf) {
        const ReadNode& node = nodes[static_cast<std::size_t>(index)];
        index = InFront(node.plane[0], node.normal, p) ? node.front : node.back;
    }
    return nodes[static_cast<std::size_t>(index)].solid;
}

std::vector<const ReadPolygon*> ReadLevel::DrawOrder(Vector camera) const {
    std::vector<const ReadPolygon*> out;
    Collect(*this, root, camera, out);
    return out;
}

std::vector<const ReadPolygon*> ReadLevel::AllPolygons() const {
    std::vector<const ReadPolygon*> out;
    for (const ReadNode& node : nodes)
        for (const ReadPolygon& p : node.polygons) out.push_back(&p);
    return out;
}
