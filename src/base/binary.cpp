#include "base/binary.h"

#include <cstdio>
#include <cstring>
#include <fstream>
#include <memory>

#include "base/log.h"
#include "platform/platform.h"

namespace {

using File = std::unique_ptr<std::FILE, int (*)(std::FILE*)>;

File openForReading(const std::string& path) { return File(platform::openRegularFile(path), std::fclose); }

// The file's size as its end says when it was opened; -1 when it can't tell.
long long sizeOf(std::FILE* file) {
    if (std::fseek(file, 0, SEEK_END) != 0) return -1;
    const long long size = std::ftell(file);
    return std::fseek(file, 0, SEEK_SET) == 0 ? size : -1;
}

void logTooBig(const std::string& path) {
    logError("'" + path + "' holds more than " + std::to_string(kMaxContentFileBytes >> 20) +
             " MiB, the most a content file may hold, and is not read (a damaged or a wrong file?)");
}

// Read in pieces up to the cap: the size the file had when opened only sets the first
// reservation, and whatever it grew by since is read too, as long as it stays under the cap.
template <class Bytes>
bool readAll(const std::string& path, Bytes& out) {
    File file = openForReading(path);
    if (!file) return false;
    out.clear();
    const long long size = sizeOf(file.get());
    if (size > static_cast<long long>(kMaxContentFileBytes)) {
        logTooBig(path);
        return false;
    }
    // Straight into the buffer, a piece at a time, never past the cap by more than one piece; the
    // reservation leaves room for the last piece's read, so the buffer is not copied on the way.
    constexpr size_t kPiece = 1 << 16;
    if (size > 0) out.reserve(static_cast<size_t>(size) + kPiece);
    for (;;) {
        const size_t old = out.size();
        out.resize(old + kPiece);
        const size_t got = std::fread(&out[old], 1, kPiece, file.get());
        out.resize(old + got);
        if (out.size() > kMaxContentFileBytes) {
            out.clear();
            logTooBig(path);
            return false;
        }
        if (got < kPiece) break;
    }
    return !std::ferror(file.get());
}

}  // namespace

bool readWholeFile(const std::string& path, std::vector<unsigned char>& out) { return readAll(path, out); }

bool readWholeFile(const std::string& path, std::string& out) { return readAll(path, out); }

bool readFileStart(const std::string& path, size_t count, std::vector<unsigned char>& out) {
    File file = openForReading(path);
    if (!file) return false;
    out.resize(count);
    out.resize(std::fread(out.data(), 1, count, file.get()));
    return !std::ferror(file.get());
}

bool sameFileBytes(const std::string& a, const std::string& b) {
    File x = openForReading(a), y = openForReading(b);
    if (!x || !y) return false;
    const long long size = sizeOf(x.get());
    if (size < 0 || size != sizeOf(y.get())) return false;
    std::vector<char> p(1 << 16), q(1 << 16);
    for (;;) {
        const size_t got = std::fread(p.data(), 1, p.size(), x.get());
        if (std::fread(q.data(), 1, q.size(), y.get()) != got || std::memcmp(p.data(), q.data(), got) != 0) return false;
        if (got < p.size()) return !std::ferror(x.get()) && !std::ferror(y.get());
    }
}

bool writeWholeFile(const std::string& path, const std::vector<unsigned char>& bytes) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    if (!out) return false;
    out.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
    out.close();  // a failed flush (a full disk) shows only here
    return !out.fail();
}
