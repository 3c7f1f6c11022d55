#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

#include "platform/platform.h"
#include "platform/wildcard.h"
#include "support/temp_dir.h"

namespace fs = std::filesystem;

namespace {

TEST(Wildcards, MatchWithoutRegardToCase) {
    EXPECT_TRUE(platform::wildcardMatch("*.png", "mask.png"));
    EXPECT_TRUE(platform::wildcardMatch("*.png", "MASK.PNG"));
    EXPECT_TRUE(platform::wildcardMatch("*.jpg", "a.b.JpG"));
    EXPECT_FALSE(platform::wildcardMatch("*.png", "mask.png.bak"));
    EXPECT_TRUE(platform::wildcardMatch("tv_noise?.png", "tv_noise1.png"));
    EXPECT_FALSE(platform::wildcardMatch("tv_noise?.png", "tv_noise12.png"));
    EXPECT_TRUE(platform::wildcardMatch("*", ""));
}

TEST(Listing, SortedAsACaseInsensitiveFileSystemReturnsThem) {
    TempDir dir;
    for (const char* name : {"b.jpg", "A.JPG", "c.png", "a_2.jpg", "Z.jpg"}) dir.write(std::string("pics/") + name, "x");
    fs::create_directory(dir.path() + "pics/folder.jpg");
    const auto names = platform::listFiles(dir.path() + "pics/*.jpg");
    EXPECT_EQ(names, (std::vector<std::string>{"A.JPG", "a_2.jpg", "b.jpg", "Z.jpg"}));
    EXPECT_TRUE(platform::listFiles(dir.path() + "nowhere/*.jpg").empty());
}

TEST(Folders, PrivateFolderAndTreeDeletion) {
    TempDir parent;
    const std::string dir = platform::makePrivateDirectory(parent.path(), "run-");
    ASSERT_FALSE(dir.empty());
    EXPECT_EQ(dir.back(), platform::pathSeparator()[0]);
    const auto perms = fs::status(dir).permissions();
    EXPECT_EQ(perms & (fs::perms::group_all | fs::perms::others_all), fs::perms::none);
    EXPECT_NE(platform::makePrivateDirectory(parent.path(), "run-"), dir);  // fresh each time

    // A link inside the tree is removed, never what it points to.
    parent.write("precious/keep.txt", "keep");
    fs::create_directories(dir + "data/sub");
    std::ofstream(dir + "data/sub/file.bin") << "x";
    fs::create_directory_symlink(parent.path() + "precious", dir + "data/link");
    EXPECT_TRUE(platform::removeTree(dir));
    EXPECT_FALSE(fs::exists(dir));
    EXPECT_EQ(readFile(parent.path() + "precious/keep.txt"), "keep");

    // A run folder replaced by a link: the link goes, its target stays.
    const std::string planted = parent.path() + "planted";
    fs::create_directory_symlink(parent.path() + "precious", planted);
    EXPECT_TRUE(platform::removeTree(planted + "/"));
    EXPECT_FALSE(fs::exists(fs::symlink_status(planted)));
    EXPECT_TRUE(fs::exists(parent.path() + "precious/keep.txt"));
}

TEST(Paths, FoldersEndInTheSeparator) {
    EXPECT_EQ(platform::tempDirectory().back(), platform::pathSeparator()[0]);
    EXPECT_EQ(platform::executableDirectory().back(), platform::pathSeparator()[0]);
}

// Full screen takes the chosen mode exactly, bits per pixel and frequency included, or fails.
TEST(Window, FullScreenTakesTheChosenModeOrFailsNamingIt) {
    ASSERT_TRUE(platform::init()) << platform::lastError();
    platform::WindowDesc desc;
    desc.title = "mode";
    desc.width = 320;
    desc.height = 200;
    desc.hidden = true;
    desc.fullScreen = true;
    desc.mode = {320, 200, 32, 999};
    platform::Window* window = platform::createWindow(desc);
    EXPECT_EQ(window, nullptr);
    if (window) platform::destroyWindow(window);
    EXPECT_NE(platform::lastError().find("320x200x32bpp 999Hz"), std::string::npos) << platform::lastError();
    platform::quit();
}

TEST(Clock, CounterAdvances) {
    const int64_t a = platform::counter();
    ASSERT_GT(platform::counterFrequency(), 0);
    platform::sleepMilliseconds(20);
    // At least the time slept, and not wildly more (a busy machine may add a little).
    const double seconds = double(platform::counter() - a) / double(platform::counterFrequency());
    EXPECT_GE(seconds, 0.019);
    EXPECT_LT(seconds, 2.0);
}

}  // namespace
