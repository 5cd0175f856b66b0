// The device's texture stages: their states and textures, and their making
// into GL texture units that combine as the stages say.
#include <string>

#include "platform/core/Seam.h"
#include "platform/graphics/internal/Direct3DObjects.h"

namespace {

GLenum GlSource(DWORD argument) {
    switch (argument) {
    case D3DTA_DIFFUSE:
        return GL_PRIMARY_COLOR;
    case D3DTA_TEXTURE:
        return GL_TEXTURE;
    default:
        return GL_PREVIOUS;  // the current colour; at the first stage, the diffuse one
    }
}

}  // namespace

HRESULT DeviceObject::SetTextureStageState(DWORD index, D3DTEXTURESTAGESTATETYPE state, DWORD value) {
    SeamCall("SetTextureStageState", std::to_string(index) + ":" + std::to_string(state) + "=" + std::to_string(value));
    if (index >= kStageCount) return DDERR_INVALIDPARAMS;
    DeviceStage& stage = stages[index];
    DWORD* field = nullptr;
    bool valid = true;
    switch (state) {
    case D3DTSS_COLOROP:
        field = &stage.colorOp;
        valid = value >= D3DTOP_DISABLE && value <= D3DTOP_MODULATE;
        break;
    case D3DTSS_COLORARG1:
    case D3DTSS_COLORARG2:
        field = state == D3DTSS_COLORARG1 ? &stage.colorArg1 : &stage.colorArg2;
        valid = value <= D3DTA_TEXTURE;
        break;
    case D3DTSS_TEXCOORDINDEX:
        field = &stage.texCoordIndex;
        break;
    case D3DTSS_MAGFILTER:
        field = &stage.magFilter;
        break;
    case D3DTSS_MINFILTER:
        field = &stage.minFilter;
        break;
    case D3DTSS_MIPFILTER:
        field = &stage.mipFilter;
        break;
    default:
        return D3D_OK;  // the alpha operations keep their defaults
    }
    if (!valid) return DDERR_UNSUPPORTED;
    if (*field != value) dirty |= kStages;
    *field = value;
    return D3D_OK;
}

HRESULT DeviceObject::SetTexture(DWORD index, IDirectDrawSurface7* surface) {
    auto* texture = static_cast<SurfaceObject*>(surface);
    if (index >= kStageCount || (texture && texture->kind != SurfaceKind::Texture)) return DDERR_INVALIDPARAMS;
    DeviceStage& stage = stages[index];
    if (stage.texture == texture) return D3D_OK;
    // Surfaces sharing one picture draw alike: no reason to end the batch.
    const Picture* before = stage.texture ? stage.texture->picture.get() : nullptr;
    const Picture* after = texture ? texture->picture.get() : nullptr;
    if (before != after) dirty |= kTextures;
    if (texture) texture->AddRef();
    if (stage.texture) stage.texture->Unreference();
    stage.texture = texture;
    return D3D_OK;
}

