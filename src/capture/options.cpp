#include "capture/options.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>

#include "capture/segments.h"

namespace {

// What a moment of the film may be: kLatestScheduleMoment, in the messages' words.
const char* const kMoments = "milliseconds from 0 to 3600000 (an hour)";

bool parseNumber(const std::string& text, float& out) {
    if (text.empty()) return false;
    char* end = nullptr;
    const float v = std::strtof(text.c_str(), &end);
    if (*end != '\0' || !std::isfinite(v)) return false;
    out = v;
    return true;
}

bool applyOption(const std::string& option, const std::string& value, CaptureOptions& out, std::string& error) {
    // An empty name would land in the current folder or look for the default archive unasked.
    if (value.empty() && (option == "archive" || option == "video" || option == "out")) {
        error = "empty value for --" + option + ": give " +
                (option == "out" ? "a folder" : option == "video" ? "a file name, e.g. film.mp4" : "an archive file");
        return false;
    }
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
    } else if (option == "segment") {
        if (!parseSegment(value, out.segment, out.segments)) {
            error = "bad segment '" + value + "' for --segment: give K/N, the K-th of N, e.g. 2/8";
            return false;
        }
    } else if (option == "join") {
        out.join = value;
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
            if (!parseNumber(value.substr(start, comma - start), t) || t < 0.0f || t > kLatestScheduleMoment) {
                error = "bad time list '" + value + "' for --at: give " + kMoments + ", e.g. --at 1000,2500";
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
        if (option != "fps" && v > kLatestScheduleMoment) {
            error = "bad value '" + value + "' for --" + option + ": give " + kMoments;
            return false;
        }
        (option == "fps" ? out.fps : option == "from" ? out.from : out.to) = v;
    }
    return true;
}

void applyFlag(const std::string& flag, CaptureOptions& out) {
    if (flag == "help") out.help = true;
    else if (flag == "draw-every-frame") out.drawEveryFrame = true;
    else if (flag == "no-grain") out.noGrain = true;
    else if (flag == "no-sound") out.noSound = true;
}

struct LongOption {
    const char* name;
    bool takesValue;
};
const LongOption kOptions[] = {{"archive", true}, {"out", true},   {"size", true},
                               {"at", true},      {"fps", true},   {"from", true},
                               {"to", true},      {"video", true}, {"crf", true},
                               {"draw-every-frame", false},        {"no-grain", false},
                               {"help", false},   {"segment", true}, {"no-sound", false},
                               {"join", true}};

// The option `name` stands for: its full name, or a prefix of names. A prefix of several value
// options means the first of them in the table ("--f" is --fps); one that also begins a flag is
// ambiguous. Null when unknown or ambiguous.
const LongOption* findOption(const std::string& name) {
    const LongOption* found = nullptr;
    for (const LongOption& option : kOptions)
        if (name == option.name) return &option;
    for (const LongOption& option : kOptions) {
        if (std::string(option.name).compare(0, name.size(), name) != 0) continue;
        if (!found) found = &option;
        else if (found->takesValue != option.takesValue || !found->takesValue) return nullptr;
    }
    return found;
}

}  // namespace

bool checkFrameCount(const CaptureOptions& out, std::string& error) {
    const size_t frames = captureFrameCount(out);
    if (frames <= kMostScheduleFrames) return true;
    char text[200];
    std::snprintf(text, sizeof text, "too many frames: %s at --fps %g plays more than %zu; lower --fps or end earlier",
                  out.at.empty() ? "--to" : "--at", static_cast<double>(out.fps), kMostScheduleFrames);
    error = text;
    return false;
}

namespace {

// Each --at moment needs a picture name of its own.
bool checkMomentNames(const CaptureOptions& out, std::string& error) {
    const std::vector<float> moments = distinctMoments(out.at);
    if (momentNames(moments).size() == moments.size()) return true;
    error = "--at holds moments less than a millionth of a millisecond apart: their pictures can't be named apart";
    return false;
}

bool checkCombination(const CaptureOptions& out, std::string& error) {
    if (!out.join.empty()) {
        if (!out.video.empty() || !out.at.empty() || out.segment) {
            error = "--join puts finished segments together: give it no --video, --at or --segment";
            return false;
        }
        if (out.joinSegments.empty()) {
            error = "--join FILE.mp4 needs the segment files after the options";
            return false;
        }
        return true;
    }
    if (!checkFrameCount(out, error) || !checkMomentNames(out, error)) return false;
    if ((out.segment || out.noSound) && out.video.empty()) {
        error = "--segment and --no-sound are for a video: give --video FILE.mp4";
        return false;
    }
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

}  // namespace

bool parseCaptureOptions(int argc, const char* const* argv, CaptureOptions& out, std::string& error) {
    int next = 1;
    while (next < argc) {
        const std::string word = argv[next];
        if (word == "--") {
            ++next;
            break;
        }
        if (word.size() < 2 || word[0] != '-') break;  // the first word that is no option ends them
        ++next;
        if (word[1] != '-') {  // short options, grouped: only -h
            if (word.find_first_not_of('h', 1) != std::string::npos) {
                error = "unknown option '" + word + "'";
                return false;
            }
            out.help = true;
            continue;
        }
        const size_t equals = word.find('=');
        const LongOption* option = findOption(word.substr(2, equals == std::string::npos ? std::string::npos : equals - 2));
        if (!option || (equals != std::string::npos && !option->takesValue)) {
            error = "unknown option '" + word + "'";
            return false;
        }
        if (!option->takesValue) {
            applyFlag(option->name, out);
            continue;
        }
        std::string value;
        if (equals != std::string::npos) {
            value = word.substr(equals + 1);
        } else if (next < argc) {
            value = argv[next++];  // whatever it looks like, as "--out --x" writes into "--x"
        } else {
            error = "option '" + word + "' needs a value";
            return false;
        }
        if (!applyOption(option->name, value, out, error)) return false;
    }
    if (!out.join.empty())
        while (next < argc) out.joinSegments.emplace_back(argv[next++]);
    if (next < argc) {
        error = std::string("unexpected word '") + argv[next] + "' (options start with --)";
        return false;
    }
    if (out.help) return true;
    return checkCombination(out, error);
}
