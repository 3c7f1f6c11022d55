// Picture decoding into tightly packed 8-bit pixels, bottom row first.
#pragma once

#include <cstdint>
#include <string>

struct DecodedImage {
    int width = 0;
    int height = 0;
    int bitsPerPixel = 0;             // 8 (grey), 24 (RGB) or 32 (RGBA)
    unsigned char* pixels = nullptr;  // bottom row first, each pixel's bytes in file order
};

// PNG: grey gives 8 bits, RGB 24, RGB + alpha 32. Palette pictures become RGB (or RGBA when
// they carry transparency), grey + alpha becomes RGBA, 16-bit channels are reduced to 8 bits.
// False (and no pixels) when the file cannot be read or decoded.
bool decodePng(const std::string& path, DecodedImage& out);
// JPEG: always 24 bits; greyscale and CMYK pictures are converted to RGB.
bool decodeJpeg(const std::string& path, DecodedImage& out);
// Frees the pixels of a decoded image and clears it; safe on an empty one.
void releasePixels(DecodedImage& image);
