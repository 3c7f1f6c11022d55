#include "anim/keyframes.h"

#include <gtest/gtest.h>

#include <cstring>
#include <random>

namespace {

template <class T>
T at(const IInterpolator<T>& track, float t, T start = T{}) {
    T out = start;
    track.valueAt(t, &out);
    return out;
}

// The rule as written: walk from the first key.
template <class T>
bool linearSpline(const std::vector<Key<T>>& keys, float t, T* out) {
    if (keys.empty()) return false;
    if (t <= keys.front().time) return *out = keys.front().value, true;
    if (t >= keys.back().time) return *out = keys.back().value, true;
    const size_t i = linearSegment(keys, t);
    if (t == keys[i].time) *out = keys[i].value;
    else if (keys[i - 1].step) *out = keys[i - 1].value;
    else *out = splineSegment(keys, i, t);
    return true;
}

}  // namespace

TEST(Spline, WorkedExamples) {
    TCBInterpolator<float> line;
    line.addKey(0.0f, 0.0f, false);
    line.addKey(10.0f, 10.0f, false);
    EXPECT_EQ(at(line, 5.0f), 5.0f);
    EXPECT_EQ(at(line, 2.5f), 2.5f);

    TCBInterpolator<float> hump;
    hump.addKey(0.0f, 0.0f, false);
    hump.addKey(1.0f, 1.0f, false);
    hump.addKey(2.0f, 0.0f, false);
    EXPECT_FLOAT_EQ(at(hump, 0.5f), 0.6875f);
    EXPECT_EQ(at(hump, 1.0f), 1.0f);
    EXPECT_EQ(at(hump, -3.0f), 0.0f);  // before the first key: the first value
    EXPECT_EQ(at(hump, 9.0f), 0.0f);

    TCBInterpolator<int> ints;
    ints.addKey(0.0f, 0, false);
    ints.addKey(1.0f, 10, false);
    ints.addKey(2.0f, 0, false);
    EXPECT_EQ(at(ints, 0.5f), 6);  // 6.875 truncated, not rounded
}

TEST(Spline, StepKeyHoldsUntilTheNextKey) {
    TCBInterpolator<float> track;
    track.addKey(0.0f, 1.0f, false);
    track.addKey(1.0f, 5.0f, true);
    track.addKey(2.0f, 9.0f, false);
    track.addKey(3.0f, 0.0f, false);
    EXPECT_EQ(at(track, 1.5f), 5.0f);
    EXPECT_EQ(at(track, 1.999f), 5.0f);
    EXPECT_EQ(at(track, 2.0f), 9.0f);
    // The step bounds its neighbours' spline: after it the tangent is the end rule, with no
    // natural-end correction. Worked by hand: T0 = 1.5 * (0 - 9) = -13.5 (no correction next to
    // a step), T1 = -13.5 + 0.5 * 13.5 = -6.75 at the real end; at u = 0.5 the weights are
    // 0.5, 0.5, 0.125, -0.125: 4.5 - 1.6875 + 0.84375.
    EXPECT_FLOAT_EQ(at(track, 2.5f), 3.65625f);
}

TEST(Spline, VectorsAndQuaternionsBlendPerComponent) {
    TCBInterpolator<sm::Vec3> v;
    v.addKey(0.0f, sm::Vec3(0, 2, 4), false);
    v.addKey(2.0f, sm::Vec3(2, 0, 8), false);
    const sm::Vec3 mid = at(v, 1.0f);
    EXPECT_FLOAT_EQ(mid.x, 1.0f);
    EXPECT_FLOAT_EQ(mid.y, 1.0f);
    EXPECT_FLOAT_EQ(mid.z, 6.0f);
    EXPECT_EQ(mid.w, 1.0f);

    TCBInterpolator<sm::Quat> q;
    q.addKey(0.0f, sm::Quat(1, 0, 0, 0), false);
    q.addKey(1.0f, sm::Quat(0, 1, 0, 0), false);
    const sm::Quat half = at(q, 0.5f);
    EXPECT_FLOAT_EQ(half.w, 0.5f);  // componentwise, not normalised
    EXPECT_FLOAT_EQ(half.v.x, 0.5f);
    EXPECT_EQ(half.v.w, 1.0f);
}

TEST(Step, ValueBeginsAtItsKey) {
    StateInterpolator<int> track;
    track.addKey(10.0f, 1, false);
    track.addKey(20.0f, 2, false);
    EXPECT_EQ(at(track, 5.0f, -7), -7);  // before the first key: untouched
    EXPECT_EQ(at(track, 10.0f), 1);
    EXPECT_EQ(at(track, 19.99f), 1);
    EXPECT_EQ(at(track, 20.0f), 2);
    EXPECT_EQ(at(track, 99.0f), 2);
    StateInterpolator<sm::Vec3> empty;
    EXPECT_EQ(at(empty, 1.0f, sm::Vec3(3, 3, 3)).x, 3.0f);
}

