// Encodes small pictures for tests and benchmarks. Pixels are given top row first, as files
// store them.
#pragma once

#include <string>
#include <vector>

// `format` is a libpng simplified-API format (PNG_FORMAT_GRAY, _RGB, _RGBA, _GA, ...); with
// `sixteenBit` the channels are written as 16-bit values. Empty on failure.
std::string encodePng(int width, int height, unsigned format, const std::vector<unsigned char>& pixels,
                      bool sixteenBit = false);
// A palette PNG (colour type 3) whose pixels are indices into `palette` (RGB triples).
std::string encodePalettePng(int width, int height, const std::vector<unsigned char>& palette,
                             const std::vector<unsigned char>& indices);
// `components` 1 (greyscale) or 3 (RGB).
std::string encodeJpeg(int width, int height, int components, const std::vector<unsigned char>& pixels,
                       int quality = 95);
