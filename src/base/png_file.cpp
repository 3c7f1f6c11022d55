#include "base/png_file.h"

#include <png.h>

#include <cstring>

#include "platform/platform.h"

namespace {

int colourType(PngFormat format) {
    switch (format) {
        case PngFormat::Grey: return PNG_COLOR_TYPE_GRAY;
        case PngFormat::GreyAlpha: return PNG_COLOR_TYPE_GRAY_ALPHA;
        case PngFormat::Rgb: return PNG_COLOR_TYPE_RGB;
        case PngFormat::Rgba: return PNG_COLOR_TYPE_RGBA;
        case PngFormat::Palette: return PNG_COLOR_TYPE_PALETTE;
    }
    return PNG_COLOR_TYPE_RGBA;
}

size_t channelsOf(PngFormat format) {
    switch (format) {
        case PngFormat::GreyAlpha: return 2;
        case PngFormat::Rgb: return 3;
        case PngFormat::Rgba: return 4;
        default: return 1;
    }
}

void appendBytes(png_structp png, png_bytep data, png_size_t length) {
    auto* out = static_cast<std::vector<unsigned char>*>(png_get_io_ptr(png));
    out->insert(out->end(), data, data + length);
}

void noFlush(png_structp) {}

}  // namespace

bool encodePng(const PngPicture& picture, std::vector<unsigned char>& out, std::string& error) {
    out.clear();
    const bool palette = picture.format == PngFormat::Palette;
    if (picture.width <= 0 || picture.height <= 0 || !picture.pixels ||
        (palette && (!picture.palette || picture.paletteEntries <= 0 || picture.paletteEntries > 256))) {
        error = "no picture to encode";
        return false;
    }
    const bool wide = picture.sixteenBit && !palette;
    const size_t rowBytes = static_cast<size_t>(picture.width) * channelsOf(picture.format) * (wide ? 2 : 1);
    std::vector<png_bytep> rows(static_cast<size_t>(picture.height));
    for (int y = 0; y < picture.height; ++y) {
        const int source = picture.bottomRowFirst ? picture.height - 1 - y : y;
        rows[static_cast<size_t>(y)] =
            const_cast<png_bytep>(static_cast<const unsigned char*>(picture.pixels) + static_cast<size_t>(source) * rowBytes);
    }

    png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
    png_infop info = png ? png_create_info_struct(png) : nullptr;
    if (!png || !info) {
        png_destroy_write_struct(&png, &info);
        error = "libpng couldn't start encoding (out of memory?)";
        return false;
    }
    if (setjmp(png_jmpbuf(png))) {
        png_destroy_write_struct(&png, &info);
        out.clear();
        error = "libpng failed while encoding the picture";
        return false;
    }
    png_set_write_fn(png, &out, appendBytes, noFlush);
    if (picture.compressionLevel >= 0) png_set_compression_level(png, picture.compressionLevel);
    png_set_IHDR(png, info, static_cast<png_uint_32>(picture.width), static_cast<png_uint_32>(picture.height),
                 wide ? 16 : 8, colourType(picture.format), PNG_INTERLACE_NONE, PNG_COMPRESSION_TYPE_DEFAULT,
                 PNG_FILTER_TYPE_DEFAULT);
    if (palette) {
        std::vector<png_color> entries(static_cast<size_t>(picture.paletteEntries));
        for (size_t i = 0; i < entries.size(); ++i)
            entries[i] = {picture.palette[3 * i], picture.palette[3 * i + 1], picture.palette[3 * i + 2]};
        png_set_PLTE(png, info, entries.data(), picture.paletteEntries);
    }
    if (wide) png_set_gAMA_fixed(png, info, PNG_GAMMA_LINEAR);
    else if (picture.srgb) png_set_sRGB(png, info, PNG_sRGB_INTENT_PERCEPTUAL);
    png_write_info(png, info);
    if (wide) {
        const uint16_t probe = 1;
        unsigned char first;
        std::memcpy(&first, &probe, 1);
        if (first == 1) png_set_swap(png);  // the file holds 16-bit samples big-endian
    }
    png_write_image(png, rows.data());
    png_write_end(png, nullptr);
    png_destroy_write_struct(&png, &info);
    return true;
}

bool writePng(const std::string& path, const PngPicture& picture, std::string& error) {
    std::vector<unsigned char> bytes;
    if (!encodePng(picture, bytes, error)) {
        error = "can't write '" + path + "': " + error;
        return false;
    }
    std::string cause;
    if (!platform::replaceFile(path, bytes, cause)) {
        error = "can't write '" + path + "': " + cause;
        return false;
    }
    return true;
}

PngPicture framePicture(int width, int height, const unsigned char* pixels) {
    PngPicture picture;
    picture.width = width;
    picture.height = height;
    picture.format = PngFormat::Rgba;
    picture.pixels = pixels;
    picture.bottomRowFirst = true;
    picture.srgb = false;
    picture.compressionLevel = 1;
    return picture;
}
