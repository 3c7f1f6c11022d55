#include "capture/join.h"

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <map>
#include <memory>
#include <string>
#include <vector>

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavformat/avformat.h>
}

#include "capture/segment_tags.h"
#include "capture/video_writer.h"

namespace {

std::string describe(int code) {
    char text[AV_ERROR_MAX_STRING_SIZE] = {};
    av_strerror(code, text, sizeof text);
    return text;
}

struct InputCloser {
    void operator()(AVFormatContext* input) const { avformat_close_input(&input); }
};
using Input = std::unique_ptr<AVFormatContext, InputCloser>;

// Opens a file and finds its video stream. Null with `problem` set.
Input openInput(const std::string& path, int& stream, std::string& problem) {
    AVFormatContext* raw = nullptr;
    int status = avformat_open_input(&raw, path.c_str(), nullptr, nullptr);
    if (status < 0) {
        problem = status == AVERROR(ENOENT) ? "is missing" : "is damaged (" + describe(status) + ")";
        return nullptr;
    }
    Input input(raw);
    status = avformat_find_stream_info(raw, nullptr);
    stream = status < 0 ? status : av_find_best_stream(raw, AVMEDIA_TYPE_VIDEO, -1, -1, nullptr, 0);
    if (stream < 0) {
        problem = "is damaged (no video stream: " + describe(stream) + ")";
        return nullptr;
    }
    return input;
}

// One segment file as the checks found it.
struct Segment {
    std::string path;
    SegmentInfo info;
    std::string signature;  // everything that must be the same in all segments of a film
    std::string settings;   // the part of it a person reads
    std::string problem;    // empty: whole and readable
};

std::string hex(const uint8_t* data, int size) {
    static const char digits[] = "0123456789abcdef";
    std::string text;
    for (int i = 0; i < size; ++i) {
        text += digits[data[i] >> 4];
        text += digits[data[i] & 15];
    }
    return text;
}

// Reads one segment: its tags, its stream's parameters, and every packet's timestamps, which
// must be its frames on the grid from 0, the first a keyframe.
Segment examine(const std::string& path) {
    Segment s;
    s.path = path;
    int stream = -1;
    Input input = openInput(path, stream, s.problem);
    if (!input) return s;
    const auto lookup = [&](const char* key) -> const char* {
        const AVDictionaryEntry* entry = av_dict_get(input->metadata, key, nullptr, 0);
        return entry ? entry->value : nullptr;
    };
    if (!readSegmentInfo(lookup, s.info)) {
        s.problem = "is no segment (it has no segment tags; make segments with --segment K/N)";
        return s;
    }
    const AVStream* video = input->streams[stream];
    const AVCodecParameters* p = video->codecpar;
    char rate[32];
    std::snprintf(rate, sizeof rate, "%.9g", static_cast<double>(s.info.fps));
    s.settings = s.info.settings + ", " + rate + " fps, " + avcodec_get_name(p->codec_id);
    s.signature = s.settings + "|" + std::to_string(s.info.n) + "|" + std::to_string(s.info.stretch.first) + "-" +
                  std::to_string(s.info.stretch.end) + "|" + std::to_string(p->width) + "x" + std::to_string(p->height) +
                  "|" + std::to_string(p->format) + "|" + std::to_string(p->profile) + "|" + std::to_string(p->level) +
                  "|" + hex(p->extradata, p->extradata_size);
    const AVRational frameTime = av_inv_q(av_d2q(s.info.fps, 100000));
    std::vector<int64_t> frames;
    bool keyFirst = false;
    AVPacket* packet = av_packet_alloc();
    while (packet && av_read_frame(input.get(), packet) >= 0) {
        if (packet->stream_index == stream) {
            if (frames.empty()) keyFirst = (packet->flags & AV_PKT_FLAG_KEY) != 0;
            frames.push_back(packet->pts == AV_NOPTS_VALUE ? -1 : av_rescale_q(packet->pts, video->time_base, frameTime));
        }
        av_packet_unref(packet);
    }
    av_packet_free(&packet);
    std::sort(frames.begin(), frames.end());
    const long expected = s.info.frames.count();
    if (static_cast<long>(frames.size()) != expected) {
        s.problem = "is cut short: " + std::to_string(frames.size()) + " of its " + std::to_string(expected) + " frames";
        return s;
    }
    for (size_t i = 0; i < frames.size(); ++i)
        if (frames[i] != static_cast<int64_t>(i)) {
            s.problem = "is damaged (frame " + std::to_string(i) + " is not at its time on the grid)";
            return s;
        }
    if (!keyFirst) s.problem = "is damaged (it does not start with a keyframe)";
    return s;
}

// Every problem with the set, one line each; none when the segments make the stretch.
std::vector<std::string> check(const std::vector<Segment>& segments) {
    std::vector<std::string> problems;
    std::map<std::string, int> votes;
    for (const Segment& s : segments)
        if (s.problem.empty()) ++votes[s.signature];
    for (const Segment& s : segments)
        if (!s.problem.empty()) problems.push_back("'" + s.path + "' " + s.problem);
    if (votes.empty()) {
        if (problems.empty()) problems.push_back("no segment given");
        return problems;
    }
    // The settings most segments share are the film's; a segment made otherwise is named.
    const std::string film = std::max_element(votes.begin(), votes.end(), [](const auto& a, const auto& b) {
                                 return a.second < b.second;
                             })->first;
    const Segment* reference = nullptr;
    for (const Segment& s : segments)
        if (s.problem.empty() && s.signature == film) reference = &s;
    for (const Segment& s : segments)
        if (s.problem.empty() && s.signature != film)
            problems.push_back("'" + s.path + "' was made with other settings (" + s.settings + ", " +
                               describeSegment(s.info.k, s.info.n, {}) + " of frames " + std::to_string(s.info.stretch.first) +
                               " to " + std::to_string(s.info.stretch.end - 1) + ") than the others (" + reference->settings +
                               ", frames " + std::to_string(reference->info.stretch.first) + " to " +
                               std::to_string(reference->info.stretch.end - 1) + " in " +
                               std::to_string(reference->info.n) + " segments)");
    const SegmentInfo& want = reference->info;
    std::vector<const Segment*> byNumber(static_cast<size_t>(want.n) + 1, nullptr);
    for (const Segment& s : segments) {
        if (!s.problem.empty() || s.signature != film) continue;
        const FrameRange rule = segmentFrames(want.stretch, s.info.k, want.n);
        if (!(s.info.frames == rule)) {
            problems.push_back("'" + s.path + "' holds frames " + std::to_string(s.info.frames.first) + " to " +
                               std::to_string(s.info.frames.end - 1) + ", not those of " +
                               describeSegment(s.info.k, want.n, rule));
        } else if (byNumber[static_cast<size_t>(s.info.k)]) {
            problems.push_back("'" + s.path + "' is " + describeSegment(s.info.k, want.n, rule) + " again (also '" +
                               byNumber[static_cast<size_t>(s.info.k)]->path + "')");
        } else {
            byNumber[static_cast<size_t>(s.info.k)] = &s;
        }
    }
    // A segment not among the whole ones leaves a gap: named unless its file was named above.
    for (int k = 1; k <= want.n; ++k)
        if (!byNumber[static_cast<size_t>(k)])
            problems.push_back(describeSegment(k, want.n, segmentFrames(want.stretch, k, want.n)) +
                               " is missing or unusable");
    return problems;
}

// Copies the segments' video packets in order, each moved to its place in the stretch.
bool copySegments(const std::vector<const Segment*>& order, const AVRational timeBase, VideoWriter& writer,
                  std::string& error) {
    const AVRational frameTime = av_inv_q(av_d2q(order.front()->info.fps, 100000));
    const long stretchFirst = order.front()->info.stretch.first;
    AVPacket* packet = av_packet_alloc();
    bool ok = packet != nullptr;
    for (const Segment* s : order) {
        if (!ok) break;
        int stream = -1;
        Input input = openInput(s->path, stream, error);
        if (!input) {
            error = "'" + s->path + "' " + error;
            ok = false;
            break;
        }
        const AVRational from = input->streams[stream]->time_base;
        const int64_t offset = av_rescale_q(s->info.frames.first - stretchFirst, frameTime, timeBase);
        while (ok && av_read_frame(input.get(), packet) >= 0) {
            if (packet->stream_index == stream) {
                av_packet_rescale_ts(packet, from, timeBase);
                if (packet->pts != AV_NOPTS_VALUE) packet->pts += offset;
                if (packet->dts != AV_NOPTS_VALUE) packet->dts += offset;
                ok = writer.addPacket(*packet);
            }
            av_packet_unref(packet);
        }
    }
    av_packet_free(&packet);
    return ok;
}

}  // namespace

