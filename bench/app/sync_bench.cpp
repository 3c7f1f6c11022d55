// How far the picture and the music drift apart while the film plays: the player's own main
// loop with the music going to SDL's disk audio driver, which writes what it plays to a file
// at the pace of playing. After each frame the file's size says which sample is being heard;
// at the end the music's first loud sample is found in the file, which ties sample indices to
// music time. The offset (demo time minus heard music time) is reported over the film.
//
//   sync_bench [--archive FILE] [--seconds S] [--counter-only]
//
// --counter-only takes the demo time from the counter alone (the loop's time before it
// followed the music).
#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <string>
#include <unistd.h>
#include <vector>

#include "app/run.h"
#include "app/startup.h"
#include "base/binary.h"
#include "platform/platform.h"

namespace {

constexpr double kRate = 44000.0;      // the music output's frequency
constexpr double kBytesPerSample = 4;  // 16-bit stereo
constexpr double kChunk = 4096;        // samples per output buffer
// The music's first sample louder than kLoud, in music seconds (the tune begins quietly).
constexpr int kLoud = 200;

struct Sample {
    double wall;   // ms since the first frame
    float t;       // demo time, ms
    double bytes;  // size of the played file
};

// The first sample frame at or after `from` whose left channel is louder than kLoud; false
// when there is none.
bool firstLoudFrame(const std::vector<unsigned char>& pcm, size_t from, size_t& frame) {
    for (size_t f = from; (f + 1) * 4 <= pcm.size(); ++f) {
        const int16_t v = static_cast<int16_t>(pcm[f * 4] | (pcm[f * 4 + 1] << 8));
        if (std::abs(v) > kLoud) {
            frame = f;
            return true;
        }
    }
    return false;
}

}  // namespace

