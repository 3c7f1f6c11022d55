// voltaresca-capture: plays the film with the demo's own controller in an off-screen window,
// with no sound and deterministic time, and writes the chosen frames as PNG files.
#include <algorithm>
#include <condition_variable>
#include <cstdio>
#include <deque>
#include <string>
#include <filesystem>
#include <fstream>
#include <memory>
#include <mutex>
#include <thread>
#include <vector>

#include "app/controller.h"
#include "app/startup.h"
#include "app/video_writer.h"
#include "gl/gl.h"
#include "base/log.h"
#include "platform/platform.h"
#include "render/capture.h"
#include "render/frame_renderer.h"
#include "base/png_file.h"

namespace {

const char* const kUsage =
    "usage: voltaresca-capture [--archive FILE] [--size WxH] [--draw-every-frame] [--no-grain]\n"
    "                          [--out DIR] (--at MS[,MS...] | [--fps N] [--from MS] --to MS)\n"
    "       voltaresca-capture [--archive FILE] [--size WxH] --video FILE.mp4 [--crf N]\n"
    "                          [--fps N] [--from MS] [--to MS]\n"
    "Renders moments of the film to PNG files, or a stretch of it with its music to an MP4 video\n"
    "(H.264 and AAC; without --to it ends with the music; --crf 17 is visually lossless, lower\n"
    "is larger), without a screen or sound. Frames play at a fixed\n"
    "rate (--fps, 30 by default) from 0 ms, so the same command gives the same pictures. Frames\n"
    "that are not written run the film's update but are not drawn; --draw-every-frame draws\n"
    "them too (the pictures are the same either way). --no-grain leaves the film grain out and\n"
    "holds its noise still, for pictures that compare pixel by pixel with another rendering.\n"
    "Options take --opt VALUE or --opt=VALUE.\n";

bool folderWritable(const std::string& folder) {
    const std::string probe = folder + "/.voltaresca-capture-probe";
    bool ok = static_cast<bool>(std::ofstream(probe));
    std::remove(probe.c_str());
    return ok && platform::isDirectory(folder);
}

// The progress of a capture on standard error: on a terminal one line that redraws itself
// with the share done, frames per second and the time left; elsewhere a plain line every 5 %.
class Progress {
public:
    explicit Progress(size_t frames) : frames_(frames), start_(platform::counter()), terminal_(platform::standardErrorIsTerminal()) {}

    void frameDone(size_t done, size_t pictures) {
        const double share = frames_ ? static_cast<double>(done) / static_cast<double>(frames_) : 1.0;
        const int percent = static_cast<int>(share * 100.0);
        const double now = platform::counter();
        if (terminal_ ? now - lastDraw_ < platform::counterFrequency() / 4.0 && done < frames_ : percent < nextPercent_)
            return;
        lastDraw_ = now;
        nextPercent_ = percent / 5 * 5 + 5;
        const double seconds = (now - static_cast<double>(start_)) / static_cast<double>(platform::counterFrequency());
        const double rate = seconds > 0.0 ? static_cast<double>(done) / seconds : 0.0;
        const double left = rate > 0.0 ? static_cast<double>(frames_ - done) / rate : 0.0;
        std::fprintf(stderr, "%s%3d %%  frame %zu/%zu  %.1f frames/s  %zu written  %.0f s left%s",
                     terminal_ ? "\r" : "voltaresca-capture: ", percent, done, frames_, rate, pictures, left,
                     terminal_ ? "   " : "\n");
        if (terminal_ && done == frames_) std::fputc('\n', stderr);
    }

private:
    size_t frames_;
    int64_t start_;
    bool terminal_;
    double lastDraw_ = 0.0;
    int nextPercent_ = 0;
};

// PNG compression on worker threads, so that drawing goes on while pictures are written: a
// queue of a few read-back frames, each picture written whole by one worker. The first failure
// is kept and stops the capture; finish() writes what is queued.
class PictureWriter {
public:
    PictureWriter() {
        const unsigned cores = std::thread::hardware_concurrency();
        const unsigned workers = cores > 2 ? std::min(cores - 1, 4u) : 1u;
        for (unsigned i = 0; i < workers; ++i) workers_.emplace_back([this] { work(); });
    }
    ~PictureWriter() { finish(); }

