#include <algorithm>
#include <array>
#include <cmath>
#include <cstring>
#include <string>

#include "platform/DisplayObjects.h"

namespace {

constexpr int kStageCount = 8;
constexpr DWORD kVertexFormat = D3DFVF_XYZ | D3DFVF_NORMAL | D3DFVF_TEX2;
// Position, normal, two texture coordinate pairs.
constexpr int kFloatsPerVertex = 10;
constexpr int kCoordinateSets = 2;
// A full batch is drawn and the next one begins; the storage never grows.
constexpr std::size_t kBatchVertices = 3 * 4096;

// What changed since the state was last given to GL.
enum Dirty : unsigned {
    kTransforms = 1,
    kViewport = 2,
    kRenderStates = 4,
    kMaterial = 8,
    kStages = 16,
    kEverything = 31,
};

constexpr DDPIXELFORMAT kZ16 = {sizeof(DDPIXELFORMAT), DDPF_ZBUFFER, 0, 16, 0, 0xFFFF, 0, 0};
constexpr DDPIXELFORMAT kZ24 = {sizeof(DDPIXELFORMAT), DDPF_ZBUFFER, 0, 32, 0, 0xFFFFFF00, 0, 0};
constexpr DDPIXELFORMAT kZ24S8 = {sizeof(DDPIXELFORMAT), DDPF_ZBUFFER | DDPF_STENCILBUFFER, 0, 32, 8, 0xFFFFFF00,
                                  0xFF, 0};
// Both lists lead with a stencil format, as drivers' lists do.
constexpr std::array kHardwareZFormats = {kZ24S8, kZ24, kZ16};
constexpr std::array kSoftwareZFormats = {kZ24S8, kZ16};

const char* DeviceName(REFCLSID kind) {
    if (kind == IID_IDirect3DHALDevice) return "hardware";
    if (kind == IID_IDirect3DRGBDevice) return "software";
    return nullptr;
}

// Any renderer but Mesa's software rasterisers is taken to be accelerated.
bool AcceleratedContext() { return glGetString(GL_RENDERER) && !SoftwareRasteriser(); }

GLenum GlCompare(DWORD function) {
    switch (function) {
        case D3DCMP_NEVER: return GL_NEVER;
        case D3DCMP_LESS: return GL_LESS;
        case D3DCMP_EQUAL: return GL_EQUAL;
        case D3DCMP_LESSEQUAL: return GL_LEQUAL;
        case D3DCMP_GREATER: return GL_GREATER;
        case D3DCMP_NOTEQUAL: return GL_NOTEQUAL;
        case D3DCMP_GREATEREQUAL: return GL_GEQUAL;
        default: return GL_ALWAYS;
    }
}

GLenum GlSource(DWORD argument) {
    switch (argument) {
        case D3DTA_DIFFUSE: return GL_PRIMARY_COLOR;
        case D3DTA_TEXTURE: return GL_TEXTURE;
        default: return GL_PREVIOUS;  // the current colour; at the first stage, the diffuse one
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

struct DeviceStage {
    DWORD colorOp;
    DWORD colorArg1 = D3DTA_TEXTURE;
    DWORD colorArg2 = D3DTA_CURRENT;
    DWORD texCoordIndex;
    DWORD magFilter = D3DTFG_POINT;
    DWORD minFilter = D3DTFN_POINT;
    DWORD mipFilter = D3DTFP_NONE;
    SurfaceObject* texture = nullptr;  // counted while set

    bool UsesArgument(int which) const {
        if (colorOp == D3DTOP_MODULATE) return true;
        return which == 1 ? colorOp == D3DTOP_SELECTARG1 : colorOp == D3DTOP_SELECTARG2;
    }
    bool UsesTexture() const {
        return (UsesArgument(1) && colorArg1 == D3DTA_TEXTURE) || (UsesArgument(2) && colorArg2 == D3DTA_TEXTURE);
    }
};

class Direct3DObject final : public IDirect3D7 {
public:
    explicit Direct3DObject(DirectDrawObject* owner) : owner(owner) { owner->AddRef(); }

    HRESULT CreateDevice(REFCLSID kind, IDirectDrawSurface7* surface, IDirect3DDevice7** device) override;
    HRESULT EnumZBufferFormats(REFCLSID kind, LPD3DENUMPIXELFORMATSCALLBACK callback, void* context) override;
    ULONG Release() override;
    void AddRef() { ++references; }
    ULONG Unreference();

    DirectDrawObject* const owner;

private:
    ~Direct3DObject() { owner->Unreference(); }

    ULONG references = 1;
};

class DeviceObject final : public IDirect3DDevice7 {
public:
    DeviceObject(Direct3DObject* direct3D, SurfaceObject* target);

    HRESULT SetRenderTarget(IDirectDrawSurface7* surface, DWORD flags) override;
    HRESULT SetViewport(D3DVIEWPORT7* viewport) override;
    HRESULT SetTransform(D3DTRANSFORMSTATETYPE type, D3DMATRIX* matrix) override;
    HRESULT SetRenderState(D3DRENDERSTATETYPE state, DWORD value) override;
    HRESULT SetTextureStageState(DWORD stage, D3DTEXTURESTAGESTATETYPE state, DWORD value) override;
    HRESULT SetMaterial(D3DMATERIAL7* material) override;
    HRESULT Clear(DWORD count, D3DRECT* rects, DWORD flags, D3DCOLOR colour, float z, DWORD stencil) override;
    HRESULT BeginScene() override;
    HRESULT EndScene() override;
    HRESULT SetTexture(DWORD stage, IDirectDrawSurface7* texture) override;
    HRESULT DrawPrimitive(D3DPRIMITIVETYPE type, DWORD vertexFormat, void* vertices, DWORD count, DWORD flags) override;
    HRESULT ComputeSphereVisibility(D3DVECTOR* centres, float* radii, DWORD count, DWORD flags,
                                    DWORD* results) override;
    ULONG Release() override;

    // Draws the batched triangles with the state they were given under.
    void Flush();
    // Textures may have changed: they are looked up again before the next draw.
    void TexturesChanged() { dirty |= kStages; }

private:
    ~DeviceObject();
    void Apply();
    void ApplyStages();
    const GlEntryPoints& Gl() const { return direct3D->owner->gl; }

    Direct3DObject* const direct3D;
    SurfaceObject* target;
    bool hasZBuffer;
    ULONG references = 1;
    bool inScene = false;
    unsigned dirty = kEverything;

    Matrix world = MakeIdentity();
    Matrix view = MakeIdentity();
    Matrix projection = MakeIdentity();
    D3DVIEWPORT7 viewport;
    bool zEnable;
    bool zWrite = true;
    DWORD zFunc = D3DCMP_LESSEQUAL;
    DWORD cullMode = D3DCULL_CCW;
    bool alphaTest = false;
    DWORD alphaFunc = D3DCMP_ALWAYS;
    DWORD alphaRef = 0;
    bool lighting = true;
    D3DCOLOR ambient = 0;
    D3DMATERIAL7 material{};
    DeviceStage stages[kStageCount];

    int units = 1;                        // texture units GL offers, at most kStageCount
    int coordinateSet[kStageCount];       // per unit as applied: the vertex's pair, -1 = none
    GLuint samplers[kStageCount] = {};
    GLuint white = 0;                     // for a stage that uses no texture: GL combines only on a textured unit
    std::vector<float> batch;
};

ULONG Direct3DObject::Release() {
    seam::Record("Release", "Direct3D");
    return Unreference();
}

ULONG Direct3DObject::Unreference() {
    ULONG left = --references;
    if (left == 0) delete this;
    return left;
}

HRESULT Direct3DObject::CreateDevice(REFCLSID kind, IDirectDrawSurface7* surface, IDirect3DDevice7** device) {
    if (device) *device = nullptr;
    const char* name = DeviceName(kind);
    seam::Record("CreateDevice", name ? name : "unknown");
    if (auto failure = ArmedResult("CreateDevice")) return *failure;
    auto* target = static_cast<SurfaceObject*>(surface);
    if (!name || !device || !target || target->kind != SurfaceKind::BackBuffer || target->owner != owner)
        return DDERR_INVALIDPARAMS;
    // One device draws on the display at a time.
    if (!owner->context || owner->device) return DDERR_GENERIC;
    if (kind == IID_IDirect3DHALDevice && !AcceleratedContext()) return DDERR_NO3D;
    *device = new DeviceObject(this, target);
    return D3D_OK;
}

HRESULT Direct3DObject::EnumZBufferFormats(REFCLSID kind, LPD3DENUMPIXELFORMATSCALLBACK callback, void* context) {
    const char* name = DeviceName(kind);
    seam::Record("EnumZBufferFormats", name ? name : "unknown");
    if (!name || !callback) return DDERR_INVALIDPARAMS;
    // A test can stand in a driver that offers only formats with a stencil part.
    const bool onlyStencil = seam::Failure("EnumZBufferFormats.onlyStencil").has_value();
    auto offer = [&](const auto& formats) {
        for (DDPIXELFORMAT format : formats) {
            if (onlyStencil && !(format.dwFlags & DDPF_STENCILBUFFER)) continue;
            if (callback(&format, context) == D3DENUMRET_CANCEL) return;
        }
    };
    if (kind == IID_IDirect3DHALDevice) {
        offer(kHardwareZFormats);
    } else {
        offer(kSoftwareZFormats);
    }
    return D3D_OK;
}

IDirect3D7* NewDirect3D(DirectDrawObject* owner) { return new Direct3DObject(owner); }

void FlushDevice(DeviceObject& device) {
    device.Flush();
    device.TexturesChanged();
}

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
    batch.reserve(kBatchVertices * kFloatsPerVertex);
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
    seam::Record("Release", "device");
    ULONG left = --references;
    if (left == 0) delete this;
    return left;
}

HRESULT DeviceObject::SetRenderTarget(IDirectDrawSurface7* surface, DWORD) {
    seam::Record("SetRenderTarget");
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
    seam::Record("SetViewport");
    if (auto failure = ArmedResult("SetViewport")) return *failure;
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
    if (!matrix || type < D3DTRANSFORMSTATE_WORLD || type > D3DTRANSFORMSTATE_PROJECTION)
        return DDERR_INVALIDPARAMS;
    seam::Record("SetTransform", kNames[type]);
    Matrix& transform = type == D3DTRANSFORMSTATE_WORLD ? world : type == D3DTRANSFORMSTATE_VIEW ? view : projection;
    transform = *matrix;
    dirty |= kTransforms;
    return D3D_OK;
}

HRESULT DeviceObject::SetRenderState(D3DRENDERSTATETYPE state, DWORD value) {
    seam::Record("SetRenderState", std::to_string(state) + "=" + std::to_string(value));
    auto set = [&](auto& field, auto newValue) {
        if (field != newValue) dirty |= kRenderStates;
        field = newValue;
    };
    switch (state) {
        case D3DRENDERSTATE_ZENABLE: set(zEnable, value != 0); break;
        case D3DRENDERSTATE_ZWRITEENABLE: set(zWrite, value != 0); break;
        case D3DRENDERSTATE_ZFUNC: set(zFunc, value); break;
        case D3DRENDERSTATE_CULLMODE: set(cullMode, value); break;
        case D3DRENDERSTATE_ALPHATESTENABLE: set(alphaTest, value != 0); break;
        case D3DRENDERSTATE_ALPHAFUNC: set(alphaFunc, value); break;
        case D3DRENDERSTATE_ALPHAREF: set(alphaRef, value & 0xFF); break;
        case D3DRENDERSTATE_LIGHTING: set(lighting, value != 0); break;
        case D3DRENDERSTATE_AMBIENT: set(ambient, value); break;
        // GL always interpolates with perspective and sub-pixel accuracy; with
        // no lights there is no specular colour; edge antialiasing is not done.
        default: break;
    }
    return D3D_OK;
}

HRESULT DeviceObject::SetTextureStageState(DWORD index, D3DTEXTURESTAGESTATETYPE state, DWORD value) {
    seam::Record("SetTextureStageState", std::to_string(index) + ":" + std::to_string(state) + "=" +
                                             std::to_string(value));
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
        case D3DTSS_TEXCOORDINDEX: field = &stage.texCoordIndex; break;
        case D3DTSS_MAGFILTER: field = &stage.magFilter; break;
        case D3DTSS_MINFILTER: field = &stage.minFilter; break;
        case D3DTSS_MIPFILTER: field = &stage.mipFilter; break;
        default: return D3D_OK;  // the alpha operations keep their defaults
    }
    if (!valid) return DDERR_UNSUPPORTED;
    if (*field != value) dirty |= kStages;
    *field = value;
    return D3D_OK;
}

HRESULT DeviceObject::SetMaterial(D3DMATERIAL7* newMaterial) {
    seam::Record("SetMaterial");
    if (!newMaterial) return DDERR_INVALIDPARAMS;
    material = *newMaterial;
    dirty |= kMaterial;
    return D3D_OK;
}

HRESULT DeviceObject::Clear(DWORD count, D3DRECT* rects, DWORD flags, D3DCOLOR colour, float z, DWORD) {
    seam::Record("Clear");
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
        left = std::max<LONG>(left, viewport.dwX);
        top = std::max<LONG>(top, viewport.dwY);
        right = std::min<LONG>(right, viewport.dwX + viewport.dwWidth);
        bottom = std::min<LONG>(bottom, viewport.dwY + viewport.dwHeight);
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
    seam::Record("BeginScene");
    if (inScene) return D3DERR_SCENE_IN_SCENE;
    inScene = true;
    return D3D_OK;
}

HRESULT DeviceObject::EndScene() {
    seam::Record("EndScene");
    if (!inScene) return D3DERR_SCENE_NOT_IN_SCENE;
    Flush();
    inScene = false;
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
    if (before != after) dirty |= kStages;
    if (texture) texture->AddRef();
    if (stage.texture) stage.texture->Unreference();
    stage.texture = texture;
    return D3D_OK;
}

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
        batch.insert(batch.end(), from + done * kFloatsPerVertex, from + (done + 3) * kFloatsPerVertex);
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
            glTexCoordPointer(2, GL_FLOAT, kStride, data + 6 + 2 * coordinateSet[unit]);
        } else {
            glDisableClientState(GL_TEXTURE_COORD_ARRAY);
        }
    }
    Gl().ClientActiveTexture(GL_TEXTURE0);
    const auto vertices = static_cast<GLsizei>(batch.size() / kFloatsPerVertex);
    glDrawArrays(GL_TRIANGLES, 0, vertices);
    seam::Record("DrawBatch", std::to_string(vertices / 3));
    batch.clear();
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
        if (alphaTest) {
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
    if (dirty & kStages) ApplyStages();
    dirty = 0;
}

