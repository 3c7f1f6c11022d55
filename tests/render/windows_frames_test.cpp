// The Windows capture program (run under Wine) against the Linux one: the same command gives
// the same pictures of the film, the credits and the believe screen included. The Linux
// pictures are made first by the test WindowsFrames.LinuxCapture (see CMakeLists.txt).
// Byte-identical pictures are expected; where a picture differs (the two C libraries may round
// a sine or a power differently in the last bit), it must still be within 45 dB PSNR, and the
// test says which moment differs and by how much.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>

#include "assets/image.h"
#include "platform/platform.h"
#include "support/process.h"
#include "support/temp_dir.h"

namespace {

// Peak signal-to-noise ratio over the colour channels, in dB; negative when the pictures do not
// decode or differ in size, infinite when equal.
double psnr(const std::string& a, const std::string& b) {
    DecodedImage x, y;
    const bool decoded = decodePng(a, x) && decodePng(b, y);
    double result = -1.0;
    if (decoded && x.width == y.width && x.height == y.height && x.bitsPerPixel == y.bitsPerPixel) {
        const int channels = x.bitsPerPixel / 8;
        const size_t pixels = static_cast<size_t>(x.width) * static_cast<size_t>(x.height);
        double sum = 0.0;
        size_t n = 0;
        for (size_t i = 0; i < pixels; ++i)
            for (int c = 0; c < std::min(channels, 3); ++c, ++n) {
                const double d = double(x.pixels[i * channels + c]) - double(y.pixels[i * channels + c]);
                sum += d * d;
            }
        result = sum == 0.0 ? INFINITY : 10.0 * std::log10(255.0 * 255.0 / (sum / static_cast<double>(n)));
    }
    releasePixels(x);
    releasePixels(y);
    return result;
}

TEST(WindowsFrames, MatchTheLinuxCapture) {
    const char* data = std::getenv("VOLTARESCA_TEST_DATA");
    const std::string out = std::string(data ? data : ".") + "/windows_frames", err = out + "/log.txt";
    platform::removeTree(out);
    std::filesystem::create_directories(out);
    ASSERT_EQ(runProgram(VOLTARESCA_CAPTURE, {"--archive", VOLTARESCA_ARCHIVE, "--size", VOLTARESCA_FRAME_SIZE,
                                             "--fps", "2", "--at", VOLTARESCA_FRAME_MOMENTS, "--out", out},
                         {"", err}),
              0)
        << readFile(err);
    std::string moments = VOLTARESCA_FRAME_MOMENTS;
    for (size_t start = 0; start < moments.size();) {
        size_t comma = moments.find(',', start);
        if (comma == std::string::npos) comma = moments.size();
        const double ms = std::atof(moments.substr(start, comma - start).c_str());
        start = comma + 1;
        char name[64];
        std::snprintf(name, sizeof name, "/at_%09.1f.png", ms);
        const std::string linuxPicture = readFile(VOLTARESCA_LINUX_FRAMES + std::string(name));
        const std::string windowsPicture = readFile(out + name);
        ASSERT_FALSE(linuxPicture.empty()) << "no Linux picture " << name << " in " VOLTARESCA_LINUX_FRAMES;
        ASSERT_FALSE(windowsPicture.empty()) << "no Windows picture " << name << " in " << out;
        if (linuxPicture == windowsPicture) {
            std::printf("%9.1f ms: byte-identical\n", ms);
            continue;
        }
        const double db = psnr(VOLTARESCA_LINUX_FRAMES + std::string(name), out + name);
        std::printf("%9.1f ms: differs, PSNR %.1f dB\n", ms, db);
        EXPECT_GE(db, 45.0) << "the Windows picture at " << ms << " ms is not the Linux one";
    }
}

}  // namespace
