// PNG compression on worker threads, so that drawing goes on while pictures are written: a
// queue of a few read-back frames, each picture written whole by one worker. A picture goes
// into a new file beside its name that then replaces it (platform::replaceFile), so a file is
// never half-written and a link in its place is never written through. The first failure is
// kept and stops the capture; finish() writes what is queued.
#pragma once

#include <condition_variable>
#include <deque>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

class PictureWriter {
public:
    PictureWriter();
    ~PictureWriter();
    PictureWriter(const PictureWriter&) = delete;
    PictureWriter& operator=(const PictureWriter&) = delete;

    // Takes the pixels (RGBA, bottom row first); waits while the queue is full. False once a
    // picture has failed.
    bool write(std::string path, int width, int height, std::vector<unsigned char> pixels);
    bool failed();
    // Writes what is queued and ends the workers; the first error, empty when none.
    std::string finish();
    // The pictures written whole so far (all of them once finish() returned).
    size_t written();

private:
    struct Job {
        std::string path;
        int width, height;
        std::vector<unsigned char> pixels;
    };
    void work();

    std::mutex mutex_;
    std::condition_variable ready_, room_;
    std::deque<Job> jobs_;
    std::vector<std::thread> workers_;
    std::string error_;
    size_t written_ = 0;
    bool done_ = false;
};
