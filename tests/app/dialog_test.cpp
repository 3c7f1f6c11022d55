#include <gtest/gtest.h>

#include "app/dialog.h"

namespace {

TEST(SetupDialog, ModeTextsAreSortedAndKeepDuplicates) {
    const std::vector<platform::DisplayMode> modes = {
        {640, 480, 32, 60}, {1024, 768, 32, 60}, {1280, 1024, 32, 75}, {640, 480, 32, 60}};
    const auto texts = sortedModeTexts(modes);
    ASSERT_EQ(texts.size(), 4u);
    EXPECT_EQ(texts[0], "1024x768x32bpp 60Hz");  // text order, not numeric
    EXPECT_EQ(texts[1], "1280x1024x32bpp 75Hz");
    EXPECT_EQ(texts[2], "640x480x32bpp 60Hz");
    EXPECT_EQ(texts[3], "640x480x32bpp 60Hz");
}

TEST(SetupDialog, CurrentModeIsFoundFromTheSecondEntryOn) {
    const std::vector<std::string> entries = {"1024x768x32bpp 60Hz", "1280x720x32bpp 60Hz", "1280x720x32BPP 60HZ"};
    EXPECT_EQ(findModeEntry(entries, "1280x720x32bpp 60Hz"), 1);
    EXPECT_EQ(findModeEntry(entries, "1024x768x32bpp 60Hz"), 0);  // wraps around to entry 0
    EXPECT_EQ(findModeEntry(entries, "1280X720"), 1);              // prefix, without regard to case
    EXPECT_EQ(findModeEntry(entries, "800x600x32bpp 60Hz"), -1);
    EXPECT_EQ(findModeEntry({}, "800x600x32bpp 60Hz"), -1);
}

TEST(SetupDialog, CurrentModeIsPreselectedOnlyWhenListed) {
    const std::vector<std::string> entries = {"1024x768x32bpp 60Hz", "1280x720x32bpp 60Hz", "1280x720x32bpp 75Hz"};
    EXPECT_EQ(currentModeEntry(entries, {1024, 768, 32, 60}), 0);
    EXPECT_EQ(currentModeEntry(entries, {1280, 720, 32, 75}), 2);
    // A mode the list lacks selects nothing, even where one of its size and depth is listed.
    EXPECT_EQ(currentModeEntry(entries, {1280, 720, 32, 50}), -1);
    EXPECT_EQ(currentModeEntry(entries, {1024, 768, 16, 60}), -1);
    // A current mode reported at 0 Hz takes the first listed mode of its size and depth.
    EXPECT_EQ(currentModeEntry(entries, {1280, 720, 32, 0}), 1);
    EXPECT_EQ(currentModeEntry(entries, {1280, 720, 16, 0}), -1);
    EXPECT_EQ(currentModeEntry(entries, {1024, 768, 32, 0}), 0);
}

TEST(SetupDialog, SelectionParsesBackToTheMode) {
    SetupResult r;
    ASSERT_TRUE(parseModeText("1920x1080x32bpp 60Hz", r));
    EXPECT_EQ(r.width, 1920);
    EXPECT_EQ(r.height, 1080);
    EXPECT_EQ(r.bitsPerPixel, 32);
    EXPECT_EQ(r.frequency, 60);
    SetupResult untouched;
    EXPECT_FALSE(parseModeText("garbage", untouched));
    EXPECT_EQ(untouched.width, 0);
}

}  // namespace
