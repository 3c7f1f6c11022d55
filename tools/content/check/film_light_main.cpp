// voltaresca-film-light: captures the film at 160 x 90, two pictures a second, and prints its
// brightness and frame-to-frame change in blocks of four seconds, then the film's light rule
// (content/check/film_light.h). Exits 1 when the rule breaks.
//
//   voltaresca-film-light [--capture PROGRAM] [--archive FILE] [--out DIR] [--from S] [--to S]
#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <exception>
#include <string>

#include "content/check/film_light.h"

int main(int argc, char** argv) {
    const char* const usage =
        "usage: voltaresca-film-light [--capture PROGRAM] [--archive FILE] [--out DIR] [--from S] [--to S]\n"
        "Captures the film at 160x90, two pictures a second (into DIR, default film-light/), prints\n"
        "the mean brightness (0-255) and the frame-to-frame change of each four seconds, then checks\n"
        "that 62-153 s and 183-200 s are lit and moving. Defaults: this build's capture program and\n"
        "archive, 0 to 220 s.\n";
    std::string capture = VOLTARESCA_CAPTURE, archive = VOLTARESCA_ARCHIVE, out = "film-light";
    float from = 0.0f, to = 220.0f;
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        const bool hasValue = i + 1 < argc;
        if (arg == "--help" || arg == "-h") {
            std::fputs(usage, stdout);
            return 0;
        } else if (arg == "--capture" && hasValue) {
            capture = argv[++i];
        } else if (arg == "--archive" && hasValue) {
            archive = argv[++i];
        } else if (arg == "--out" && hasValue) {
            out = argv[++i];
        } else if ((arg == "--from" || arg == "--to") && hasValue) {
            (arg == "--from" ? from : to) = std::strtof(argv[++i], nullptr);
        } else {
            std::fprintf(stderr, "voltaresca-film-light: unexpected argument '%s'\n%s", arg.c_str(), usage);
            return 2;
        }
    }
    try {
        content::captureForLight(capture, archive, out, from * 1000.0f, to * 1000.0f);
        const std::vector<content::FrameLight> series = content::measureCapture(out, from * 1000.0f);
        std::printf("  seconds   brightness (min - max)   change (mean, min - max)\n");
        for (size_t i = 0; i < series.size();) {
            const float blockEnd = series[i].seconds + 4.0f - 1e-3f;
            float bMin = 1e9f, bMax = -1e9f, cMin = 1e9f, cMax = -1e9f, cSum = 0.0f;
            size_t n = 0, first = i;
            for (; i < series.size() && series[i].seconds < blockEnd; ++i, ++n) {
                bMin = std::min(bMin, series[i].brightness), bMax = std::max(bMax, series[i].brightness);
                if (i == 0) continue;
                cMin = std::min(cMin, series[i].change), cMax = std::max(cMax, series[i].change), cSum += series[i].change;
            }
            const size_t changes = first == 0 ? n - 1 : n;
            std::printf("%5.1f-%5.1f   %5.1f - %5.1f           %5.1f, %5.1f - %5.1f\n", series[first].seconds,
                        series[first].seconds + 4.0f, bMin, bMax, changes ? cSum / changes : 0.0f, changes ? cMin : 0.0f,
                        changes ? cMax : 0.0f);
        }
        for (const content::LightRange& r : content::litAndMovingRanges()) {
            const content::LightWindow dark = content::darkestWindow(series, r, content::kBrightnessWindow);
            const content::LightWindow still = content::stillestWindow(series, r, content::kChangeWindow);
            if (dark.from > dark.to) continue;
            std::printf("%.0f - %.0f s: darkest %.0f s %.1f (%.1f - %.1f s), stillest %.0f s %.1f (%.1f - %.1f s)\n", r.from,
                        r.to, content::kBrightnessWindow, dark.value, dark.from, dark.to, content::kChangeWindow,
                        still.value, still.from, still.to);
        }
        const std::vector<std::string> problems = content::checkFilmLight(series);
        for (const std::string& p : problems) std::printf("voltaresca-film-light: %s\n", p.c_str());
        if (problems.empty()) std::printf("voltaresca-film-light: lit and moving where it should be\n");
        return problems.empty() ? 0 : 1;
    } catch (const std::exception& e) {
        std::fprintf(stderr, "voltaresca-film-light: %s\n", e.what());
        return 1;
    }
}
