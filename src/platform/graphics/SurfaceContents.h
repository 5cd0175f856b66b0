// What tests and benchmarks read of the display's surfaces beyond their
// interfaces: the pixels a texture or plain surface holds, the GL texture
// they are drawn from, a z-buffer's format.
#pragma once

#include <cstdint>
#include <vector>

#include "platform/display/Gl.h"
#include "platform/graphics/DirectDraw.h"

// The surfaces' 16-bit pixel value for 8-bit channels.
inline std::uint16_t Rgb565(unsigned red, unsigned green, unsigned blue) {
    return static_cast<std::uint16_t>((red >> 3) << 11 | (green >> 2) << 5 | blue >> 3);
}

// A texture or plain surface's RGB565 pixels, rows top first; surfaces that
// share one picture give the same vector. Null for the other surfaces.
const std::vector<std::uint16_t>* SurfacePixels(IDirectDrawSurface7* surface);

// The GL texture holding a texture or plain surface's pixels in the display's
// current context, made or refreshed as needed and left bound to the active
// unit; 0 for the other surfaces.
GLuint SurfaceTexture(IDirectDrawSurface7* surface);

// The pixel format a z-buffer surface was made with.
DDPIXELFORMAT SurfaceZFormat(IDirectDrawSurface7* surface);
