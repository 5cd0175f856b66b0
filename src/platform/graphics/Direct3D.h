// The fixed-function 3D device as the Direct3D-style renderer calls it, drawn
// with OpenGL into the back buffer of the display (DirectDraw.h).
//
// The hardware device needs an accelerated GL context; the software device
// draws with whatever context there is, which without a GPU is Mesa's
// software rasteriser. Matrices are row-vector ones and reach GL unchanged.
// Consecutive triangles drawn with the same textures and states are batched
// into one GL draw, flushed on the next change, in their order.
#pragma once

#include "math/Matrix.h"
#include "platform/graphics/DirectDraw.h"

inline constexpr GUID IID_IDirect3DHALDevice = DisplayIdentifier(3);
inline constexpr GUID IID_IDirect3DRGBDevice = DisplayIdentifier(4);

constexpr HRESULT D3D_OK = S_OK;
constexpr HRESULT D3DERR_INVALIDPRIMITIVETYPE = MakeDisplayResult(705);
constexpr HRESULT D3DERR_INVALIDVERTEXFORMAT = MakeDisplayResult(706);
constexpr HRESULT D3DERR_SCENE_IN_SCENE = MakeDisplayResult(724);
constexpr HRESULT D3DERR_SCENE_NOT_IN_SCENE = MakeDisplayResult(725);
constexpr HRESULT D3DERR_ZBUFFER_NOTPRESENT = MakeDisplayResult(2072);

using D3DCOLOR = DWORD;  // 0xAARRGGBB
using D3DMATRIX = Matrix;

struct D3DVECTOR {
    float x, y, z;
};

struct D3DRECT {
    LONG x1, y1, x2, y2;
};

struct D3DVIEWPORT7 {
    DWORD dwX;
    DWORD dwY;
    DWORD dwWidth;
    DWORD dwHeight;
    float dvMinZ;
    float dvMaxZ;
};

struct D3DCOLORVALUE {
    float r, g, b, a;
};

struct D3DMATERIAL7 {
    D3DCOLORVALUE diffuse;
    D3DCOLORVALUE ambient;
    D3DCOLORVALUE specular;
    D3DCOLORVALUE emissive;
    float power;
};

enum D3DTRANSFORMSTATETYPE : DWORD {
    D3DTRANSFORMSTATE_WORLD = 1,
    D3DTRANSFORMSTATE_VIEW = 2,
    D3DTRANSFORMSTATE_PROJECTION = 3,
};

enum D3DRENDERSTATETYPE : DWORD {
    D3DRENDERSTATE_ANTIALIAS = 2,
    D3DRENDERSTATE_TEXTUREPERSPECTIVE = 4,
    D3DRENDERSTATE_ZENABLE = 7,
    D3DRENDERSTATE_ZWRITEENABLE = 14,
    D3DRENDERSTATE_ALPHATESTENABLE = 15,
    D3DRENDERSTATE_CULLMODE = 22,
    D3DRENDERSTATE_ZFUNC = 23,
    D3DRENDERSTATE_ALPHAREF = 24,
    D3DRENDERSTATE_ALPHAFUNC = 25,
    D3DRENDERSTATE_SPECULARENABLE = 29,
    D3DRENDERSTATE_SUBPIXEL = 31,
    D3DRENDERSTATE_LIGHTING = 137,
    D3DRENDERSTATE_AMBIENT = 139,
};

enum D3DTEXTURESTAGESTATETYPE : DWORD {
    D3DTSS_COLOROP = 1,
    D3DTSS_COLORARG1 = 2,
    D3DTSS_COLORARG2 = 3,
    D3DTSS_TEXCOORDINDEX = 11,
    D3DTSS_MAGFILTER = 16,
    D3DTSS_MINFILTER = 17,
    D3DTSS_MIPFILTER = 18,
};

constexpr DWORD D3DCULL_NONE = 1;
constexpr DWORD D3DCULL_CW = 2;
constexpr DWORD D3DCULL_CCW = 3;

constexpr DWORD D3DCMP_NEVER = 1;
constexpr DWORD D3DCMP_LESS = 2;
constexpr DWORD D3DCMP_EQUAL = 3;
constexpr DWORD D3DCMP_LESSEQUAL = 4;
constexpr DWORD D3DCMP_GREATER = 5;
constexpr DWORD D3DCMP_NOTEQUAL = 6;
constexpr DWORD D3DCMP_GREATEREQUAL = 7;
constexpr DWORD D3DCMP_ALWAYS = 8;

constexpr DWORD D3DANTIALIAS_SORTINDEPENDENT = 2;

constexpr DWORD D3DTOP_DISABLE = 1;
constexpr DWORD D3DTOP_SELECTARG1 = 2;
constexpr DWORD D3DTOP_SELECTARG2 = 3;
constexpr DWORD D3DTOP_MODULATE = 4;

constexpr DWORD D3DTA_DIFFUSE = 0;
constexpr DWORD D3DTA_CURRENT = 1;
constexpr DWORD D3DTA_TEXTURE = 2;

