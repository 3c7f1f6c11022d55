// The capture program's options: the forms it takes, and what it refuses, each time with a message.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "capture/options.h"

namespace {

bool parse(std::vector<const char*> args, std::string& error, CaptureOptions& o) {
    args.insert(args.begin(), "voltaresca-capture");
    return parseCaptureOptions(static_cast<int>(args.size()), args.data(), o, error);
}
bool parse(std::vector<const char*> args, std::string& error) {
    CaptureOptions o;
    return parse(std::move(args), error, o);
}

// The forms getopt_long takes, as scripts write them: "--opt value", "--opt=value" (also
// empty), a flag, a name shortened to a prefix (the first value option of several: "--f" is
// --fps), "-h", and "--" before nothing.
TEST(CaptureOptions, TakesTheLongOptionForms) {
    std::vector<const char*> args{"voltaresca-capture", "--size", "64x32", "--at=5,6", "--out", "--x",
                                  "--archive=a.zip", "--no-grain", "--f", "10", "--fr=2", "--draw", "--"};
    CaptureOptions o;
    std::string error;
    ASSERT_TRUE(parseCaptureOptions(static_cast<int>(args.size()), args.data(), o, error)) << error;
    EXPECT_EQ(o.width, 64);
    EXPECT_EQ(o.height, 32);
    EXPECT_EQ(o.at, (std::vector<float>{5.0f, 6.0f}));
    EXPECT_EQ(o.out, "--x");
    EXPECT_EQ(o.archive, "a.zip");
    EXPECT_TRUE(o.noGrain);
    EXPECT_TRUE(o.drawEveryFrame);
    EXPECT_EQ(o.fps, 10.0f);
    EXPECT_EQ(o.from, 2.0f);
    EXPECT_FALSE(o.help);
    std::vector<const char*> help{"voltaresca-capture", "-h"};
    ASSERT_TRUE(parseCaptureOptions(2, help.data(), o, error)) << error;
    EXPECT_TRUE(o.help);

    // Refused with the word named: a flag given a value, a name that begins a flag and other
    // options (the empty one), a short option other than -h.
    for (const char* bad : {"--help=1", "--=1", "-x"}) {
        std::vector<const char*> words{"voltaresca-capture", "--at", "0", bad};
        CaptureOptions refused;
        EXPECT_FALSE(parseCaptureOptions(4, words.data(), refused, error));
        EXPECT_EQ(error, std::string("unknown option '") + bad + "'");
    }
}

TEST(CaptureOptions, RejectsBadInputWithAMessage) {
    std::string error;
    EXPECT_TRUE(parse({"--size", "1280x720", "--at", "0,1500"}, error)) << error;
    for (const auto& bad : std::vector<std::vector<const char*>>{{"--size", "0x720", "--at", "0"},
                                                                 {"--size", "12x", "--at", "0"},
                                                                 {"--at", "1,x"},
                                                                 {"--fps", "0", "--to", "10"},
                                                                 {"--to"},
                                                                 {"--colour", "red"},
                                                                 {"--fps", "30"}}) {
        error.clear();
        EXPECT_FALSE(parse(bad, error));
        EXPECT_FALSE(error.empty());
    }

    // Empty names, in both forms: refused naming the option, never the current folder or the
    // default archive unasked.
    for (const auto& bad : std::vector<std::pair<std::vector<const char*>, const char*>>{
             {{"--at", "0", "--out", ""}, "--out"},
             {{"--at", "0", "--out="}, "--out"},
             {{"--video", ""}, "--video"},
             {{"--at", "0", "--archive="}, "--archive"},
             {{"--at", "0", "--archive", ""}, "--archive"}}) {
        error.clear();
        EXPECT_FALSE(parse(bad.first, error)) << bad.second;
        EXPECT_NE(error.find(bad.second), std::string::npos) << error;
    }
}

// Times beyond an hour, or more frames than a capture plays, are refused with the option named
// before anything is allocated; what is taken is counted exactly as the schedule makes it.
TEST(CaptureOptions, BoundsTimesAndTheFrameCount) {
    std::string error;
    for (const auto& bad : std::vector<std::pair<std::vector<const char*>, const char*>>{
             {{"--to", "1e21"}, "--to"},
             {{"--to", "1e12"}, "--to"},
             {{"--at", "1e30"}, "--at"},
             {{"--at", "0,3600001"}, "--at"},
             {{"--from", "1e12", "--to", "2e12"}, "--from"},
             {{"--video", "v.mp4", "--from", "1e12"}, "--from"},
             {{"--fps", "1000", "--to", "3600000"}, "--fps"},
             {{"--fps", "1000", "--at", "3600000"}, "--fps"}}) {
        error.clear();
        EXPECT_FALSE(parse(bad.first, error)) << bad.second;
        EXPECT_NE(error.find(bad.second), std::string::npos) << error;
    }
    CaptureOptions o;
    ASSERT_TRUE(parse({"--to", "3600000"}, error, o)) << error;
    EXPECT_EQ(captureFrameCount(o), 108001u);
    EXPECT_EQ(captureSchedule(o).size(), 108001u);
    for (const auto& taken : std::vector<std::vector<const char*>>{
             {"--fps", "7", "--from", "100", "--to", "2000"}, {"--fps", "3", "--at", "0,333.3333,1000.01,999.99,2000"}}) {
        CaptureOptions t;
        ASSERT_TRUE(parse(taken, error, t)) << error;
        EXPECT_EQ(captureFrameCount(t), captureSchedule(t).size()) << taken[1];
    }
}

// Moments that one decimal does not tell apart get more decimals, so that no two pictures share
// a file (and no two picture workers write one path); the others keep their usual names.
TEST(CaptureSchedule, NamesCloseMomentsApart) {
    ScheduleDesc o;
    o.at = {1000.04f, 500.0f, 1000.01f};
    std::vector<std::string> files;
    for (const CaptureFrame& frame : captureSchedule(o))
        if (!frame.file.empty()) files.push_back(frame.file);
    EXPECT_EQ(files, (std::vector<std::string>{"at_0000500.0.png", "at_0001000.01.png", "at_0001000.04.png"}));
    // Too close for six decimals: refused.
    std::string error;
    EXPECT_FALSE(parse({"--at", "0,0.0000001"}, error));
    EXPECT_NE(error.find("--at"), std::string::npos) << error;
}

TEST(Segments, OptionsAskForASegmentOrAJoin) {
    CaptureOptions o;
    std::string error;
    ASSERT_TRUE(parse({"--video", "s.mp4", "--to", "6000", "--segment", "2/3", "--no-sound"}, error, o)) << error;
    EXPECT_EQ(o.segment, 2);
    EXPECT_EQ(o.segments, 3);
    EXPECT_TRUE(o.noSound);
    CaptureOptions j;
    ASSERT_TRUE(parse({"--join", "film.mp4", "a.mp4", "b.mp4"}, error, j)) << error;
    EXPECT_EQ(j.join, "film.mp4");
    EXPECT_EQ(j.joinSegments, (std::vector<std::string>{"a.mp4", "b.mp4"}));
    for (const auto& bad : std::vector<std::vector<const char*>>{{"--video", "s.mp4", "--segment", "4/3"},
                                                                 {"--video", "s.mp4", "--segment", "0/3"},
                                                                 {"--video", "s.mp4", "--segment", "1/-3"},
                                                                 {"--video", "s.mp4", "--segment", "1/3x"},
                                                                 {"--to", "500", "--segment", "1/3"},
                                                                 {"--join", "film.mp4"},
                                                                 {"--join", "film.mp4", "--video", "x.mp4", "a.mp4"}}) {
        CaptureOptions refused;
        error.clear();
        EXPECT_FALSE(parse(bad, error, refused)) << bad[bad.size() - 1];
        EXPECT_FALSE(error.empty());
    }
}

}  // namespace
