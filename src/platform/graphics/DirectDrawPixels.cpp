// The pixels of the display's surfaces: colour fills and copies (Blt), and
// the writing, reading and text blending that bitmaps and text use. Memory
// surfaces hold RGB565 pictures; the back buffer is the display's GL picture.
#include <algorithm>
#include <string>

#include "platform/core/Seam.h"
#include "platform/graphics/Font.h"
#include "platform/graphics/internal/DisplayObjects.h"

namespace {

constexpr HRESULT DDERR_INVALIDRECT = MakeDisplayResult(150);

// Scratch rows for pixel transfers with the display; they only ever grow.
std::vector<std::uint16_t> scratchRows;
std::vector<std::uint8_t> scratchRgba;

// GL state in which nothing of the device's state applies to pixels written
// onto the display; the device's state is back as it was afterwards.
class PlainPixels {
public:
    explicit PlainPixels(const GlEntryPoints& gl) {
        glPushAttrib(GL_ALL_ATTRIB_BITS);
        glPushClientAttrib(GL_CLIENT_ALL_ATTRIB_BITS);
        GLint units = 1;
        glGetIntegerv(GL_MAX_TEXTURE_UNITS, &units);
        for (GLint unit = units - 1; unit >= 0; --unit) {
            gl.ActiveTexture(GL_TEXTURE0 + unit);
            glDisable(GL_TEXTURE_2D);
        }
        for (GLenum capability :
             {GL_DEPTH_TEST, GL_ALPHA_TEST, GL_BLEND, GL_SCISSOR_TEST, GL_STENCIL_TEST, GL_FOG, GL_LIGHTING, GL_DITHER})
            glDisable(capability);
        glPixelStorei(GL_UNPACK_ALIGNMENT, 1);
        glPixelStorei(GL_PACK_ALIGNMENT, 1);
        glPixelStorei(GL_UNPACK_ROW_LENGTH, 0);
        glPixelStorei(GL_PACK_ROW_LENGTH, 0);
    }
    ~PlainPixels() {
        glPopClientAttrib();
        glPopAttrib();
    }
    PlainPixels(const PlainPixels&) = delete;
    PlainPixels& operator=(const PlainPixels&) = delete;
};

// The part of `rect` inside a width x height surface; empty when none.
RECT Clip(RECT rect, int width, int height) {
    rect.left = std::max<LONG>(rect.left, 0);
    rect.top = std::max<LONG>(rect.top, 0);
    rect.right = std::min<LONG>(rect.right, width);
    rect.bottom = std::min<LONG>(rect.bottom, height);
    if (rect.right < rect.left) rect.right = rect.left;
    if (rect.bottom < rect.top) rect.bottom = rect.top;
    return rect;
}

bool Empty(const RECT& rect) { return rect.right <= rect.left || rect.bottom <= rect.top; }

bool Inside(const RECT& rect, int width, int height) {
    return rect.left >= 0 && rect.top >= 0 && rect.right <= width && rect.bottom <= height && !Empty(rect);
}

std::uint16_t Blend(std::uint16_t under, std::uint16_t over, unsigned alpha) {
    auto channel = [&](int shift, unsigned mask) {
        unsigned a = under >> shift & mask;
        unsigned b = over >> shift & mask;
        return ((b * alpha + a * (255 - alpha) + 127) / 255) << shift;
    };
    return static_cast<std::uint16_t>(channel(11, 31) | channel(5, 63) | channel(0, 31));
}

std::uint16_t Rgb565Of(COLORREF colour) { return Rgb565(colour & 0xFF, colour >> 8 & 0xFF, colour >> 16 & 0xFF); }

}  // namespace

HRESULT SurfaceObject::Blt(RECT* rect, IDirectDrawSurface7* sourceSurface, RECT* sourceRect, DWORD flags, DDBLTFX* fx) {
    if (auto failure = SeamCall("Blt", (flags & DDBLT_COLORFILL) ? "fill" : "copy"))
        return static_cast<HRESULT>(*failure);
    if (!HasPixels()) return DDERR_UNSUPPORTED;
    RECT target = rect ? *rect : RECT{0, 0, width, height};
    if (!Inside(target, width, height)) return DDERR_INVALIDRECT;
    if (flags & DDBLT_COLORFILL) {
        if (!fx) return DDERR_INVALIDPARAMS;
        Fill(target, static_cast<std::uint16_t>(fx->dwFillColor));
        return DD_OK;
    }
    auto* source = static_cast<SurfaceObject*>(sourceSurface);
    if (!source || !source->HasPixels()) return DDERR_INVALIDPARAMS;
    RECT from = sourceRect ? *sourceRect : RECT{0, 0, source->width, source->height};
    if (!Inside(from, source->width, source->height)) return DDERR_INVALIDRECT;
    const int fromWidth = from.right - from.left, fromHeight = from.bottom - from.top;
    const int toWidth = target.right - target.left, toHeight = target.bottom - target.top;
    std::vector<std::uint16_t> read(static_cast<std::size_t>(fromWidth) * fromHeight);
    source->Read(from, read.data());
    // A rectangle of another size is scaled, nearest pixel.
    std::vector<std::uint16_t> scaled(static_cast<std::size_t>(toWidth) * toHeight);
    for (int y = 0; y < toHeight; ++y)
        for (int x = 0; x < toWidth; ++x)
            scaled[static_cast<std::size_t>(y) * toWidth + x] =
                read[static_cast<std::size_t>(y * fromHeight / toHeight) * fromWidth + x * fromWidth / toWidth];
    Write(target.left, target.top, toWidth, toHeight, scaled.data(), toWidth);
    return DD_OK;
}