TEST(Keys, OrderReplacementAndRemoval) {
    TCBInterpolator<float> down, up;
    for (int i = 4; i >= 0; --i) down.addKey(float(i), float(i * i), false);
    for (int i = 0; i <= 4; ++i) up.addKey(float(i), float(i * i), false);
    for (float t = -1.0f; t < 5.0f; t += 0.37f) EXPECT_EQ(at(down, t), at(up, t));

    down.addKey(2.0f, 100.0f, true);
    EXPECT_EQ(down.count(), 5);
    float time;
    float value;
    bool step;
    ASSERT_TRUE(down.getKey(2, time, value, step));
    EXPECT_EQ(time, 2.0f);
    EXPECT_EQ(value, 100.0f);
    EXPECT_TRUE(step);
    EXPECT_FALSE(down.getKey(5, time, value, step));

    down.removeAt(0);
    down.removeAt(-1);
    down.removeAt(99);
    EXPECT_EQ(down.count(), 4);
    ASSERT_TRUE(down.getKey(0, time, value, step));
    EXPECT_EQ(time, 1.0f);
}

TEST(Provider, ForwardsAndGivesZeroWithoutKeys) {
    KeyframesProvider<sm::Vec3> vec(std::make_unique<TCBInterpolator<sm::Vec3>>());
    const sm::Vec3 none = vec.valueAt(5.0f);
    EXPECT_EQ(none.x, 0.0f);
    EXPECT_EQ(none.w, 1.0f);
    KeyframesProvider<float> step(std::make_unique<StateInterpolator<float>>());
    step.addKey(100.0f, false, 4.0f);
    EXPECT_EQ(step.valueAt(50.0f), 0.0f);
    step.setKey(77, 100.0f, true, 6.0f);  // found by time, not index
    EXPECT_EQ(step.count(), 1);
    float time;
    bool isStep;
    float value;
    ASSERT_TRUE(step.getKey(0, time, isStep, value));
    EXPECT_TRUE(isStep);
    EXPECT_EQ(value, 6.0f);
}

// The remembered segment and the binary search must give exactly what the walk from the
// first key gives, in any order of evaluation times.
TEST(Search, MatchesTheLinearWalkBitForBit) {
    std::mt19937 rng(1234);
    std::uniform_real_distribution<float> value(-100.0f, 100.0f);
    std::uniform_real_distribution<float> gap(0.001f, 3.0f);
    for (int round = 0; round < 40; ++round) {
        TCBInterpolator<sm::Vec3> spline;
        TCBInterpolator<int> ints;
        StateInterpolator<float> steps;
        const int n = 1 + static_cast<int>(rng() % 300);
        float t = value(rng);
        for (int i = 0; i < n; ++i) {
            const bool step = rng() % 5 == 0;
            spline.addKey(t, sm::Vec3(value(rng), value(rng), value(rng)), step);
            ints.addKey(t, static_cast<int>(value(rng) * 1000), step);
            steps.addKey(t, value(rng), step);
            t += gap(rng);
        }
        const float first = spline.keys().front().time, last = spline.keys().back().time;
        std::uniform_real_distribution<float> when(first - 1.0f, last + 1.0f);
        float sweep = first - 1.0f;
        for (int k = 0; k < 500; ++k) {
            // Alternate between random times, key times and a forward sweep.
            float q = k % 3 == 0 ? when(rng) : k % 3 == 1 ? spline.keys()[rng() % n].time : (sweep += 0.05f);
            sm::Vec3 fast, slow;
            spline.valueAt(q, &fast);
            linearSpline(spline.keys(), q, &slow);
            ASSERT_EQ(0, std::memcmp(&fast, &slow, sizeof(fast))) << "t=" << q;
            int fi = 0, si = 0;
            ints.valueAt(q, &fi);
            linearSpline(ints.keys(), q, &si);
            ASSERT_EQ(fi, si);
            float fs = -1.0f, ss = -1.0f;
            steps.valueAt(q, &fs);
            const auto& keys = steps.keys();
            if (q >= keys.front().time) {
                size_t i = 0;
                while (i + 1 < keys.size() && keys[i + 1].time <= q) ++i;
                ss = keys[i].value;
            }
            ASSERT_EQ(fs, ss);
        }
    }
}

TEST(Spline, HostileNumbersStayDefined) {
    // Tangents of 1.5 * 2^32 saturate at the int range, both ways (a bare conversion would
    // be undefined, and on x86 gives INT_MIN for either sign).
    TCBInterpolator<int> down, up;
    for (int k = 0; k < 3; ++k) {
        down.addKey(static_cast<float>(k), k % 2 ? -2147483647 - 1 : 2147483647, false);
        up.addKey(static_cast<float>(k), k % 2 ? 2147483647 : -2147483647 - 1, false);
    }
    // 0.5 * p0 + 0.5 * p1 + 0.125 * T0 with p0 = -p1 and T0 = INT_MIN or INT_MAX.
    EXPECT_EQ(at(down, 0.5f), -268435456);
    EXPECT_EQ(at(up, 0.5f), 268435456);
    EXPECT_EQ(at(up, std::nanf(""), 77), 77);  // a NaN time writes nothing
    TCBInterpolator<float> f;
    f.addKey(std::nanf(""), 1.0f, false);
    EXPECT_EQ(f.count(), 0);
}
