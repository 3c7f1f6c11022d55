// Entry point: the application logger, the run mode, the run.
#include <cstdio>

#include "base/log.h"
#include "app/run.h"
#include "platform/platform.h"

int main(int argc, char** argv) {
    Logger* log = getLogger("Voltaresca");
    auto* output = new ConsoleOutput;
    log->addOutput(output);

    int status = 0;
    const RunMode mode = parseCommandLine(argc, argv);
    if (mode == RunMode::None) {
        std::fprintf(stderr, "usage: %s [free]   (no word: full screen; free: in a window with the free camera)\n",
                     argc > 0 ? argv[0] : "voltaresca");
    } else {
        platform::installInterruptHandler();
        if (!platform::init()) {
            log->log("couldn't start the window system: " + platform::lastError() +
                     " (is DISPLAY set? try SDL_VIDEODRIVER=x11 or wayland)");
            status = 1;
        } else {
            status = runDemo(mode);
            platform::quit();
        }
    }
    releaseLogger("Voltaresca");
    delete output;
    return status;
}
