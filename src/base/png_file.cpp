#include "base/png_file.h"

#include <png.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <vector>

bool writePng(const std::string& path, int width, int height, const unsigned char* pixels, std::string& error) {
    if (width <= 0 || height <= 0 || !pixels) {
        error = "no picture to write to '" + path + "'";
        return false;
    }
    FILE* file = std::fopen(path.c_str(), "wb");
    if (!file) {
        error = "can't write '" + path + "': " + std::strerror(errno);
        return false;
    }
    png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
    png_infop info = png ? png_create_info_struct(png) : nullptr;
    if (!png || !info) {
        png_destroy_write_struct(&png, &info);
        std::fclose(file);
        error = "libpng couldn't start writing '" + path + "'";
        return false;
    }
    std::vector<png_bytep> rows(static_cast<size_t>(height));
    for (int y = 0; y < height; ++y)  // the file starts with the top row
        rows[static_cast<size_t>(y)] =
            const_cast<png_bytep>(pixels + static_cast<size_t>(height - 1 - y) * static_cast<size_t>(width) * 4);
    if (setjmp(png_jmpbuf(png))) {
        png_destroy_write_struct(&png, &info);
        std::fclose(file);
        error = "libpng failed while writing '" + path + "' (disk full?)";
        return false;
    }
    png_init_io(png, file);
    png_set_IHDR(png, info, static_cast<png_uint_32>(width), static_cast<png_uint_32>(height), 8, PNG_COLOR_TYPE_RGBA,
                 PNG_INTERLACE_NONE, PNG_COMPRESSION_TYPE_DEFAULT, PNG_FILTER_TYPE_DEFAULT);
    png_write_info(png, info);
    png_write_image(png, rows.data());
    png_write_end(png, nullptr);
    png_destroy_write_struct(&png, &info);
    if (std::fclose(file) != 0) {
        error = "can't finish '" + path + "': " + std::strerror(errno);
        return false;
    }
    return true;
}
