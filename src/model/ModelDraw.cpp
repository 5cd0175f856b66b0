// Drawing the model: one world matrix per part, rebuilt every frame.
#include "globals/Globals.h"
#include "math/Matrix.h"
#include "model/Entity.h"
#include "model/Model.h"
#include "render/Renderer.h"

// Multiply(a, b) applies b first, so each step applies its transform after
// everything gathered so far: the entity's yaw, its position, then the part's
// X, Y, Z rotations and translation, then its parent's, up the chain. The
// loader refuses parent cycles, so the walk up the chain ends.
bool Model::Draw(const Entity* entity) {
    for (std::int32_t i = 0; i < partCount; ++i) {
        ModelPart& part = *parts[i];
        Matrix world;
        g_pRenderer->GetCurrentMatrix(&world);
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
        g_pRenderer->SetMatrix(MatrixKind::World, world);  // even for a part without polygons

        // NOLINTNEXTLINE(clang-analyzer-core.NullDereference): part is a reference; the walk above tests the parents
        for (std::int32_t q = 0; q < part.polygonCount; ++q) {
            part.polygons[q].texture = g_pBlankTexture;
            g_pRenderer->DrawPolygon(part.polygons[q]);
        }
    }
    return true;
}
