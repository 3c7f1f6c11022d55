// The camera file (cameras.cam) from bytes; every camera's view and field of view read.
#include "anim/cameras.h"
#include "fuzz_support.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    auto cameras = parseCameras(data, size, nullptr, "fuzz");
    float view[16];
    for (auto& camera : cameras) {
        camera->getViewMatrix(view);
        camera->fieldOfView(1000.0f);
    }
    CameraChanger changer;
    changer.setCameras(std::move(cameras));
    changer.select(5.0f);
    return 0;
}
