#include "capture/capture.h"

#include <cstdio>
#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include "app/controller.h"
#include "app/startup.h"
#include "capture/picture_writer.h"
#include "capture/progress.h"
#include "capture/segment_tags.h"
#include "capture/segments.h"
#include "capture/video_writer.h"
#include "gl/gl.h"
#include "platform/platform.h"
#include "render/frame_renderer.h"

namespace {

// Written as the pictures are (a link planted under the probe's name is replaced, never
// written through), then removed.
bool folderWritable(const std::string& folder) {
    const std::string probe = folder + "/.voltaresca-capture-probe";
    std::string cause;
    const bool ok = platform::replaceFile(probe, {}, cause);
    std::remove(probe.c_str());
    return ok && platform::isDirectory(folder);
}

// Before the demo starts: whether this build writes videos, or the picture folder is writable.
// 0, or the exit status with the reason printed.
int checkOutput(const CaptureOptions& options) {
    std::string reason;
    if (!options.video.empty()) {
        if (VideoWriter::available(reason)) return 0;
        std::fprintf(stderr, "voltaresca-capture: --video: %s\n", reason.c_str());
        return 2;
    }
    std::error_code made;
    std::filesystem::create_directories(options.out, made);
    if (folderWritable(options.out)) return 0;
    std::fprintf(stderr, "voltaresca-capture: can't write pictures into '%s' (%s)\n", options.out.c_str(),
                 made ? made.message().c_str() : "is the folder writable?");
    return 1;
}

// The video file with the archive's music; without --to, sets options.to to the music's end.
// 0 with `writer` set, or the exit status with the reason printed.
int openVideo(CaptureOptions& options, const DemoStart& run, std::unique_ptr<VideoWriter>& writer) {
    VideoDesc v;
    v.path = options.video;
    v.width = options.width;
    v.height = options.height;
    v.fps = options.fps;
    v.crf = options.crf;
    v.sound = !options.noSound;
    v.music = run.dataDirectory() + "music" + platform::pathSeparator() + "demotune.mp3";
    if (!platform::fileExists(v.music)) {
        std::fprintf(stderr, "voltaresca-capture: the archive has no music; the video is silent\n");
        v.music.clear();
    }
    std::string reason;
    writer = VideoWriter::open(v, reason);
    if (!writer) {
        std::fprintf(stderr, "voltaresca-capture: %s\n", reason.c_str());
        return 1;
    }
    if (options.to >= 0.0f) return 0;
    // Without --to the video ends with the music: its last frame starts before the end.
    const double length = writer->musicSeconds();
    options.to = static_cast<float>(length * 1000.0 - 500.0 / options.fps);
    if (length > 0.0 && options.to >= options.from) return 0;
    writer.reset();  // no video after all: the file just begun goes
    std::remove(options.video.c_str());
    if (length <= 0.0) {
        std::fprintf(stderr, "voltaresca-capture: no music to end the video with: give --to MS\n");
        return 1;
    }
    std::fprintf(stderr, "voltaresca-capture: --from lies after the music's end (%.1f s)\n", length);
    return 2;
}

// Where the drawn frames go: read back before the swap, then handed to the video writer or to
// the picture pool. Once anything fails, failed() says so and the capture stops.
class FrameOutput {
public:
    FrameOutput(const CaptureOptions& options, VideoWriter* video)
        : options_(options), video_(video), frameBytes_(static_cast<size_t>(options.width) * static_cast<size_t>(options.height) * 4),
          pixels_(frameBytes_) {
        if (!video_) pictures_ = std::make_unique<PictureWriter>();
    }

    // The picture the frame about to be drawn goes to; empty: it is not written.
    void expect(const std::string& file) { pending_ = file; }

    // The before-swap hook.
    void readBack() {
        if (pending_.empty()) return;
        glPixelStorei(GL_PACK_ALIGNMENT, 1);
        glReadBuffer(GL_BACK);
        glReadPixels(0, 0, options_.width, options_.height, GL_RGBA, GL_UNSIGNED_BYTE, pixels_.data());
        if (video_) {
            // The encoder's thread takes the copy; drawing the next frame goes on meanwhile.
            if (!video_->addFrame(pixels_)) failed_ = true;
            return;
        }
        for (size_t i = 3; i < pixels_.size(); i += 4) pixels_[i] = 255;  // the window has no alpha to keep
        if (!pictures_->write(options_.out + "/" + pending_, options_.width, options_.height, std::move(pixels_)))
            failed_ = true;
        pixels_.assign(frameBytes_, 0);
    }

    bool failed() {
        if (pictures_ && pictures_->failed()) failed_ = true;
        return failed_;
    }

