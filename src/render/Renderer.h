// The renderer interface every drawing request goes through, and the records
// the level and the model hand to it.
#pragma once

#include <cstdint>
#include <variant>

#include "math/Matrix.h"
#include "platform/core/Types.h"

// The display's surface type; the renderer that draws on surfaces defines it.
struct IDirectDrawSurface7;

struct Vertex {
    float position[3];
    float lightmapCoord[2];
    float textureCoord[2];  // meaningful only on a textured polygon
};

// One texture image as a renderer knows it. Each renderer touches only its
// own handle; releasing a handle leaves the field as it was.
struct Texture {
    std::uint8_t inUse = 0;       // lightmap table only: entry taken
    std::uint32_t glTexture = 0;  // OpenGL texture name, 0 = none
    char name[32] = {};           // lightmap table only: name without ".bmp"
    IDirectDrawSurface7* surface = nullptr;
};

// One triangle with its surface data, handed to DrawPolygon by value.
struct Polygon {
    std::uint8_t textured = 0;
    char textureName[32] = {};
    char lightmapName[32] = {};
    std::int32_t lightmapIndex = 0;  // into the lightmap table, 0..31
    Texture* texture = nullptr;
    float normal[3];
    Vertex vertices[3];
};

constexpr int kLightmapCount = 32;

// The renderer's shared lightmaps; entries in use form an unbroken run from 0.
struct LightmapTable {
    Texture entries[kLightmapCount];
};

// An in-memory 24-bit picture: rows top first, pixels blue, green, red.
struct Image {
    int width = 0;
    int height = 0;
    std::uint8_t* pixels = nullptr;  // null = no picture
};

// Where LoadImageFile puts a picture: a surface, or an in-memory image.
using ImageTarget = std::variant<IDirectDrawSurface7*, Image*>;

// A sphere as the visibility test takes it: words 3 to 6 are never read.
struct Sphere {
    float centre[3];
    std::uint32_t unused[4];
    float radius;
};

// Which of the device's transforms SetMatrix sets.
enum class MatrixKind : std::uint8_t { Projection = 0, View = 1, World = 2 };

class Renderer {
public:
    LightmapTable* lightmapTable = nullptr;

    virtual HRESULT BlitSurface(IDirectDrawSurface7* source, RECT* sourceRect, IDirectDrawSurface7* destination,
                                RECT* destinationRect) = 0;
    virtual std::uint32_t TestSphere(Sphere sphere) = 0;
    virtual bool CreateOffscreenSurface(IDirectDrawSurface7** surface, int width, int height) = 0;
    virtual bool CreateTexture(Texture* texture, int width, int height, std::uint32_t extraCaps) = 0;
    virtual HRESULT DrawString(IDirectDrawSurface7* surface, const char* text, int x, int y, COLORREF colour) = 0;
    virtual HRESULT FillRectangle(IDirectDrawSurface7* surface, RECT* rect, std::uint32_t value) = 0;
    virtual void GetCurrentMatrix(Matrix* matrix) = 0;
    virtual bool Initialize() = 0;
    virtual bool IsHardware() = 0;
    virtual HRESULT LoadImageFile(ImageTarget target, const char* fileName, int width, int height) = 0;
    virtual HRESULT LoadTexture(Texture* texture, const char* fileName, int width, int height) = 0;
    virtual void PopMatrix() = 0;
    virtual void PushMatrix() = 0;
    virtual void ReleaseSurface(IDirectDrawSurface7* surface) = 0;
    virtual void ReleaseTexture(Texture* texture) = 0;
    virtual bool RenderFrame() = 0;
    virtual HRESULT DrawPolygon(Polygon polygon) = 0;
    virtual void SetMatrix(MatrixKind kind, Matrix matrix) = 0;
    virtual bool Setup() = 0;
    virtual bool Shutdown() = 0;

    // Reads a BMP's width and height from its headers. False only when the
    // file cannot be opened; the outputs are then left as they were. A file
    // too short to hold both headers reads as 0 by 0.
    bool ReadImageSize(const char* fileName, int* width, int* height);

    // Reverses the order of the rows of an image in place.
    void FlipRows(std::uint8_t* pixels, int rowLength, int rowCount);

protected:
    ~Renderer() = default;
};
