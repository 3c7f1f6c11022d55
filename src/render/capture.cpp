#include "render/capture.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>

#include <getopt.h>

namespace {

bool parseNumber(const std::string& text, float& out) {
    if (text.empty()) return false;
    char* end = nullptr;
    const float v = std::strtof(text.c_str(), &end);
    if (*end != '\0' || !std::isfinite(v)) return false;
    out = v;
    return true;
}

std::string momentName(float t) {
    char name[64];
    std::snprintf(name, sizeof name, "at_%09.1f.png", static_cast<double>(t));
    return name;
}

}  // namespace

namespace {

bool applyOption(const std::string& option, const std::string& value, CaptureOptions& out, std::string& error) {
    if (option == "archive") {
        out.archive = value;
    } else if (option == "video") {
        out.video = value;
    } else if (option == "crf") {
        char rest = 0;
        if (std::sscanf(value.c_str(), "%d%c", &out.crf, &rest) != 1 || out.crf < 0 || out.crf > 51) {
            error = "bad quality '" + value + "' for --crf: give 0 (lossless) to 51";
            return false;
        }
    } else if (option == "out") {
        out.out = value;
    } else if (option == "size") {
        int w = 0, h = 0;
        char rest = 0;
        if (std::sscanf(value.c_str(), "%dx%d%c", &w, &h, &rest) != 2 || w < 8 || h < 8 || w > 8192 || h > 8192) {
            error = "bad size '" + value + "': give WxH, each between 8 and 8192, e.g. 1280x720";
            return false;
        }
        out.width = w;
        out.height = h;
    } else if (option == "at") {
        size_t start = 0;
        while (start <= value.size()) {
            size_t comma = value.find(',', start);
            if (comma == std::string::npos) comma = value.size();
            float t = 0.0f;
            if (!parseNumber(value.substr(start, comma - start), t) || t < 0.0f) {
                error = "bad time list '" + value + "': give milliseconds, e.g. --at 1000,2500";
                return false;
            }
            out.at.push_back(t);
            start = comma + 1;
        }
    } else {  // fps, from, to
        float v = 0.0f;
        if (!parseNumber(value, v) || v < 0.0f || (option == "fps" && (v <= 0.0f || v > 1000.0f))) {
            error = "bad value '" + value + "' for --" + option;
            return false;
        }
        (option == "fps" ? out.fps : option == "from" ? out.from : out.to) = v;
    }
    return true;
}

}  // namespace

bool parseCaptureOptions(int argc, const char* const* argv, CaptureOptions& out, std::string& error) {
    static const option kOptions[] = {
        {"archive", required_argument, nullptr, 0}, {"out", required_argument, nullptr, 0},
        {"size", required_argument, nullptr, 0},    {"at", required_argument, nullptr, 0},
        {"fps", required_argument, nullptr, 0},     {"from", required_argument, nullptr, 0},
        {"to", required_argument, nullptr, 0},      {"video", required_argument, nullptr, 0},
        {"crf", required_argument, nullptr, 0},     {"draw-every-frame", no_argument, nullptr, 'd'},
        {"no-grain", no_argument, nullptr, 'g'},
        {"help", no_argument, nullptr, 'h'},        {nullptr, 0, nullptr, 0}};
    // getopt keeps its place in globals: start afresh, print nothing itself, and ("+") never
    // reorder the arguments, which are not ours to change.
    optind = 0;
    opterr = 0;
    char* const* args = const_cast<char* const*>(argv);
    for (;;) {
        int index = -1;
        const int c = getopt_long(argc, args, "+:h", kOptions, &index);
        if (c == -1) break;
        const std::string word = optind > 0 && optind <= argc ? argv[optind - 1] : "";
        if (c == ':') {
            error = "option '" + word + "' needs a value";
            return false;
        }
        if (c == '?') {
            error = "unknown option '" + word + "'";
            return false;
        }
        if (c == 'h') {
            out.help = true;
        } else if (c == 'd') {
            out.drawEveryFrame = true;
        } else if (c == 'g') {
            out.noGrain = true;
        } else if (!applyOption(kOptions[index].name, optarg ? optarg : "", out, error)) {
            return false;
        }
    }
    if (optind < argc) {
        error = std::string("unexpected word '") + argv[optind] + "' (options start with --)";
        return false;
    }
    if (out.help) return true;
    if (!out.video.empty()) {
        if (!out.at.empty()) {
            error = "--video makes a sequence: give --from and --to (or neither: the whole film), not --at";
            return false;
        }
        if (out.width % 2 || out.height % 2) {
            error = "a video needs an even width and height, e.g. --size 1280x720";
            return false;
        }
        if (out.to >= 0.0f && out.to < out.from) {
            error = "--to must not be before --from";
            return false;
        }
        return true;  // without --to the video ends with the music
    }
    if (out.at.empty() && out.to < 0.0f) {
        error = "nothing to capture: give --at MS[,MS...] or --to MS (with --fps N and --from MS)";
        return false;
    }
    if (out.at.empty() && out.to < out.from) {
        error = "--to must not be before --from";
        return false;
    }
    return true;
}

std::vector<CaptureFrame> captureSchedule(const CaptureOptions& o) {
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
    for (long k = 0; next < wanted.size(); ++k) {
        const float grid = static_cast<float>(k * step);
        // Requested moments before this grid frame get frames of their own.
        while (next < wanted.size() && wanted[next] < grid) {
            frames.push_back({wanted[next], frames.empty() ? 0.0f : wanted[next] - previous, momentName(wanted[next])});
            previous = wanted[next++];
        }
        if (next >= wanted.size()) break;
        CaptureFrame f{grid, frames.empty() ? 0.0f : grid - previous, ""};
        if (wanted[next] == grid) f.file = momentName(wanted[next++]);
        frames.push_back(f);
        previous = grid;
    }
    return frames;
}
