// The film's light and motion, measured on captured pictures.
#include "content/check/film_light.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <stdexcept>

#include "assets/image.h"

namespace content {

namespace {

std::vector<float> greyPicture(const std::string& path, int& width, int& height) {
    DecodedImage image;
    if (!decodePng(path, image)) throw std::runtime_error("can't read the picture '" + path + "'");
    const int channels = image.bitsPerPixel / 8;
    if (channels < 3) {
        releasePixels(image);
        throw std::runtime_error("the picture '" + path + "' is not RGB");
    }
    if (width && (image.width != width || image.height != height)) {
        const std::string size = std::to_string(image.width) + "x" + std::to_string(image.height);
        releasePixels(image);
        throw std::runtime_error("the picture '" + path + "' is " + size + ", the first was " + std::to_string(width) +
                                 "x" + std::to_string(height));
    }
    width = image.width;
    height = image.height;
    std::vector<float> grey(static_cast<size_t>(width) * height);
    for (size_t i = 0; i < grey.size(); ++i) {
        const unsigned char* p = image.pixels + i * channels;
        grey[i] = 0.299f * p[0] + 0.587f * p[1] + 0.114f * p[2];
    }
    releasePixels(image);
    return grey;
}

// The window of `seconds` inside the range with the lowest mean of `value` over the pictures
// it takes: `skipFirst` leaves out its first picture (whose change belongs to the time before).
template <class Value>
LightWindow lowestWindow(const std::vector<FrameLight>& series, const LightRange& range, float seconds, bool skipFirst,
                         Value value) {
    LightWindow worst{1.0f, 0.0f, 0.0f};
    if (series.size() < 2) return worst;
    const float step = series[1].seconds - series[0].seconds;
    const size_t n = static_cast<size_t>(std::lround(seconds / step));
    const float slack = step * 0.01f;
    if (series.front().seconds > range.from + slack || series.back().seconds + step < range.to - slack) return worst;
    bool found = false;
    for (size_t i = 0; i + n < series.size() + (skipFirst ? 0 : 1); ++i) {
        const float from = series[i].seconds;
        if (from < range.from - slack || from + seconds > range.to + slack) continue;
        float sum = 0.0f;
        for (size_t k = skipFirst ? 1 : 0; k < (skipFirst ? n + 1 : n); ++k) sum += value(series[i + k]);
        const float mean = sum / static_cast<float>(n);
        if (!found || mean < worst.value) worst = {from, from + seconds, mean};
        found = true;
    }
    return worst;
}

std::string number(float v, int decimals) {
    char text[32];
    std::snprintf(text, sizeof text, "%.*f", decimals, static_cast<double>(v));
    return text;
}

}  // namespace

const std::vector<LightRange>& litAndMovingRanges() {
    static const std::vector<LightRange> ranges = {{62.0f, 153.0f}, {183.0f, 200.0f}};
    return ranges;
}

std::vector<FrameLight> measurePictures(const std::vector<std::string>& files, float first, float step) {
    std::vector<FrameLight> series;
    std::vector<float> previous;
    int width = 0, height = 0;
    for (size_t i = 0; i < files.size(); ++i) {
        const std::vector<float> grey = greyPicture(files[i], width, height);
        FrameLight f;
        f.seconds = first + step * static_cast<float>(i);
        double sum = 0.0, change = 0.0;
        for (size_t k = 0; k < grey.size(); ++k) {
            sum += grey[k];
            if (!previous.empty()) change += std::fabs(grey[k] - previous[k]);
        }
        f.brightness = static_cast<float>(sum / static_cast<double>(grey.size()));
        f.change = static_cast<float>(change / static_cast<double>(grey.size()));
        series.push_back(f);
        previous = grey;
    }
    return series;
}

LightWindow darkestWindow(const std::vector<FrameLight>& series, const LightRange& range, float seconds) {
    return lowestWindow(series, range, seconds, false, [](const FrameLight& f) { return f.brightness; });
}

LightWindow stillestWindow(const std::vector<FrameLight>& series, const LightRange& range, float seconds) {
    return lowestWindow(series, range, seconds, true, [](const FrameLight& f) { return f.change; });
}

std::vector<std::string> checkFilmLight(const std::vector<FrameLight>& series) {
    std::vector<std::string> problems;
    for (const LightRange& range : litAndMovingRanges()) {
        const std::string where = number(range.from, 0) + " - " + number(range.to, 0) + " s: ";
        const LightWindow dark = darkestWindow(series, range, kBrightnessWindow);
        const LightWindow still = stillestWindow(series, range, kChangeWindow);
        if (dark.from > dark.to || still.from > still.to) {
            problems.push_back(where + "the pictures don't cover the stretch");
            continue;
        }
        if (dark.value < kMinBrightness)
            problems.push_back(where + "too dark from " + number(dark.from, 1) + " to " + number(dark.to, 1) +
                               " s (mean brightness " + number(dark.value, 1) + ", wants " + number(kMinBrightness, 0) +
                               " or more)");
        if (still.value < kMinChange)
            problems.push_back(where + "too still from " + number(still.from, 1) + " to " + number(still.to, 1) +
                               " s (frame-to-frame change " + number(still.value, 1) + ", wants " +
                               number(kMinChange, 0) + " or more)");
    }
    return problems;
}

void captureForLight(const std::string& captureProgram, const std::string& archive, const std::string& folder,
                     float fromMs, float toMs) {
    namespace fs = std::filesystem;
    fs::create_directories(folder);
    for (const fs::directory_entry& e : fs::directory_iterator(folder))
        if (e.path().filename().string().rfind("frame_", 0) == 0) fs::remove(e.path());
    const std::string log = folder + "/capture_log.txt";
    std::ostringstream command;
    command << "\"" << captureProgram << "\" --archive \"" << archive << "\" --size " << kLightWidth << "x" << kLightHeight
            << " --fps " << kLightFps << " --from " << fromMs << " --to " << toMs << " --out \"" << folder << "\" > \""
            << log << "\" 2>&1";
    if (std::system(command.str().c_str()) != 0) {
        std::ifstream in(log);
        std::stringstream text;
        text << in.rdbuf();
        throw std::runtime_error("the capture failed (" + command.str() + "):\n" + text.str());
    }
}

std::vector<FrameLight> measureCapture(const std::string& folder, float fromMs) {
    namespace fs = std::filesystem;
    std::vector<std::string> files;
    for (const fs::directory_entry& e : fs::directory_iterator(folder))
        if (e.path().filename().string().rfind("frame_", 0) == 0) files.push_back(e.path().string());
    std::sort(files.begin(), files.end());
    // The capture writes the pictures of its frame grid from the first one at or after fromMs.
    const float step = 1.0f / kLightFps;
    return measurePictures(files, std::ceil(fromMs / 1000.0f / step - 1e-4f) * step, step);
}

}  // namespace content
