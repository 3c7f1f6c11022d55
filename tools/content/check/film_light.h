// The film's light and motion, measured on captured pictures the way a viewer watching it
// frame by frame would judge a stretch: how bright the grey picture is on average (0 to 255,
// grey = 0.299 R + 0.587 G + 0.114 B over the whole picture, letterbox bars included) and how
// much it changes from one picture to the next (the mean absolute difference of two
// consecutive grey pictures; the film grain alone gives about 5).
//
// The film's rule: in the stretches it names (the hall and the heavy part, then the approach to
// the closing monitor), no window of kBrightnessWindow seconds averages below kMinBrightness and
// no window of kChangeWindow seconds averages a change below kMinChange. The credits between
// them are left out: they need stillness to be read.
#pragma once

#include <string>
#include <vector>

namespace content {

// The capture that the rule is measured on: 160 x 90 pictures at two a second.
constexpr int kLightWidth = 160, kLightHeight = 90;
constexpr float kLightFps = 2.0f;

constexpr float kMinBrightness = 35.0f, kBrightnessWindow = 4.0f;
constexpr float kMinChange = 9.0f, kChangeWindow = 6.0f;

struct LightRange {
    float from, to;  // seconds
};
// The stretches the rule holds in, in time order.
const std::vector<LightRange>& litAndMovingRanges();

// One captured picture: its time, its mean brightness and its change from the picture before
// (0 for the first).
struct FrameLight {
    float seconds = 0;
    float brightness = 0;
    float change = 0;
};

// Measures a sequence of pictures (RGB or RGBA PNG files of one size, `step` seconds apart,
// the first at `first` seconds). Throws std::runtime_error naming the file that can't be read
// or that differs in size from the first.
std::vector<FrameLight> measurePictures(const std::vector<std::string>& files, float first, float step);

// A window of the series and the mean it has.
struct LightWindow {
    float from = 0, to = 0;  // seconds: the first picture's time, and the last's plus one step
    float value = 0;
};

// The window of `seconds` inside [from, to] with the lowest mean brightness, or with the lowest
// mean change (a window's changes are those of its pictures after its first). A series that
// does not cover the whole range gives a window with from > to.
LightWindow darkestWindow(const std::vector<FrameLight>& series, const LightRange& range, float seconds);
LightWindow stillestWindow(const std::vector<FrameLight>& series, const LightRange& range, float seconds);

// The rule over the series: one line per range that breaks it, naming the range, the window and
// its value; empty when the rule holds.
std::vector<std::string> checkFilmLight(const std::vector<FrameLight>& series);

// Captures the film from `fromMs` to `toMs` with voltaresca-capture at the rule's size and rate
// into `folder` (its earlier pictures go first). Throws std::runtime_error with the capture's
// own messages when it fails.
void captureForLight(const std::string& captureProgram, const std::string& archive, const std::string& folder,
                     float fromMs, float toMs);
// Measures what captureForLight left in `folder` for a capture from `fromMs`.
std::vector<FrameLight> measureCapture(const std::string& folder, float fromMs);

}  // namespace content
