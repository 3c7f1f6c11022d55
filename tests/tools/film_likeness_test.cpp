// The film rendered now against reference pictures of the same moments drawn with the effects as
// they were before they were made cheaper (tests/data/film_reference, grain left out on both
// sides: the grain follows the picture, so any change at all would redraw it). A change to the
// film itself remakes them with scripts/film-reference. Skips when the archive was not generated.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <string>

#include "assets/image.h"
#include "film_capture.h"
#include "support/temp_dir.h"

namespace {

const int kMoments[] = {5000, 9000, 20000, 45000, 70000, 90000, 130000, 160000, 205000, 220000};

// Peak signal-to-noise ratio over the colour channels, in dB; -1 when the pictures can't be
// compared (missing, or not the same size).
double psnr(const std::string& a, const std::string& b) {
    DecodedImage x, y;
    const bool ok = decodePng(a, x) && decodePng(b, y) && x.width == y.width && x.height == y.height;
    double squares = 0.0;
    size_t count = 0;
    if (ok) {
        const int cx = x.bitsPerPixel / 8, cy = y.bitsPerPixel / 8;
        for (size_t i = 0; i < static_cast<size_t>(x.width) * x.height; ++i)
            for (int c = 0; c < 3; ++c) {
                const double d = double(x.pixels[i * cx + c]) - double(y.pixels[i * cy + c]);
                squares += d * d, ++count;
            }
    }
    releasePixels(x);
    releasePixels(y);
    if (!ok) return -1.0;
    return squares == 0.0 ? 99.0 : 10.0 * std::log10(255.0 * 255.0 * count / squares);
}

TEST(FilmLikeness, FramesMatchTheReferencePictures) {
#if VOLTARESCA_SANITIZER_FLAVOUR
    GTEST_SKIP() << "the film's pictures are judged in the plain flavour (see CMakeLists.txt)";
#endif
    if (!std::ifstream(VOLTARESCA_ARCHIVE)) GTEST_SKIP() << "no archive at " VOLTARESCA_ARCHIVE;
    // Kept beside the test while the archive and the capture program stay the same.
    const char* data = std::getenv("VOLTARESCA_TEST_DATA");
    const std::string out = std::string(data ? data : ".") + "/film_likeness/";
    std::string at;
    for (int ms : kMoments) at += (at.empty() ? "" : ",") + std::to_string(ms);
    const std::string command = std::string("\"") + VOLTARESCA_CAPTURE + "\" --archive \"" VOLTARESCA_ARCHIVE
                                "\" --size 480x270 --no-grain --out \"" + out + "\" --at " + at + " 2>&1";
    ASSERT_EQ(captureOnce(out, filmCaptureStamp("480x270 no-grain " + at), [&]() -> std::string {
                  return std::system(command.c_str()) == 0 ? "" : "the capture failed: " + command;
              }),
              "");
    for (int ms : kMoments) {
        char name[32];
        std::snprintf(name, sizeof name, "at_%07d.0.png", ms);
        const double db = psnr(std::string(VOLTARESCA_REFERENCE_FRAMES "/") + name, out + name);
        EXPECT_GE(db, 38.0) << name << " differs from its reference picture (PSNR " << db << " dB; -1: unreadable)";
        std::printf("%s: %.1f dB\n", name, db);
    }
}

}  // namespace
