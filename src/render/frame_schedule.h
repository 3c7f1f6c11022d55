// The deterministic frame schedule the capture program and a seek play the film on. Time never
// comes from a clock: frame k plays at t = k x 1000 / fps.
#pragma once

#include <string>
#include <vector>

// What to play: single moments, or a sequence from `from` to `to` when `at` is empty.
struct ScheduleDesc {
    std::vector<float> at;  // single moments (ms), when given
    float fps = 30.0f;
    float from = 0.0f;
    float to = -1.0f;
};

struct CaptureFrame {
    float t = 0.0f;   // ms
    float dt = 0.0f;  // ms since the frame before (0 for the first)
    std::string file;  // picture to write, empty when the frame is only played
};

// Every frame from 0 up to the last requested time, in order. The requested moments are
// played exactly (a frame of their own between the grid frames when they fall between).
std::vector<CaptureFrame> captureSchedule(const ScheduleDesc& desc);
