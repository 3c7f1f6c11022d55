// Materials (XML, .mat) from a file.
#include "assets/material.h"
#include "fuzz_support.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string path = scratchFile("fuzz.mat", data, size);
    MaterialLoader loader;
    delete loader.load(path.c_str(), nullptr);
    return 0;
}
