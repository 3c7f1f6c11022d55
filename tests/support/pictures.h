// Encodes small pictures for tests and benchmarks with the program's PNG writer and the
// authoring JPEG writer. Pixels are given top row first, as files store them.
#pragma once

#include <string>
#include <vector>

// `format` is one of libpng's simplified-API formats PNG_FORMAT_GRAY, _GA, _RGB or _RGBA; with
// `sixteenBit` the channels are written as 16-bit values (marked linear). Empty on failure.
std::string encodePng(int width, int height, unsigned format, const std::vector<unsigned char>& pixels,
                      bool sixteenBit = false);
// A palette PNG (colour type 3) whose pixels are indices into `palette` (RGB triples).
std::string encodePalettePng(int width, int height, const std::vector<unsigned char>& palette,
                             const std::vector<unsigned char>& indices);
// `components` 1 (greyscale) or 3 (RGB). Empty on failure.
std::string encodeJpeg(int width, int height, int components, const std::vector<unsigned char>& pixels,
                       int quality = 95);
