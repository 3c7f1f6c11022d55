#include "capture/segments.h"

#include <cstdio>

FrameRange segmentFrames(const FrameRange& stretch, int k, int n) {
    if (n < 1 || k < 1 || k > n || stretch.count() < n) return {};
    // Integer arithmetic only: the boundaries of segment k are the same numbers whichever
    // segment computes them, so neighbours meet exactly.
    const long count = stretch.count();
    return {stretch.first + (k - 1) * count / n, stretch.first + k * count / n};
}

bool parseSegment(const std::string& text, int& k, int& n) {
    char rest = 0;
    int a = 0, b = 0;
    if (std::sscanf(text.c_str(), "%d/%d%c", &a, &b, &rest) != 2 || text.find_first_of(" +-") != std::string::npos)
        return false;
    if (b < 1 || b > 10000 || a < 1 || a > b) return false;
    k = a;
    n = b;
    return true;
}

FrameRange writtenFrames(const std::vector<CaptureFrame>& frames) {
    for (size_t i = 0; i < frames.size(); ++i)
        if (!frames[i].file.empty()) return {static_cast<long>(i), static_cast<long>(frames.size())};
    return {};
}

void keepSegment(std::vector<CaptureFrame>& frames, const FrameRange& segment) {
    if (static_cast<long>(frames.size()) > segment.end) frames.resize(static_cast<size_t>(segment.end));
    for (long i = 0; i < segment.first && i < static_cast<long>(frames.size()); ++i) frames[static_cast<size_t>(i)].file.clear();
}
