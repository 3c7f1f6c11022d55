// voltaresca-capture --video on the test scene: the file decodes with FFmpeg's libraries to the
// frames, size, rate and length asked for, its sound lasts as long as its pictures, its first and
// last frames are the --at pictures of the same moments, and bad requests are refused.
#include <gtest/gtest.h>

#include <csignal>
#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

#include <unistd.h>

#include "film_reading.h"
#include "content/audio/music.h"
#include "support/process.h"
#include "support/temp_dir.h"
#include "support/test_scene.h"

namespace {

// A sweep from 300 Hz up to 3 kHz over 0.8 s as MP3: each moment of it sounds unlike the others,
// so a stretch of a video's sound can be placed in it.
constexpr int kMusicRate = 44100;
std::string sweepMp3() {
    const int n = kMusicRate * 8 / 10;
    std::vector<int16_t> pcm(2 * static_cast<size_t>(n));
    double phase = 0.0;
    for (int i = 0; i < n; ++i) {
        phase += 2.0 * M_PI * (300.0 + 2700.0 * i / n) / kMusicRate;
        pcm[2 * static_cast<size_t>(i)] = pcm[2 * static_cast<size_t>(i) + 1] = static_cast<int16_t>(12000.0 * std::sin(phase));
    }
    const std::vector<unsigned char> mp3 = content::encodeMp3(pcm, kMusicRate, 160);
    return std::string(mp3.begin(), mp3.end());
}

// The loudness (RMS) of one channel of the decoded sound from `from` to `to` seconds.
double loudness(const Film& d, const std::vector<float>& channel, double from, double to) {
    const auto first = static_cast<size_t>(from * d.sampleRate), last = static_cast<size_t>(to * d.sampleRate);
    if (last > channel.size() || first >= last) return -1.0;
    double sum = 0.0;
    for (size_t i = first; i < last; ++i) sum += channel[i] * static_cast<double>(channel[i]);
    return std::sqrt(sum / static_cast<double>(last - first));
}

// A 440 Hz tone as 16-bit samples: one channel, or two interleaved at their own loudness.
std::vector<int16_t> tone(double seconds, int rate, bool mono, double left, double right = 0.0) {
    std::vector<int16_t> samples;
    for (int i = 0; i < static_cast<int>(seconds * rate); ++i) {
        const double wave = 16000.0 * std::sin(2.0 * M_PI * 440.0 * i / rate);
        samples.push_back(static_cast<int16_t>(wave * left));
        if (!mono) samples.push_back(static_cast<int16_t>(wave * right));
    }
    return samples;
}

int capture(const std::string& arguments) {
    const int status = std::system((std::string(VOLTARESCA_CAPTURE) + " " + arguments + " 2>/dev/null").c_str());
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

TEST(Video, DecodesToTheFramesAskedForWithItsSoundAndTheCapturedPictures) {
    TempDir dir;
    const std::string archive = dir.path() + "scene.zip";
    TestSceneOptions scene;  // as render_test_scene's "late", with music that can be told apart
    scene.firstShotEnd = 4.0f;
    scene.secondShotEnd = 300.0f;
    scene.music = true;
    scene.musicFile = sweepMp3();
    ASSERT_TRUE(writeTestSceneArchive(archive, scene));
    const std::string common = "--archive " + archive + " --size 160x90 --fps 10";
    ASSERT_EQ(capture(common + " --from 1000 --to 3000 --video " + dir.path() + "film.mp4"), 0);
    ASSERT_EQ(capture(common + " --at 1000,3000 --out " + dir.path() + "pictures"), 0);

    const Film d = readFilm(dir.path() + "film.mp4");
    EXPECT_EQ(d.frames(), 21);  // 1.0 s to 3.0 s at 10 frames a second
    EXPECT_EQ(d.width, 160);
    EXPECT_EQ(d.height, 90);
    EXPECT_DOUBLE_EQ(d.rate, 10.0);
    EXPECT_NEAR(d.audioSeconds, d.videoSeconds(), 0.1) << "the sound lasts as long as the pictures";
    // One encoder frame of priming at most beyond that: no silence slipped between pictures.
    EXPECT_NEAR(d.decodedAudioSeconds, d.videoSeconds(), 0.1);
    const std::vector<unsigned char> none;
    EXPECT_GE(lumaPsnr(d.lumas.empty() ? none : d.lumas.front(), dir.path() + "pictures/at_0001000.0.png"), 40.0);
    EXPECT_GE(lumaPsnr(d.lumas.empty() ? none : d.lumas.back(), dir.path() + "pictures/at_0003000.0.png"), 40.0);

    // The sound is the music from the film's moment at 1 s on, and after the music's end it
    // starts again from the music's beginning.
    const Film music = readFilm(dir.write("music.mp3", scene.musicFile));
    ASSERT_GT(music.left.size(), static_cast<size_t>(kMusicRate / 2));
    const size_t start = kMusicRate % music.left.size(), wrap = music.left.size() - start;
    // Within an encoder frame (1024 samples) either way.
    const double atStart = matchMusic(d.left, 2048, 8192, music.left, static_cast<long>(start) + 2048, 1024).correlation;
    const double afterEnd = matchMusic(d.left, static_cast<long>(wrap) + 4096, 8192, music.left, 4096, 1024).correlation;
    std::printf("the sound against the music: %.3f at the start, %.3f after the music's end\n", atStart, afterEnd);
    EXPECT_GE(atStart, 0.9) << "the sound does not start at the film's moment in the music";
    EXPECT_GE(afterEnd, 0.9) << "the sound does not start the music again after its end";

    // Without --to the video ends with the music (about a second in the test scene).
    ASSERT_EQ(capture(common + " --video " + dir.path() + "whole.mp4"), 0);
    const Film whole = readFilm(dir.path() + "whole.mp4");
    EXPECT_GT(whole.frames(), 5);
    EXPECT_NEAR(whole.videoSeconds(), whole.audioSeconds, 0.1);

    // Refused with one line and status 1 or 2: an unwritable file, a stray option, --from after
    // --to, an odd size, a size above the limit.
    EXPECT_EQ(capture(common + " --to 500 --video " + dir.path() + "no/such/folder/film.mp4"), 1);
    EXPECT_EQ(capture(common + " --to 500 --video " + dir.path() + "x.mp4 --colour red"), 2);
    EXPECT_EQ(capture(common + " --from 900 --to 500 --video " + dir.path() + "x.mp4"), 2);
    EXPECT_EQ(capture("--archive " + archive + " --size 161x90 --to 500 --video " + dir.path() + "x.mp4"), 2);
    EXPECT_EQ(capture("--archive " + archive + " --size 9000x90 --to 500 --video " + dir.path() + "x.mp4"), 2);
}

// Music whose MP3 frames change their channel layout and rate on the way (files joined): each
// stretch is converted by its own, the video's sound lasts as long as the music, mono is heard
// on both sides and a right-only stretch stays on the right. Afterwards the private folder is gone.
TEST(Video, MusicThatChangesLayoutAndRateOnTheWayIsConvertedByEachFrame) {
    TempDir dir;
    const std::string tmp = dir.path() + "tmp", err = dir.path() + "err.txt", film = dir.path() + "film.mp4";
    std::filesystem::create_directory(tmp);
    // Half a second of stereo, a second of mono, a second of right-only stereo at half the rate.
    std::vector<unsigned char> mp3 = content::encodeMp3(tone(0.5, 44100, false, 1.0, 1.0), 44100, 128);
    for (const auto& more : {content::encodeMp3(tone(1.0, 44100, true, 1.0), 44100, 64, true),
                             content::encodeMp3(tone(1.0, 22050, false, 0.0, 1.0), 22050, 64)})
        mp3.insert(mp3.end(), more.begin(), more.end());
    TestSceneOptions scene;
    scene.music = true;
    scene.musicFile.assign(mp3.begin(), mp3.end());
    ASSERT_TRUE(writeTestSceneArchive(dir.path() + "joined.zip", scene));

    // Without --to the video ends with the music.
    ASSERT_EQ(runProgram(VOLTARESCA_CAPTURE, {"--archive", dir.path() + "joined.zip", "--size", "32x18", "--fps", "10",
                                              "--video", film},
                         {tmp, err}),
              0)
        << readFile(err);
    const Film d = readFilm(film);
    // 2.5 s and each joined file's encoder delay and padding.
    EXPECT_NEAR(d.videoSeconds(), 2.65, 0.2) << "the music's length, each stretch at its own rate";
    EXPECT_NEAR(d.audioSeconds, d.videoSeconds(), 0.1);
    EXPECT_GT(loudness(d, d.left, 0.1, 0.4), 0.1) << "stereo";
    EXPECT_GT(loudness(d, d.right, 0.1, 0.4), 0.1);
    EXPECT_GT(loudness(d, d.left, 0.8, 1.3), 0.1) << "mono on both sides";
    EXPECT_GT(loudness(d, d.right, 0.8, 1.3), 0.1);
    EXPECT_LT(loudness(d, d.left, 1.8, 2.3), 0.02) << "the right-only stretch";
    EXPECT_GT(loudness(d, d.right, 1.8, 2.3), 0.1);
    EXPECT_TRUE(std::filesystem::is_empty(tmp)) << "a data folder was left";
}

// SIGTERM in the middle: the video written so far is finished and plays, the private data
// folder is gone, the exit status is non-zero.
TEST(Video, ATermSignalLeavesAFileThatPlays) {
    TempDir dir;
    const std::string archive = dir.path() + "scene.zip", film = dir.path() + "film.mp4";
    ASSERT_EQ(std::system((std::string(VOLTARESCA_SCENE_WRITER) + " " + archive + " late").c_str()), 0);
    ASSERT_EQ(std::system(("mkdir -p " + dir.path() + "tmp").c_str()), 0);
    const std::string command = "TMPDIR=" + dir.path() + "tmp " + VOLTARESCA_CAPTURE + " --archive " + archive +
                                " --size 160x90 --to 3600000 --video " + film;
    ASSERT_EQ(std::system(("(" + command + " 2>/dev/null & echo $! > " + dir.path() + "pid; wait $!; echo $? > " +
                           dir.path() + "status) &")
                              .c_str()),
              0);
    // The file grows as frames are encoded (it plays only once finished).
    const auto size = [&] { return readFile(film).size(); };
    for (int i = 0; i < 300 && size() < 60000; ++i) usleep(100000);
    const std::string pid = readFile(dir.path() + "pid");
    ASSERT_FALSE(pid.empty());
    kill(std::atoi(pid.c_str()), SIGTERM);
    for (int i = 0; i < 300 && readFile(dir.path() + "status").empty(); ++i) usleep(100000);
    EXPECT_NE(std::atoi(readFile(dir.path() + "status").c_str()), 0);
    const Film d = readFilm(film);
    EXPECT_GE(d.frames(), 30);
    EXPECT_NEAR(d.audioSeconds, d.videoSeconds(), 0.1);
    EXPECT_EQ(std::system(("test -z \"$(ls -A " + dir.path() + "tmp)\"").c_str()), 0) << "a data folder was left";
}

}  // namespace
