// The level file reader and the release of the tree.
#include <algorithm>
#include <cmath>
#include <cstring>
#include <new>

#include "data/TokenReader.h"
#include "globals/Globals.h"
#include "level/Bsp.h"
#include "level/BspWalk.h"
#include "level/Facing.h"
#include "platform/core/Files.h"

namespace {

// The fewest bytes a record can take, one character and one separator per
// token: a leaf record is 2 tokens, an untextured polygon 17 (15 floats).
// A count the rest of the file could not hold is refused before allocating.
constexpr long long kMinNodeBytes = 2 * 2;
constexpr long long kMinPolygonBytes = 17 * 2;

bool Fits(const TokenReader& in, std::int32_t count, long long minBytes) {
    const long long left = in.BytesLeft();
    // The last token of the file needs no separator after it.
    return left >= 0 && count * minBytes <= left + 1;
}

bool ReadFloats(TokenReader& in, float* values, int count) {
    for (int i = 0; i < count; ++i)
        if (!in.ReadFloat(values[i])) return false;
    return true;
}

bool ReadPolygon(TokenReader& in, Polygon& polygon) {
    std::int32_t textured = 0;
    if (!in.ReadInteger(textured)) return false;
    polygon.textured = textured != 0;
    for (Vertex& vertex : polygon.vertices) {
        if (!ReadFloats(in, vertex.position, 3) || !ReadFloats(in, vertex.lightmapCoord, 2)) return false;
        if (polygon.textured && !ReadFloats(in, vertex.textureCoord, 2)) return false;
    }
    if (!in.ReadWord(polygon.lightmapName, sizeof polygon.lightmapName)) return false;
    if (polygon.textured && !in.ReadWord(polygon.textureName, sizeof polygon.textureName)) return false;
    SetNormal(polygon);
    return true;
}

// Links the child named by `index` under `node`; false for an index outside
// the table or a node already named.
bool LinkChild(const std::vector<BspNode*>& nodes, BspNode* node, std::int32_t index, BspNode*& child) {
    if (index < 0 || static_cast<std::size_t>(index) >= nodes.size()) return false;
    BspNode* named = nodes[index];
    if (named->parent) return false;
    named->parent = node;
    child = named;
    return true;
}

bool ReadNode(TokenReader& in, const std::vector<BspNode*>& nodes, BspNode* node) {
    std::int32_t kind = 0;
    if (!in.ReadInteger(kind)) return false;
    if (kind == 0) {
        std::int32_t front = 0, back = 0;
        if (!in.ReadInteger(front) || !LinkChild(nodes, node, front, node->front)) return false;
        if (!in.ReadInteger(back) || !LinkChild(nodes, node, back, node->back)) return false;
        for (Vertex& vertex : node->plane.vertices)
            if (!ReadFloats(in, vertex.position, 3)) return false;
        SetNormal(node->plane);
        return true;
    }
    node->isLeaf = 1;
    std::int32_t solid = 0;
    if (!in.ReadInteger(solid)) return false;
    if (solid != 0) {
        node->isSolid = 1;
        return true;
    }
    std::int32_t count = 0;
    if (!in.ReadInteger(count) || count < 0 || !Fits(in, count, kMinPolygonBytes)) return false;
    if (count == 0) return true;
    node->polygons = new (std::nothrow) Polygon[count];
    if (!node->polygons) return false;
    node->polygonCount = count;
    for (std::int32_t i = 0; i < count; ++i)
        if (!ReadPolygon(in, node->polygons[i])) return false;
    return true;
}

// Frees one node with its polygon array and the polygons' own texture records.
void FreeNode(BspNode* node) {
    if (!node) return;
    for (std::int32_t i = 0; i < node->polygonCount; ++i) {
        Polygon& polygon = node->polygons[i];
        if (polygon.texture && polygon.texture != g_pBlankTexture) {
            g_pRenderer->ReleaseTexture(polygon.texture);
            delete polygon.texture;
            polygon.texture = nullptr;
        }
    }
    delete[] node->polygons;
    delete node;
}

// Header and node records into `nodes`; every node made is in `nodes`.
bool ReadNodes(TokenReader& in, std::vector<BspNode*>& nodes) {
    char magic[5];
    char freeWord[65];
    std::int32_t version = 0, count = 0;
    if (!in.ReadWord(magic, sizeof magic) || std::strcmp(magic, "NBSP") != 0) return false;
    if (!in.ReadInteger(version) || version != 2) return false;
    if (!in.ReadWord(freeWord, sizeof freeWord)) return false;
    if (!in.ReadInteger(count) || count <= 0 || !Fits(in, count, kMinNodeBytes)) return false;
    nodes.assign(count, nullptr);
    for (BspNode*& node : nodes)
        if (!(node = new (std::nothrow) BspNode)) return false;
    for (BspNode* node : nodes)
        if (!ReadNode(in, nodes, node)) return false;
    return true;
}

// The first node nobody names, when every node hangs below it; else none.
// Below an unnamed node every node is named exactly once, so no cycle can
// be reached from it and the walk ends.
BspNode* FindRoot(const std::vector<BspNode*>& nodes) {
    for (BspNode* node : nodes) {
        if (node->parent) continue;
        std::size_t reached = 0;
        WalkSubtree(
            node, [](const BspNode* n) { return n->front; }, [&reached](BspNode*) { ++reached; });
        return reached == nodes.size() ? node : nullptr;
    }
    return nullptr;
}

// Gives every node below `top` its bounds and its range of `planes`, which
// receives every polygon's plane, front subtrees first, so that each
// subtree's planes follow one another. A coordinate that is not finite
// makes its leaf's bounds all space: such a leaf is never left out.
void PrepareViewTests(BspNode* top, std::vector<PolygonPlane>& planes) {
    planes.clear();
    WalkSubtree(
        top, [](const BspNode* node) { return node->front; },
        [&planes](BspNode* node) {
            Box& box = node->bounds;
            if (!node->isLeaf) {
                node->firstPlane = node->front->firstPlane;
                node->endPlane = node->back->endPlane;
                for (int axis = 0; axis < 3; ++axis) {
                    box.low[axis] = std::min(node->front->bounds.low[axis], node->back->bounds.low[axis]);
                    box.high[axis] = std::max(node->front->bounds.high[axis], node->back->bounds.high[axis]);
                }
                return;
            }
            box = {{kInfinite, kInfinite, kInfinite}, {-kInfinite, -kInfinite, -kInfinite}};  // empty
            bool finite = true;
            node->firstPlane = static_cast<std::int32_t>(planes.size());
            for (std::int32_t i = 0; i < node->polygonCount; ++i) {
                const Polygon& polygon = node->polygons[i];
                const float* v0 = polygon.vertices[0].position;
                planes.push_back({{v0[0], v0[1], v0[2]}, {polygon.normal[0], polygon.normal[1], polygon.normal[2]}});
                for (const Vertex& vertex : polygon.vertices)
                    for (int axis = 0; axis < 3; ++axis) {
                        const float value = vertex.position[axis];
                        finite = finite && std::isfinite(value);
                        box.low[axis] = std::min(box.low[axis], value);
                        box.high[axis] = std::max(box.high[axis], value);
                    }
            }
            node->endPlane = static_cast<std::int32_t>(planes.size());
            if (!finite) box = kAllSpace;
        });
}

}  // namespace

bool Bsp::ReadTree(const char* fileName, std::vector<BspNode*>& nodes) {
    nodes.clear();
    FILE* file = OpenFile(fileName, "r");
    if (!file) return false;
    TokenReader in(file);
    BspNode* top = ReadNodes(in, nodes) ? FindRoot(nodes) : nullptr;
    CloseFile(file);
    if (!top) {
        for (BspNode* node : nodes) FreeNode(node);
        nodes.clear();
        return false;
    }
    root = top;
    PrepareViewTests(root, planes);
    BuildPortals(root, root->bounds, portals);
    return true;
}

bool Bsp::Load(const char* fileName) {
    std::vector<BspNode*> nodes;  // the index table; the nodes belong to the tree
    if (!ReadTree(fileName, nodes)) return false;
    BindSurfaces();  // its result does not change the load's
    return true;
}

void Bsp::FreeTree(BspNode** link) {
    if (!*link) return;
    WalkSubtree(
        *link, [](const BspNode* node) { return node->front; }, FreeNode);
    *link = nullptr;
    if (link == &root) {
        planes.clear();
        portals = {};
    }
}
