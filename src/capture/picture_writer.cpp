#include "capture/picture_writer.h"

#include <algorithm>
#include <exception>

#include "base/png_file.h"
#include "platform/platform.h"

namespace {

// The frame's PNG (framePicture), replacing the file; false with `error` naming the file and
// the cause.
bool writePicture(const std::string& path, int width, int height, const unsigned char* pixels, std::string& error) {
    std::vector<unsigned char> bytes;
    std::string cause;
    if (!encodePng(framePicture(width, height, pixels), bytes, cause) || !platform::replaceFile(path, bytes, cause)) {
        error = "can't write '" + path + "': " + cause;
        return false;
    }
    return true;
}

}  // namespace

PictureWriter::PictureWriter() {
    const unsigned cores = std::thread::hardware_concurrency();
    const unsigned workers = cores > 2 ? std::min(cores - 1, 4u) : 1u;
    for (unsigned i = 0; i < workers; ++i) workers_.emplace_back([this] { work(); });
}

PictureWriter::~PictureWriter() { finish(); }

bool PictureWriter::write(std::string path, int width, int height, std::vector<unsigned char> pixels) {
    std::unique_lock<std::mutex> lock(mutex_);
    room_.wait(lock, [this] { return jobs_.size() < 2 * workers_.size() || !error_.empty(); });
    if (!error_.empty()) return false;
    jobs_.push_back({std::move(path), width, height, std::move(pixels)});
    ready_.notify_one();
    return true;
}

size_t PictureWriter::written() {
    std::lock_guard<std::mutex> lock(mutex_);
    return written_;
}

bool PictureWriter::failed() {
    std::lock_guard<std::mutex> lock(mutex_);
    return !error_.empty();
}

std::string PictureWriter::finish() {
    {
        std::lock_guard<std::mutex> lock(mutex_);
        done_ = true;
    }
    ready_.notify_all();
    for (std::thread& worker : workers_)
        if (worker.joinable()) worker.join();
    std::lock_guard<std::mutex> lock(mutex_);
    return error_;
}

void PictureWriter::work() {
    for (;;) {
        Job job;
        {
            std::unique_lock<std::mutex> lock(mutex_);
            ready_.wait(lock, [this] { return !jobs_.empty() || done_; });
            if (jobs_.empty()) return;
            job = std::move(jobs_.front());
            jobs_.pop_front();
        }
        room_.notify_one();
        std::string error;
        bool ok = false;
        try {
            ok = writePicture(job.path, job.width, job.height, job.pixels.data(), error);
        } catch (const std::exception& e) {  // out of memory: this picture fails, the capture stops cleanly
            error = "can't write '" + job.path + "': " + e.what();
        }
        std::lock_guard<std::mutex> lock(mutex_);
        if (ok) {
            ++written_;
        } else {
            if (error_.empty()) error_ = error;
            room_.notify_all();
        }
    }
}
