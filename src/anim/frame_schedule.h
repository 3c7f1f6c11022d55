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

// The latest moment a schedule reaches (ms): an hour, many times the film's length. Up to it a
// float holds a frame's time to a quarter of a millisecond or better.
constexpr float kLatestScheduleMoment = 3600000.0f;
// The most frames one schedule holds: an hour at about 280 frames a second (40 MB of frames).
constexpr size_t kMostScheduleFrames = 1000000;

// Grid frame k's moment (ms) at `fps`, the same float wherever it is computed.
float gridMoment(long k, float fps);

// How many frames captureSchedule(desc) gives, counted without making them, for times from 0 to
// kLatestScheduleMoment and a rate above 0 (what the options take); more than
// kMostScheduleFrames means the request is refused before the schedule is made.
size_t captureFrameCount(const ScheduleDesc& desc);

// The moments `at`, ascending, each once.
std::vector<float> distinctMoments(std::vector<float> at);

// The picture names of moments (ms, ascending and distinct): "at_0001000.0.png", with more
// decimals for moments that one decimal does not tell apart ("at_0001000.01.png" beside
// "at_0001000.04.png"), so that no two moments share a file. Empty when some lie too close to
// name apart (less than a millionth of a millisecond).
std::vector<std::string> momentNames(const std::vector<float>& moments);

// Every frame from 0 up to the last requested time, in order. The requested moments are
// played exactly (a frame of their own between the grid frames when they fall between). The
// caller keeps the count within kMostScheduleFrames (captureFrameCount).
std::vector<CaptureFrame> captureSchedule(const ScheduleDesc& desc);
