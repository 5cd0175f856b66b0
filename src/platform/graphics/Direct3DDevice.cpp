// The device's life and its state: render target, viewport, transforms,
// render states, material, clears and scenes, given to GL before the next
// draw (Apply); and the sphere visibility test.
#include <algorithm>
#include <array>
#include <cmath>
#include <string>

#include "platform/core/Seam.h"
#include "platform/graphics/internal/Direct3DObjects.h"

namespace {

GLenum GlCompare(DWORD function) {
    switch (function) {
    case D3DCMP_NEVER:
        return GL_NEVER;
    case D3DCMP_LESS:
        return GL_LESS;
    case D3DCMP_EQUAL:
        return GL_EQUAL;
    case D3DCMP_LESSEQUAL:
        return GL_LEQUAL;
    case D3DCMP_GREATER:
        return GL_GREATER;
    case D3DCMP_NOTEQUAL:
        return GL_NOTEQUAL;
    case D3DCMP_GREATEREQUAL:
        return GL_GEQUAL;
    default:
        return GL_ALWAYS;
    }
}

void Colour(const D3DCOLORVALUE& value, GLfloat out[4]) {
    out[0] = value.r;
    out[1] = value.g;
    out[2] = value.b;
    out[3] = value.a;
}

// The projection maps view depth to 0..1; GL clips to -1..1. Applied after
// the projection, this turns z into 2z - w.
Matrix DepthToGl() {
    Matrix m = MakeIdentity();
    m.m[4 * 2 + 2] = 2.0f;
    m.m[4 * 3 + 2] = -1.0f;
    return m;
}

}  // namespace

DeviceObject::DeviceObject(Direct3DObject* direct3D, SurfaceObject* target)
    : direct3D(direct3D), target(target), hasZBuffer(target->attached != nullptr) {
    direct3D->AddRef();
    target->AddRef();
    direct3D->owner->device = this;
    // The device's defaults: depth testing when there is a z-buffer, a
    // viewport over the whole target, the first stage modulating its texture
    // with the diffuse colour and every other stage off.
    zEnable = hasZBuffer;
    viewport = {0, 0, static_cast<DWORD>(target->width), static_cast<DWORD>(target->height), 0.0f, 1.0f};
    for (int i = 0; i < kStageCount; ++i) {
        stages[i].colorOp = i == 0 ? D3DTOP_MODULATE : D3DTOP_DISABLE;
        stages[i].texCoordIndex = static_cast<DWORD>(i);
        coordinateSet[i] = -1;
    }

    GLint available = 1;
    glGetIntegerv(GL_MAX_TEXTURE_UNITS, &available);
    units = std::clamp<int>(available, 1, kStageCount);
    Gl().GenSamplers(units, samplers);
    glGenTextures(1, &white);
    glBindTexture(GL_TEXTURE_2D, white);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAX_LEVEL, 0);
    const std::uint16_t whiteTexel = 0xFFFF;
    glPixelStorei(GL_UNPACK_ALIGNMENT, 1);
    glTexImage2D(GL_TEXTURE_2D, 0, GL_RGB5, 1, 1, 0, GL_RGB, GL_UNSIGNED_SHORT_5_6_5, &whiteTexel);
    batch.reserve(kBatchVertices * kBatchFloatsPerVertex);
    layers = std::make_unique<TextureLayers>();
}

DeviceObject::~DeviceObject() {
    Flush();
    for (DeviceStage& stage : stages)
        if (stage.texture) stage.texture->Unreference();
    for (int unit = 0; unit < units; ++unit) Gl().BindSampler(unit, 0);
    Gl().DeleteSamplers(units, samplers);
    glDeleteTextures(1, &white);
    direct3D->owner->device = nullptr;
    target->Unreference();
    direct3D->Unreference();
}

ULONG DeviceObject::Release() {
    SeamCall("Release", "device");
    ULONG left = --references;
    if (left == 0) delete this;
    return left;
}

