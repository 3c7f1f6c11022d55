#include "app/run.h"

#include <cstdio>
#include <cstring>
#include <exception>

#include "app/dialog.h"
#include "app/startup.h"
#include "app/transport.h"
#include "base/log.h"
#include "platform/platform.h"

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

bool applyPlayerKeys(Transport& transport, DemoController& controller,
                     const std::function<bool(platform::Key)>& pressed) {
    using platform::Key;
    if (pressed(Key::Space)) transport.togglePause();
    bool jumped = false;
    if (pressed(Key::C)) {
        // The film's cameras carry a fade from shot to shot that the free flight does not run:
        // the film is replayed to this moment so that the shot shows as the film shows it (a
        // paused film would otherwise stay black).
        controller.useFilmCameras(!controller.filmCameras());
        jumped = true;
    }
    static const struct {
        Key key;
        float seconds;
    } kJumps[] = {{Key::Left, -5.0f}, {Key::Right, 5.0f}, {Key::PageUp, -30.0f}, {Key::PageDown, 30.0f}};
    for (const auto& jump : kJumps)
        if (pressed(jump.key)) {
            transport.jumpBy(jump.seconds * 1000.0f);
            jumped = true;
        }
    if (pressed(Key::Home)) {
        transport.jumpTo(0.0f);
        jumped = true;
    }
    return jumped;
}

std::string playerNotes(const Transport& transport, const DemoController& controller) {
    std::string state = transport.paused() ? "paused" : "playing";
    state += controller.filmCameras() ? ", the film's cameras" : ", free camera";
    return state + "\nSpace pause  Left/Right 5 s  PgUp/PgDn 30 s  Home start  C camera  F5 reload  F1 hide";
}

int runMainLoop(DemoController& controller, FrameTimer& timer, const LoopOptions& options) {
    const bool player = controller.runMode() == RunMode::Free;
    Transport transport(&controller.music(), controller.filmLength());
    transport.setMusicLock(options.musicLock);
    const auto pressed = [](platform::Key key) { return platform::keyPressed(key); };
    // Vertical sync that the driver refused: the loop waits out the display's frame itself, so
    // that the per-frame shake and noise do not turn into flicker at hundreds of frames a second.
    const bool pace = controller.verticalSync() && controller.window() &&
                      platform::swapInterval(controller.window()->handle()) == 0;
    const double frameMs = 1000.0 / (controller.frequency() > 0 ? controller.frequency() : 60);
    int64_t frameStart = platform::counter();
    // The archive is looked at twice a second and reloaded once it holds still for one look
    // (the generator renames a finished archive into place, but a copy may take longer).
    const int64_t watchEvery = platform::counterFrequency() / 2;
    int64_t lastLook = platform::counter();
    uint64_t loadedStamp = options.watch.empty() ? 0 : platform::fileStamp(options.watch), seenStamp = loadedStamp;
    std::string reloadNotes;
    // Keys pressed while the content loaded wait in the event queue: they are dropped, as the
    // transport they would steer (and the music it follows) starts with the first frame. Only
    // Escape is kept.
    if (!platform::pumpEvents()) return 0;
    const bool escapedDuringLoad = platform::keyPressed(platform::Key::Escape);
    platform::forgetKeyPresses();
    if (escapedDuringLoad) return 0;
    timer.start();
    int frames = 0;
    bool finished = false;
    for (;;) {
        if (!platform::pumpEvents()) break;
        // A tap shorter than a frame counts too: slow frames must not swallow Escape.
        if (platform::keyDown(platform::Key::Escape) || platform::keyPressed(platform::Key::Escape)) break;
        const float step = timer.tick();
        bool reload = player && options.reload && platform::keyPressed(platform::Key::F5);
        if (player && options.reload && !options.watch.empty() && platform::counter() - lastLook >= watchEvery) {
            lastLook = platform::counter();
            const uint64_t stamp = platform::fileStamp(options.watch);
            if (stamp != 0 && stamp != loadedStamp && stamp == seenStamp) reload = true;
            seenStamp = stamp;
        }
        Transport::Frame frame;
        if (reload) {
            loadedStamp = options.watch.empty() ? 0 : platform::fileStamp(options.watch);
            reloadNotes.clear();
            std::vector<std::string> lines;
            try {
                lines = options.reload();
            } catch (const std::exception& e) {
                // A reload must not end the film: out of memory or a file-system error while
                // reading the new content leaves the player running what it has.
                lines = {"nothing was reloaded: " + std::string(e.what())};
                controllerLog()->log("reload: " + lines.front());
            }
            const size_t shown = lines.size() > 8 ? 7 : lines.size();  // the log has them all
            for (size_t i = 0; i < shown; ++i)
                reloadNotes += "\n" + (lines[i].size() > 110 ? lines[i].substr(0, 107) + "..." : lines[i]);
            if (shown < lines.size()) reloadNotes += "\n... and " + std::to_string(lines.size() - shown) + " more (see the log)";
        }
        const bool jumped = !reload && player && applyPlayerKeys(transport, controller, pressed);
        if (player && pressed(platform::Key::F1) && controller.frame()) controller.frame()->toggleOverlay();
        if (reload || jumped) {
            const int64_t begin = platform::counter();
            frame.t = transport.time();
            frame.dt = controller.seek(frame.t);
            if (jumped) {
                char line[96];
                std::snprintf(line, sizeof line, "jumped to %.1f s (the film replayed in %.2f s)", frame.t / 1000.0f,
                              static_cast<double>(platform::counter() - begin) /
                                  static_cast<double>(platform::counterFrequency()));
                getLogger("Voltaresca")->log(line);
            }
        } else {
            frame = transport.tick(step);
        }
        if (player && controller.frame())
            controller.frame()->setOverlayNotes(playerNotes(transport, controller) + reloadNotes);
        controller.setFlightStep(step);  // the free camera flies in real time, paused or not
        if (!controller.update(frame.t, frame.dt)) finished = true;
        ++frames;
        if (!controller.render(frame.t, frame.dt)) break;
        if (options.afterFrame) options.afterFrame(frame.t);
        if (pace) {
            const double spent = static_cast<double>(platform::counter() - frameStart) * 1000.0 /
                                 static_cast<double>(platform::counterFrequency());
            if (spent < frameMs - 1.0) platform::sleepMilliseconds(static_cast<int>(frameMs - spent));
            frameStart = platform::counter();
        }
        if (finished || (options.stopAt > 0.0f && frame.t >= options.stopAt)) break;
    }
    return frames;
}

