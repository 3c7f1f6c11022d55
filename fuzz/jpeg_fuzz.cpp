// JPEG decoding from a file.
#include "assets/image.h"
#include "fuzz_support.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    DecodedImage image;
    if (decodeJpeg(scratchFile("fuzz.jpg", data, size), image)) releasePixels(image);
    return 0;
}