HRESULT DeviceObject::SetRenderTarget(IDirectDrawSurface7* surface, DWORD) {
    SeamCall("SetRenderTarget");
    auto* newTarget = static_cast<SurfaceObject*>(surface);
    if (!newTarget || newTarget->kind != SurfaceKind::BackBuffer || newTarget->owner != target->owner)
        return DDERR_INVALIDPARAMS;
    Flush();
    newTarget->AddRef();
    target->Unreference();
    target = newTarget;
    // The device takes up the z-buffer the target has now.
    hasZBuffer = target->attached != nullptr;
    dirty |= kRenderStates;
    return D3D_OK;
}

HRESULT DeviceObject::SetViewport(D3DVIEWPORT7* newViewport) {
    if (auto failure = SeamCall("SetViewport")) return static_cast<HRESULT>(*failure);
    if (!newViewport || newViewport->dwWidth == 0 || newViewport->dwHeight == 0 ||
        newViewport->dwX + newViewport->dwWidth > static_cast<DWORD>(target->width) ||
        newViewport->dwY + newViewport->dwHeight > static_cast<DWORD>(target->height) ||
        !(newViewport->dvMinZ >= 0.0f && newViewport->dvMinZ <= newViewport->dvMaxZ && newViewport->dvMaxZ <= 1.0f))
        return DDERR_INVALIDPARAMS;
    viewport = *newViewport;
    dirty |= kViewport;
    return D3D_OK;
}

HRESULT DeviceObject::SetTransform(D3DTRANSFORMSTATETYPE type, D3DMATRIX* matrix) {
    static const char* const kNames[] = {"", "world", "view", "projection"};
    if (!matrix || type < D3DTRANSFORMSTATE_WORLD || type > D3DTRANSFORMSTATE_PROJECTION) return DDERR_INVALIDPARAMS;
    SeamCall("SetTransform", kNames[type]);
    Matrix& transform = type == D3DTRANSFORMSTATE_WORLD ? world : type == D3DTRANSFORMSTATE_VIEW ? view : projection;
    transform = *matrix;
    dirty |= kTransforms;
    return D3D_OK;
}

HRESULT DeviceObject::SetRenderState(D3DRENDERSTATETYPE state, DWORD value) {
    SeamCall("SetRenderState", std::to_string(state) + "=" + std::to_string(value));
    auto set = [&](auto& field, auto newValue) {
        if (field != newValue) dirty |= kRenderStates;
        field = newValue;
    };
    switch (state) {
    case D3DRENDERSTATE_ZENABLE:
        set(zEnable, value != 0);
        break;
    case D3DRENDERSTATE_ZWRITEENABLE:
        set(zWrite, value != 0);
        break;
    case D3DRENDERSTATE_ZFUNC:
        set(zFunc, value);
        break;
    case D3DRENDERSTATE_CULLMODE:
        set(cullMode, value);
        break;
    case D3DRENDERSTATE_ALPHATESTENABLE:
        set(alphaTest, value != 0);
        break;
    case D3DRENDERSTATE_ALPHAFUNC:
        set(alphaFunc, value);
        break;
    case D3DRENDERSTATE_ALPHAREF:
        set(alphaRef, value & 0xFF);
        break;
    case D3DRENDERSTATE_LIGHTING:
        set(lighting, value != 0);
        break;
    case D3DRENDERSTATE_AMBIENT:
        set(ambient, value);
        break;
    // GL always interpolates with perspective and sub-pixel accuracy; with
    // no lights there is no specular colour; edge antialiasing is not done.
    default:
        break;
    }
    return D3D_OK;
}

HRESULT DeviceObject::SetMaterial(D3DMATERIAL7* newMaterial) {
    SeamCall("SetMaterial");
    if (!newMaterial) return DDERR_INVALIDPARAMS;
    material = *newMaterial;
    dirty |= kMaterial;
    return D3D_OK;
}

