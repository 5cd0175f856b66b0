// What the 3D device's handles point to: the Direct3D object, the device and
// its texture stages, shared by the device's files (Direct3D.cpp, the
// device's state in Direct3DDevice.cpp, its batching of triangles in
// Direct3DBatch.cpp and its texture stages in Direct3DStages.cpp).
#pragma once

#include <memory>
#include <vector>

#include "platform/graphics/Direct3D.h"
#include "platform/graphics/internal/DisplayObjects.h"
#include "platform/graphics/internal/TextureLayers.h"

constexpr int kStageCount = 8;
constexpr DWORD kVertexFormat = D3DFVF_XYZ | D3DFVF_NORMAL | D3DFVF_TEX2;
// Position, normal, two texture coordinate pairs.
constexpr int kFloatsPerVertex = 10;
constexpr int kCoordinateSets = 2;
// As batched: position, normal, each pair followed by its picture's layer,
// then the two pictures' arrays (drawn from texture arrays, TextureLayers.h).
constexpr int kBatchFloatsPerVertex = 14;
// A full batch is drawn and the next one begins; the storage never grows.
constexpr std::size_t kBatchVertices = std::size_t{3} * 4096;

// What changed since the state was last given to GL.
enum Dirty : unsigned {
    kTransforms = 1,
    kViewport = 2,
    kRenderStates = 4,
    kMaterial = 8,
    kStages = 16,
    kTextures = 32,  // only the stages' textures
    kEverything = 63,
};

// One texture stage as the device keeps it.
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
    // Gives GL what changed since the last draw; the stages through ApplyStages.
    void Apply();
    void ApplyStages(bool texturesOnly);
    // Whether the stages are the ones the texture layers draw, noting where
    // their two pictures lie (stagePlaces); false when they are not or have
    // no place.
    bool LocateLayers();
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
    // On, and able to turn a pixel away (alpha is never below 0).
    bool AlphaTestCanFail() const {
        return alphaTest && !(alphaFunc == D3DCMP_ALWAYS || (alphaFunc == D3DCMP_GREATEREQUAL && alphaRef == 0));
    }
    bool lighting = true;
    D3DCOLOR ambient = 0;
    D3DMATERIAL7 material{};
    DeviceStage stages[kStageCount];

    int units = 1;                   // texture units GL offers, at most kStageCount
    int coordinateSet[kStageCount];  // per unit as applied: the vertex's pair, -1 = none
    bool unitOn[kStageCount] = {};   // per unit as applied: combining, not passing its input on
    GLuint samplers[kStageCount] = {};
    GLuint white = 0;  // for a stage that uses no texture: GL combines only on a textured unit
    std::vector<float> batch;
    std::unique_ptr<TextureLayers> layers;
    bool batchLayered = false;  // drawn from the arrays, not the units' own textures
    // As applied: every triangle writes its depth whatever lies there, so the
    // last one drawn at a pixel is the one seen.
    bool depthInOrder = false;
    TextureLayers::Place stagePlaces[2];
};
