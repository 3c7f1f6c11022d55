#include "app/window.h"

#include "app/gl.h"

// Placeholder glyphs: each list only advances the raster position by one cell, so text drawn
// with the lists is laid out but blank until the built-in font lands.
void buildBitmapFont(unsigned listBase) {
    for (unsigned c = 0; c < 255; ++c) {
        glNewList(listBase + c, GL_COMPILE);
        glBitmap(0, 0, 0.0f, 0.0f, 8.0f, 0.0f, nullptr);
        glEndList();
    }
}