HRESULT DeviceObject::Clear(DWORD count, D3DRECT* rects, DWORD flags, D3DCOLOR colour, float z, DWORD) {
    SeamCall("Clear");
    if ((flags & D3DCLEAR_ZBUFFER) && !hasZBuffer) return D3DERR_ZBUFFER_NOTPRESENT;
    if (count > 0 && !rects) return DDERR_INVALIDPARAMS;
    Flush();
    GLbitfield buffers = 0;
    if (flags & D3DCLEAR_TARGET) buffers |= GL_COLOR_BUFFER_BIT;
    if (flags & D3DCLEAR_ZBUFFER) buffers |= GL_DEPTH_BUFFER_BIT;
    glClearColor((colour >> 16 & 0xFF) / 255.0f, (colour >> 8 & 0xFF) / 255.0f, (colour & 0xFF) / 255.0f,
                 (colour >> 24) / 255.0f);
    glClearDepth(z);
    glDepthMask(GL_TRUE);  // the depth mask holds back depth clears as well
    glEnable(GL_SCISSOR_TEST);
    // No rectangles: the viewport. GL's rows count from the bottom.
    auto clearRect = [&](LONG left, LONG top, LONG right, LONG bottom) {
        left = std::max(left, static_cast<LONG>(viewport.dwX));
        top = std::max(top, static_cast<LONG>(viewport.dwY));
        right = std::min(right, static_cast<LONG>(viewport.dwX + viewport.dwWidth));
        bottom = std::min(bottom, static_cast<LONG>(viewport.dwY + viewport.dwHeight));
        if (right <= left || bottom <= top) return;
        glScissor(left, target->height - bottom, right - left, bottom - top);
        glClear(buffers);
    };
    if (count == 0) clearRect(0, 0, target->width, target->height);
    for (DWORD i = 0; i < count; ++i) clearRect(rects[i].x1, rects[i].y1, rects[i].x2, rects[i].y2);
    glDisable(GL_SCISSOR_TEST);
    dirty |= kRenderStates;  // puts the depth mask back
    return D3D_OK;
}

HRESULT DeviceObject::BeginScene() {
    SeamCall("BeginScene");
    if (inScene) return D3DERR_SCENE_IN_SCENE;
    inScene = true;
    return D3D_OK;
}

HRESULT DeviceObject::EndScene() {
    SeamCall("EndScene");
    if (!inScene) return D3DERR_SCENE_NOT_IN_SCENE;
    Flush();
    inScene = false;
    return D3D_OK;
}

void DeviceObject::Apply() {
    if (dirty & kTransforms) {
        glMatrixMode(GL_PROJECTION);
        glLoadMatrixf(Multiply(DepthToGl(), projection).m);
        glMatrixMode(GL_MODELVIEW);
        glLoadMatrixf(Multiply(view, world).m);  // the world transform first, then the view
    }
    if (dirty & kViewport) {
        glViewport(static_cast<GLint>(viewport.dwX),
                   target->height - static_cast<GLint>(viewport.dwY + viewport.dwHeight),
                   static_cast<GLsizei>(viewport.dwWidth), static_cast<GLsizei>(viewport.dwHeight));
        glDepthRange(viewport.dvMinZ, viewport.dvMaxZ);
    }
    if (dirty & kRenderStates) {
        if (zEnable && hasZBuffer) {
            glEnable(GL_DEPTH_TEST);
            glDepthFunc(GlCompare(zFunc));
            glDepthMask(zWrite ? GL_TRUE : GL_FALSE);
        } else {
            glDisable(GL_DEPTH_TEST);
        }
        depthInOrder = zEnable && hasZBuffer && zWrite && zFunc == D3DCMP_ALWAYS;
        // Culling "counter-clockwise" drops triangles that appear
        // counter-clockwise on screen; GL's window rows run up the screen as
        // the picture is shown, so its clockwise is the screen's.
        if (cullMode == D3DCULL_CW || cullMode == D3DCULL_CCW) {
            glEnable(GL_CULL_FACE);
            glFrontFace(cullMode == D3DCULL_CCW ? GL_CW : GL_CCW);
            glCullFace(GL_BACK);
        } else {
            glDisable(GL_CULL_FACE);
        }
        if (AlphaTestCanFail()) {
            glEnable(GL_ALPHA_TEST);
            glAlphaFunc(GlCompare(alphaFunc), alphaRef / 255.0f);
        } else {
            glDisable(GL_ALPHA_TEST);
        }
        if (lighting) {
            glEnable(GL_LIGHTING);
        } else {
            glDisable(GL_LIGHTING);
            glColor4f(1.0f, 1.0f, 1.0f, 1.0f);  // the vertices carry no colour: white
        }
        const GLfloat ambientColour[4] = {(ambient >> 16 & 0xFF) / 255.0f, (ambient >> 8 & 0xFF) / 255.0f,
                                          (ambient & 0xFF) / 255.0f, (ambient >> 24) / 255.0f};
        glLightModelfv(GL_LIGHT_MODEL_AMBIENT, ambientColour);
    }
    if (dirty & kMaterial) {
        GLfloat colour[4];
        Colour(material.diffuse, colour);
        glMaterialfv(GL_FRONT_AND_BACK, GL_DIFFUSE, colour);
        Colour(material.ambient, colour);
        glMaterialfv(GL_FRONT_AND_BACK, GL_AMBIENT, colour);
        Colour(material.specular, colour);
        glMaterialfv(GL_FRONT_AND_BACK, GL_SPECULAR, colour);
        Colour(material.emissive, colour);
        glMaterialfv(GL_FRONT_AND_BACK, GL_EMISSION, colour);
        glMaterialf(GL_FRONT_AND_BACK, GL_SHININESS, std::clamp(material.power, 0.0f, 128.0f));
    }
    if (dirty & (kStages | kTextures)) ApplyStages(!(dirty & kStages));
    dirty = 0;
    batchLayered = LocateLayers();
}

