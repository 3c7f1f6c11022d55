#include "anim/frame_schedule.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <map>

namespace {

// "at_0001000.0.png": seven digits before the point, `decimals` after it.
std::string momentName(float t, int decimals) {
    char name[64];
    std::snprintf(name, sizeof name, "at_%0*.*f.png", 8 + decimals, decimals, static_cast<double>(t));
    return name;
}

// Frame k's moment on the grid, the same float wherever it is computed.
float gridTime(long k, double step) { return static_cast<float>(static_cast<double>(k) * step); }

}  // namespace

float gridMoment(long k, float fps) { return gridTime(k, 1000.0 / fps); }

size_t captureFrameCount(const ScheduleDesc& o) {
    const double step = 1000.0 / o.fps;
    const size_t tooMany = kMostScheduleFrames + 1;
    if (o.at.empty()) {
        const double last = std::floor(o.to / step + 1e-6);
        if (!(last >= 0.0)) return 0;
        return last >= static_cast<double>(kMostScheduleFrames) ? tooMany : static_cast<size_t>(last) + 1;
    }
    const std::vector<float> wanted = distinctMoments(o.at);
    const float latest = wanted.back();
    if (latest / step >= static_cast<double>(kMostScheduleFrames)) return tooMany;
    // The grid frames up to the latest moment, then the moments that fall between them.
    size_t count = 0;
    if (latest >= 0.0f) {
        long k = static_cast<long>(std::floor(latest / step));
        while (gridTime(k + 1, step) <= latest) ++k;
        while (k >= 0 && gridTime(k, step) > latest) --k;
        count = static_cast<size_t>(k + 1);
    }
    for (float t : wanted) {
        const long k = t >= 0.0f ? std::lround(t / step) : -2;
        bool onGrid = false;
        for (long j = k - 1; j <= k + 1; ++j) onGrid = onGrid || (j >= 0 && gridTime(j, step) == t);
        if (!onGrid) ++count;
    }
    return count;
}

std::vector<float> distinctMoments(std::vector<float> at) {
    std::sort(at.begin(), at.end());
    at.erase(std::unique(at.begin(), at.end()), at.end());
    return at;
}

std::vector<std::string> momentNames(const std::vector<float>& moments) {
    std::vector<int> decimals(moments.size(), 1);
    std::vector<std::string> names(moments.size());
    for (size_t i = 0; i < moments.size(); ++i) names[i] = momentName(moments[i], 1);
    // Moments that share a name get another decimal, until every name is its own. Names with
    // different decimals never match, so only a clash among equals is ever left to mend.
    for (;;) {
        std::map<std::string, std::vector<size_t>> holders;
        for (size_t i = 0; i < names.size(); ++i) holders[names[i]].push_back(i);
        bool clashed = false;
        for (const auto& entry : holders) {
            if (entry.second.size() < 2) continue;
            clashed = true;
            for (size_t i : entry.second) {
                if (++decimals[i] > 6) return {};
                names[i] = momentName(moments[i], decimals[i]);
            }
        }
        if (!clashed) return names;
    }
}

std::vector<CaptureFrame> captureSchedule(const ScheduleDesc& o) {
    std::vector<CaptureFrame> frames;
    const size_t count = captureFrameCount(o);
    if (count > kMostScheduleFrames) return frames;  // the callers refuse it first
    const double step = 1000.0 / o.fps;
    if (o.at.empty()) {
        const long last = static_cast<long>(count) - 1;
        long picture = 0;
        for (long k = 0; k <= last; ++k) {
            CaptureFrame f;
            f.t = gridTime(k, step);
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
    const std::vector<float> wanted = distinctMoments(o.at);
    std::vector<std::string> names = momentNames(wanted);
    // The options refuse moments too close to name apart; should some pass, they are played
    // but not written, rather than written over one another.
    if (names.size() != wanted.size()) names.assign(wanted.size(), "");
    size_t next = 0;
    float previous = 0.0f;
    bool previousOnGrid = false;
    for (long k = 0; next < wanted.size(); ++k) {
        const float grid = gridTime(k, step);
        // Requested moments before this grid frame get frames of their own.
        while (next < wanted.size() && wanted[next] < grid) {
            frames.push_back({wanted[next], frames.empty() ? 0.0f : wanted[next] - previous, names[next]});
            previous = wanted[next++];
            previousOnGrid = false;
        }
        if (next >= wanted.size()) break;
        // From grid frame to grid frame the step the sequence takes, not the difference of the two
        // rounded times: the film sums its steps, and a moment must look the same however it is
        // asked for (a sequence, a single moment, a seek).
        CaptureFrame f{grid, frames.empty() ? 0.0f : previousOnGrid ? static_cast<float>(step) : grid - previous, ""};
        previousOnGrid = true;
        if (wanted[next] == grid) f.file = names[next++];
        frames.push_back(f);
        previous = grid;
    }
    return frames;
}
