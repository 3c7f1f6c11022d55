// Node animations (.ani) from bytes, evaluated at a few times.
#include "assets/animation.h"
#include "fuzz_support.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    std::unique_ptr<Animation> tree = parseAnimation(data, size);
    if (!tree) return 0;
    const float identity[16] = {1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1};
    for (float t : {0.0f, 1.5f, 90.0f, -1.0f}) tree->evaluate(t, identity, 0.033f);
    tree->trackEnd(1);
    return 0;
}
