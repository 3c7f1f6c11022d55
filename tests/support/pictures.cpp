#include "support/pictures.h"

#include <png.h>
#include <jpeglib.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace {
std::string writePng(png_image& image, const void* buffer, const void* colormap) {
    png_alloc_size_t size = 0;
    if (!png_image_write_to_memory(&image, nullptr, &size, 0, buffer, 0, colormap)) return {};
    std::string out(size, '\0');
    if (!png_image_write_to_memory(&image, out.data(), &size, 0, buffer, 0, colormap)) return {};
    out.resize(size);
    return out;
}
}  // namespace

std::string encodePng(int width, int height, unsigned format, const std::vector<unsigned char>& pixels,
                      bool sixteenBit) {
    png_image image;
    std::memset(&image, 0, sizeof image);
    image.version = PNG_IMAGE_VERSION;
    image.width = static_cast<png_uint_32>(width);
    image.height = static_cast<png_uint_32>(height);
    image.format = format;
    if (!sixteenBit) return writePng(image, pixels.data(), nullptr);
    // Linear 16-bit input is written as a 16-bit file.
    image.format = format | PNG_FORMAT_FLAG_LINEAR;
    std::vector<png_uint_16> wide(pixels.size());
    for (size_t i = 0; i < pixels.size(); ++i) wide[i] = static_cast<png_uint_16>(pixels[i] * 257);
    return writePng(image, wide.data(), nullptr);
}

std::string encodePalettePng(int width, int height, const std::vector<unsigned char>& palette,
                             const std::vector<unsigned char>& indices) {
    png_image image;
    std::memset(&image, 0, sizeof image);
    image.version = PNG_IMAGE_VERSION;
    image.width = static_cast<png_uint_32>(width);
    image.height = static_cast<png_uint_32>(height);
    image.format = PNG_FORMAT_RGB_COLORMAP;
    image.colormap_entries = static_cast<png_uint_32>(palette.size() / 3);
    return writePng(image, indices.data(), palette.data());
}

std::string encodeJpeg(int width, int height, int components, const std::vector<unsigned char>& pixels,
                       int quality) {
    jpeg_compress_struct info;
    jpeg_error_mgr error;
    info.err = jpeg_std_error(&error);
    jpeg_create_compress(&info);
    unsigned char* buffer = nullptr;
    unsigned long size = 0;
    jpeg_mem_dest(&info, &buffer, &size);
    info.image_width = static_cast<JDIMENSION>(width);
    info.image_height = static_cast<JDIMENSION>(height);
    info.input_components = components;
    info.in_color_space = components == 1 ? JCS_GRAYSCALE : JCS_RGB;
    jpeg_set_defaults(&info);
    jpeg_set_quality(&info, quality, TRUE);
    jpeg_start_compress(&info, TRUE);
    const size_t stride = static_cast<size_t>(width) * components;
    while (info.next_scanline < info.image_height) {
        JSAMPROW row = const_cast<unsigned char*>(pixels.data()) + info.next_scanline * stride;
        jpeg_write_scanlines(&info, &row, 1);
    }
    jpeg_finish_compress(&info);
    jpeg_destroy_compress(&info);
    std::string out(reinterpret_cast<char*>(buffer), size);
    std::free(buffer);
    return out;
}
