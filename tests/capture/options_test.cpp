// The capture program's options: the forms it takes, and what it refuses, each time with a message.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "capture/options.h"

namespace {

// The forms getopt_long takes, as scripts write them: "--opt value", "--opt=value" (also
// empty), a flag, a name shortened to a prefix (the first value option of several: "--f" is
// --fps), "-h", and "--" before nothing.
TEST(CaptureOptions, TakesTheLongOptionForms) {
    std::vector<const char*> args{"voltaresca-capture", "--size", "64x32", "--at=5,6", "--out", "--x",
                                  "--archive=", "--no-grain", "--f", "10", "--fr=2", "--draw", "--"};
    CaptureOptions o;
    std::string error;
    ASSERT_TRUE(parseCaptureOptions(static_cast<int>(args.size()), args.data(), o, error)) << error;
    EXPECT_EQ(o.width, 64);
    EXPECT_EQ(o.height, 32);
    EXPECT_EQ(o.at, (std::vector<float>{5.0f, 6.0f}));
    EXPECT_EQ(o.out, "--x");
    EXPECT_EQ(o.archive, "");
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
    auto parse = [](std::vector<const char*> args, std::string& error) {
        args.insert(args.begin(), "voltaresca-capture");
        CaptureOptions o;
        return parseCaptureOptions(static_cast<int>(args.size()), args.data(), o, error);
    };
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
}

}  // namespace