int joinSegments(const CaptureOptions& options, const MusicSource& music) {
    std::string reason;
    if (!VideoWriter::available(reason)) {
        std::fprintf(stderr, "voltaresca-capture: --join: %s\n", reason.c_str());
        return 2;
    }
    av_log_set_level(AV_LOG_QUIET);  // a damaged file is named by the checks, not by FFmpeg's lines
    std::vector<Segment> segments;
    for (const std::string& path : options.joinSegments) segments.push_back(examine(path));
    const std::vector<std::string> problems = check(segments);
    if (!problems.empty()) {
        for (const std::string& problem : problems) std::fprintf(stderr, "voltaresca-capture: %s\n", problem.c_str());
        std::fprintf(stderr, "voltaresca-capture: nothing written to '%s'; render the segments named and join again\n",
                     options.join.c_str());
        return 1;
    }
    std::vector<const Segment*> order;
    for (const Segment& s : segments) order.push_back(&s);
    std::sort(order.begin(), order.end(), [](const Segment* a, const Segment* b) { return a->info.k < b->info.k; });
    const SegmentInfo& film = order.front()->info;

    VideoDesc desc;
    if (!music(desc.music)) return 1;
    // Written under another name and renamed when whole: a join that stops leaves no film.
    desc.path = options.join + ".part";
    desc.fps = film.fps;

    int stream = -1;
    Input first = openInput(order.front()->path, stream, reason);
    std::unique_ptr<VideoWriter> writer;
    if (first) {
        const AVStream* video = first->streams[stream];
        writer = VideoWriter::openCopy(desc, *video->codecpar, video->time_base.num, video->time_base.den, reason);
    }
    if (!writer) {
        std::fprintf(stderr, "voltaresca-capture: %s\n", reason.c_str());
        std::remove(desc.path.c_str());
        return 1;
    }
    // The sound starts where the stretch's first frame plays, as a capture of it in one piece.
    const float start = gridMoment(film.stretch.first, film.fps);
    writer->startSoundAt(start / 1000.0);
    const AVRational timeBase = first->streams[stream]->time_base;
    first.reset();
    std::string error;
    const bool copied = copySegments(order, timeBase, *writer, error);
    std::string finishError;
    const bool finished = writer->finish(finishError);
    writer.reset();
    if (!copied || !finished) {
        std::remove(desc.path.c_str());
        std::fprintf(stderr, "voltaresca-capture: joining failed: %s; nothing written to '%s'\n",
                     !error.empty() ? error.c_str() : finishError.c_str(), options.join.c_str());
        return 1;
    }
    if (std::rename(desc.path.c_str(), options.join.c_str()) != 0) {
        std::remove(desc.path.c_str());
        std::fprintf(stderr, "voltaresca-capture: couldn't name the film '%s'\n", options.join.c_str());
        return 1;
    }
    std::fprintf(stderr, "voltaresca-capture: %ld frames from %zu segments in '%s'\n", film.stretch.count(), order.size(),
                 options.join.c_str());
    return 0;
}
