// The film's frame grid that a capture, a segment and a seek play.
#include <gtest/gtest.h>

#include <vector>

#include "anim/frame_schedule.h"

namespace {

TEST(CaptureSchedule, PlaysEveryFrameUpToTheLastMomentAndNamesTheRequestedOnes) {
    ScheduleDesc o;
    o.fps = 10.0f;
    o.at = {250.0f, 100.0f};
    const std::vector<CaptureFrame> frames = captureSchedule(o);
    ASSERT_EQ(frames.size(), 4u);  // 0, 100 (requested), 200, 250 (requested)
    EXPECT_EQ(frames[0].t, 0.0f);
    EXPECT_EQ(frames[0].dt, 0.0f);
    EXPECT_EQ(frames[1].t, 100.0f);
    EXPECT_FALSE(frames[1].file.empty());
    EXPECT_TRUE(frames[2].file.empty());
    EXPECT_EQ(frames[3].t, 250.0f);
    EXPECT_EQ(frames[3].dt, 50.0f);
    EXPECT_FALSE(frames[3].file.empty());

    ScheduleDesc seq;
    seq.fps = 4.0f;
    seq.from = 500.0f;
    seq.to = 1000.0f;
    const std::vector<CaptureFrame> sequence = captureSchedule(seq);
    ASSERT_EQ(sequence.size(), 5u);
    EXPECT_TRUE(sequence[1].file.empty());
    EXPECT_EQ(sequence[2].file, "frame_000000.png");
    EXPECT_EQ(sequence[4].file, "frame_000002.png");
    EXPECT_EQ(sequence[4].dt, 250.0f);
}

// A moment on the grid asked alone plays the very steps a sequence plays up to it (the film sums
// its steps, so a step off by the rounding of two frame times shows in the picture).
TEST(CaptureSchedule, AMomentOnTheGridPlaysTheStepsOfTheSequence) {
    ScheduleDesc single;
    single.at = {static_cast<float>(90 * (1000.0 / 30.0))};
    ScheduleDesc sequence;
    sequence.to = single.at[0];
    const std::vector<CaptureFrame> a = captureSchedule(single), b = captureSchedule(sequence);
    ASSERT_EQ(a.size(), 91u);
    ASSERT_EQ(b.size(), 91u);
    for (size_t k = 0; k < a.size(); ++k) {
        EXPECT_EQ(a[k].t, b[k].t) << "frame " << k;
        EXPECT_EQ(a[k].dt, b[k].dt) << "frame " << k;
    }
}

}  // namespace