// Each stage is one GL texture unit combining as the stage says. The first
// disabled stage ends the cascade; a stage that would use a texture it does
// not have is a disabled unit, which passes its input through.
void DeviceObject::ApplyStages() {
    const GlEntryPoints& gl = Gl();
    bool cascadeEnded = false;
    for (int unit = 0; unit < units; ++unit) {
        const DeviceStage& stage = stages[unit];
        gl.ActiveTexture(GL_TEXTURE0 + unit);
        cascadeEnded = cascadeEnded || stage.colorOp == D3DTOP_DISABLE;
        Picture* picture = stage.texture ? stage.texture->picture.get() : nullptr;
        if (cascadeEnded || (stage.UsesTexture() && !picture)) {
            glDisable(GL_TEXTURE_2D);
            coordinateSet[unit] = -1;
            continue;
        }
        glEnable(GL_TEXTURE_2D);
        if (picture) {
            picture->Texture();
        } else {
            glBindTexture(GL_TEXTURE_2D, white);
        }
        const bool linearMin = stage.minFilter != D3DTFN_POINT;
        GLenum minFilter = linearMin ? GL_LINEAR : GL_NEAREST;
        if (stage.mipFilter == D3DTFP_POINT) minFilter = linearMin ? GL_LINEAR_MIPMAP_NEAREST : GL_NEAREST_MIPMAP_NEAREST;
        if (stage.mipFilter == D3DTFP_LINEAR) minFilter = linearMin ? GL_LINEAR_MIPMAP_LINEAR : GL_NEAREST_MIPMAP_LINEAR;
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

HRESULT DeviceObject::ComputeSphereVisibility(D3DVECTOR* centres, float* radii, DWORD count, DWORD,
                                              DWORD* results) {
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
            if (distance < -radii[i]) results[i] |= plane.crossed | plane.outside;
            else if (distance < radii[i]) results[i] |= plane.crossed;
        }
    }
    return D3D_OK;
}
