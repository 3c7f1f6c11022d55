// Where a capture's frames go and how it ends: the output checked before the demo starts, each
// drawn frame read back and handed to the video writer or the picture pool, and the closing
// lines.
#pragma once

#include <cstdio>
#include <memory>
#include <string>
#include <vector>

#include "capture/options.h"
#include "capture/picture_writer.h"
#include "capture/video_writer.h"

// Before the demo starts: whether this build writes videos, or the picture folder is writable.
// 0, or the exit status with the reason printed.
int checkOutput(const CaptureOptions& options);

// The back buffer read with GL into `pixels` (RGBA, bottom row first, width x height x 4 bytes;
// the pack alignment is left at 1, the read buffer at the back one). `opaque` sets every alpha to
// 255 (the window has no alpha to keep), for pictures.
void readFrame(int width, int height, std::vector<unsigned char>& pixels, bool opaque);

// Where the drawn frames go: read back before the swap, then handed to the video writer or to
// the picture pool. Once anything fails, failed() says so and the capture stops.
class FrameOutput {
public:
    FrameOutput(const CaptureOptions& options, VideoWriter* video);

    // The picture the frame about to be drawn goes to; empty: it is not written.
    void expect(const std::string& file) { pending_ = file; }
    // The before-swap hook: the back buffer read with GL (the pack alignment is left at 1, the
    // read buffer at the back one).
    void readBack();
    bool failed();
    // A video is finished whatever stopped the capture, so that what was written plays; the
    // pictures still queued are written. False with `error` set (empty when only the encoder
    // said no) when anything failed.
    bool finish(std::string& error);
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

// How a capture ended, for its closing lines.
struct CaptureEnd {
    bool video = false;        // frames of a video, else pictures
    std::string where;         // the video file or the pictures' folder
    size_t complete = 0;       // frames or pictures whole in `where`
    bool interrupted = false;  // Ctrl+C or SIGTERM
    bool finished = true;      // the output was finished (the queued pictures, the video's file)
    std::string error;         // why not; empty when only the encoder said no
};

// Writes the closing lines to `out`: the interruption with what is complete, and any failure to
// finish, which an interruption does not hide. The exit status: 0 done, 1 failed or interrupted.
int reportEnd(const CaptureEnd& end, std::FILE* out);