StartupDesc startupFor(RunMode mode, const SetupResult& setup) {
    StartupDesc desc;
    desc.mode = mode;
    desc.width = setup.width;
    desc.height = setup.height;
    desc.bitsPerPixel = setup.bitsPerPixel;
    desc.frequency = setup.frequency;
    desc.fullScreen = mode == RunMode::Demo && !setup.windowed;
    desc.titled = setup.windowed;
    desc.verticalSync = setup.verticalSync;
    return desc;
}

int runDemo(RunMode mode) {
    Logger* log = getLogger("Voltaresca");
    SetupResult setup;
    if (!runSetupDialog(setup)) {
        log->log("the setup dialog couldn't open, so no display mode was chosen; nothing to play");
        return 1;
    }
    if (setup.startFlag != 1) return 0;

    const StartupDesc desc = startupFor(mode, setup);
    std::string reason;
    std::unique_ptr<DemoStart> run = startDemo(desc, reason);
    if (!run) {
        log->log(reason);
        return 1;
    }
    log->log("playing " + std::to_string(setup.width) + "x" + std::to_string(setup.height) +
             (desc.fullScreen ? " full screen" : " in a window") + (desc.verticalSync ? ", vertical sync" : ""));
    FrameTimer timer;
    LoopOptions options;
    if (mode == RunMode::Free) {
        options.reload = [&run] { return run->reload(); };
        options.watch = run->archive();
    }
    const int64_t begin = platform::counter();
    const int frames = runMainLoop(run->controller(), timer, options);
    const double seconds = static_cast<double>(platform::counter() - begin) / static_cast<double>(platform::counterFrequency());
    char summary[128];
    std::snprintf(summary, sizeof summary, "stopped after %d frames in %.1f s (%.1f frames per second)", frames, seconds,
                  seconds > 0 ? frames / seconds : 0.0);
    log->log(summary);
    run.reset();
    return 0;
}