int main(int argc, char** argv) {
    std::string archive;
    double seconds = 60.0;
    bool counterOnly = false;
    // Where the tune's first sample louder than kLoud lies on its left channel: 23292 frames at
    // 44000 Hz, the same in FFmpeg's decoding and in the mixer's.
    double musicOnset = 23292.0 / 44000.0;
    for (int i = 1; i < argc; ++i) {
        if (!std::strcmp(argv[i], "--archive") && i + 1 < argc) archive = argv[++i];
        else if (!std::strcmp(argv[i], "--seconds") && i + 1 < argc) seconds = std::atof(argv[++i]);
        else if (!std::strcmp(argv[i], "--onset") && i + 1 < argc) musicOnset = std::atof(argv[++i]);
        else if (!std::strcmp(argv[i], "--counter-only")) counterOnly = true;
        else {
            std::fprintf(stderr, "usage: sync_bench [--archive FILE] [--seconds S] [--onset S] [--counter-only]\n");
            return 2;
        }
    }
    const std::string played = std::filesystem::temp_directory_path() / ("sync-bench-" + std::to_string(::getpid()) + ".raw");
    setenv("SDL_AUDIODRIVER", "disk", 1);
    setenv("SDL_DISKAUDIOFILE", played.c_str(), 1);

    std::vector<Sample> samples;
    size_t musicStartBytes = 0;
    const int status = withPlatform(
        [&] {
            StartupDesc desc;
            desc.width = 320;
            desc.height = 180;
            desc.archive = archive;
            std::string reason;
            std::unique_ptr<DemoStart> run = startDemo(desc, reason);
            if (!run) {
                std::fprintf(stderr, "sync_bench: %s\n", reason.c_str());
                return 1;
            }
            FrameTimer timer;
            LoopOptions options;
            options.musicLock = !counterOnly;
            options.stopAt = static_cast<float>(seconds * 1000.0);
            const int64_t begin = platform::counter();
            options.afterFrame = [&](float t) {
                std::error_code ec;
                const double bytes = static_cast<double>(std::filesystem::file_size(played, ec));
                const double wall = static_cast<double>(platform::counter() - begin) * 1000.0 /
                                    static_cast<double>(platform::counterFrequency());
                if (samples.empty()) musicStartBytes = static_cast<size_t>(bytes);
                samples.push_back({wall, t, bytes});
            };
            runMainLoop(run->controller(), timer, options);
            return 0;
        },
        [](const std::string& reason) {
            std::fprintf(stderr, "sync_bench: no window system: %s\n", reason.c_str());
            return 1;
        });
    std::vector<unsigned char> pcm;
    const bool read = readWholeFile(played, pcm);
    std::filesystem::remove(played);
    if (status != 0 || !read || samples.size() < 10) {
        std::fprintf(stderr, "sync_bench: nothing measured (is the archive there, does the music open?)\n");
        return 1;
    }
    // The music began with the first frame; look for its first loud sample from a buffer before.
    const size_t from = musicStartBytes / kBytesPerSample > 2 * kChunk ? musicStartBytes / kBytesPerSample - 2 * kChunk : 0;
    size_t onsetIndex = 0;
    if (!firstLoudFrame(pcm, from, onsetIndex)) {
        std::fprintf(stderr, "sync_bench: the music never got loud in the played file\n");
        return 1;
    }
    const double zeroIndex = static_cast<double>(onsetIndex) - musicOnset * kRate;  // music time 0
    std::printf("sync_bench: %s, %zu frames over %.0f s, %.1f frames/s\n",
                counterOnly ? "counter only" : "following the music", samples.size(), samples.back().wall / 1000.0,
                samples.size() * 1000.0 / samples.back().wall);
    const Sample& a = samples.front();
    const Sample& b = samples.back();
    std::printf("sync_bench: the driver played %.0f samples per second of the counter\n",
                (b.bytes - a.bytes) / kBytesPerSample / ((b.wall - a.wall) / 1000.0));
    std::printf("%10s %14s %12s\n", "demo time", "offset (ms)", "frames");
    // Mean offset per window: the sample being heard is, on average, half a buffer into the
    // buffer last written.
    double first = 0.0, last = 0.0, worst = 0.0;
    bool haveFirst = false;
    const double window = 5000.0;
    for (double at = window; at <= samples.back().t; at += (at < 20000.0 ? window : 20000.0)) {
        double sum = 0.0;
        int count = 0;
        for (const Sample& s : samples)
            if (s.t > at - window && s.t <= at) {
                const double heardIndex = s.bytes / kBytesPerSample - kChunk / 2.0;
                const double music = (heardIndex - zeroIndex) / kRate * 1000.0;
                sum += s.t - music;
                ++count;
            }
        if (count == 0) continue;
        const double offset = sum / count;
        if (!haveFirst) first = offset, haveFirst = true;
        last = offset;
        worst = std::max(worst, std::abs(offset));
        std::printf("%9.0f s %14.1f %12d\n", at / 1000.0, offset, count);
    }
    // Frame by frame, after the first five seconds (the start settles there).
    std::vector<double> offsets;
    for (const Sample& s : samples)
        if (s.t > 5000.0) offsets.push_back(std::abs(s.t - ((s.bytes / kBytesPerSample - kChunk / 2.0 - zeroIndex) / kRate * 1000.0)));
    std::sort(offsets.begin(), offsets.end());
    size_t within = 0;
    for (double o : offsets) within += o <= 1000.0 / 30.0 ? 1 : 0;
    std::printf("sync_bench: offset first %.1f ms, last %.1f ms, drift %.1f ms, largest window %.1f ms\n", first, last,
                last - first, worst);
    if (!offsets.empty())
        std::printf("sync_bench: after 5 s, frame by frame: median %.1f ms, 90th percentile %.1f ms, %.1f %% of frames within "
                    "a 30 fps frame (33.3 ms; each figure carries up to half an output buffer, 46 ms, of reading error)\n",
                    offsets[offsets.size() / 2], offsets[offsets.size() * 9 / 10], 100.0 * within / offsets.size());
    return 0;
}
