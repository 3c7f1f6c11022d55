// The load pass's pictures, decoded ahead on worker threads (see prefetch.h).
#pragma once

#include "assets/image.h"
#include "assets/prefetch.h"

class PicturePrefetch : public Prefetch<DecodedImage> {
public:
    PicturePrefetch(std::vector<std::string> paths, int workers, int ahead = 8)
        : Prefetch(std::move(paths), decodePicture, releasePixels, "picture", workers, ahead) {}
};
