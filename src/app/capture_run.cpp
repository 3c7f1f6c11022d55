#include "app/capture_run.h"

#include <cstdio>
#include <memory>
#include <string>
#include <vector>

#include "app/archive.h"
#include "app/controller.h"
#include "app/startup.h"
#include "capture/join.h"
#include "capture/output.h"
#include "capture/progress.h"
#include "capture/segment_tags.h"
#include "capture/video_writer.h"
#include "platform/platform.h"
#include "render/frame_renderer.h"

namespace {

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
    v.music = musicFileOf(run.dataDirectory());
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
    std::string tooMany;
    if (!checkFrameCount(options, tooMany)) {
        std::fprintf(stderr, "voltaresca-capture: %s\n", tooMany.c_str());
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

int joinFilm(const CaptureOptions& options) {
    // The music's private folder, once made, goes however the join ends.
    struct Folder {
        std::string path;
        ~Folder() {
            if (!path.empty()) platform::removeTree(path);
        }
    } folder;
    return joinSegments(options, [&options, &folder](std::string& music) {
        const std::string archive = archiveOrDefault(options.archive);
        if (!platform::fileExists(archive)) {
            std::fprintf(stderr, "voltaresca-capture: no data archive at '%s' for the music (name one with --archive)\n",
                         archive.c_str());
            return false;
        }
        folder.path = platform::makePrivateDirectory(platform::tempDirectory(), "voltaresca-join-");
        if (folder.path.empty()) {
            std::fprintf(stderr, "voltaresca-capture: couldn't create a private folder in '%s' for the music (TMPDIR)\n",
                         platform::tempDirectory().c_str());
            return false;
        }
        extractArchive(folder.path, archive);
        music = musicFileOf(dataFolderOf(folder.path));
        if (!platform::fileExists(music)) {
            std::fprintf(stderr, "voltaresca-capture: the archive has no music; the film is silent\n");
            music.clear();
        }
        return true;
    });
}
