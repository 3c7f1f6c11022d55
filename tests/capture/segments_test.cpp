// The rule that cuts a stretch into segments.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "capture/segments.h"

namespace {

// Every frame of the stretch in exactly one segment, in order, lengths differing by one at
// most, whether or not the count divides; and segment k computed alone gives the same frames.
TEST(Segments, EveryFrameFallsInExactlyOneSegment) {
    for (const FrameRange stretch : {FrameRange{0, 181}, FrameRange{37, 38}, FrameRange{5, 6605}, FrameRange{0, 3}}) {
        for (int n : {1, 2, 3, 7, 64}) {
            if (n > stretch.count()) {
                EXPECT_EQ(segmentFrames(stretch, 1, n).count(), 0) << "more segments than frames";
                continue;
            }
            long next = stretch.first, shortest = stretch.count(), longest = 0;
            for (int k = 1; k <= n; ++k) {
                const FrameRange s = segmentFrames(stretch, k, n);
                EXPECT_EQ(s.first, next) << "segment " << k << " of " << n << ": a gap or a frame twice";
                next = s.end;
                shortest = std::min(shortest, s.count());
                longest = std::max(longest, s.count());
            }
            EXPECT_EQ(next, stretch.end) << n << " segments";
            EXPECT_LE(longest - shortest, 1) << n << " segments";
        }
    }
    // 181 frames in three: 60, 60 and 61.
    EXPECT_EQ(segmentFrames({0, 181}, 3, 3), (FrameRange{120, 181}));
    EXPECT_EQ(segmentFrames({0, 181}, 0, 3).count(), 0);
    EXPECT_EQ(segmentFrames({0, 181}, 4, 3).count(), 0);

    // The sequence schedule narrowed to a segment: the frames before it played unwritten, none
    // after it.
    ScheduleDesc d;
    d.from = 1000.0f;
    d.to = 2000.0f;
    std::vector<CaptureFrame> frames = captureSchedule(d);
    const FrameRange stretch = writtenFrames(frames);
    EXPECT_EQ(stretch, (FrameRange{30, 61}));
    keepSegment(frames, segmentFrames(stretch, 2, 2));
    ASSERT_EQ(frames.size(), 61u);
    EXPECT_TRUE(frames[44].file.empty());
    EXPECT_FALSE(frames[45].file.empty());
}

}  // namespace
