#include <gtest/gtest.h>

#include <regex>
#include <string>
#include <vector>

#include "base/log.h"
#include "support/log_capture.h"

namespace {

TEST(Logging, LineFormat) {
    EXPECT_EQ(formatLogLine("21:07:45", "DemoController", "couldn't initialize cg"),
              "[21:07:45] DemoController: couldn't initialize cg");
    Logger* log = getLogger("format-test");
    LogCapture out(log);
    log->log("hello");
    ASSERT_EQ(out.lines.size(), 1u);
    EXPECT_TRUE(std::regex_match(out.lines[0], std::regex(R"(\[\d\d:\d\d:\d\d\] format-test: hello)"))) << out.lines[0];
    releaseLogger("format-test");
}

TEST(Logging, Registry) {
    Logger* a = getLogger("registry");
    EXPECT_EQ(getLogger("registry"), a);
    EXPECT_NE(getLogger("Registry"), a);  // names are case-sensitive

    LogCapture first(a), second(a);  // each adds itself to the logger
    a->log("twice");
    ASSERT_EQ(first.lines.size(), 1u);
    EXPECT_EQ(first.lines, second.lines);

    releaseLogger("registry");
    releaseLogger("never-made");  // harmless
    getLogger("registry")->log("after release");  // a fresh logger without the old sinks
    EXPECT_EQ(first.lines.size(), 1u);
    releaseLogger("registry");
    releaseLogger("Registry");
}

TEST(Logging, LoggerWithoutOutputsDiscards) {
    testing::internal::CaptureStderr();
    getLogger("silent")->log("nothing happens");
    EXPECT_EQ(testing::internal::GetCapturedStderr(), "");
    // Nothing is kept for a sink that comes later either.
    LogCapture late(getLogger("silent"));
    getLogger("silent")->log("heard");
    ASSERT_EQ(late.lines.size(), 1u);
    EXPECT_NE(late.lines[0].find("silent: heard"), std::string::npos);
}

}  // namespace