    // A video is finished whatever stopped the capture, so that what was written plays; the
    // pictures still queued are written. False with `error` set (empty when only the encoder
    // said no) when anything failed.
    bool finish(std::string& error) {
        if (video_ && !video_->finish(error)) failed_ = true;
        if (pictures_) {
            error = pictures_->finish();
            if (!error.empty()) failed_ = true;
        }
        return !failed_;
    }

    // After finish: the pictures written whole, of the `played` ones handed over.
    size_t complete(size_t played) { return pictures_ ? pictures_->written() : played; }

private:
    const CaptureOptions& options_;
    VideoWriter* video_;
    std::unique_ptr<PictureWriter> pictures_;
    size_t frameBytes_;
    std::vector<unsigned char> pixels_;
    std::string pending_;
    bool failed_ = false;
};

// How the frames went, for the closing line.
struct Played {
    size_t written = 0;
    bool interrupted = false;
};

// Plays the schedule: a frame that is written (or every frame with --draw-every-frame) is
// drawn, the others only advanced. Stops at the first failure or at Ctrl+C.
Played playFrames(const CaptureOptions& options, const std::vector<CaptureFrame>& frames, DemoController& controller,
                  FrameOutput& output) {
    Played played;
    Progress progress(frames.size());
    for (size_t k = 0; k < frames.size() && !output.failed(); ++k) {
        // Ctrl+C and SIGTERM arrive as a quit request: stop between frames, keep what is written.
        if (!platform::pumpEvents()) {
            played.interrupted = true;
            break;
        }
        const CaptureFrame& frame = frames[k];
        output.expect(frame.file);
        controller.update(frame.t, frame.dt);
        if (frame.file.empty() && !options.drawEveryFrame)
            controller.advance(frame.t, frame.dt);  // seeking: nothing to draw
        else
            controller.render(frame.t, frame.dt);
        if (!frame.file.empty() && !output.failed()) ++played.written;
        if (frames.size() > 30) progress.frameDone(k + 1, played.written);
    }
    return played;
}

}  // namespace

int capture(CaptureOptions options) {
    const bool video = !options.video.empty();
    if (const int status = checkOutput(options)) return status;
    StartupDesc desc;
    desc.width = options.width;
    desc.height = options.height;
    desc.headless = true;
    desc.archive = options.archive;
    desc.folderPrefix = "voltaresca-capture-";
    std::string reason;
    std::unique_ptr<DemoStart> run = startDemo(desc, reason);
    if (!run) {
        std::fprintf(stderr, "voltaresca-capture: %s\n", reason.c_str());
        return 1;
    }
    DemoController& controller = run->controller();
    if (options.noGrain && controller.frame()) controller.frame()->setSteadyNoise(true);

    std::unique_ptr<VideoWriter> writer;
    if (video)
        if (const int status = openVideo(options, *run, writer)) return status;

    // The video's end may have come from the music: the schedule's size is checked again.
    if (captureFrameCount(options) > kMostScheduleFrames) {
        std::fprintf(stderr, "voltaresca-capture: too many frames: more than %zu at --fps %g; lower --fps or give --to\n",
                     kMostScheduleFrames, static_cast<double>(options.fps));
        return 2;
    }
    std::vector<CaptureFrame> frames = captureSchedule(options);
    if (options.segment)
        if (const int status = takeSegment(options, frames, *writer)) {
            writer.reset();  // no segment after all: the file just begun goes
            std::remove(options.video.c_str());
            return status;
        }
    if (writer)
        for (const CaptureFrame& frame : frames)
            if (!frame.file.empty()) {
                writer->startSoundAt(frame.t / 1000.0);  // the first written frame and the first sample meet
                break;
            }
    FrameOutput output(options, writer.get());
    controller.setBeforeSwap([&output] { output.readBack(); });
    const Played played = playFrames(options, frames, controller, output);
    controller.setBeforeSwap(nullptr);
    CaptureEnd end;
    end.video = video;
    end.where = video ? options.video : options.out;
    end.interrupted = played.interrupted;
    end.finished = output.finish(end.error);
    end.complete = output.complete(played.written);
    return reportEnd(end, stderr);
}

int reportEnd(const CaptureEnd& end, std::FILE* out) {
    const char* what = end.video ? "frames" : "pictures";
    if (end.interrupted) {
        if (end.video && !end.finished)
            std::fprintf(out, "\nvoltaresca-capture: interrupted; the video '%s' could not be finished\n", end.where.c_str());
        else
            std::fprintf(out, "\nvoltaresca-capture: interrupted; %zu %s in '%s' are complete\n", end.complete, what,
                         end.where.c_str());
    }
    if (!end.finished)
        std::fprintf(out, "voltaresca-capture: %s\n", end.error.empty() ? "encoding failed" : end.error.c_str());
    if (end.interrupted || !end.finished) return 1;
    std::fprintf(out, "voltaresca-capture: %zu %s in '%s'\n", end.complete, what, end.where.c_str());
    return 0;
}
