#include "capture/progress.h"

#include <cstdio>

#include "platform/platform.h"

Progress::Progress(size_t frames)
    : frames_(frames), start_(platform::counter()), terminal_(platform::standardErrorIsTerminal()) {}

void Progress::frameDone(size_t done, size_t pictures) {
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
