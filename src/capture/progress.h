// The progress of a capture on standard error: on a terminal one line that redraws itself with
// the share done, frames per second and the time left; elsewhere a plain line every 5 %.
#pragma once

#include <cstddef>
#include <cstdint>

class Progress {
public:
    explicit Progress(size_t frames);
    // After frame `done` (counted from 1), of which `pictures` were written.
    void frameDone(size_t done, size_t pictures);

private:
    size_t frames_;
    int64_t start_;
    bool terminal_;
    double lastDraw_ = 0.0;
    int nextPercent_ = 0;
};
