// Entry point of the browser build. The page (index.html) fetches the archive into the in-memory
// file system and starts the program after its Start click:
//   voltaresca --archive PATH --size WxH [--free] [--at MS[,MS...] [--steady]]
// The film plays as on the desktop (the same start-up and main loop; each swap waits for the
// browser's next animation frame). With --at the film is replayed without drawing to each
// moment in turn, which is drawn and written to at_<MS>.png in a private folder that
// data-shots names (the grain held still with --steady), for tests. The program tells the page
// what it does through the canvas's data- attributes: data-loading "done/total", data-state
// "playing", "shown", "ended" or "failed", data-reason, and while playing data-time (the film's
// milliseconds), data-music (the music's heard position) and data-frames (frames drawn).
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "app/run.h"
#include "app/startup.h"
#include "base/log.h"
#include "base/png_file.h"
#include "capture/output.h"
#include "platform/platform.h"
#include "platform/web.h"

namespace {

struct WebOptions {
    std::string archive = "/demodat";
    int width = 1280;
    int height = 720;
    bool free = false;
    std::vector<float> at;  // moments to show, in ms
    bool steady = false;
};

bool parse(int argc, char** argv, WebOptions& o, std::string& error) {
    for (int i = 1; i < argc; ++i) {
        const std::string word = argv[i];
        const bool hasValue = i + 1 < argc;
        if (word == "--archive" && hasValue) o.archive = argv[++i];
        else if (word == "--size" && hasValue) {
            if (std::sscanf(argv[++i], "%dx%d", &o.width, &o.height) != 2 || o.width <= 0 || o.height <= 0) {
                error = std::string("--size takes WIDTHxHEIGHT, not '") + argv[i] + "'";
                return false;
            }
        } else if (word == "--free") o.free = true;
        else if (word == "--at" && hasValue) {
            const std::string list = argv[++i];
            for (size_t start = 0; start <= list.size();) {
                size_t end = list.find(',', start);
                if (end == std::string::npos) end = list.size();
                char* stop = nullptr;
                const std::string item = list.substr(start, end - start);
                const double ms = std::strtod(item.c_str(), &stop);
                if (item.empty() || *stop != '\0' || ms < 0) {
                    error = "--at takes moments in ms, separated by commas, not '" + list + "'";
                    return false;
                }
                o.at.push_back(static_cast<float>(ms));
                start = end + 1;
            }
        }
        else if (word == "--steady") o.steady = true;
        else {
            error = "unknown option '" + word + "'";
            return false;
        }
    }
    return true;
}

int play(const WebOptions& o) {
    Logger* log = getLogger("Voltaresca");
    StartupDesc desc;
    desc.mode = o.free ? RunMode::Free : RunMode::Demo;
    desc.width = o.width;
    desc.height = o.height;
    desc.verticalSync = true;
    desc.archive = o.archive;
    desc.folderPrefix = "voltaresca-";
    std::string reason;
    std::unique_ptr<DemoStart> run = startDemo(desc, reason);
    if (!run) {
        log->log(reason);
        platform::tellPage("reason", reason);
        platform::tellPage("state", "failed");
        return 1;
    }
    DemoController& controller = run->controller();
    if (!o.at.empty()) {
        // Each moment is read back before its swap, as the capture program does, into
        // at_<ms>.png of a private folder of the in-memory file system (data-shots names it),
        // where the page's tests fetch it.
        if (o.steady && controller.frame()) controller.frame()->setSteadyNoise(true);
        const std::string shots = platform::makePrivateDirectory(platform::tempDirectory(), "voltaresca-shots-");
        std::vector<unsigned char> pixels;
        std::string shot, shown, writeError;
        controller.setBeforeSwap([&] {
            readFrame(o.width, o.height, pixels, true);
            if (!writePng(shot, framePicture(o.width, o.height, pixels.data()), writeError)) log->log(writeError);
        });
        for (float t : o.at) {
            char name[64];
            std::snprintf(name, sizeof name, "%.0f", static_cast<double>(t));
            shot = shots + "at_" + name + ".png";
            const float dt = controller.seek(t);
            controller.update(t, dt);
            controller.render(t, dt);
            shown += (shown.empty() ? "" : ",") + std::string(name);
            log->log(std::string("showed the moment ") + name + " ms");
        }
        controller.setBeforeSwap(nullptr);
        platform::tellPage("shots", shots);
        platform::tellPage("shown", shown);
        platform::tellPage("state", "shown");
        return 0;
    }
    platform::tellPage("state", "playing");
    FrameTimer timer;
    LoopOptions options;
    // The film's time for the page four times a second, with the music's heard position (ms,
    // -1 while none is heard) that the clock follows: its tests compare them.
    int told = -1, frames = 0;
    const platform::MusicStream& music = controller.music();
    options.afterFrame = [&told, &frames, &music](float t) {
        ++frames;
        if (static_cast<int>(t / 250.0f) == told) return;
        told = static_cast<int>(t / 250.0f);
        const double heard = music.heardPosition();
        platform::tellPage("frames", std::to_string(frames));
        platform::tellPage("music", std::to_string(heard < 0.0 ? -1 : static_cast<int>(heard * 1000.0)));
        platform::tellPage("time", std::to_string(static_cast<int>(t)));
    };
    const int64_t begin = platform::counter();
    const int drawn = runMainLoop(controller, timer, options);
    const double seconds = static_cast<double>(platform::counter() - begin) / static_cast<double>(platform::counterFrequency());
    char summary[128];
    std::snprintf(summary, sizeof summary, "stopped after %d frames in %.1f s (%.1f frames per second)", drawn, seconds,
                  seconds > 0 ? drawn / seconds : 0.0);
    log->log(summary);
    run.reset();  // the private folder goes with it
    platform::tellPage("state", "ended");
    return 0;
}

}  // namespace

int main(int argc, char** argv) {
    WebOptions options;
    std::string error;
    if (!parse(argc, argv, options, error)) {
        std::fprintf(stderr, "voltaresca: %s\n", error.c_str());
        platform::tellPage("reason", error);
        platform::tellPage("state", "failed");
        return 2;
    }
    return withPlatform([&options] { return play(options); },
                        [](const std::string& reason) {
                            getLogger("Voltaresca")->log("couldn't start the window system: " + reason);
                            platform::tellPage("reason", reason);
                            platform::tellPage("state", "failed");
                            return 1;
                        });
}