// Each stage is one GL texture unit combining as the stage says. The first
// disabled stage ends the cascade; a stage that would use a texture it does
// not have is a disabled unit, which passes its input through. When only
// textures changed, a unit that stays on only binds its new one: every other
// call would set what GL holds already, which costs the level's drawing a
// few per cent.
void DeviceObject::ApplyStages(bool texturesOnly) {
    const GlEntryPoints& gl = Gl();
    bool cascadeEnded = false;
    for (int unit = 0; unit < units; ++unit) {
        const DeviceStage& stage = stages[unit];
        cascadeEnded = cascadeEnded || stage.colorOp == D3DTOP_DISABLE;
        Picture* picture = stage.texture ? stage.texture->picture.get() : nullptr;
        const bool on = !cascadeEnded && !(stage.UsesTexture() && !picture);
        if (texturesOnly && !on && !unitOn[unit]) continue;
        gl.ActiveTexture(GL_TEXTURE0 + unit);
        if (on && picture) {
            picture->Texture();
        } else if (on) {
            glBindTexture(GL_TEXTURE_2D, white);
        }
        if (texturesOnly && on == unitOn[unit]) continue;
        unitOn[unit] = on;
        if (!on) {
            glDisable(GL_TEXTURE_2D);
            coordinateSet[unit] = -1;
            continue;
        }
        glEnable(GL_TEXTURE_2D);
        const bool linearMin = stage.minFilter != D3DTFN_POINT;
        GLenum minFilter = linearMin ? GL_LINEAR : GL_NEAREST;
        if (stage.mipFilter == D3DTFP_POINT)
            minFilter = linearMin ? GL_LINEAR_MIPMAP_NEAREST : GL_NEAREST_MIPMAP_NEAREST;
        if (stage.mipFilter == D3DTFP_LINEAR)
            minFilter = linearMin ? GL_LINEAR_MIPMAP_LINEAR : GL_NEAREST_MIPMAP_LINEAR;
        gl.BindSampler(unit, samplers[unit]);
        gl.SamplerParameteri(samplers[unit], GL_TEXTURE_MIN_FILTER, static_cast<GLint>(minFilter));
        gl.SamplerParameteri(samplers[unit], GL_TEXTURE_MAG_FILTER,
                             stage.magFilter == D3DTFG_POINT ? GL_NEAREST : GL_LINEAR);

        glTexEnvi(GL_TEXTURE_ENV, GL_TEXTURE_ENV_MODE, GL_COMBINE);
        glTexEnvi(GL_TEXTURE_ENV, GL_COMBINE_RGB, stage.colorOp == D3DTOP_MODULATE ? GL_MODULATE : GL_REPLACE);
        glTexEnvi(GL_TEXTURE_ENV, GL_SOURCE0_RGB,
                  static_cast<GLint>(GlSource(stage.colorOp == D3DTOP_SELECTARG2 ? stage.colorArg2 : stage.colorArg1)));
        glTexEnvi(GL_TEXTURE_ENV, GL_SOURCE1_RGB, static_cast<GLint>(GlSource(stage.colorArg2)));
        glTexEnvi(GL_TEXTURE_ENV, GL_OPERAND0_RGB, GL_SRC_COLOR);
        glTexEnvi(GL_TEXTURE_ENV, GL_OPERAND1_RGB, GL_SRC_COLOR);
        // Alpha as the device has it by default: the first stage's texture, passed on.
        glTexEnvi(GL_TEXTURE_ENV, GL_COMBINE_ALPHA, GL_REPLACE);
        glTexEnvi(GL_TEXTURE_ENV, GL_SOURCE0_ALPHA, unit == 0 ? GL_TEXTURE : GL_PREVIOUS);
        glTexEnvi(GL_TEXTURE_ENV, GL_OPERAND0_ALPHA, GL_SRC_ALPHA);
        coordinateSet[unit] = stage.texCoordIndex < kCoordinateSets ? static_cast<int>(stage.texCoordIndex) : -1;
    }
    gl.ActiveTexture(GL_TEXTURE0);
}

// A lightmap through the first pair, times a texture through the second,
// times the lit colour, with nothing after and no alpha test that can fail:
// what the texture layers' program draws alike.
bool DeviceObject::LocateLayers() {
    if (!layers->Ready() || units < 3 || AlphaTestCanFail()) return false;
    const DeviceStage &lightmap = stages[0], &texture = stages[1], &lit = stages[2];
    auto takes = [](const DeviceStage& stage, DWORD a, DWORD b) {
        return (stage.colorArg1 == a && stage.colorArg2 == b) || (stage.colorArg1 == b && stage.colorArg2 == a);
    };
    if (lightmap.colorOp != D3DTOP_SELECTARG1 || lightmap.colorArg1 != D3DTA_TEXTURE || lightmap.texCoordIndex != 0 ||
        texture.colorOp != D3DTOP_MODULATE || !takes(texture, D3DTA_TEXTURE, D3DTA_CURRENT) ||
        texture.texCoordIndex != 1 || lit.colorOp != D3DTOP_MODULATE || !takes(lit, D3DTA_CURRENT, D3DTA_DIFFUSE) ||
        (units > 3 && stages[3].colorOp != D3DTOP_DISABLE) || !lightmap.texture)
        return false;
    const auto flush = [this] { Flush(); };
    if (!layers->Locate(lightmap.texture->picture, stagePlaces[0], flush)) return false;
    // Without a texture the units pass the lightmap on, as times white does.
    return texture.texture ? layers->Locate(texture.texture->picture, stagePlaces[1], flush)
                           : layers->LocateColour(0xFFFF, stagePlaces[1], flush);
}
