// Captures the generated film at its key moments with voltaresca-capture and judges the frames
// by their brightness: not black, not flat, the closing image there at the end. Skips when the
// archive was not generated.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <filesystem>
#include <cstdlib>
#include <fstream>
#include <map>
#include <string>
#include <vector>

#include "assets/image.h"
#include "content/check/film_light.h"
#include "content/pictures/pictures.h"
#include "film_capture.h"
#include "support/temp_dir.h"

namespace {

// Luminance 0..1 of a picture, bottom row first.
struct Grey {
    int width = 0, height = 0;
    std::vector<float> y;
    float at(int x, int row) const { return y[static_cast<size_t>(row) * width + x]; }
};

bool loadGrey(const std::string& path, bool jpeg, Grey& out) {
    DecodedImage image;
    if (!(jpeg ? decodeJpeg(path, image) : decodePng(path, image))) return false;
    const int channels = image.bitsPerPixel / 8;
    out.width = image.width;
    out.height = image.height;
    out.y.resize(static_cast<size_t>(image.width) * image.height);
    for (size_t i = 0; i < out.y.size(); ++i) {
        const unsigned char* p = image.pixels + i * channels;
        out.y[i] = channels >= 3 ? (0.299f * p[0] + 0.587f * p[1] + 0.114f * p[2]) / 255.0f : p[0] / 255.0f;
    }
    releasePixels(image);
    return true;
}

struct Stats {
    float mean = 0, spread = 0;
    float step = 0;  // mean difference of neighbouring pixels: about 1.1 x spread for noise
};

// Over the picture between the letterbox bars.
Stats statsOf(const Grey& g) {
    const int from = static_cast<int>(g.height * content::kLetterboxBar) + 2, to = g.height - from;
    double sum = 0, sum2 = 0, steps = 0;
    size_t n = 0;
    for (int row = from; row < to; ++row)
        for (int x = 0; x < g.width; ++x) {
            const float v = g.at(x, row);
            sum += v, sum2 += double(v) * v, ++n;
            if (x > 0) steps += std::fabs(v - g.at(x - 1, row));
        }
    const double mean = sum / n;
    return {static_cast<float>(mean), static_cast<float>(std::sqrt(std::max(0.0, sum2 / n - mean * mean))),
            static_cast<float>(steps / n)};
}

// Mean over a box given in fractions of the picture (x0, y0 from the bottom left).
float boxMean(const Grey& g, float x0, float y0, float x1, float y1) {
    double sum = 0;
    size_t n = 0;
    for (int row = static_cast<int>(y0 * g.height); row < static_cast<int>(y1 * g.height); ++row)
        for (int x = static_cast<int>(x0 * g.width); x < static_cast<int>(x1 * g.width); ++x) sum += g.at(x, row), ++n;
    return n ? static_cast<float>(sum / n) : 0.0f;
}

// Mean red and blue (0..1) between radii r0 and r1 of a point, all in fractions of the picture's
// width (y from the bottom); for judging small round things such as an eye.
struct Warmth {
    float red = 0, blue = 0;
};
Warmth ringMean(const std::string& path, float fx, float fy, float r0, float r1) {
    DecodedImage image;
    if (!decodePng(path, image)) return {};
    const int channels = image.bitsPerPixel / 8, w = image.width;
    const float cx = fx * w, cy = fy * image.height;
    double red = 0, blue = 0;
    int n = 0;
    for (int row = 0; row < image.height; ++row)
        for (int x = 0; x < w; ++x) {
            const float d = std::hypot(x + 0.5f - cx, row + 0.5f - cy) / w;
            if (d < r0 || d >= r1) continue;
            const unsigned char* p = image.pixels + (static_cast<size_t>(row) * w + x) * channels;
            red += p[0], blue += p[2], ++n;
        }
    releasePixels(image);
    return n ? Warmth{static_cast<float>(red / n / 255.0), static_cast<float>(blue / n / 255.0)} : Warmth{};
}

// Correlation of two pictures sampled on a coarse grid between the letterbox bars.
float likeness(const Grey& a, const Grey& b) {
    std::vector<float> va, vb;
    for (int j = 0; j < 12; ++j)
        for (int i = 0; i < 32; ++i) {
            const float fx = (i + 0.5f) / 32.0f, fy = 0.15f + 0.7f * (j + 0.5f) / 12.0f;
            va.push_back(boxMean(a, fx - 0.015f, fy - 0.03f, fx + 0.015f, fy + 0.03f));
            vb.push_back(boxMean(b, fx - 0.015f, fy - 0.03f, fx + 0.015f, fy + 0.03f));
        }
    double ma = 0, mb = 0;
    for (size_t k = 0; k < va.size(); ++k) ma += va[k], mb += vb[k];
    ma /= va.size(), mb /= vb.size();
    double ab = 0, aa = 0, bb = 0;
    for (size_t k = 0; k < va.size(); ++k) {
        ab += (va[k] - ma) * (vb[k] - mb), aa += (va[k] - ma) * (va[k] - ma), bb += (vb[k] - mb) * (vb[k] - mb);
    }
    return aa > 0 && bb > 0 ? static_cast<float>(ab / std::sqrt(aa * bb)) : 0.0f;
}

const std::vector<int> kMoments = {5000, 7500, 9000, 20000, 38000, 45000, 70000, 90000, 130000, 156300, 157300, 160000, 205000, 220000};

#ifndef VOLTARESCA_SANITIZER_FLAVOUR
#define VOLTARESCA_SANITIZER_FLAVOUR 0
#endif
// The sanitizer flavour leaves the film's pictures to the plain flavour (see CMakeLists.txt).
constexpr bool kJudgedElsewhere = VOLTARESCA_SANITIZER_FLAVOUR;
constexpr const char* kJudgedElsewhereReason = "the film's pictures are judged in the plain flavour (see CMakeLists.txt)";

// The light rule's capture: the stretches it holds in, from the first to the last.
const float kLightFromMs = content::litAndMovingRanges().front().from * 1000.0f;
const float kLightToMs = content::litAndMovingRanges().back().to * 1000.0f;

// ctest runs each case in a process of its own; the film is captured once for all of them, into
// a folder beside the test under a lock, and read again while the archive and the capture
// program stay the same: the key moments, and the light rule's small pictures in light/.
class FilmFrames : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        if (kJudgedElsewhere || !std::ifstream(VOLTARESCA_ARCHIVE)) return;
        const char* data = std::getenv("VOLTARESCA_TEST_DATA");
        folder_ = std::string(data ? data : ".") + "/film_frames";
        std::string at;
        for (int ms : kMoments) at += (at.empty() ? "" : ",") + std::to_string(ms);
        const std::string stamp =
            filmCaptureStamp(at + " light " + std::to_string(kLightFromMs) + "-" + std::to_string(kLightToMs));
        failure_ = captureOnce(folder_, stamp, [&at]() -> std::string {
            // Two frames a second keep the run short; the film's state only needs time to pass.
            const std::string command = std::string("\"") + VOLTARESCA_CAPTURE + "\" --archive \"" VOLTARESCA_ARCHIVE "\" --size 320x180 --fps 2 --out \"" +
                                        folder_ + "\" --at " + at + " > \"" + folder_ + "/log.txt\" 2>&1";
            if (std::system(command.c_str()) != 0) return "the capture failed: " + readFile(folder_ + "/log.txt");
            try {
                content::captureForLight(VOLTARESCA_CAPTURE, VOLTARESCA_ARCHIVE, folder_ + "/light", kLightFromMs, kLightToMs);
            } catch (const std::runtime_error& e) {
                return e.what();
            }
            return "";
        });
    }

    void SetUp() override {
        if (kJudgedElsewhere) GTEST_SKIP() << kJudgedElsewhereReason;
        if (folder_.empty()) GTEST_SKIP() << "no archive at " VOLTARESCA_ARCHIVE " (built with VOLTARESCA_CONTENT=OFF?)";
        ASSERT_EQ(failure_, "");
    }

    Grey frame(int ms) {
        char name[64];
        std::snprintf(name, sizeof name, "/at_%07d.0.png", ms);
        Grey g;
        EXPECT_TRUE(loadGrey(folder_ + name, false, g)) << "no frame " << name;
        return g;
    }

    static std::string folder_;
    static std::string failure_;
};