constexpr DWORD D3DTFG_POINT = 1;
constexpr DWORD D3DTFG_LINEAR = 2;
constexpr DWORD D3DTFG_ANISOTROPIC = 5;
constexpr DWORD D3DTFN_POINT = 1;
constexpr DWORD D3DTFN_LINEAR = 2;
constexpr DWORD D3DTFN_ANISOTROPIC = 3;
constexpr DWORD D3DTFP_NONE = 1;
constexpr DWORD D3DTFP_POINT = 2;
constexpr DWORD D3DTFP_LINEAR = 3;

constexpr DWORD D3DCLEAR_TARGET = 0x1;
constexpr DWORD D3DCLEAR_ZBUFFER = 0x2;

enum D3DPRIMITIVETYPE : DWORD { D3DPT_TRIANGLELIST = 4 };

constexpr DWORD D3DFVF_XYZ = 0x002;
constexpr DWORD D3DFVF_NORMAL = 0x010;
constexpr DWORD D3DFVF_TEX2 = 0x200;

constexpr HRESULT D3DENUMRET_CANCEL = 0;
constexpr HRESULT D3DENUMRET_OK = 1;

// Sphere visibility: a plane the sphere crosses sets its union bit, a plane
// it lies wholly outside of sets the union and the intersection bits.
constexpr DWORD D3DSTATUS_CLIPUNIONLEFT = 0x00000001;
constexpr DWORD D3DSTATUS_CLIPUNIONRIGHT = 0x00000002;
constexpr DWORD D3DSTATUS_CLIPUNIONTOP = 0x00000004;
constexpr DWORD D3DSTATUS_CLIPUNIONBOTTOM = 0x00000008;
constexpr DWORD D3DSTATUS_CLIPUNIONFRONT = 0x00000010;
constexpr DWORD D3DSTATUS_CLIPUNIONBACK = 0x00000020;
constexpr DWORD D3DSTATUS_CLIPINTERSECTIONLEFT = 0x00001000;
constexpr DWORD D3DSTATUS_CLIPINTERSECTIONRIGHT = 0x00002000;
constexpr DWORD D3DSTATUS_CLIPINTERSECTIONTOP = 0x00004000;
constexpr DWORD D3DSTATUS_CLIPINTERSECTIONBOTTOM = 0x00008000;
constexpr DWORD D3DSTATUS_CLIPINTERSECTIONFRONT = 0x00010000;
constexpr DWORD D3DSTATUS_CLIPINTERSECTIONBACK = 0x00020000;

using LPD3DENUMPIXELFORMATSCALLBACK = HRESULT (*)(DDPIXELFORMAT* format, void* context);

struct IDirect3DDevice7 {
    // Draws into `surface` from now on, with the z-buffer attached to it then.
    virtual HRESULT SetRenderTarget(IDirectDrawSurface7* surface, DWORD flags) = 0;
    virtual HRESULT SetViewport(D3DVIEWPORT7* viewport) = 0;
    virtual HRESULT SetTransform(D3DTRANSFORMSTATETYPE type, D3DMATRIX* matrix) = 0;
    virtual HRESULT SetRenderState(D3DRENDERSTATETYPE state, DWORD value) = 0;
    virtual HRESULT SetTextureStageState(DWORD stage, D3DTEXTURESTAGESTATETYPE state, DWORD value) = 0;
    virtual HRESULT SetMaterial(D3DMATERIAL7* material) = 0;
    // No rectangles: the whole viewport.
    virtual HRESULT Clear(DWORD count, D3DRECT* rects, DWORD flags, D3DCOLOR colour, float z, DWORD stencil) = 0;
    virtual HRESULT BeginScene() = 0;
    virtual HRESULT EndScene() = 0;
    // Null: the stage has no texture and passes its input through.
    virtual HRESULT SetTexture(DWORD stage, IDirectDrawSurface7* texture) = 0;
    // Triangle lists of D3DFVF_XYZ | D3DFVF_NORMAL | D3DFVF_TEX2 vertices.
    virtual HRESULT DrawPrimitive(D3DPRIMITIVETYPE type, DWORD vertexFormat, void* vertices, DWORD count,
                                  DWORD flags) = 0;
    virtual HRESULT ComputeSphereVisibility(D3DVECTOR* centres, float* radii, DWORD count, DWORD flags,
                                            DWORD* results) = 0;
    virtual ULONG Release() = 0;

protected:
    ~IDirect3DDevice7() = default;
};

struct IDirect3D7 {
    virtual HRESULT CreateDevice(REFCLSID deviceKind, IDirectDrawSurface7* surface, IDirect3DDevice7** device) = 0;
    // Offers the device kind's z-buffer formats until the callback answers D3DENUMRET_CANCEL.
    virtual HRESULT EnumZBufferFormats(REFCLSID deviceKind, LPD3DENUMPIXELFORMATSCALLBACK callback, void* context) = 0;
    virtual ULONG Release() = 0;

protected:
    ~IDirect3D7() = default;
};

// Whether the device draws its commonest stages (a lightmap times a texture
// times the lit colour) from texture arrays, where GL has them, instead of
// the fixed-function units: on unless switched off. Only the tests and the
// benchmarks switch it, to compare the two; the engine never does.
void SetTextureLayers(bool on);
