// The one PNG writer: frame capture, the content generator, tests; to memory or to a file.
#pragma once

#include <string>
#include <vector>

enum class PngFormat { Grey, GreyAlpha, Rgb, Rgba, Palette };

struct PngPicture {
    int width = 0;
    int height = 0;
    PngFormat format = PngFormat::Rgba;
    // Tightly packed channels of 8 bits (16 with `sixteenBit`, as native uint16 values), or
    // one palette index a pixel. Top row first unless `bottomRowFirst` (as glReadPixels gives).
    const void* pixels = nullptr;
    bool bottomRowFirst = false;
    bool sixteenBit = false;  // written as 16-bit channels marked linear (a gAMA chunk of 1.0)
    // Palette format: `paletteEntries` RGB triples.
    const unsigned char* palette = nullptr;
    int paletteEntries = 0;
    // 8-bit pictures: mark the file as sRGB (an sRGB chunk); off writes no colour-space chunk.
    bool srgb = true;
    // zlib's level, 0 (stored) to 9 (smallest); -1 is zlib's default. The pixels are the same
    // at every level; only the file's size and the time to write it change.
    int compressionLevel = -1;
};

// The encoded file; false, with `error` set, when the picture is empty or libpng refuses it.
bool encodePng(const PngPicture& picture, std::vector<unsigned char>& out, std::string& error);
// Encodes and writes the file, replacing it through platform::replaceFile (a link in its place
// is replaced, never written through; no half-written file is left); false, with `error` naming
// the file and the system's cause.
bool writePng(const std::string& path, const PngPicture& picture, std::string& error);
// The capture's picture of a frame read back: RGBA, bottom row first, no colour-space chunk,
// zlib's fastest level (a rendered frame with film grain hardly compresses better at the slow
// ones).
PngPicture framePicture(int width, int height, const unsigned char* pixels);