std::string FilmFrames::folder_;
std::string FilmFrames::failure_;

TEST_F(FilmFrames, EveryKeyMomentIsLitAndHasContrast) {
    for (int ms : {5000, 20000, 45000, 70000, 90000, 130000, 160000, 205000, 220000}) {
        const Grey g = frame(ms);
        if (g.y.empty()) continue;
        const Stats s = statsOf(g);
        EXPECT_GT(s.mean, 0.04f) << "frame at " << ms << " ms is nearly black";
        EXPECT_GT(s.spread, 0.05f) << "frame at " << ms << " ms is flat";
        EXPECT_LT(s.step, 0.4f * s.spread) << "frame at " << ms << " ms is noise, not a picture";
    }
}

TEST_F(FilmFrames, ClosingImageIsThereAtTheEnd) {
    const Grey last = frame(220000), before = frame(205000);
    TempDir pictures;
    Grey end;
    ASSERT_TRUE(loadGrey(pictures.write("end.jpg", content::endPicture()), true, end));
    EXPECT_GT(likeness(last, end), 0.6f) << "the frame at 220 s doesn't look like the closing image";
    EXPECT_LT(likeness(before, end), likeness(last, end)) << "the closing image is already there at 205 s";
}

TEST_F(FilmFrames, EyesGlowBrighterOnAPulse) {
    const Grey pulse = frame(9000), between = frame(7500);
    // The eyes sit at the middle of the push-in shot; the box holds both and the nose between.
    EXPECT_GT(boxMean(pulse, 0.4f, 0.43f, 0.6f, 0.55f), boxMean(between, 0.4f, 0.43f, 0.6f, 0.55f) + 0.02f);
}

