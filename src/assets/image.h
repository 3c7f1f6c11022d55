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

// PNG: the bytes as they are in the file, bits per pixel from the colour type: grey gives 8,
// RGB 24, RGB + alpha 32. No gamma or colour-space conversion, and transparency chunks are not
// turned into alpha. Palette pictures become RGB, grey + alpha becomes RGBA (grey repeated),
// 16-bit channels keep their high byte, 1, 2 and 4-bit ones are widened to 8.
// False (and no pixels) when the file cannot be read or decoded.
bool decodePng(const std::string& path, DecodedImage& out);
// JPEG: always 24 bits; greyscale and CMYK pictures are converted to RGB.
bool decodeJpeg(const std::string& path, DecodedImage& out);
// Pictures are at most kMaxPictureSide pixels on a side and kMaxPicturePixels in all (more than
// any GL texture here can hold); larger ones are refused with an error line before any pixels
// are allocated.
constexpr int kMaxPictureSide = 16384;
constexpr long long kMaxPicturePixels = 64ll * 1024 * 1024;
// Both decoders log a warning naming the file and the decoder's message when a damaged
// picture still decodes (a truncated JPEG, a PNG with a bad ancillary chunk); it is kept.
// True when the loader decodes `path` as PNG: its third-last character is a lowercase p.
bool isPngPath(const char* path);
// decodePng when isPngPath, else decodeJpeg: the loader's rule for picture files.
bool decodePicture(const std::string& path, DecodedImage& out);
// Frees the pixels of a decoded image and clears it; safe on an empty one.
void releasePixels(DecodedImage& image);
