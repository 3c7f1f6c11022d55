// The generator's random numbers, for the pictures' noise and scatter and the music's noise
// voices. A linear-congruential generator: the same seed gives the same numbers on every
// machine. Its low bits are weak, so values are taken from the high ones.
#pragma once

#include <cstdint>

namespace content {

class SeededRandom {
public:
    explicit SeededRandom(uint32_t seed) : state_(seed * 2654435761u + 0x9e3779b9u) {}
    uint32_t next() {
        state_ = state_ * 1664525u + 1013904223u;
        return state_;
    }
    float uniform() { return static_cast<float>(next() >> 8) * (1.0f / 16777216.0f); }  // [0, 1)
    float bipolar() { return uniform() * 2.0f - 1.0f; }                                  // [-1, 1)
    float range(float lo, float hi) { return lo + (hi - lo) * uniform(); }
    int below(int n) { return static_cast<int>(uniform() * static_cast<float>(n)); }

private:
    uint32_t state_;
};

}  // namespace content