TEST_F(FilmFrames, EyesReadAsEyesBetweenPulses) {
    // The eyes' close-up at 38 s, between two pulses: round each dark pupil an amber ring glows.
    for (const auto& [x, y] : {std::pair{0.408f, 0.481f}, std::pair{0.586f, 0.486f}}) {
        const std::string path = folder_ + "/at_0038000.0.png";
        const Warmth iris = ringMean(path, x, y, 0.011f, 0.019f), pupil = ringMean(path, x, y, 0.0f, 0.005f);
        EXPECT_GT(iris.red, pupil.red + 0.15f) << "no glowing ring round the pupil at " << x;
        EXPECT_GT(iris.red, 2.0f * iris.blue) << "the iris at " << x << " isn't warm";
    }
}

TEST_F(FilmFrames, CreditsMonitorLightsUpAroundItsCue) {
    // Both frames inside the monitors shot, after its fade-in: the first credit has faded out
    // by 156.3 s, the second comes up on the top right monitor at 156.5 s and is near full by
    // 157.3 s. The camera barely moves in that second, so the monitor keeps its place.
    const Grey cue = frame(157300), before = frame(156300);
    const float lit = boxMean(cue, 0.59f, 0.56f, 0.71f, 0.7f), dark = boxMean(before, 0.59f, 0.56f, 0.71f, 0.7f);
    EXPECT_GT(lit, dark + 0.03f) << "the credit didn't come up on its monitor";
    // Its neighbour below stays dark: the change is the credit, not the light of the shot.
    EXPECT_NEAR(boxMean(cue, 0.59f, 0.32f, 0.71f, 0.46f), boxMean(before, 0.59f, 0.32f, 0.71f, 0.46f), 0.03f);
}

TEST_F(FilmFrames, HallAndApproachAreLitAndMoving) {
    // The hall and the heavy part, and the drift to the closing monitor, measured as a viewer
    // would: no four seconds below a mean brightness of 35, no six seconds that barely change.
    const std::vector<content::FrameLight> series = content::measureCapture(folder_ + "/light", kLightFromMs);
    ASSERT_GE(series.size(), static_cast<size_t>((kLightToMs - kLightFromMs) / 1000.0f * content::kLightFps));
    for (const std::string& problem : content::checkFilmLight(series)) ADD_FAILURE() << problem;
}

}  // namespace

// The rule's windows, on made-up series: a dip shorter than a window is forgiven, a longer one
// is found with its place; the first picture's change is not counted.
TEST(FilmLight, WindowsFindTheDarkestAndStillestStretch) {
    std::vector<content::FrameLight> series;
    for (int i = 0; i <= 2 * 40; ++i) {
        const float t = 60.0f + 0.5f * static_cast<float>(i);
        const bool dim = t >= 70.0f && t < 75.0f, still = t > 85.0f && t <= 91.5f;
        series.push_back({t, dim ? 20.0f : 50.0f, i == 0 ? 0.0f : still ? 5.0f : 12.0f});
    }
    const content::LightRange range{62.0f, 98.0f};
    const content::LightWindow dark = content::darkestWindow(series, range, 4.0f);
    EXPECT_FLOAT_EQ(dark.value, 20.0f);
    EXPECT_GE(dark.from, 70.0f);
    EXPECT_LE(dark.to, 75.0f);
    const content::LightWindow still = content::stillestWindow(series, range, 6.0f);
    EXPECT_FLOAT_EQ(still.value, 5.0f);
    EXPECT_FLOAT_EQ(still.from, 85.0f);
    // The five dim seconds only lower the mean of a longer window.
    EXPECT_GT(content::darkestWindow(series, range, 6.0f).value, 20.0f);
    // The change into the first picture comes from before the series.
    EXPECT_FLOAT_EQ(content::stillestWindow(series, {60.0f, 70.0f}, 6.0f).value, 12.0f);
    // A series that ends before the range gives no window.
    const content::LightWindow none = content::darkestWindow(series, {95.0f, 120.0f}, 4.0f);
    EXPECT_GT(none.from, none.to);
}

// The whole rule on a made-up series over both stretches: lit and moving throughout it holds; with
// five dim seconds in the hall it names exactly that stretch, and nothing else.
TEST(FilmLight, TheRuleNamesADarkStretchAndNothingElse) {
    const auto series = [](float dimFrom, float dimTo) {
        std::vector<content::FrameLight> out;
        const float from = content::litAndMovingRanges().front().from, to = content::litAndMovingRanges().back().to;
        for (int i = 0; from + static_cast<float>(i) / content::kLightFps < to; ++i) {
            const float t = from + static_cast<float>(i) / content::kLightFps;
            out.push_back({t, t >= dimFrom && t < dimTo ? 20.0f : 60.0f, i == 0 ? 0.0f : 12.0f});
        }
        return out;
    };
    EXPECT_EQ(content::checkFilmLight(series(0.0f, 0.0f)), std::vector<std::string>{});
    EXPECT_EQ(content::checkFilmLight(series(100.0f, 105.0f)),
              std::vector<std::string>{"62 - 153 s: too dark from 100.0 to 104.0 s (mean brightness 20.0, wants 35 or more)"});
}
