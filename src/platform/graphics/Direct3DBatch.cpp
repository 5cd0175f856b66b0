// The device's batching of triangles: consecutive triangles drawn under the
// same state go to GL as one draw, made when the state changes or something
// else needs the display.
#include <algorithm>
#include <string>

#include "platform/core/Seam.h"
#include "platform/graphics/internal/Direct3DObjects.h"

namespace {

// Mesa's draw module sends a whole draw through its primitive pipeline when
// one of its triangles needs clipping, and that pipeline walks every vertex of
// the draw each time it hands a few triangles on: in short draws that walk
// stays short. The triangles and their order are the same.
void DrawInPieces(GLsizei vertices) {
    constexpr GLsizei kPiece = 3 * 128;
    for (GLsizei first = 0; first < vertices; first += kPiece)
        glDrawArrays(GL_TRIANGLES, first, std::min(kPiece, vertices - first));
}

}  // namespace

HRESULT DeviceObject::DrawPrimitive(D3DPRIMITIVETYPE type, DWORD vertexFormat, void* vertices, DWORD count, DWORD) {
    if (!inScene) return D3DERR_SCENE_NOT_IN_SCENE;
    if (type != D3DPT_TRIANGLELIST) return D3DERR_INVALIDPRIMITIVETYPE;
    if (vertexFormat != kVertexFormat) return D3DERR_INVALIDVERTEXFORMAT;
    if (!vertices || count % 3 != 0) return DDERR_INVALIDPARAMS;
    if (dirty) {
        // Pictures changed alone, and the batch draws from the arrays, where
        // the new ones lie too: the batch goes on, with their places.
        if (dirty == kTextures && batchLayered && LocateLayers()) {
            dirty = 0;
        } else {
            Flush();
            Apply();
        }
    }
    const float* from = static_cast<const float*>(vertices);
    for (DWORD done = 0; done < count; done += 3) {
        if (batch.size() == batch.capacity()) Flush();
        for (DWORD corner = done; corner < done + 3; ++corner) {
            const float* vertex = from + std::size_t{corner} * kFloatsPerVertex;
            batch.insert(batch.end(), vertex, vertex + 8);  // position, normal, first pair
            batch.push_back(static_cast<float>(stagePlaces[0].layer));
            batch.insert(batch.end(), vertex + 8, vertex + 10);
            batch.push_back(static_cast<float>(stagePlaces[1].layer));
            batch.push_back(static_cast<float>(stagePlaces[0].array));
            batch.push_back(static_cast<float>(stagePlaces[1].array));
        }
    }
    return D3D_OK;
}

void DeviceObject::Flush() {
    if (batch.empty()) return;
    const float* data = batch.data();
    constexpr GLsizei kStride = kBatchFloatsPerVertex * sizeof(float);
    const bool layered = batchLayered;
    if (layered) layers->Begin(samplers[0], samplers[1]);
    glEnableClientState(GL_VERTEX_ARRAY);
    glVertexPointer(3, GL_FLOAT, kStride, data);
    glEnableClientState(GL_NORMAL_ARRAY);
    glNormalPointer(GL_FLOAT, kStride, data + 3);
    for (int unit = 0; unit < units; ++unit) {
        Gl().ClientActiveTexture(GL_TEXTURE0 + unit);
        // Drawn from the arrays: the first two pairs, each with its layer as
        // r (a stage without a texture draws white from its layer), and the
        // two arrays. Otherwise each unit's pair as its stage says.
        const float* coordinates = nullptr;
        GLint size = 2;
        if (layered && unit < 2) {
            coordinates = data + 6 + 3 * unit;
            size = 3;
        } else if (layered && unit == TextureLayers::kArraysCoordinates) {
            coordinates = data + 12;
        } else if (!layered && coordinateSet[unit] >= 0) {
            coordinates = data + 6 + 3 * std::ptrdiff_t{coordinateSet[unit]};
        }
        if (coordinates) {
            glEnableClientState(GL_TEXTURE_COORD_ARRAY);
            glTexCoordPointer(size, GL_FLOAT, kStride, coordinates);
        } else {
            glDisableClientState(GL_TEXTURE_COORD_ARRAY);
        }
    }
    Gl().ClientActiveTexture(GL_TEXTURE0);
    const auto vertices = static_cast<GLsizei>(batch.size() / kBatchFloatsPerVertex);
    if (layered && depthInOrder) {
        // The last triangle at a pixel is the one seen, and the batch is far
        // more pixels than the picture: the depths go first, shading nothing,
        // then only the fragments that lie at their pixel's depth are shaded.
        // The last of those is the last triangle's: the same colours and
        // depths as one pass, without shading what is drawn over.
        layers->ShadeNothing(true);
        glColorMask(GL_FALSE, GL_FALSE, GL_FALSE, GL_FALSE);
        DrawInPieces(vertices);
        layers->ShadeNothing(false);
        glColorMask(GL_TRUE, GL_TRUE, GL_TRUE, GL_TRUE);
        glDepthFunc(GL_EQUAL);
        glDepthMask(GL_FALSE);
        DrawInPieces(vertices);
        glDepthFunc(GL_ALWAYS);  // as applied
        glDepthMask(GL_TRUE);
    } else {
        DrawInPieces(vertices);
    }
    if (layered) layers->End();
    SeamCall("DrawBatch", std::to_string(vertices / 3));
    batch.clear();
}
