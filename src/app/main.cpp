// Entry point: the application logger, the run mode, the run.
#include <cstdio>

#include "base/log.h"
#include "app/run.h"
#include "app/startup.h"
#include "platform/platform.h"

int main(int argc, char** argv) {
    const RunMode mode = parseCommandLine(argc, argv);
    if (mode == RunMode::None) {
        std::fprintf(stderr, "usage: %s [free]   (no word: full screen; free: in a window with the free camera)\n",
                     argc > 0 ? argv[0] : "voltaresca");
        return 0;
    }
    platform::installInterruptHandler();
    return withPlatform([mode] { return runDemo(mode); },
                        [](const std::string& reason) {
                            getLogger("Voltaresca")->log("couldn't start the window system: " + reason +
                                                         " (is DISPLAY set? try SDL_VIDEODRIVER=x11 or wayland)");
                            return 1;
                        });
}
