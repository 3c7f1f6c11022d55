#include <gtest/gtest.h>

#include "app/run.h"

namespace {

TEST(CommandLine, OnlyTheFirstWordCounts) {
    const char* none[] = {"voltaresca"};
    const char* free[] = {"voltaresca", "free", "extra"};
    EXPECT_EQ(parseCommandLine(1, none), RunMode::Demo);
    EXPECT_EQ(parseCommandLine(3, free), RunMode::Free);
    for (const char* word : {"edit", "Free", "FREE", "", "--help"}) {
        const char* argv[] = {"voltaresca", word};
        EXPECT_EQ(parseCommandLine(2, argv), RunMode::None) << word;
    }
}

int64_t g_now = 0;
int64_t g_frequency = 0;
int64_t fakeCounter() { return g_now; }
int64_t fakeFrequency() { return g_frequency; }

TEST(FrameTimer, MillisecondsFromTheCounter) {
    g_frequency = 3579545;
    g_now = 1000;
    FrameTimer timer(&fakeCounter, &fakeFrequency);
    timer.start();
    g_now += 3579545;
    EXPECT_EQ(timer.tick(), 1000.0f);
    g_now += 3579545 / 2;
    EXPECT_NEAR(timer.tick(), 500.0f, 1e-3f);
}

TEST(FrameTimer, FrequenciesBeyondThirtyTwoBits) {
    // A 10 GHz counter: only its full 64-bit value gives the right time.
    g_frequency = 10'000'000'000;
    g_now = 0;
    FrameTimer timer(&fakeCounter, &fakeFrequency);
    timer.start();
    g_now = 160'000'000;  // 16 ms
    EXPECT_NEAR(timer.tick(), 16.0f, 1e-3f);
}

TEST(FrameTimer, DeltasAddUpToTheTotal) {
    g_frequency = 1000;
    g_now = 0;
    FrameTimer timer(&fakeCounter, &fakeFrequency);
    timer.start();
    float t = 0.0f;
    for (int i = 0; i < 1000; ++i) {
        g_now += 17;
        t += timer.tick();
    }
    EXPECT_NEAR(t, 17000.0f, 0.5f);
}

}  // namespace
