// The font text is drawn in: DejaVu Sans, found with fontconfig and rendered
// with FreeType at 14 pixels, about 16 pixels a line, antialiased.
#pragma once

#include <cstdint>
#include <vector>

// One line of text as coverage values 0 (none) to 255 (full), rows top first.
struct TextMask {
    int width = 0;
    int height = 0;
    std::vector<std::uint8_t> coverage;
};

// Lays out the text's bytes (read as Latin-1) on one line with no kerning,
// the cell's top-left corner at the mask's origin. The mask's storage is
// reused. False when no font could be loaded.
bool RenderText(const char* text, int length, TextMask& mask);