Picture& SurfaceObject::OwnPicture() {
    if (picture.use_count() > 1) picture = std::make_shared<Picture>(*picture);
    picture->Changed();
    return *picture;
}

void SurfaceObject::Share(std::shared_ptr<Picture> shared) {
    owner->FlushDrawing();
    picture = std::move(shared);
}

void SurfaceObject::Fill(RECT rect, std::uint16_t value) {
    rect = Clip(rect, width, height);
    if (Empty(rect)) return;
    owner->FlushDrawing();
    if (kind == SurfaceKind::BackBuffer) {
        PlainPixels plain(owner->gl);
        glEnable(GL_SCISSOR_TEST);
        glScissor(rect.left, height - rect.bottom, rect.right - rect.left, rect.bottom - rect.top);
        glClearColor((value >> 11) / 31.0f, (value >> 5 & 63) / 63.0f, (value & 31) / 31.0f, 1.0f);
        glClear(GL_COLOR_BUFFER_BIT);
        return;
    }
    Picture& own = OwnPicture();
    for (LONG y = rect.top; y < rect.bottom; ++y)
        std::fill(&own.pixels[static_cast<std::size_t>(y) * width + rect.left],
                  &own.pixels[static_cast<std::size_t>(y) * width + rect.right], value);
}

void SurfaceObject::Write(int x, int y, int rectWidth, int rectHeight, const std::uint16_t* pixels, int pitch) {
    RECT rect = Clip(RECT{x, y, x + rectWidth, y + rectHeight}, width, height);
    if (Empty(rect)) return;
    pixels += static_cast<std::ptrdiff_t>(rect.top - y) * pitch + (rect.left - x);
    const int w = rect.right - rect.left, h = rect.bottom - rect.top;
    owner->FlushDrawing();
    if (kind == SurfaceKind::BackBuffer) {
        // GL takes rows bottom first.
        scratchRows.resize(static_cast<std::size_t>(w) * h);
        for (int row = 0; row < h; ++row)
            std::copy_n(pixels + static_cast<std::ptrdiff_t>(row) * pitch, w,
                        &scratchRows[static_cast<std::size_t>(h - 1 - row) * w]);
        PlainPixels plain(owner->gl);
        owner->gl.WindowPos2i(rect.left, height - rect.bottom);
        glDrawPixels(w, h, GL_RGB, GL_UNSIGNED_SHORT_5_6_5, scratchRows.data());
        return;
    }
    Picture& own = OwnPicture();
    for (int row = 0; row < h; ++row)
        std::copy_n(pixels + static_cast<std::ptrdiff_t>(row) * pitch, w,
                    &own.pixels[static_cast<std::size_t>(rect.top + row) * width + rect.left]);
}

void SurfaceObject::Read(RECT rect, std::uint16_t* pixels) {
    const int w = rect.right - rect.left, h = rect.bottom - rect.top;
    if (kind == SurfaceKind::BackBuffer) {
        owner->FlushDrawing();
        scratchRows.resize(static_cast<std::size_t>(w) * h);
        {
            PlainPixels plain(owner->gl);
            glReadPixels(rect.left, height - rect.bottom, w, h, GL_RGB, GL_UNSIGNED_SHORT_5_6_5, scratchRows.data());
        }
        for (int row = 0; row < h; ++row)
            std::copy_n(&scratchRows[static_cast<std::size_t>(h - 1 - row) * w], w,
                        pixels + static_cast<std::ptrdiff_t>(row) * w);
        return;
    }
    for (int row = 0; row < h; ++row)
        std::copy_n(&picture->pixels[static_cast<std::size_t>(rect.top + row) * width + rect.left], w,
                    pixels + static_cast<std::ptrdiff_t>(row) * w);
}

void SurfaceObject::DrawMask(int x, int y, const TextMask& mask, COLORREF colour) {
    RECT rect = Clip(RECT{x, y, x + mask.width, y + mask.height}, width, height);
    if (Empty(rect)) return;
    const int w = rect.right - rect.left, h = rect.bottom - rect.top;
    auto coverageAt = [&](int column, int row) {
        return mask.coverage[static_cast<std::size_t>(rect.top - y + row) * mask.width + (rect.left - x + column)];
    };
    owner->FlushDrawing();
    if (kind == SurfaceKind::BackBuffer) {
        // The text's colour with its coverage as alpha, blended on, rows bottom first.
        scratchRgba.resize(static_cast<std::size_t>(w) * h * 4);
        for (int row = 0; row < h; ++row)
            for (int column = 0; column < w; ++column) {
                std::uint8_t* texel = &scratchRgba[(static_cast<std::size_t>(h - 1 - row) * w + column) * 4];
                texel[0] = colour & 0xFF;
                texel[1] = colour >> 8 & 0xFF;
                texel[2] = colour >> 16 & 0xFF;
                texel[3] = coverageAt(column, row);
            }
        PlainPixels plain(owner->gl);
        glEnable(GL_BLEND);
        glBlendFunc(GL_SRC_ALPHA, GL_ONE_MINUS_SRC_ALPHA);
        owner->gl.WindowPos2i(rect.left, height - rect.bottom);
        glDrawPixels(w, h, GL_RGBA, GL_UNSIGNED_BYTE, scratchRgba.data());
        return;
    }
    const std::uint16_t ink = Rgb565Of(colour);
    Picture& own = OwnPicture();
    for (int row = 0; row < h; ++row)
        for (int column = 0; column < w; ++column) {
            std::uint16_t& pixel = own.pixels[static_cast<std::size_t>(rect.top + row) * width + rect.left + column];
            pixel = Blend(pixel, ink, coverageAt(column, row));
        }
}
