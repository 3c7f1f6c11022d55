// Models (.geo) from bytes.
#include "assets/model.h"
#include "fuzz_support.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    useBufferStubs();
    ModelLoader loader(nullptr);
    delete loader.parse(data, size);
    return 0;
}
