// The capture program's run: the film played with the demo's own controller in an off-screen
// window, with no sound and deterministic time, its chosen frames written as PNG files or one
// MP4 video; and the join of segment videos with the archive's music.
#pragma once

#include "capture/options.h"

// Runs one capture inside the platform (withPlatform). The program's exit status: 0 done,
// 1 failed or interrupted (the reason on standard error), 2 a request this build or the music
// can't serve.
int capture(CaptureOptions options);

// --join: joinSegments, which asks for the music once the segments passed their checks; only
// then is the archive unpacked into a private folder (removed afterwards). Its exit status.
int joinFilm(const CaptureOptions& options);
