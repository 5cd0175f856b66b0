// Drawing the model: one world matrix per part, rebuilt every frame.
#include "globals/Globals.h"
#include "math/Matrix.h"
#include "model/Entity.h"
#include "model/Model.h"
#include "render/Renderer.h"

// Multiply(a, b) applies b first, so each step applies its transform after
// everything gathered so far. The loader refuses parent cycles, so the walk
// up the chain ends.
Matrix PartWorldMatrix(const ModelPart& part, const Entity* entity, const Matrix& current) {
    Matrix world = current;
    if (entity) {
        world = Multiply(MakeRotationY(entity->yaw), world);
        world = Multiply(MakeTranslation(entity->position.x, entity->position.y, entity->position.z), world);
    }
    for (const ModelPart* p = &part; p; p = p->parent) {
        world = Multiply(MakeRotationX(p->rotation[0]), world);
        world = Multiply(MakeRotationY(p->rotation[1]), world);
        world = Multiply(MakeRotationZ(p->rotation[2]), world);
        world = Multiply(MakeTranslation(p->translation[0], p->translation[1], p->translation[2]), world);
    }
    return world;
}

bool Model::Draw(const Entity* entity) {
    for (std::int32_t i = 0; i < partCount; ++i) {
        ModelPart& part = *parts[i];
        Matrix current;
        g_pRenderer->GetCurrentMatrix(&current);
        g_pRenderer->SetMatrix(MatrixKind::World,
                               PartWorldMatrix(part, entity, current));  // even for a part without polygons

        // NOLINTNEXTLINE(clang-analyzer-core.NullDereference): part is a reference; the walk above tests the parents
        for (std::int32_t q = 0; q < part.polygonCount; ++q) {
            part.polygons[q].texture = g_pBlankTexture;
            g_pRenderer->DrawPolygon(part.polygons[q]);
        }
    }
    return true;
}
