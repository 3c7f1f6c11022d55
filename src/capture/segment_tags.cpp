#include "capture/segment_tags.h"

#include <cstdio>
#include <cstdlib>

#include "capture/video_writer.h"

namespace {

const char* const kSegment = "voltaresca_segment";    // "K/N"
const char* const kFrames = "voltaresca_frames";      // "FIRST-END", grid frames [FIRST, END)
const char* const kStretch = "voltaresca_stretch";    // the same for the whole stretch
const char* const kRate = "voltaresca_fps";           // the frame rate, as the float it was
const char* const kSettings = "voltaresca_settings";  // segmentSettings

std::string rangeText(const FrameRange& r) { return std::to_string(r.first) + "-" + std::to_string(r.end); }

bool readRange(const char* text, FrameRange& r) {
    char rest = 0;
    return text && std::sscanf(text, "%ld-%ld%c", &r.first, &r.end, &rest) == 2 && r.first >= 0 && r.end > r.first;
}

}  // namespace

std::string segmentSettings(const CaptureOptions& o) {
    return "crf " + std::to_string(o.crf) + ", " + std::to_string(o.width) + "x" + std::to_string(o.height) +
           (o.noGrain ? ", no grain" : ", grain");
}

bool readSegmentInfo(const std::function<const char*(const char*)>& lookup, SegmentInfo& info) {
    const char* settings = lookup(kSettings);
    const char* rate = lookup(kRate);
    char* end = nullptr;
    const float fps = rate ? std::strtof(rate, &end) : 0.0f;
    if (!settings || !rate || *end != '\0' || !(fps > 0.0f)) return false;
    info.settings = settings;
    info.fps = fps;
    const char* segment = lookup(kSegment);
    return segment && parseSegment(segment, info.k, info.n) && readRange(lookup(kFrames), info.frames) &&
           readRange(lookup(kStretch), info.stretch);
}

std::string describeSegment(int k, int n, const FrameRange& frames) {
    std::string text = "segment " + std::to_string(k) + " of " + std::to_string(n);
    if (frames.count() > 0)
        text += " (frames " + std::to_string(frames.first) + " to " + std::to_string(frames.end - 1) + ")";
    return text;
}

int takeSegment(const CaptureOptions& options, std::vector<CaptureFrame>& frames, VideoWriter& writer) {
    const FrameRange stretch = writtenFrames(frames);
    const FrameRange segment = segmentFrames(stretch, options.segment, options.segments);
    if (segment.count() <= 0) {
        std::fprintf(stderr, "voltaresca-capture: --segment %d/%d: the stretch has only %ld frames; give fewer segments\n",
                     options.segment, options.segments, stretch.count());
        return 2;
    }
    keepSegment(frames, segment);
    char rate[32];
    std::snprintf(rate, sizeof rate, "%.9g", static_cast<double>(options.fps));
    writer.tag(kSegment, std::to_string(options.segment) + "/" + std::to_string(options.segments));
    writer.tag(kFrames, rangeText(segment));
    writer.tag(kStretch, rangeText(stretch));
    writer.tag(kRate, rate);
    writer.tag(kSettings, segmentSettings(options));
    return 0;
}
