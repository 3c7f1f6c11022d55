// voltaresca-capture: plays the film with the demo's own controller in an off-screen window,
// with no sound and deterministic time, and writes the chosen frames as PNG files or a video.
#include <cstdio>
#include <string>

#include "app/capture_run.h"
#include "app/startup.h"
#include "capture/options.h"
#include "platform/platform.h"

namespace {

const char* const kUsage =
    "usage: voltaresca-capture [--archive FILE] [--size WxH] [--draw-every-frame] [--no-grain]\n"
    "                          [--out DIR] (--at MS[,MS...] | [--fps N] [--from MS] --to MS)\n"
    "       voltaresca-capture [--archive FILE] [--size WxH] --video FILE.mp4 [--crf N]\n"
    "                          [--fps N] [--from MS] [--to MS] [--segment K/N] [--no-sound]\n"
    "       voltaresca-capture [--archive FILE] --join FILM.mp4 SEGMENT.mp4...\n"
    "Renders moments of the film to PNG files, or a stretch of it with its music to an MP4 video\n"
    "(H.264 and AAC; without --to it ends with the music; --crf 17 is visually lossless, lower\n"
    "is larger), without a screen or sound. Frames play at a fixed\n"
    "rate (--fps, 30 by default) from 0 ms, so the same command gives the same pictures. Frames\n"
    "that are not written run the film's update but are not drawn; --draw-every-frame draws\n"
    "them too (the pictures are the same either way). --no-grain leaves the film grain out and\n"
    "holds its noise still, for pictures that compare pixel by pixel with another rendering.\n"
    "A long video can be made in parts by separate processes or machines: --segment K/N writes\n"
    "the K-th of N segments of the stretch from --from to --to (the same for every segment), and\n"
    "--no-sound leaves the music out; --join checks the segments and puts them together, copying\n"
    "their pictures and encoding the music once for the whole stretch (scripts/render-farm does\n"
    "both, on a Slurm cluster or here).\n"
    "Options take --opt VALUE or --opt=VALUE.\n";

}  // namespace

int main(int argc, char** argv) {
    CaptureOptions options;
    std::string error;
    if (!parseCaptureOptions(argc, argv, options, error)) {
        std::fprintf(stderr, "voltaresca-capture: %s\n%s", error.c_str(), kUsage);
        return 2;
    }
    if (options.help) {
        std::fputs(kUsage, stdout);
        return 0;
    }
    // No screen: SDL's off-screen driver unless the caller chose one.
    platform::preferOffscreenVideo();
    platform::installInterruptHandler();
    return withPlatform([&options] { return options.join.empty() ? capture(options) : joinFilm(options); },
                        [](const std::string& reason) {
                            std::fprintf(stderr,
                                         "voltaresca-capture: couldn't start the window system: %s (try "
                                         "SDL_VIDEODRIVER=x11 under xvfb-run)\n",
                                         reason.c_str());
                            return 1;
                        });
}
