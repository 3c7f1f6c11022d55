// The process: run mode from the command line, the run sequence and the main loop.
#pragma once

#include <cstdint>
#include <string>

#include "app/controller.h"

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

// The data folder of this run (inside a private folder of the temporary folder), ending in a
// separator; empty before the run sequence has made it.
extern std::string dataDirectory;

// The whole run: dialog, unpacking, controller, main loop, clean-up. Returns the exit status:
// 0 after Escape or "Quit", non-zero when start-up failed.
int runDemo(RunMode mode);
// Runs the main loop until Escape, a quit request, or update/render asking to stop; returns
// the number of frames drawn.
int runMainLoop(DemoController& controller, FrameTimer& timer);
