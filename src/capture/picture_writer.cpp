#include "capture/picture_writer.h"

#include <algorithm>
#include <exception>

#include "base/png_file.h"

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
            ok = writePng(job.path, framePicture(job.width, job.height, job.pixels.data()), error);
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
