// What the capture program leaves on disk: whole pictures only, counted as such; the failure to
// finish said even after an interruption; a link planted in a picture's or the probe's place
// replaced, never written through; close moments in files of their own; bad requests refused
// before the private folder is made.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <string>
#include <vector>

#include "assets/image.h"
#include "capture/output.h"
#include "capture/picture_writer.h"
#include "support/process.h"
#include "support/temp_dir.h"

namespace {

namespace fs = std::filesystem;

// The file's names, sorted.
std::vector<std::string> namesIn(const std::string& folder) {
    std::vector<std::string> names;
    for (const auto& entry : fs::directory_iterator(folder)) names.push_back(entry.path().filename().string());
    std::sort(names.begin(), names.end());
    return names;
}

TEST(PictureWriter, CountsOnlyWholePicturesAndLeavesNoPartOfAFailedOne) {
    TempDir dir;
    fs::create_directories(dir.path() + "b.png");  // a folder in the way: that picture fails
    PictureWriter writer;
    // The failing picture goes last: once one has failed, the writer takes no more.
    for (const char* name : {"a.png", "c.png", "b.png"})
        writer.write(dir.path() + name, 8, 8, std::vector<unsigned char>(8 * 8 * 4, 200));
    const std::string error = writer.finish();
    EXPECT_NE(error.find("can't write '" + dir.path() + "b.png'"), std::string::npos) << error;
    EXPECT_EQ(writer.written(), 2u);
    EXPECT_EQ(namesIn(dir.path()), (std::vector<std::string>{"a.png", "b.png", "c.png"}));
    DecodedImage image;
    ASSERT_TRUE(decodePng(dir.path() + "c.png", image));
    releasePixels(image);
}

// An interruption and a failure to finish: both are said, and the count is what is whole.
TEST(CaptureEnd, AnInterruptionDoesNotHideAFailureToFinish) {
    const auto report = [](const CaptureEnd& end, int& status) {
        std::FILE* out = std::tmpfile();
        status = reportEnd(end, out);
        std::rewind(out);
        std::string text;
        for (int c; (c = std::fgetc(out)) != EOF;) text += static_cast<char>(c);
        std::fclose(out);
        return text;
    };
    CaptureEnd end;
    end.where = "shots";
    end.complete = 4;
    end.interrupted = true;
    end.finished = false;
    end.error = "can't write 'shots/at_0000500.0.png': No space left on device";
    int status = 0;
    std::string text = report(end, status);
    EXPECT_EQ(status, 1);
    EXPECT_NE(text.find("interrupted; 4 pictures in 'shots' are complete"), std::string::npos) << text;
    EXPECT_NE(text.find(end.error), std::string::npos) << text;
    end.video = true;
    end.error = "can't finish 'film.mp4': No space left on device";
    text = report(end, status);
    EXPECT_EQ(text.find("are complete"), std::string::npos) << "a video that could not be finished: " << text;
    EXPECT_NE(text.find(end.error), std::string::npos) << text;
}

TEST(CaptureFiles, LinksAreReplacedNotWrittenThroughAndCloseMomentsGetFilesOfTheirOwn) {
    TempDir dir;
    const std::string archive = dir.path() + "scene.zip", tmp = dir.path() + "tmp", out = dir.path() + "out",
                      err = dir.path() + "err.txt";
    ASSERT_EQ(runProgram(VOLTARESCA_SCENE_WRITER, {archive}), 0);
    fs::create_directories(tmp);
    fs::create_directories(out);
    const std::string kept = dir.write("kept.txt", std::string("not for the capture"));
    std::error_code linked;
    fs::create_symlink(kept, out + "/.voltaresca-capture-probe", linked);
    if (!linked) fs::create_symlink(kept, out + "/at_0001000.01.png", linked);
    if (linked) GTEST_SKIP() << "no links here: " << linked.message();

    ASSERT_EQ(runProgram(VOLTARESCA_CAPTURE, {"--archive", archive, "--size", "16x16", "--at", "1000.01,1000.04",
                                              "--out", out},
                         {tmp, err}),
              0)
        << readFile(err);
    EXPECT_EQ(readFile(kept), "not for the capture");
    EXPECT_EQ(namesIn(out), (std::vector<std::string>{"at_0001000.01.png", "at_0001000.04.png"}));
    EXPECT_FALSE(fs::is_symlink(out + "/at_0001000.01.png"));
    EXPECT_NE(readFile(err).find("2 pictures"), std::string::npos) << readFile(err);

    // Refused with status 2 before anything starts: no private folder, nothing written.
    for (const std::vector<std::string>& bad :
         {std::vector<std::string>{"--to", "1e12", "--out", out}, {"--at", "1e30", "--out", out}, {"--video", ""},
          {"--at", "0", "--out", ""}, {"--archive", "", "--at", "0", "--out", out}}) {
        std::vector<std::string> args = bad;
        args.insert(args.begin(), {"--size", "16x16"});
        EXPECT_EQ(runProgram(VOLTARESCA_CAPTURE, args, {tmp, err}), 2) << bad[1] << ": " << readFile(err);
    }
    EXPECT_TRUE(fs::is_empty(tmp)) << "a data folder was left";
    EXPECT_EQ(namesIn(out).size(), 2u);
}

}  // namespace
