// The property script (props.scr) from text; every property read as a value at a few times.
#include "anim/cameras.h"
#include "anim/properties.h"
#include "fuzz_support.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    PropertyRegistry registry;
    registry.parse(std::string(reinterpret_cast<const char*>(data), size), "fuzz");
    for (const auto& entry : registry.properties()) {
        const PropertyValue value(entry.second.get());
        for (float t : {0.0f, 500.0f, 1e9f}) value.at(t);
    }
    float view[16];
    for (const auto& camera : registry.cameras()) camera->getViewMatrix(view, 100.0f);
    registry.find("shake");
    return 0;
}
