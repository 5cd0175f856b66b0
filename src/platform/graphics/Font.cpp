#include "platform/graphics/Font.h"

#include <fontconfig/fontconfig.h>
#include <ft2build.h>
#include FT_FREETYPE_H

#include <algorithm>
#include <array>
#include <string>

namespace {

constexpr int kPixelSize = 14;

struct Glyph {
    bool loaded = false;
    int left = 0;  // from the pen position to the bitmap's left edge
    int top = 0;   // from the baseline up to the bitmap's top row
    int width = 0;
    int height = 0;
    int advance = 0;
    std::vector<std::uint8_t> coverage;
};

struct Font {
    bool tried = false;
    FT_Library library = nullptr;
    FT_Face face = nullptr;
    int ascent = 0;
    int lineHeight = 0;
    std::array<Glyph, 256> glyphs;  // rendered on first use, kept for the run
};

Font& TheFont() {
    static Font font;
    return font;
}

std::string FindFontFile() {
    std::string file;
    FcConfig* config = FcInitLoadConfigAndFonts();
    if (!config) return file;
    FcPattern* pattern = FcNameParse(reinterpret_cast<const FcChar8*>("DejaVu Sans"));
    if (pattern) {
        FcConfigSubstitute(config, pattern, FcMatchPattern);
        FcDefaultSubstitute(pattern);
        FcResult result;
        if (FcPattern* match = FcFontMatch(config, pattern, &result)) {
            FcChar8* path = nullptr;
            if (FcPatternGetString(match, FC_FILE, 0, &path) == FcResultMatch) file = reinterpret_cast<char*>(path);
            FcPatternDestroy(match);
        }
        FcPatternDestroy(pattern);
    }
    FcConfigDestroy(config);
    return file;
}

bool Load(Font& font) {
    if (font.tried) return font.face != nullptr;
    font.tried = true;
    std::string file = FindFontFile();
    if (file.empty() || FT_Init_FreeType(&font.library) != 0) return false;
    if (FT_New_Face(font.library, file.c_str(), 0, &font.face) != 0) {
        font.face = nullptr;
        return false;
    }
    if (FT_Set_Pixel_Sizes(font.face, 0, kPixelSize) != 0) {
        FT_Done_Face(font.face);
        font.face = nullptr;
        return false;
    }
    const FT_Size_Metrics& metrics = font.face->size->metrics;
    font.ascent = static_cast<int>((metrics.ascender + 63) >> 6);
    font.lineHeight = font.ascent + static_cast<int>((-metrics.descender + 63) >> 6);
    return true;
}

const Glyph& GlyphOf(Font& font, unsigned char character) {
    Glyph& glyph = font.glyphs[character];
    if (glyph.loaded) return glyph;
    glyph.loaded = true;
    // A character the font cannot render takes no room.
    if (FT_Load_Char(font.face, character, FT_LOAD_RENDER) != 0) return glyph;
    const FT_GlyphSlot slot = font.face->glyph;
    glyph.advance = static_cast<int>((slot->advance.x + 32) >> 6);
    if (slot->bitmap.pixel_mode != FT_PIXEL_MODE_GRAY) return glyph;
    glyph.left = slot->bitmap_left;
    glyph.top = slot->bitmap_top;
    glyph.width = static_cast<int>(slot->bitmap.width);
    glyph.height = static_cast<int>(slot->bitmap.rows);
    glyph.coverage.resize(static_cast<std::size_t>(glyph.width) * glyph.height);
    for (int row = 0; row < glyph.height; ++row)
        std::copy_n(slot->bitmap.buffer + static_cast<std::ptrdiff_t>(row) * slot->bitmap.pitch, glyph.width,
                    &glyph.coverage[static_cast<std::size_t>(row) * glyph.width]);
    return glyph;
}

}  // namespace

bool RenderText(const char* text, int length, TextMask& mask) {
    Font& font = TheFont();
    if (!Load(font)) return false;
    auto byteAt = [&](int i) { return static_cast<unsigned char>(text[i]); };

    int pen = 0;
    int width = 0;
    for (int i = 0; i < length; ++i) {
        const Glyph& glyph = GlyphOf(font, byteAt(i));
        width = std::max(width, pen + glyph.left + glyph.width);
        pen += glyph.advance;
    }
    mask.width = std::max(width, pen);
    mask.height = font.lineHeight;
    mask.coverage.assign(static_cast<std::size_t>(mask.width) * mask.height, 0);

    pen = 0;
    for (int i = 0; i < length; ++i) {
        const Glyph& glyph = GlyphOf(font, byteAt(i));
        for (int row = 0; row < glyph.height; ++row) {
            int y = font.ascent - glyph.top + row;
            if (y < 0 || y >= mask.height) continue;
            for (int column = 0; column < glyph.width; ++column) {
                int x = pen + glyph.left + column;
                if (x < 0 || x >= mask.width) continue;
                std::uint8_t& cell = mask.coverage[static_cast<std::size_t>(y) * mask.width + x];
                cell = std::max(cell, glyph.coverage[static_cast<std::size_t>(row) * glyph.width + column]);
            }
        }
        pen += glyph.advance;
    }
    return true;
}
