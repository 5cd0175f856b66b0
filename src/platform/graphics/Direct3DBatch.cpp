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
        Flush();
        Apply();
    }
    const float* from = static_cast<const float*>(vertices);
    for (DWORD done = 0; done < count; done += 3) {
        if (batch.size() == batch.capacity()) Flush();
        batch.insert(batch.end(), from + std::size_t{done} * kFloatsPerVertex,
                     from + (std::size_t{done} + 3) * kFloatsPerVertex);
    }
    return D3D_OK;
}

void DeviceObject::Flush() {
    if (batch.empty()) return;
    const float* data = batch.data();
    constexpr GLsizei kStride = kFloatsPerVertex * sizeof(float);
    glEnableClientState(GL_VERTEX_ARRAY);
    glVertexPointer(3, GL_FLOAT, kStride, data);
    glEnableClientState(GL_NORMAL_ARRAY);
    glNormalPointer(GL_FLOAT, kStride, data + 3);
    for (int unit = 0; unit < units; ++unit) {
        Gl().ClientActiveTexture(GL_TEXTURE0 + unit);
        if (coordinateSet[unit] >= 0) {
            glEnableClientState(GL_TEXTURE_COORD_ARRAY);
            glTexCoordPointer(2, GL_FLOAT, kStride, data + 6 + 2 * std::ptrdiff_t{coordinateSet[unit]});
        } else {
            glDisableClientState(GL_TEXTURE_COORD_ARRAY);
        }
    }
    Gl().ClientActiveTexture(GL_TEXTURE0);
    const auto vertices = static_cast<GLsizei>(batch.size() / kFloatsPerVertex);
    glDrawArrays(GL_TRIANGLES, 0, vertices);
    SeamCall("DrawBatch", std::to_string(vertices / 3));
    batch.clear();
}
