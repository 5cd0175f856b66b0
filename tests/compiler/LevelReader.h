// A small reader of the level file for the compiler's tests: it reads what the
// compiler wrote by the engine's rules (floats, the normal rule, the facing
// test), independently of the compiler's own structures.
#pragma once

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
    Vector normal;  // by the engine's rule
};

struct ReadNode {
    bool leaf = false;
    int front = -1, back = -1;
    Vector plane[3];
    Vector normal;
    bool solid = false;
    std::vector<ReadPolygon> polygons;
};

struct ReadLevel {
    std::vector<ReadNode> nodes;
    int root = -1;

    // Empty `error` on success.
    static ReadLevel Parse(const std::string& text, std::string& error);
    bool IsPointSolid(Vector p) const;
    // The polygons facing the camera, in the engine's far-to-near order.
    std::vector<const ReadPolygon*> DrawOrder(Vector camera) const;
    std::vector<const ReadPolygon*> AllPolygons() const;
};

// In front of (or on) the plane through v0 with this normal, by the engine's rule.
bool InFront(Vector v0, Vector normal, Vector p);
