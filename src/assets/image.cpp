#include "assets/image.h"

#include <png.h>
#include <jpeglib.h>

#include <csetjmp>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "base/log.h"

bool decodePng(const std::string& path, DecodedImage& out) {
    out = DecodedImage();
    png_image image;
    std::memset(&image, 0, sizeof image);
    image.version = PNG_IMAGE_VERSION;
    if (!png_image_begin_read_from_file(&image, path.c_str())) return false;

    const bool colour = (image.format & PNG_FORMAT_FLAG_COLOR) != 0;
    const bool alpha = (image.format & PNG_FORMAT_FLAG_ALPHA) != 0;
    int bpp;
    if (!colour && !alpha) {
        image.format = PNG_FORMAT_GRAY;
        bpp = 8;
    } else if (alpha) {
        image.format = PNG_FORMAT_RGBA;  // grey + alpha and transparent palettes too
        bpp = 32;
    } else {
        image.format = PNG_FORMAT_RGB;  // palettes without transparency too
        bpp = 24;
    }
    const size_t stride = static_cast<size_t>(image.width) * (bpp / 8);
    const size_t size = stride * image.height;
    if (image.width == 0 || image.height == 0 || size / image.height != stride) {
        png_image_free(&image);
        return false;
    }
    auto* pixels = static_cast<unsigned char*>(std::malloc(size));
    if (!pixels) {
        png_image_free(&image);
        return false;
    }
    // A negative stride stores the last file row first: bottom row first.
    if (!png_image_finish_read(&image, nullptr, pixels, -static_cast<png_int_32>(stride), nullptr)) {
        std::free(pixels);
        png_image_free(&image);
        return false;
    }
    out.width = static_cast<int>(image.width);
    out.height = static_cast<int>(image.height);
    out.bitsPerPixel = bpp;
    out.pixels = pixels;
    return true;
}

namespace {
struct JpegError {
    jpeg_error_mgr manager;
    std::jmp_buf jump;
};

void onJpegError(j_common_ptr info) {
    (*info->err->output_message)(info);
    std::longjmp(reinterpret_cast<JpegError*>(info->err)->jump, 1);
}
}  // namespace

bool decodeJpeg(const std::string& path, DecodedImage& out) {
    out = DecodedImage();
    FILE* file = std::fopen(path.c_str(), "rb");
    if (!file) {
        std::fprintf(stderr, "can't open %s\n", path.c_str());
        return false;
    }
    jpeg_decompress_struct info;
    JpegError error;
    info.err = jpeg_std_error(&error.manager);
    error.manager.error_exit = onJpegError;
    unsigned char* volatile pixels = nullptr;
    if (setjmp(error.jump)) {
        jpeg_destroy_decompress(&info);
        std::fclose(file);
        std::free(pixels);
        return false;
    }
    jpeg_create_decompress(&info);
    jpeg_stdio_src(&info, file);
    jpeg_read_header(&info, TRUE);
    info.out_color_space = JCS_RGB;  // greyscale and CMYK pictures come out as RGB too
    jpeg_start_decompress(&info);
    const size_t stride = static_cast<size_t>(info.output_width) * 3;
    const size_t height = info.output_height;
    if (info.output_components != 3 || stride == 0 || height == 0) {
        jpeg_destroy_decompress(&info);
        std::fclose(file);
        return false;
    }
    pixels = static_cast<unsigned char*>(std::malloc(stride * height));
    if (!pixels) {
        jpeg_destroy_decompress(&info);
        std::fclose(file);
        return false;
    }
    while (info.output_scanline < info.output_height) {
        JSAMPROW row = pixels + (height - 1 - info.output_scanline) * stride;
        jpeg_read_scanlines(&info, &row, 1);
    }
    jpeg_finish_decompress(&info);
    out.width = static_cast<int>(info.output_width);
    out.height = static_cast<int>(height);
    out.bitsPerPixel = 24;
    out.pixels = pixels;
    jpeg_destroy_decompress(&info);
    std::fclose(file);
    return true;
}

void releasePixels(DecodedImage& image) {
    std::free(image.pixels);
    image = DecodedImage();
}
