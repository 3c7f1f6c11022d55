// valueAt on tracks of 16, 300 and 3000 keys at the start, middle and end, beside the plain
// walk from the first key that the search replaces. Arguments: key count, position (0 start,
// 1 middle, 2 end).
#include <benchmark/benchmark.h>

#include "anim/keyframes.h"

namespace {

TCBInterpolator<sm::Vec3> makeTrack(int keys) {
    TCBInterpolator<sm::Vec3> track;
    for (int i = 0; i < keys; ++i)
        track.addKey(static_cast<float>(i), sm::Vec3(float(i % 7), float(i % 3), float(i % 5)), false);
    return track;
}

// Inside the first, the middle or the last segment.
float timeAt(int keys, int position) {
    return position == 0 ? 0.5f : position == 1 ? static_cast<float>(keys / 2) + 0.5f : static_cast<float>(keys) - 1.5f;
}

void linearValueAt(const std::vector<Key<sm::Vec3>>& keys, float t, sm::Vec3* out) {
    if (keys.empty()) return;
    if (t <= keys.front().time) {
        *out = keys.front().value;
        return;
    }
    if (t >= keys.back().time) {
        *out = keys.back().value;
        return;
    }
    const size_t i = linearSegment(keys, t);
    if (t == keys[i].time)
        *out = keys[i].value;
    else if (keys[i - 1].step)
        *out = keys[i - 1].value;
    else
        *out = splineSegment(keys, i, t);
}

void BM_ValueAt(benchmark::State& state) {
    const auto track = makeTrack(static_cast<int>(state.range(0)));
    float t = timeAt(static_cast<int>(state.range(0)), static_cast<int>(state.range(1)));
    sm::Vec3 out;
    for (auto _ : state) {
        benchmark::DoNotOptimize(t);
        track.valueAt(t, &out);
        benchmark::DoNotOptimize(out);
    }
}

// The first evaluation after a jump: the remembered segment misses and the binary search runs.
void BM_ValueAtJumping(benchmark::State& state) {
    const int keys = static_cast<int>(state.range(0));
    const auto track = makeTrack(keys);
    const float t = timeAt(keys, static_cast<int>(state.range(1)));
    const float elsewhere = timeAt(keys, state.range(1) == 1 ? 0 : 1);
    sm::Vec3 out;
    bool flip = false;
    for (auto _ : state) {
        track.valueAt((flip = !flip) ? t : elsewhere, &out);
        benchmark::DoNotOptimize(out);
    }
}

void BM_LinearWalk(benchmark::State& state) {
    const auto track = makeTrack(static_cast<int>(state.range(0)));
    float t = timeAt(static_cast<int>(state.range(0)), static_cast<int>(state.range(1)));
    sm::Vec3 out;
    for (auto _ : state) {
        benchmark::DoNotOptimize(t);
        linearValueAt(track.keys(), t, &out);
        benchmark::DoNotOptimize(out);
    }
}

void shapes(benchmark::internal::Benchmark* b) {
    for (int keys : {16, 300, 3000})
        for (int position : {0, 1, 2}) b->Args({keys, position});
}

}  // namespace

BENCHMARK(BM_ValueAt)->Apply(shapes);
BENCHMARK(BM_ValueAtJumping)->Apply(shapes);
BENCHMARK(BM_LinearWalk)->Apply(shapes);
