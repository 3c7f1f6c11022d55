// A small linear-congruential generator with the classic constants, so that every platform
// draws the same numbers (the C library's rand differs between systems).
#pragma once

#include <cstdint>

class Random {
public:
    static constexpr int kMax = 32767;

    explicit Random(uint32_t seed = 1) : state_(seed) {}
    // The next value in [0, kMax].
    int next() {
        state_ = state_ * 1103515245u + 12345u;
        return static_cast<int>((state_ / 65536u) % 32768u);
    }

private:
    uint32_t state_;
};
