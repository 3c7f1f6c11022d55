// Little-endian reading and writing of the binary content formats (int32, float32, uint8).
// The reader bounds every read by the data it was given.
#pragma once

#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

class ByteReader {
public:
    ByteReader(const unsigned char* data, size_t size) : data_(data), size_(size) {}

    size_t remaining() const { return size_ - pos_; }
    // Each returns false, leaving the output untouched, when the bytes are not there.
    bool readInt32(int32_t& v) { return readRaw(&v, 4); }
    bool readFloat(float& v) { return readRaw(&v, 4); }
    bool readByte(uint8_t& v) { return readRaw(&v, 1); }
    // A string stored as a 32-bit byte count and the bytes.
    bool readString(std::string& v) {
        int32_t length;
        const size_t start = pos_;
        if (!readInt32(length) || length < 0 || static_cast<size_t>(length) > remaining()) {
            pos_ = start;
            return false;
        }
        v.assign(reinterpret_cast<const char*>(data_ + pos_), static_cast<size_t>(length));
        pos_ += static_cast<size_t>(length);
        return true;
    }
    // Points at the next `count` bytes and moves past them; null when they are not all there.
    const unsigned char* take(size_t count) {
        if (count > remaining()) return nullptr;
        pos_ += count;
        return data_ + pos_ - count;
    }
    // A count of records of at least `recordSize` bytes each: false when it is negative or
    // could not fit in the bytes that are left.
    bool readCount(int32_t& count, size_t recordSize) {
        int32_t c;
        if (!readInt32(c) || c < 0) return false;
        if (recordSize != 0 && static_cast<uint64_t>(c) * recordSize > remaining()) return false;
        count = c;
        return true;
    }

private:
    bool readRaw(void* out, size_t n) {
        if (remaining() < n) return false;
        std::memcpy(out, data_ + pos_, n);  // the program runs on little-endian machines only
        pos_ += n;
        return true;
    }
    const unsigned char* data_;
    size_t size_;
    size_t pos_ = 0;
};

// The float stored at `at` (the files are little-endian, as is every platform we build for).
inline float floatAt(const unsigned char* at) {
    float v;
    std::memcpy(&v, at, 4);
    return v;
}

class ByteWriter {
public:
    void int32(int32_t v) { raw(&v, 4); }
    void float32(float v) { raw(&v, 4); }
    void byte(uint8_t v) { raw(&v, 1); }
    void string(const std::string& v) {
        int32(static_cast<int32_t>(v.size()));
        raw(v.data(), v.size());
    }
    const std::vector<unsigned char>& bytes() const { return bytes_; }

private:
    void raw(const void* p, size_t n) {
        const auto* b = static_cast<const unsigned char*>(p);
        bytes_.insert(bytes_.end(), b, b + n);
    }
    std::vector<unsigned char> bytes_;
};

// How much content the program takes in. The film's biggest file is a model of about 7 MiB, and
// its archive (about 12 MiB packed) unpacks to about 21 MiB. The caps leave content room to grow
// several times over, and bound what a damaged or hostile archive or file can make the program
// hold in memory or write to the disk: an unpacked entry and a file read whole hold at most
// kMaxContentFileBytes, the archive's entries together kMaxArchiveBytes.
constexpr uint64_t kMaxContentFileBytes = uint64_t(64) << 20;
constexpr uint64_t kMaxArchiveBytes = uint64_t(256) << 20;

// The whole file, or false when it cannot be opened or read. Only a regular file is read (a
// pipe or a device in its place is refused at once), and only up to kMaxContentFileBytes: a
// bigger one is refused with an error line (logError) that names it.
bool readWholeFile(const std::string& path, std::vector<unsigned char>& out);
bool readWholeFile(const std::string& path, std::string& out);
// The first `count` bytes of the file (fewer when it is shorter); false when it cannot be read.
bool readFileStart(const std::string& path, size_t count, std::vector<unsigned char>& out);
// Whether two files hold the same bytes: sizes first, then piece by piece, never holding more
// than a piece of each. False when either cannot be read.
bool sameFileBytes(const std::string& a, const std::string& b);
// Writes the bytes, replacing the file; false on failure.
bool writeWholeFile(const std::string& path, const std::vector<unsigned char>& bytes);
