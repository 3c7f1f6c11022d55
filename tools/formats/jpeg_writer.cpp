#include "formats/jpeg_writer.h"

#include <csetjmp>
#include <cstdio>  // before jpeglib.h, which uses FILE
#include <cstdlib>

#include <jpeglib.h>

namespace {

struct JpegWriteError {
    jpeg_error_mgr manager;
    std::jmp_buf jump;
    char message[JMSG_LENGTH_MAX];
};

void onJpegWriteError(j_common_ptr info) {
    auto* error = reinterpret_cast<JpegWriteError*>(info->err);
    (*info->err->format_message)(info, error->message);
    std::longjmp(error->jump, 1);
}

}  // namespace

bool encodeJpeg(const JpegPicture& picture, std::vector<unsigned char>& out, std::string& error) {
    out.clear();
    if (picture.width <= 0 || picture.height <= 0 || !picture.pixels ||
        (picture.components != 1 && picture.components != 3)) {
        error = "no picture to encode (or not 1 or 3 channels)";
        return false;
    }
    jpeg_compress_struct info;
    JpegWriteError failure;
    failure.message[0] = '\0';
    info.err = jpeg_std_error(&failure.manager);
    failure.manager.error_exit = onJpegWriteError;
    unsigned char* buffer = nullptr;
    unsigned long size = 0;
    if (setjmp(failure.jump)) {
        jpeg_destroy_compress(&info);
        std::free(buffer);
        error = failure.message;
        return false;
    }
    jpeg_create_compress(&info);
    jpeg_mem_dest(&info, &buffer, &size);
    info.image_width = static_cast<JDIMENSION>(picture.width);
    info.image_height = static_cast<JDIMENSION>(picture.height);
    info.input_components = picture.components;
    info.in_color_space = picture.components == 1 ? JCS_GRAYSCALE : JCS_RGB;
    jpeg_set_defaults(&info);
    jpeg_set_quality(&info, picture.quality, TRUE);
    if (picture.optimizeCoding) info.optimize_coding = TRUE;
    jpeg_start_compress(&info, TRUE);
    const size_t stride = static_cast<size_t>(picture.width) * static_cast<size_t>(picture.components);
    while (info.next_scanline < info.image_height) {
        JSAMPROW row = const_cast<unsigned char*>(picture.pixels) + info.next_scanline * stride;
        jpeg_write_scanlines(&info, &row, 1);
    }
    jpeg_finish_compress(&info);
    out.assign(buffer, buffer + size);
    jpeg_destroy_compress(&info);
    std::free(buffer);
    return true;
}
