// SHA-256, for the keys and check sums of the generator's stage cache.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <string>

namespace content {

class Digest {
public:
    Digest();
    Digest& bytes(const void* data, size_t size);
    // A length, then the bytes: a sequence of fields digests differently from its concatenation.
    Digest& field(const std::string& s);
    Digest& field(uint64_t v);
    std::array<uint8_t, 32> finish();
    std::string hex();  // finish() as 64 lower-case hex digits

private:
    void block(const uint8_t* p);
    uint32_t h_[8];
    uint8_t pending_[64];
    size_t pendingSize_ = 0;
    uint64_t total_ = 0;
};

}  // namespace content
