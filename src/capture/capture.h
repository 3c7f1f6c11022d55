// The capture itself: plays the film with the demo's own controller in an off-screen window, with
// no sound and deterministic time, and writes the chosen frames as PNG files or one MP4 video.
#pragma once

#include <cstdio>
#include <string>

#include "capture/options.h"

// Runs one capture inside the platform (withPlatform). The program's exit status: 0 done,
// 1 failed or interrupted (the reason on standard error), 2 a request this build or the music
// can't serve.
int capture(CaptureOptions options);

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
