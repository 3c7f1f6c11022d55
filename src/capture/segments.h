// The film's stretch cut into segments that separate processes render and a join puts back
// together. Frames are counted on the film's one grid (frame i plays at i / fps), so a segment
// is a range of whole frame numbers: no two segments hold the same frame and none is left out.
#pragma once

#include <string>
#include <vector>

#include "anim/frame_schedule.h"

// Grid frames [first, end).
struct FrameRange {
    long first = 0;
    long end = 0;
    long count() const { return end - first; }
    bool operator==(const FrameRange& o) const { return first == o.first && end == o.end; }
};

// Segment `k` of `n` (1 <= k <= n) of a stretch: the stretch's frames split in order into n
// runs whose lengths differ by one frame at most (the longer ones later). Empty when the
// stretch has fewer than n frames or k is out of range.
FrameRange segmentFrames(const FrameRange& stretch, int k, int n);

// "K/N" as --segment takes it: 1 <= K <= N <= 10000. False for anything else.
bool parseSegment(const std::string& text, int& k, int& n);

// The grid frames a sequence of `frames` (captureSchedule's, without --at) writes: from the
// first frame with a picture to the last frame. Empty when none is written.
FrameRange writtenFrames(const std::vector<CaptureFrame>& frames);

// Keeps, of a sequence schedule (frame i at index i), the frames up to the segment's end and
// the pictures of the segment alone; the frames before it are still played (a seek).
void keepSegment(std::vector<CaptureFrame>& frames, const FrameRange& segment);
