// PNG decoding from a file.
#include "assets/image.h"
#include "fuzz_support.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    DecodedImage image;
    if (decodePng(scratchFile("fuzz.png", data, size), image)) releasePixels(image);
    return 0;
}
