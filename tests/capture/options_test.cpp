// The capture program's options: what the parser refuses, each time with a message.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "capture/options.h"

namespace {

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
