#include "support/pictures.h"

#include <png.h>

#include <cstdint>

#include "base/png_file.h"
#include "formats/jpeg_writer.h"

namespace {

std::string encoded(const PngPicture& picture) {
    std::vector<unsigned char> bytes;
    std::string error;
    if (!encodePng(picture, bytes, error)) return {};
    return std::string(bytes.begin(), bytes.end());
}

}  // namespace

std::string encodePng(int width, int height, unsigned format, const std::vector<unsigned char>& pixels,
                      bool sixteenBit) {
    PngPicture picture;
    picture.width = width;
    picture.height = height;
    switch (format) {
        case PNG_FORMAT_GRAY: picture.format = PngFormat::Grey; break;
        case PNG_FORMAT_GA: picture.format = PngFormat::GreyAlpha; break;
        case PNG_FORMAT_RGB: picture.format = PngFormat::Rgb; break;
        case PNG_FORMAT_RGBA: picture.format = PngFormat::Rgba; break;
        default: return {};
    }
    picture.pixels = pixels.data();
    if (!sixteenBit) return encoded(picture);
    std::vector<uint16_t> wide(pixels.size());
    for (size_t i = 0; i < pixels.size(); ++i) wide[i] = static_cast<uint16_t>(pixels[i] * 257);
    picture.pixels = wide.data();
    picture.sixteenBit = true;
    return encoded(picture);
}

std::string encodePalettePng(int width, int height, const std::vector<unsigned char>& palette,
                             const std::vector<unsigned char>& indices) {
    PngPicture picture;
    picture.width = width;
    picture.height = height;
    picture.format = PngFormat::Palette;
    picture.pixels = indices.data();
    picture.palette = palette.data();
    picture.paletteEntries = static_cast<int>(palette.size() / 3);
    return encoded(picture);
}

std::string encodeJpeg(int width, int height, int components, const std::vector<unsigned char>& pixels,
                       int quality) {
    JpegPicture picture;
    picture.width = width;
    picture.height = height;
    picture.components = components;
    picture.pixels = pixels.data();
    picture.quality = quality;
    std::vector<unsigned char> bytes;
    std::string error;
    if (!::encodeJpeg(picture, bytes, error)) return {};
    return std::string(bytes.begin(), bytes.end());
}
