// Small real BMP images for the tests that bind textures and lightmaps.
#pragma once

#include <string>

// The bytes of a bottom-up 24-bit BMP of width by height grey pixels.
std::string Bmp24(int width, int height);
