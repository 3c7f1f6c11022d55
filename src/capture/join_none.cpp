// The join of a build without FFmpeg's libraries: it refuses as the video writer does.
#include "capture/join.h"

#include <cstdio>
#include <string>

#include "capture/video_writer.h"

int joinSegments(const CaptureOptions&, const MusicSource&) {
    std::string reason;
    VideoWriter::available(reason);
    std::fprintf(stderr, "voltaresca-capture: --join: %s\n", reason.c_str());
    return 2;
}
