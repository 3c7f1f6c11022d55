#include "render/frame_schedule.h"

#include <algorithm>
#include <cmath>
#include <cstdio>

namespace {

std::string momentName(float t) {
    char name[64];
    std::snprintf(name, sizeof name, "at_%09.1f.png", static_cast<double>(t));
    return name;
}

}  // namespace

std::vector<CaptureFrame> captureSchedule(const ScheduleDesc& o) {
    std::vector<CaptureFrame> frames;
    const double step = 1000.0 / o.fps;
    if (o.at.empty()) {
        const long last = static_cast<long>(std::floor(o.to / step + 1e-6));
        long picture = 0;
        for (long k = 0; k <= last; ++k) {
            CaptureFrame f;
            f.t = static_cast<float>(k * step);
            f.dt = k == 0 ? 0.0f : static_cast<float>(step);
            if (f.t + 1e-3f >= o.from) {
                char name[64];
                std::snprintf(name, sizeof name, "frame_%06ld.png", picture++);
                f.file = name;
            }
            frames.push_back(f);
        }
        return frames;
    }
    std::vector<float> wanted = o.at;
    std::sort(wanted.begin(), wanted.end());
    wanted.erase(std::unique(wanted.begin(), wanted.end()), wanted.end());
    size_t next = 0;
    float previous = 0.0f;
    bool previousOnGrid = false;
    for (long k = 0; next < wanted.size(); ++k) {
        const float grid = static_cast<float>(k * step);
        // Requested moments before this grid frame get frames of their own.
        while (next < wanted.size() && wanted[next] < grid) {
            frames.push_back({wanted[next], frames.empty() ? 0.0f : wanted[next] - previous, momentName(wanted[next])});
            previous = wanted[next++];
            previousOnGrid = false;
        }
        if (next >= wanted.size()) break;
        // From grid frame to grid frame the step the sequence takes, not the difference of the two
        // rounded times: the film sums its steps, and a moment must look the same however it is
        // asked for (a sequence, a single moment, a seek).
        CaptureFrame f{grid, frames.empty() ? 0.0f : previousOnGrid ? static_cast<float>(step) : grid - previous, ""};
        previousOnGrid = true;
        if (wanted[next] == grid) f.file = momentName(wanted[next++]);
        frames.push_back(f);
        previous = grid;
    }
    return frames;
}
