// The device's batching of triangles: consecutive triangles drawn under the
// same state go to GL as one draw, made when the state changes or something
// else needs the display.
#include <string>

#include "platform/core/Seam.h"
#include "platform/graphics/internal/Direct3DObjects.h"

HRESULT DeviceObject::DrawPrimitive(D3DPRIMITIVETYPE type, DWORD vertexFormat, void* vertices, DWORD count, DWORD) {
    if (!inScene) return D3DERR_SCENE_NOT_IN_SCENE;
    if (type != D3DPT_TRIANGLELIST) return D3DERR_INVALIDPRIMITIVETYPE;
    if (vertexFormat != kVertexFormat) return D3DERR_INVALIDVERTEXFORMAT;
    if (!vertices || count % 3 != 0) return DDERR_INVALIDPARAMS;
    if (dirty) {
        // Pictures changed alone, and the new ones lie in the batch's arrays:
        // the batch goes on, with their layers.
        TextureLayers::Place places[2];
        if (dirty == kTextures && batchArrays[0] >= 0 && LocateLayers(places) && places[0].array == batchArrays[0] &&
            places[1].array == batchArrays[1]) {
            dirty = 0;
            stageLayers[0] = static_cast<float>(places[0].layer);
            stageLayers[1] = static_cast<float>(places[1].layer);
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
            batch.push_back(stageLayers[0]);
            batch.insert(batch.end(), vertex + 8, vertex + 10);
            batch.push_back(stageLayers[1]);
        }
    }
    return D3D_OK;
}

void DeviceObject::Flush() {
    if (batch.empty()) return;
    const float* data = batch.data();
    constexpr GLsizei kStride = kBatchFloatsPerVertex * sizeof(float);
    const bool layered = batchArrays[0] >= 0;
    if (layered) layers->Begin(batchArrays[0], batchArrays[1]);
    glEnableClientState(GL_VERTEX_ARRAY);
    glVertexPointer(3, GL_FLOAT, kStride, data);
    glEnableClientState(GL_NORMAL_ARRAY);
    glNormalPointer(GL_FLOAT, kStride, data + 3);
    for (int unit = 0; unit < units; ++unit) {
        Gl().ClientActiveTexture(GL_TEXTURE0 + unit);
        if (coordinateSet[unit] >= 0) {
            glEnableClientState(GL_TEXTURE_COORD_ARRAY);
            // A pair and, drawn from the arrays, its layer as r.
            glTexCoordPointer(layered ? 3 : 2, GL_FLOAT, kStride, data + 6 + 3 * std::ptrdiff_t{coordinateSet[unit]});
        } else {
            glDisableClientState(GL_TEXTURE_COORD_ARRAY);
        }
    }
    Gl().ClientActiveTexture(GL_TEXTURE0);
    const auto vertices = static_cast<GLsizei>(batch.size() / kBatchFloatsPerVertex);
    glDrawArrays(GL_TRIANGLES, 0, vertices);
    if (layered) layers->End();
    SeamCall("DrawBatch", std::to_string(vertices / 3));
    batch.clear();
}
