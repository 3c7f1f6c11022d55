// Pictures decoded ahead on worker threads while the main thread uploads the ones before them:
// the load pass asks for them in list order, and each comes with the lines its decoding logged,
// which are logged again at that moment so that the log reads as if it had been decoded then.
#pragma once

#include <condition_variable>
#include <map>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "assets/image.h"
#include "base/log.h"

class PicturePrefetch {
public:
    // `paths` in the order they will be taken; `workers` threads (at least one) decode at most
    // `ahead` pictures beyond the last one taken, which bounds the memory held.
    PicturePrefetch(std::vector<std::string> paths, int workers, int ahead = 8);
    // Stops the workers and frees every picture nobody took.
    ~PicturePrefetch();
    PicturePrefetch(const PicturePrefetch&) = delete;
    PicturePrefetch& operator=(const PicturePrefetch&) = delete;

    // False when `path` is not on the list (the caller decodes it itself). Otherwise waits for
    // its decoding, logs its lines, and hands the picture over (the caller releases its pixels);
    // `decoded` is what decodePicture returned. Each path is handed over once.
    bool take(const std::string& path, bool& decoded, DecodedImage& image);

private:
    struct Slot {
        bool done = false;
        bool taken = false;
        bool decoded = false;
        DecodedImage image;
        std::vector<DeferredLine> lines;
    };
    void work();

    std::vector<std::string> paths_;
    std::map<std::string, size_t> index_;
    std::vector<Slot> slots_;
    size_t next_ = 0;       // the next picture a worker starts
    size_t taken_ = 0;      // pictures handed over, for the look-ahead bound
    size_t ahead_;
    bool stopping_ = false;
    std::mutex mutex_;
    std::condition_variable changed_;
    std::vector<std::thread> workers_;
};