    // Takes the pixels (RGBA, bottom row first); waits while the queue is full. False once a
    // picture has failed.
    bool write(std::string path, int width, int height, std::vector<unsigned char> pixels) {
        std::unique_lock<std::mutex> lock(mutex_);
        room_.wait(lock, [this] { return jobs_.size() < 2 * workers_.size() || !error_.empty(); });
        if (!error_.empty()) return false;
        jobs_.push_back({std::move(path), width, height, std::move(pixels)});
        ready_.notify_one();
        return true;
    }
    bool failed() {
        std::lock_guard<std::mutex> lock(mutex_);
        return !error_.empty();
    }
    // Writes what is queued and ends the workers; the first error, empty when none.
    std::string finish() {
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

private:
    struct Job {
        std::string path;
        int width, height;
        std::vector<unsigned char> pixels;
    };
    void work() {
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
            if (!writePng(job.path, job.width, job.height, job.pixels.data(), error)) {
                std::lock_guard<std::mutex> lock(mutex_);
                if (error_.empty()) error_ = error;
                room_.notify_all();
            }
        }
    }

    std::mutex mutex_;
    std::condition_variable ready_, room_;
    std::deque<Job> jobs_;
    std::vector<std::thread> workers_;
    std::string error_;
    bool done_ = false;
};

int capture(CaptureOptions options) {
    const bool video = !options.video.empty();
    std::string reason;
    if (video && !VideoWriter::available(reason)) {
        std::fprintf(stderr, "voltaresca-capture: --video: %s\n", reason.c_str());
        return 2;
    }
    if (!video) {
        std::error_code made;
        std::filesystem::create_directories(options.out, made);
        if (!folderWritable(options.out)) {
            std::fprintf(stderr, "voltaresca-capture: can't write pictures into '%s' (%s)\n", options.out.c_str(),
                         made ? made.message().c_str() : "is the folder writable?");
            return 1;
        }
    }
    StartupDesc desc;
    desc.width = options.width;
    desc.height = options.height;
    desc.headless = true;
    desc.archive = options.archive;
    desc.folderPrefix = "voltaresca-capture-";
    std::unique_ptr<DemoStart> run = startDemo(desc, reason);
    if (!run) {
        std::fprintf(stderr, "voltaresca-capture: %s\n", reason.c_str());
        return 1;
    }
    DemoController& controller = run->controller();
    if (options.noGrain && controller.frame()) controller.frame()->setSteadyNoise(true);

    std::unique_ptr<VideoWriter> writer;
    if (video) {
        VideoDesc v;
        v.path = options.video;
        v.width = options.width;
        v.height = options.height;
        v.fps = options.fps;
        v.crf = options.crf;
        v.music = run->dataDirectory() + "music" + platform::pathSeparator() + "demotune.mp3";
        if (!platform::fileExists(v.music)) {
            std::fprintf(stderr, "voltaresca-capture: the archive has no music; the video is silent\n");
            v.music.clear();
        }
        writer = VideoWriter::open(v, reason);
        if (!writer) {
            std::fprintf(stderr, "voltaresca-capture: %s\n", reason.c_str());
            return 1;
        }
        if (options.to < 0.0f) {
            // Without --to the video ends with the music: its last frame starts before the end.
            const double length = writer->musicSeconds();
            options.to = static_cast<float>(length * 1000.0 - 500.0 / options.fps);
            if (length <= 0.0 || options.to < options.from) {
                writer.reset();  // no video after all: the file just begun goes
                std::remove(options.video.c_str());
                if (length <= 0.0) {
                    std::fprintf(stderr, "voltaresca-capture: no music to end the video with: give --to MS\n");
                    return 1;
                }
                std::fprintf(stderr, "voltaresca-capture: --from lies after the music's end (%.1f s)\n", length);
                return 2;
            }
        }
    }

    int status = 0;
    const size_t frameBytes = static_cast<size_t>(options.width) * static_cast<size_t>(options.height) * 4;
    std::vector<unsigned char> pixels(frameBytes);
    std::string pending;  // the picture the frame being drawn goes to
    std::string writeError;
    std::unique_ptr<PictureWriter> pictures;
    if (!video) pictures = std::make_unique<PictureWriter>();
    controller.setBeforeSwap([&] {
        if (pending.empty()) return;
        glPixelStorei(GL_PACK_ALIGNMENT, 1);
        glReadBuffer(GL_BACK);
        glReadPixels(0, 0, options.width, options.height, GL_RGBA, GL_UNSIGNED_BYTE, pixels.data());
        if (writer) {
            // The encoder's thread takes the copy; drawing the next frame goes on meanwhile.
            if (!writer->addFrame(pixels)) status = 1;
            return;
        }
        for (size_t i = 3; i < pixels.size(); i += 4) pixels[i] = 255;  // the window has no alpha to keep
        if (!pictures->write(options.out + "/" + pending, options.width, options.height, std::move(pixels)))
            status = 1;
        pixels.assign(frameBytes, 0);
    });
    const std::vector<CaptureFrame> frames = captureSchedule(options);
    if (writer)
        for (const CaptureFrame& frame : frames)
            if (!frame.file.empty()) {
                writer->startSoundAt(frame.t / 1000.0);  // the first written frame and the first sample meet
                break;
            }
    Progress progress(frames.size());
    size_t written = 0;
    bool interrupted = false;
    for (size_t k = 0; k < frames.size() && status == 0; ++k) {
        // Ctrl+C and SIGTERM arrive as a quit request: stop between frames, keep what is written.
        if (!platform::pumpEvents()) {
            interrupted = true;
            break;
        }
        pending = frames[k].file;
        controller.update(frames[k].t, frames[k].dt);
        if (pending.empty() && !options.drawEveryFrame)
            controller.advance(frames[k].t, frames[k].dt);  // seeking: nothing to draw
        else
            controller.render(frames[k].t, frames[k].dt);
        if (pictures && pictures->failed()) status = 1;
        if (!pending.empty() && status == 0) ++written;
        if (frames.size() > 30) progress.frameDone(k + 1, written);
    }
    controller.setBeforeSwap(nullptr);
    // A video is finished whatever stopped the loop, so that what was written plays; the pictures
    // still queued are written.
    if (writer && !writer->finish(writeError)) status = 1;
    if (pictures) {
        writeError = pictures->finish();
        if (!writeError.empty()) status = 1;
    }
    const char* what = video ? "frames" : "pictures";
    const std::string where = video ? options.video : options.out;
    if (interrupted) {
        std::fprintf(stderr, "\nvoltaresca-capture: interrupted; %zu %s in '%s' are complete\n", written, what,
                     where.c_str());
        status = 1;
    } else if (status != 0) {
        std::fprintf(stderr, "voltaresca-capture: %s\n", writeError.empty() ? "encoding failed" : writeError.c_str());
    } else {
        std::fprintf(stderr, "voltaresca-capture: %zu %s in '%s'\n", written, what, where.c_str());
    }
    return status;
}

}  // namespace

int main(int argc, char** argv) {
    CaptureOptions options;
    std::string error;
    if (!parseCaptureOptions(argc, argv, options, error)) {
        std::fprintf(stderr, "voltaresca-capture: %s\n%s", error.c_str(), kUsage);
        return 2;
    }
    if (options.help) {
        std::fputs(kUsage, stdout);
        return 0;
    }
    // No screen: SDL's off-screen driver unless the caller chose one.
    platform::preferOffscreenVideo();
    platform::installInterruptHandler();
    return withPlatform([&options] { return capture(options); },
                        [](const std::string& reason) {
                            std::fprintf(stderr,
                                         "voltaresca-capture: couldn't start the window system: %s (try "
                                         "SDL_VIDEODRIVER=x11 under xvfb-run)\n",
                                         reason.c_str());
                            return 1;
                        });
}
