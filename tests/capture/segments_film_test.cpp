// A video made in segments: the join refuses a set with a segment missing, cut short or made
// otherwise, and writes nothing then; and through scripts/render-farm on a one-node Slurm cluster
// started here, the joined film is the stretch captured in one piece (frames, times, pictures at
// both sides of every join, the music from the stretch's start), a task that dies leaves no
// segment under its final name, and the same command again renders only what is missing.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

#include "base/random.h"
#include "film_reading.h"
#include "support/process.h"
#include "support/temp_dir.h"
#include "support/test_scene.h"

namespace {

constexpr int kRate = 44100;
constexpr size_t kMusicSamples = 110250;  // 2.5 s: the music loops within the stretch

// The music of the test scene: noise, so that a shift of the sound by any number of samples
// shows in a cross-correlation (the scene's own music is silence). A WAV file: FFmpeg reads what
// a file holds, whatever its name says.
std::vector<float> musicSamples() {
    Random random(24);
    std::vector<float> samples(kMusicSamples);
    for (float& s : samples) s = static_cast<float>(random.next() - Random::kMax / 2) / 32768.0f;
    return samples;
}

std::string wav(const std::vector<float>& samples) {
    std::string out;
    const auto put = [&](uint32_t value, int bytes) {
        for (int i = 0; i < bytes; ++i) out += static_cast<char>((value >> (8 * i)) & 0xff);
    };
    const uint32_t data = static_cast<uint32_t>(samples.size() * 4);
    out += "RIFF";
    put(36 + data, 4);
    out += "WAVEfmt ";
    put(16, 4);
    put(1, 2);  // PCM
    put(2, 2);  // stereo
    put(kRate, 4);
    put(kRate * 4, 4);
    put(4, 2);
    put(16, 2);
    out += "data";
    put(data, 4);
    for (float s : samples) {
        const auto v = static_cast<uint16_t>(static_cast<int16_t>(std::lround(s * 32767.0f)));
        put(v, 2);
        put(v, 2);
    }
    return out;
}

// The render tests' "late" scene (one long shot, no end image) with the noise as its music.
std::string writeScene(const std::string& folder) {
    TestSceneOptions options;
    options.firstShotEnd = 4.0f;
    options.endFrom = 1.0e9f;
    options.secondShotEnd = 300.0f;
    options.music = true;
    options.musicFile = wav(musicSamples());
    const std::string path = folder + "scene.zip";
    return writeTestSceneArchive(path, options) ? path : std::string();
}

struct Outcome {
    int status = -1;
    std::string errors;
};

Outcome capture(const std::string& folder, const std::vector<std::string>& args) {
    Outcome run;
    RunOptions options;
    options.errorFile = folder + "capture.err";
    run.status = runProgram(VOLTARESCA_CAPTURE, args, options);
    run.errors = readFile(options.errorFile);
    return run;
}

bool exists(const std::string& path) { return std::filesystem::exists(path); }

// The stretch's frame i as the --at moment the capture plays it on the grid: the float of
// i x 1000 / fps, written so that it reads back as the same float.
std::string moment(long frame, float fps) {
    char text[32];
    std::snprintf(text, sizeof text, "%.9g", static_cast<double>(static_cast<float>(frame * (1000.0 / fps))));
    return text;
}
std::string pictureName(const std::string& at) {
    char name[64];
    std::snprintf(name, sizeof name, "at_%09.1f.png", std::strtod(at.c_str(), nullptr));
    return name;
}

TEST(Join, RefusesASegmentMissingCutShortOrMadeOtherwiseAndWritesNothing) {
    TempDir dir;
    const std::string scene = writeScene(dir.path());
    ASSERT_FALSE(scene.empty());
    const std::vector<std::string> common{"--archive", scene, "--size", "160x90", "--fps", "10", "--from", "1000",
                                          "--to", "3000", "--no-sound"};
    const auto segment = [&](int k, const std::string& name, std::vector<std::string> more = {}) {
        std::vector<std::string> args = common;
        args.insert(args.end(), {"--segment", std::to_string(k) + "/3", "--video", dir.path() + name});
        args.insert(args.end(), more.begin(), more.end());
        return capture(dir.path(), args).status;
    };
    ASSERT_EQ(segment(1, "s1.mp4"), 0);
    ASSERT_EQ(segment(2, "s2.mp4"), 0);
    ASSERT_EQ(segment(3, "s3.mp4"), 0);
    // Other settings: another quality (the encoder's parameters differ), no grain (only the
    // segment's own record says so).
    ASSERT_EQ(segment(2, "other.mp4", {"--crf", "30"}), 0);
    ASSERT_EQ(segment(2, "plain.mp4", {"--no-grain"}), 0);
    const std::string whole = readFile(dir.path() + "s2.mp4");
    dir.write("short.mp4", whole.substr(0, whole.size() / 2));

    const std::string film = dir.path() + "film.mp4";
    const auto join = [&](const std::string& second) {
        return capture(dir.path(), {"--archive", scene, "--join", film, dir.path() + "s1.mp4", dir.path() + second,
                                    dir.path() + "s3.mp4"});
    };
    for (const auto& bad : std::vector<std::pair<std::string, std::string>>{
             {"missing.mp4", "is missing"}, {"short.mp4", "is damaged"}, {"other.mp4", "was made with other settings"},
             {"plain.mp4", "was made with other settings"}}) {
        SCOPED_TRACE(bad.first);
        const Outcome run = join(bad.first);
        EXPECT_EQ(run.status, 1);
        EXPECT_NE(run.errors.find("'" + dir.path() + bad.first + "' " + bad.second), std::string::npos) << run.errors;
        EXPECT_NE(run.errors.find("segment 2 of 3 (frames 17 to 23) is missing"), std::string::npos) << run.errors;
        EXPECT_FALSE(exists(film)) << "a film was written";
        EXPECT_FALSE(exists(film + ".part"));
    }
    // All three whole: the film.
    const Outcome run = join("s2.mp4");
    ASSERT_EQ(run.status, 0) << run.errors;
    EXPECT_EQ(readFilm(film).times.size(), 21u);
}

// The cluster's daemons, started in the test's own folder and stopped whatever happens.
class LocalSlurm {
public:
    explicit LocalSlurm(std::string folder) : folder_(std::move(folder)) {}
    ~LocalSlurm() { stop(); }
    // 0 started, 77 can't here (the reason in `why`), other: failed.
    int start(std::string& why) {
        std::filesystem::create_directories(folder_);
        const std::string log = folder_ + "start.log";
        const int status = std::system(("bash " VOLTARESCA_LOCAL_SLURM " start " + folder_ + " >" + folder_ +
                                        "conf 2>" + log).c_str());
        why = readFile(log);
        started_ = true;
        const int code = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
        if (code == 0) setEnvironment("SLURM_CONF", folder_ + "slurm.conf");
        return code;
    }
    bool stop() {
        if (!started_) return true;
        started_ = false;
        return std::system(("bash " VOLTARESCA_LOCAL_SLURM " stop " + folder_).c_str()) == 0;
    }
    // Whether the scheduler still holds a job, finished ones aside.
    bool busy() const {
        return std::system("test -n \"$(squeue -h -t PENDING,RUNNING,CONFIGURING,COMPLETING,REQUEUED -o %i)\"") == 0;
    }

private:
    std::string folder_;
    bool started_ = false;
};

// The test's own folder for the cluster and the film: under the build's test data, so that a
// run that died is found and stopped by the next one.
std::string clusterFolder() {
    const char* data = std::getenv("VOLTARESCA_TEST_DATA");
    const std::string folder = std::string(data ? data : "/tmp") + "/cluster/";
    std::filesystem::create_directories(folder);
    return folder;
}

TEST(Cluster, SegmentsOnSlurmJoinIntoTheFilmCapturedInOnePiece) {
    const std::string folder = clusterFolder();
    const std::string farm = folder + "farm/";
    std::filesystem::remove_all(farm);
    std::filesystem::create_directories(farm);
    LocalSlurm slurm(folder + "slurm/");
    std::string why;
    const int started = slurm.start(why);
    if (started == 77) GTEST_SKIP() << "no Slurm cluster here: " << why;
    ASSERT_EQ(started, 0) << why;

    const std::string scene = writeScene(farm);
    ASSERT_FALSE(scene.empty());
    // A capture program that, for the segment named in "kill-segment", writes part of its file
    // and dies with the task's script, as on a node that fails.
    const std::string wrapper = farm + "capture.sh";
    std::FILE* script = std::fopen(wrapper.c_str(), "w");
    ASSERT_NE(script, nullptr);
    std::fprintf(script,
                 "#!/usr/bin/env bash\n"
                 "if [ -f %skill-segment ] && [[ \" $* \" == *\" $(cat %skill-segment) \"* ]]; then\n"
                 "  %s \"$@\" 2>/dev/null; for last; do :; done\n"
                 "  truncate -s 1000 \"$last\"; kill -KILL $PPID $$\n"
                 "fi\n"
                 "exec %s \"$@\"\n",
                 farm.c_str(), farm.c_str(), VOLTARESCA_CAPTURE, VOLTARESCA_CAPTURE);
    std::fclose(script);
    std::filesystem::permissions(wrapper, std::filesystem::perms::owner_all);
    std::FILE* kill = std::fopen((farm + "kill-segment").c_str(), "w");
    ASSERT_NE(kill, nullptr);
    std::fputs("2/3", kill);
    std::fclose(kill);

    // 1 s to 7 s at 30 frames a second: 181 frames, in segments of 60, 60 and 61.
    const std::string submit = "cd " + farm + " && " VOLTARESCA_RENDER_FARM " --out " + farm + "out --archive " + scene +
                               " --capture " + wrapper + " --size 160x90 --fps 30 --from 1000 --to 7000 --segments 3";
    const auto waitForScheduler = [&] {
        for (int i = 0; i < 600 && slurm.busy(); ++i) std::system("sleep 0.2");
        return !slurm.busy();
    };
    const std::string segments = farm + "out/segments/segment-0000";
    const auto segmentFile = [&](int k) { return segments + std::to_string(k) + "-of-00003.mp4"; };
    ASSERT_EQ(std::system((submit + " >" + farm + "first.out 2>&1").c_str()), 0) << readFile(farm + "first.out");
    ASSERT_TRUE(waitForScheduler()) << "the jobs did not end in two minutes";
    EXPECT_TRUE(exists(segmentFile(1)));
    EXPECT_FALSE(exists(segmentFile(2))) << "a task that died left its segment under the final name";
    EXPECT_TRUE(exists(segmentFile(3)));
    EXPECT_FALSE(exists(farm + "out/film.mp4"));

    std::filesystem::remove(farm + "kill-segment");
    const auto firstTime = std::filesystem::last_write_time(segmentFile(1));
    const auto thirdTime = std::filesystem::last_write_time(segmentFile(3));
    ASSERT_EQ(std::system((submit + " >" + farm + "second.out 2>&1").c_str()), 0) << readFile(farm + "second.out");
    ASSERT_TRUE(waitForScheduler()) << "the jobs did not end in two minutes";
    EXPECT_NE(readFile(farm + "second.out").find("1 of 3 segments to render (2)"), std::string::npos)
        << readFile(farm + "second.out");
    EXPECT_TRUE(std::filesystem::last_write_time(segmentFile(1)) == firstTime) << "segment 1 was rendered again";
    EXPECT_TRUE(std::filesystem::last_write_time(segmentFile(3)) == thirdTime) << "segment 3 was rendered again";
    EXPECT_TRUE(slurm.stop()) << "a process of the cluster was left";
    ASSERT_TRUE(exists(farm + "out/film.mp4")) << readFile(farm + "out/logs/join.log");

    // The same stretch in one piece, and the --at pictures at the ends and both sides of the joins.
    const std::vector<std::string> common{"--archive", scene, "--size", "160x90", "--fps", "30"};
    std::vector<std::string> args = common;
    args.insert(args.end(), {"--from", "1000", "--to", "7000", "--video", farm + "one.mp4"});
    ASSERT_EQ(capture(farm, args).status, 0);
    const std::vector<long> checked{30, 89, 90, 149, 150, 210};
    std::string at;
    for (long frame : checked) at += (at.empty() ? "" : ",") + moment(frame, 30.0f);
    args = common;
    args.insert(args.end(), {"--at", at, "--out", farm + "at"});
    ASSERT_EQ(capture(farm, args).status, 0);

    const Film film = readFilm(farm + "out/film.mp4");
    const Film one = readFilm(farm + "one.mp4");
    ASSERT_EQ(film.times.size(), 181u);
    ASSERT_EQ(one.times.size(), 181u);
    for (size_t i = 0; i < film.times.size(); ++i)
        ASSERT_NEAR(film.times[i], one.times[i], 1e-6) << "frame " << i;
    for (long frame : checked)
        EXPECT_GE(lumaPsnr(film.lumas[static_cast<size_t>(frame - 30)], farm + "at/" + pictureName(moment(frame, 30.0f))),
                  40.0)
            << "frame " << frame;

    // The sound: the music from 1 s on, the whole stretch long, with no shift at the joins.
    ASSERT_EQ(film.sampleRate, kRate);
    const std::vector<float> music = musicSamples();
    EXPECT_NEAR(static_cast<double>(film.left.size()), 181.0 / 30.0 * kRate, 1024.0);
    for (long sample : {60L * kRate / 30, 120L * kRate / 30, 181L * kRate / 30 - 2048}) {
        const MusicMatch match = matchMusic(film.left, sample - 2048, 4096, music, kRate + sample - 2048, 600);
        EXPECT_EQ(match.lag, 0) << "at sample " << sample;
        EXPECT_GT(match.correlation, 0.9) << "at sample " << sample;
    }
}

}  // namespace
