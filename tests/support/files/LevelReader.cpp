#include "support/files/LevelReader.h"

#include <map>

#include "level/Bsp.h"
#include "level/BspWalk.h"
#include "support/files/TempDir.h"

struct ReadLevel::Tree {
    Bsp bsp;
    std::map<const BspNode*, int> indexOf;  // file order
    ~Tree() { bsp.FreeTree(&bsp.root); }
};

namespace {

Vector At(const float* position) { return {position[0], position[1], position[2]}; }

ReadPolygon Convert(const Polygon& polygon) {
    ReadPolygon read;
    read.textured = polygon.textured != 0;
    for (int i = 0; i < 3; ++i) {
        const Vertex& vertex = polygon.vertices[i];
        read.v[i] = {At(vertex.position),
                     {vertex.lightmapCoord[0], vertex.lightmapCoord[1]},
                     {vertex.textureCoord[0], vertex.textureCoord[1]}};
    }
    read.lightmapName = polygon.lightmapName;
    read.textureName = polygon.textureName;
    read.normal = At(polygon.normal);
    return read;
}

}  // namespace

ReadLevel ReadLevel::Parse(const std::string& text, std::string& error) {
    ReadLevel level;
    TempDir dir;
    std::vector<BspNode*> nodes;
    auto tree = std::make_shared<Tree>();
    if (!tree->bsp.ReadTree(dir.Write("level.bsp", text).c_str(), nodes)) {
        error = "the engine's level reader refuses the file";
        return level;
    }
    for (std::size_t i = 0; i < nodes.size(); ++i) tree->indexOf[nodes[i]] = static_cast<int>(i);
    for (const BspNode* node : nodes) {
        ReadNode read;
        read.leaf = node->isLeaf != 0;
        read.solid = node->isSolid != 0;
        if (!read.leaf) {
            read.front = tree->indexOf.at(node->front);
            read.back = tree->indexOf.at(node->back);
            for (int i = 0; i < 3; ++i) read.plane[i] = At(node->plane.vertices[i].position);
            read.normal = At(node->plane.normal);
        }
        for (std::int32_t i = 0; i < node->polygonCount; ++i) read.polygons.push_back(Convert(node->polygons[i]));
        level.nodes.push_back(std::move(read));
    }
    level.root = tree->indexOf.at(tree->bsp.root);
    level.tree = std::move(tree);
    return level;
}

bool ReadLevel::IsPointSolid(Vector p) const { return tree->bsp.IsPointSolid(p.x, p.y, p.z); }

std::vector<const ReadPolygon*> ReadLevel::DrawOrder(Vector camera) const {
    std::vector<const ReadPolygon*> out;
    ForEachPolygonFarToNear(tree->bsp.root, camera, [&](BspNode& leaf, std::int32_t index) {
        out.push_back(
            &nodes[static_cast<std::size_t>(tree->indexOf.at(&leaf))].polygons[static_cast<std::size_t>(index)]);
    });
    return out;
}

std::vector<const ReadPolygon*> ReadLevel::AllPolygons() const {
    std::vector<const ReadPolygon*> out;
    for (const ReadNode& node : nodes)
        for (const ReadPolygon& p : node.polygons) out.push_back(&p);
    return out;
}
