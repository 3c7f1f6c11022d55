#include "assets/image.h"

#include <png.h>
#include <jpeglib.h>

#include <csetjmp>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <vector>

#include "base/log.h"

namespace {

// False, with an error line naming the file, for a picture too large to decode.
bool sizeAllowed(const std::string& path, unsigned long width, unsigned long height) {
    if (width <= static_cast<unsigned long>(kMaxPictureSide) && height <= static_cast<unsigned long>(kMaxPictureSide) &&
        static_cast<long long>(width) * static_cast<long long>(height) <= kMaxPicturePixels)
        return true;
    logError("picture '" + path + "' claims " + std::to_string(width) + "x" + std::to_string(height) +
             " pixels, more than a texture can hold; it is not decoded");
    return false;
}

void logWarning(const std::string& path, const std::string& message) {
    controllerLog()->log("warning: picture '" + path + "' is damaged (" + message + "); it is shown as far as it decodes");
}

struct PngWarnings {
    std::string first;
};

void onPngWarning(png_structp png, png_const_charp message) {
    auto* warnings = static_cast<PngWarnings*>(png_get_error_ptr(png));
    if (warnings && warnings->first.empty()) warnings->first = message ? message : "libpng warning";
}

void onPngError(png_structp png, png_const_charp message) {
    onPngWarning(png, message);
    png_longjmp(png, 1);
}

}  // namespace

bool decodePng(const std::string& path, DecodedImage& out) {
    out = DecodedImage();
    std::unique_ptr<FILE, int (*)(FILE*)> file(std::fopen(path.c_str(), "rb"), std::fclose);
    if (!file) return false;
    PngWarnings warnings;
    png_structp png = png_create_read_struct(PNG_LIBPNG_VER_STRING, &warnings, onPngError, onPngWarning);
    png_infop info = png ? png_create_info_struct(png) : nullptr;
    unsigned char* volatile pixels = nullptr;
    std::vector<png_bytep> rows;  // declared before the jump point: a jump must not skip its end
    if (!png || !info || setjmp(png_jmpbuf(png))) {
        png_destroy_read_struct(&png, &info, nullptr);
        std::free(pixels);
        if (!warnings.first.empty())
            logError("picture '" + path + "' can't be decoded (" + warnings.first + ")");
        return false;
    }
    png_init_io(png, file.get());
    png_read_info(png, info);
    const png_uint_32 width = png_get_image_width(png, info);
    const png_uint_32 height = png_get_image_height(png, info);
    if (!sizeAllowed(path, width, height)) {
        png_destroy_read_struct(&png, &info, nullptr);
        return false;
    }
    const int type = png_get_color_type(png, info);
    // Only the layout changes: samples keep the values the file stores.
    png_set_strip_16(png);
    png_set_packing(png);
    // Palettes are looked up here rather than by libpng, whose expansion also makes alpha of tRNS.
    png_colorp palette = nullptr;
    int paletteSize = 0;
    if (type == PNG_COLOR_TYPE_PALETTE && !png_get_PLTE(png, info, &palette, &paletteSize)) png_error(png, "no palette");
    if (type == PNG_COLOR_TYPE_GRAY && png_get_bit_depth(png, info) < 8) png_set_expand_gray_1_2_4_to_8(png);
    if (type == PNG_COLOR_TYPE_GRAY_ALPHA) png_set_gray_to_rgb(png);
    png_read_update_info(png, info);
    const int channels = type == PNG_COLOR_TYPE_PALETTE ? 3 : png_get_channels(png, info);
    const int bpp = channels == 1 ? 8 : channels == 3 ? 24 : channels == 4 ? 32 : 0;
    const size_t stride = static_cast<size_t>(width) * (bpp / 8);
    const size_t fileRow = type == PNG_COLOR_TYPE_PALETTE ? width : stride;
    if (bpp == 0 || width == 0 || height == 0 || png_get_rowbytes(png, info) != fileRow ||
        stride / width != static_cast<size_t>(bpp / 8) || (stride * height) / height != stride) {
        png_destroy_read_struct(&png, &info, nullptr);
        return false;
    }
    pixels = static_cast<unsigned char*>(std::malloc(stride * height));
    if (!pixels) png_error(png, "out of memory for the pixels");
    rows.resize(height);
    for (png_uint_32 y = 0; y < height; ++y) rows[y] = pixels + (height - 1 - y) * stride;  // bottom row first
    png_read_image(png, rows.data());
    png_read_end(png, nullptr);
    if (palette) {
        // Each row holds its indices in its first third; widen from the right end, in place.
        for (png_bytep row : rows)
            for (png_uint_32 x = width; x-- > 0;) {
                const int index = row[x];
                const png_color c = index < paletteSize ? palette[index] : png_color{0, 0, 0};
                row[3 * x] = c.red;
                row[3 * x + 1] = c.green;
                row[3 * x + 2] = c.blue;
            }
    }
    png_destroy_read_struct(&png, &info, nullptr);
    if (!warnings.first.empty()) logWarning(path, warnings.first);
    out.width = static_cast<int>(width);
    out.height = static_cast<int>(height);
    out.bitsPerPixel = bpp;
    out.pixels = pixels;
    return true;
}

namespace {
struct JpegError {
    jpeg_error_mgr manager;
    std::jmp_buf jump;
    std::string firstWarning;
};

void onJpegError(j_common_ptr info) {
    (*info->err->output_message)(info);
    std::longjmp(reinterpret_cast<JpegError*>(info->err)->jump, 1);
}

// Warnings (level -1) are kept for one log line after the decode; trace messages are dropped.
void onJpegMessage(j_common_ptr info, int level) {
    auto* error = reinterpret_cast<JpegError*>(info->err);
    if (level >= 0) return;
    ++error->manager.num_warnings;
    if (error->firstWarning.empty()) {
        char text[JMSG_LENGTH_MAX];
        (*info->err->format_message)(info, text);
        error->firstWarning = text;
    }
}
}  // namespace

bool isPngPath(const char* path) {
    const size_t length = std::strlen(path);
    return length >= 3 && path[length - 3] == 'p';
}

bool decodePicture(const std::string& path, DecodedImage& out) {
    return isPngPath(path.c_str()) ? decodePng(path, out) : decodeJpeg(path, out);
}

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
    error.manager.emit_message = onJpegMessage;
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
    if (!sizeAllowed(path, info.image_width, info.image_height)) {
        jpeg_destroy_decompress(&info);
        std::fclose(file);
        return false;
    }
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
    if (!error.firstWarning.empty()) logWarning(path, error.firstWarning);
    return true;
}

void releasePixels(DecodedImage& image) {
    std::free(image.pixels);
    image = DecodedImage();
}
