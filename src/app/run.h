// The process: run mode from the command line, the run sequence and the main loop.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "app/controller.h"
#include "platform/platform.h"

// Only the first word counts: none plays the demo full screen, "free" plays it in a window
// with the free camera, anything else runs nothing.
RunMode parseCommandLine(int argc, const char* const* argv);

// Milliseconds from the high-resolution counter. The counter is injectable for tests.
class FrameTimer {
public:
    using CounterFn = int64_t (*)();
    FrameTimer(CounterFn counter, CounterFn frequency) : counter_(counter), frequency_(frequency) {}
    FrameTimer();
    void start();
    // Milliseconds since the previous tick, as the difference of two float totals.
    float tick();

private:
    CounterFn counter_;
    CounterFn frequency_;
    int64_t lastCount_ = 0;
    float elapsed_ = 0.0f;
    float previousElapsed_ = 0.0f;
    double frequencyHz_ = 1.0;
};

struct SetupResult;
struct StartupDesc;
// What the dialog's choices ask of the start-up: full screen in the chosen mode unless
// "Windowed" (a titled, centred window of that size); "free" mode is always in a window,
// borderless at the top left unless "Windowed" is ticked.
StartupDesc startupFor(RunMode mode, const SetupResult& setup);

// The whole run: dialog, unpacking, controller, main loop, clean-up. Returns the exit status:
// 0 after Escape or "Quit", non-zero when start-up failed.
int runDemo(RunMode mode);
class Transport;

struct LoopOptions {
    bool musicLock = true;  // the demo time follows the music while it plays
    // Called after every frame with its demo time (the sync benchmark watches the sound).
    std::function<void(float t)> afterFrame;
    // Ends the loop after this much demo time (ms); 0: only Escape or a quit request end it.
    float stopAt = 0.0f;
    // "free" mode's live reload, on F5 and when `watch` (the archive) changes: the lines say
    // what was reloaded or kept, and stay in the overlay until the next reload.
    std::function<std::vector<std::string>()> reload;
    std::string watch;
};

// The player's keys in "free" mode, each press seen once: Space pauses and resumes, Left and
// Right jump 5 s, Page Up and Page Down 30 s (back and forth), Home goes to the start, C
// switches between the free camera and the film's cameras. True when the film must be replayed
// to transport.time() (DemoController::seek): after a jump, and after C.
bool applyPlayerKeys(Transport& transport, DemoController& controller,
                     const std::function<bool(platform::Key)>& pressed);
// The overlay's lines for the player: the keys and what the transport is doing.
std::string playerNotes(const Transport& transport, const DemoController& controller);

// Runs the main loop until Escape, a quit request, or update/render asking to stop; returns
// the number of frames drawn.
int runMainLoop(DemoController& controller, FrameTimer& timer, const LoopOptions& options = {});
