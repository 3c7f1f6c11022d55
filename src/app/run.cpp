#include "app/run.h"

#include <cstdio>
#include <cstring>

#include "app/dialog.h"
#include "app/startup.h"
#include "base/log.h"
#include "platform/platform.h"

std::string dataDirectory;


RunMode parseCommandLine(int argc, const char* const* argv) {
    if (argc < 2 || !argv || !argv[1]) return RunMode::Demo;
    return std::strcmp(argv[1], "free") == 0 ? RunMode::Free : RunMode::None;
}

FrameTimer::FrameTimer() : FrameTimer(&platform::counter, &platform::counterFrequency) {}

void FrameTimer::start() {
    const int64_t f = frequency_();
    frequencyHz_ = f > 0 ? static_cast<double>(f) : 1.0;
    elapsed_ = 0.0f;
    previousElapsed_ = 0.0f;
    lastCount_ = counter_();
}

float FrameTimer::tick() {
    const int64_t now = counter_();
    const float delta = static_cast<float>(static_cast<double>(now - lastCount_) * 1000.0 / frequencyHz_);
    elapsed_ += delta;
    lastCount_ = now;
    const float dt = elapsed_ - previousElapsed_;
    previousElapsed_ = elapsed_;
    return dt;
}

int runMainLoop(DemoController& controller, FrameTimer& timer) {
    timer.start();
    int frames = 0;
    float t = 0.0f;
    bool finished = false;
    for (;;) {
        if (!platform::pumpEvents()) break;
        // A tap shorter than a frame counts too: slow frames must not swallow Escape.
        if (platform::keyDown(platform::Key::Escape) || platform::keyPressed(platform::Key::Escape)) break;
        const float dt = timer.tick();
        t += dt;
        if (!controller.update(t, dt)) finished = true;
        ++frames;
        if (!controller.render(t, dt)) break;
        if (finished) break;
    }
    return frames;
}

int runDemo(RunMode mode) {
    Logger* log = getLogger("Voltaresca");
    SetupResult setup;
    if (!runSetupDialog(setup)) {
        log->log("the setup dialog couldn't open, so no display mode was chosen; nothing to play");
        return 1;
    }
    if (setup.startFlag != 1) return 0;

    StartupDesc desc;
    desc.mode = mode;
    desc.width = setup.width;
    desc.height = setup.height;
    desc.bitsPerPixel = setup.bitsPerPixel;
    desc.frequency = setup.frequency;
    desc.fullScreen = mode == RunMode::Demo;
    std::string reason;
    std::unique_ptr<DemoStart> run = startDemo(desc, reason);
    if (!run) {
        log->log(reason);
        return 1;
    }
    dataDirectory = run->dataDirectory();
    log->log("playing " + std::to_string(setup.width) + "x" + std::to_string(setup.height) +
             (mode == RunMode::Demo ? " full screen" : " in a window"));
    FrameTimer timer;
    const int64_t begin = platform::counter();
    const int frames = runMainLoop(run->controller(), timer);
    const double seconds = static_cast<double>(platform::counter() - begin) / static_cast<double>(platform::counterFrequency());
    char summary[128];
    std::snprintf(summary, sizeof summary, "stopped after %d frames in %.1f s (%.1f frames per second)", frames, seconds,
                  seconds > 0 ? frames / seconds : 0.0);
    log->log(summary);
    run.reset();
    dataDirectory.clear();
    return 0;
}
