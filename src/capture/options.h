// The options of "voltaresca-capture".
#pragma once

#include <string>
#include <vector>

#include "anim/frame_schedule.h"

// The moments to play (ScheduleDesc: --at, --fps, --from, --to) and how to write them.
struct CaptureOptions : ScheduleDesc {
    std::string archive;  // empty: "demodat" beside the program
    int width = 640;
    int height = 360;
    std::string out = ".";
    std::string video;  // an MP4 file of the sequence instead of pictures
    int crf = 17;       // the video's constant quality (x264: 0 lossless .. 51)
    bool drawEveryFrame = false;  // draw the frames that are not written too (as the player does)
    bool noGrain = false;         // leave the film grain out (pictures that compare pixel by pixel)
    bool help = false;            // --help: print the usage, capture nothing
    // A video made in segments (capture/segments.h): --segment K/N writes the K-th of N parts of
    // the stretch; --no-sound leaves the music out (the join adds it for the whole stretch).
    int segment = 0;  // K, 1-based; 0: the whole stretch
    int segments = 0;  // N
    bool noSound = false;
    // --join FILE.mp4 SEGMENT...: puts the segment files together instead of capturing.
    std::string join;
    std::vector<std::string> joinSegments;
};

// The usual long options: "--opt value" or "--opt=value", flags without a value, a long name
// shortened to any prefix that names one option, "-h" for --help, "--" ending the options. False
// with `error` set for an unknown option, a missing value, a stray word, or a bad number or size.
// With --join, the words after the options are the segment files.
bool parseCaptureOptions(int argc, const char* const* argv, CaptureOptions& out, std::string& error);

// The schedule's size checked before anything is made of it (the parser does; so does a video
// whose end the music sets later). False with `error` set past kMostScheduleFrames.
bool checkFrameCount(const CaptureOptions& options, std::string& error);
