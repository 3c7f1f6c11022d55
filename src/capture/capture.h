// The capture itself: plays the film with the demo's own controller in an off-screen window, with
// no sound and deterministic time, and writes the chosen frames as PNG files or one MP4 video.
#pragma once

#include "capture/options.h"

// Runs one capture inside the platform (withPlatform). The program's exit status: 0 done,
// 1 failed or interrupted (the reason on standard error), 2 a request this build or the music
// can't serve.
int capture(CaptureOptions options);
