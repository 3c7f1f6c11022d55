#include "assets/picture_prefetch.h"

#include <exception>

PicturePrefetch::PicturePrefetch(std::vector<std::string> paths, int workers, int ahead)
    : paths_(std::move(paths)), slots_(paths_.size()), ahead_(ahead > 0 ? static_cast<size_t>(ahead) : 1u) {
    for (size_t i = 0; i < paths_.size(); ++i) index_.emplace(paths_[i], i);  // a repeated path: the first
    for (int i = 0; i < (workers > 0 ? workers : 1) && !paths_.empty(); ++i) workers_.emplace_back([this] { work(); });
}

PicturePrefetch::~PicturePrefetch() {
    {
        std::lock_guard<std::mutex> lock(mutex_);
        stopping_ = true;
    }
    changed_.notify_all();
    for (std::thread& worker : workers_) worker.join();
    for (Slot& slot : slots_)
        if (!slot.taken) releasePixels(slot.image);
}

void PicturePrefetch::work() {
    for (;;) {
        size_t i;
        {
            std::unique_lock<std::mutex> lock(mutex_);
            changed_.wait(lock, [this] { return stopping_ || (next_ < paths_.size() && next_ < taken_ + ahead_); });
            if (stopping_) return;
            i = next_++;
        }
        Slot result;
        {
            LogDeferral deferral(result.lines);
            try {
                result.decoded = decodePicture(paths_[i], result.image);
            } catch (const std::exception& e) {  // nothing may leave a worker thread
                releasePixels(result.image);
                result.decoded = false;
                logError("picture '" + paths_[i] + "' can't be decoded (" + e.what() + ")");
            }
        }
        std::lock_guard<std::mutex> lock(mutex_);
        result.done = true;
        slots_[i] = std::move(result);
        changed_.notify_all();
    }
}

bool PicturePrefetch::take(const std::string& path, bool& decoded, DecodedImage& image) {
    auto it = index_.find(path);
    if (it == index_.end()) return false;
    Slot* slot = &slots_[it->second];
    std::vector<DeferredLine> lines;
    {
        std::unique_lock<std::mutex> lock(mutex_);
        if (slot->taken) return false;
        changed_.wait(lock, [slot] { return slot->done; });
        slot->taken = true;
        ++taken_;
        decoded = slot->decoded;
        image = slot->image;
        slot->image = DecodedImage();
        lines = std::move(slot->lines);
    }
    changed_.notify_all();
    replayLog(lines);
    return true;
}
