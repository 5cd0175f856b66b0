// The hierarchical model: rigid parts of triangles, each placed by a rotation
// and a translation relative to its parent part.
#pragma once

#include <cstdint>

#include "math/Matrix.h"
#include "render/Renderer.h"

struct ModelPart {
    ModelPart* parent = nullptr;  // none for a root part
    char name[32] = {};           // used only to resolve parent names while loading
    float rotation[3] = {};       // radians about X, Y and Z
    float translation[3] = {};
    Polygon* polygons = nullptr;
    std::int32_t polygonCount = 0;
};

class Entity;

// A small value: copies share the part array, which lives until the program
// ends and is never freed.
class Model {
public:
    ModelPart** parts = nullptr;  // partCount parts, in file order
    std::int32_t partCount = 0;

    // Reads the model file ("NMDL", version 1). On any failure - the file
    // cannot be opened, a wrong magic word or version, a malformed or cut-off
    // file, a word longer than its field, a part count of 0 or less, a count
    // the rest of the file could not hold, parent names forming a cycle - it
    // returns false and leaves the Model as it was.
    bool Load(const char* fileName);

    // Sets each part's world matrix and draws its polygons through g_pRenderer,
    // placed by `entity` when one is given. Returns true.
    bool Draw(const Entity* entity);
};

// The world matrix Draw gives `part`: `current` (the renderer's matrix) first,
// then the entity's yaw and position when one is given, then the part's X, Y
// and Z rotations and translation, then its parent's, up the chain.
Matrix PartWorldMatrix(const ModelPart& part, const Entity* entity, const Matrix& current);
