// Frame capture: the options of "voltaresca-capture" and the deterministic frame schedule.
// Time never comes from a clock: frame k plays at t = k x 1000 / fps.
#pragma once

#include <string>
#include <vector>

struct CaptureOptions {
    std::string archive;  // empty: "demodat" beside the program
    int width = 640;
    int height = 360;
    std::vector<float> at;  // single moments (ms), when given
    float fps = 30.0f;
    float from = 0.0f;
    float to = -1.0f;  // a sequence from `from` to `to` when at is empty
    std::string out = ".";
    std::string video;  // an MP4 file of the sequence instead of pictures
    int crf = 17;       // the video's constant quality (x264: 0 lossless .. 51)
    bool drawEveryFrame = false;  // draw the frames that are not written too (as the player does)
    bool noGrain = false;         // leave the film grain out (pictures that compare pixel by pixel)
    bool help = false;            // --help: print the usage, capture nothing
};

// The usual long options: "--opt value" or "--opt=value", flags without a value. False with
// `error` set for an unknown option, a missing value, a stray word, or a bad number or size.
bool parseCaptureOptions(int argc, const char* const* argv, CaptureOptions& out, std::string& error);

struct CaptureFrame {
    float t = 0.0f;   // ms
    float dt = 0.0f;  // ms since the frame before (0 for the first)
    std::string file;  // picture to write, empty when the frame is only played
};

// Every frame from 0 up to the last requested time, in order. The requested moments are
// played exactly (a frame of their own between the grid frames when they fall between).
std::vector<CaptureFrame> captureSchedule(const CaptureOptions& options);
