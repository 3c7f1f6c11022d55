// JPEG decoding from a file: the picture the decoder claims is read to its last byte, so that a
// size it states but did not allocate shows.
#include "assets/image.h"
#include "fuzz_support.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    DecodedImage image;
    if (decodeJpeg(scratchFile("fuzz.jpg", data, size), image)) {
        touchPicture(image.pixels, static_cast<size_t>(image.width) * static_cast<size_t>(image.height) *
                                       static_cast<size_t>(image.bitsPerPixel / 8));
        releasePixels(image);
    }
    return 0;
}
