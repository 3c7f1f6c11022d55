// The load pass's pictures, decoded and halved into their mipmap chains ahead on worker threads
// (see prefetch.h).
#pragma once

#include "assets/texture.h"
#include "assets/prefetch.h"

class PicturePrefetch : public Prefetch<MipmappedPicture> {
public:
    PicturePrefetch(std::vector<std::string> paths, int workers, int ahead = 8)
        : Prefetch(std::move(paths), decodeMipmapped, releaseMipmapped, "picture", workers, ahead) {}
};
