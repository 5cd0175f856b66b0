// The compiler's output read back with the engine's own level reader
// (Bsp::ReadTree), and the engine's point query and drawing order over it, as
// plain records the compiler's tests can walk.
#pragma once

#include <memory>
#include <string>
#include <vector>

#include "math/Vector.h"

struct ReadVertex {
    Vector position;
    float lightmap[2];
    float texture[2];
};

struct ReadPolygon {
    bool textured = false;
    ReadVertex v[3];
    std::string lightmapName;
    std::string textureName;
    Vector normal;  // as the engine's loader set it
};

struct ReadNode {
    bool leaf = false;
    int front = -1, back = -1;
    Vector plane[3];
    Vector normal;  // of the plane, as the engine's loader set it
    bool solid = false;
    std::vector<ReadPolygon> polygons;
};

struct ReadLevel {
    std::vector<ReadNode> nodes;  // in file order
    int root = -1;

    // Empty `error` on success.
    static ReadLevel Parse(const std::string& text, std::string& error);
    bool IsPointSolid(Vector p) const;
    // The polygons facing the camera, in the engine's far-to-near order.
    std::vector<const ReadPolygon*> DrawOrder(Vector camera) const;
    std::vector<const ReadPolygon*> AllPolygons() const;

private:
    struct Tree;
    std::shared_ptr<Tree> tree;  // the engine's nodes, kept for its queries
};
