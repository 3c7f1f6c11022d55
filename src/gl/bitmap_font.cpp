#include "gl/gl.h"
#include "gl/window.h"

namespace {
constexpr int kCellWidth = 8;
constexpr int kCellHeight = 13;
// Printable ASCII 32..126, rows top first, bit 7 the leftmost pixel.
const unsigned char kGlyphs[][kCellHeight] = {
#include "bitmap_font_glyphs.inc"
};
constexpr int kFirst = 32;
constexpr int kLast = kFirst + static_cast<int>(sizeof kGlyphs / sizeof kGlyphs[0]) - 1;
}  // namespace

// One display list per character code; codes without a glyph draw a blank cell. Each list
// draws at the raster position and advances it by one cell.
void buildBitmapFont(unsigned listBase) {
    static const unsigned char blank[kCellHeight] = {};
    GLint alignment = 4;
    glGetIntegerv(GL_UNPACK_ALIGNMENT, &alignment);
    glPixelStorei(GL_UNPACK_ALIGNMENT, 1);
    for (int c = 0; c < 255; ++c) {
        // glBitmap reads rows bottom first.
        unsigned char rows[kCellHeight];
        const unsigned char* glyph = (c >= kFirst && c <= kLast) ? kGlyphs[c - kFirst] : blank;
        for (int y = 0; y < kCellHeight; ++y) rows[y] = glyph[kCellHeight - 1 - y];
        glNewList(listBase + static_cast<unsigned>(c), GL_COMPILE);
        glBitmap(kCellWidth, kCellHeight, 0.0f, 3.0f, static_cast<float>(kCellWidth), 0.0f, rows);
        glEndList();
    }
    glPixelStorei(GL_UNPACK_ALIGNMENT, alignment);
}