HRESULT DeviceObject::ComputeSphereVisibility(D3DVECTOR* centres, float* radii, DWORD count, DWORD, DWORD* results) {
    if (!centres || !radii || !results) return DDERR_INVALIDPARAMS;
    // Clip space keeps -w <= x <= w, -w <= y <= w and 0 <= z <= w; each bound
    // is a plane in world space made of the combined matrix's columns.
    const Matrix m = Multiply(projection, Multiply(view, world));
    auto column = [&](int c) { return std::array<float, 4>{m.m[c], m.m[4 + c], m.m[8 + c], m.m[12 + c]}; };
    const auto x = column(0), y = column(1), z = column(2), w = column(3);
    struct Plane {
        std::array<float, 4> coefficients;
        DWORD crossed;
        DWORD outside;
    };
    auto sum = [](const std::array<float, 4>& a, const std::array<float, 4>& b, float sign) {
        return std::array<float, 4>{a[0] + sign * b[0], a[1] + sign * b[1], a[2] + sign * b[2], a[3] + sign * b[3]};
    };
    const Plane planes[] = {
        {sum(w, x, 1), D3DSTATUS_CLIPUNIONLEFT, D3DSTATUS_CLIPINTERSECTIONLEFT},
        {sum(w, x, -1), D3DSTATUS_CLIPUNIONRIGHT, D3DSTATUS_CLIPINTERSECTIONRIGHT},
        {sum(w, y, -1), D3DSTATUS_CLIPUNIONTOP, D3DSTATUS_CLIPINTERSECTIONTOP},
        {sum(w, y, 1), D3DSTATUS_CLIPUNIONBOTTOM, D3DSTATUS_CLIPINTERSECTIONBOTTOM},
        {z, D3DSTATUS_CLIPUNIONFRONT, D3DSTATUS_CLIPINTERSECTIONFRONT},
        {sum(w, z, -1), D3DSTATUS_CLIPUNIONBACK, D3DSTATUS_CLIPINTERSECTIONBACK},
    };
    for (DWORD i = 0; i < count; ++i) {
        results[i] = 0;
        for (const Plane& plane : planes) {
            const auto& p = plane.coefficients;
            const float length = std::sqrt(p[0] * p[0] + p[1] * p[1] + p[2] * p[2]);
            if (length == 0.0f) continue;
            const float distance = (p[0] * centres[i].x + p[1] * centres[i].y + p[2] * centres[i].z + p[3]) / length;
            if (distance < -radii[i])
                results[i] |= plane.crossed | plane.outside;
            else if (distance < radii[i])
                results[i] |= plane.crossed;
        }
    }
    return D3D_OK;
}
