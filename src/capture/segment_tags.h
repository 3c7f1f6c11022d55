// What a segment's video says about itself: which segment of which stretch it holds and how it
// was made. The capture writes it into the file's metadata; the join reads it back to check
// that the segments it is given fit together.
#pragma once

#include <functional>
#include <string>
#include <vector>

#include "capture/options.h"
#include "capture/segments.h"

class VideoWriter;

struct SegmentInfo {
    int k = 0;  // 1-based
    int n = 0;
    FrameRange frames;   // the segment's grid frames
    FrameRange stretch;  // the whole stretch's
    float fps = 0.0f;
    std::string settings;  // what else makes the pictures: quality, size, grain
};

// The settings words of a capture, as segments of one film must share them.
std::string segmentSettings(const CaptureOptions& options);

// Reads the keys back through `lookup` (null for a key the file lacks). False when one is
// missing or does not read.
bool readSegmentInfo(const std::function<const char*(const char*)>& lookup, SegmentInfo& info);

// "segment 2 of 3 (frames 60 to 119)": how messages name a segment.
std::string describeSegment(int k, int n, const FrameRange& frames);

// The capture's part: narrows the sequence `frames` to segment options.segment of
// options.segments of the stretch and tags the video with it. 0, or the exit status with the
// reason printed (a stretch with fewer frames than segments).
int takeSegment(const CaptureOptions& options, std::vector<CaptureFrame>& frames, VideoWriter& writer);
