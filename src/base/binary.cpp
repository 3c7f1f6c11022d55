#include "base/binary.h"

#include <fstream>
#include <iterator>

namespace {
// One read of the size the file has when opened; whatever it grew by since (or all of a file
// that can't tell its size) follows byte by byte.
template <class Bytes>
bool readAll(const std::string& path, Bytes& out) {
    std::ifstream in(path, std::ios::binary);
    if (!in) return false;
    out.clear();
    const std::streamoff size = in.seekg(0, std::ios::end) ? static_cast<std::streamoff>(in.tellg()) : -1;
    in.clear();
    in.seekg(0, std::ios::beg);
    if (size > 0) {
        out.resize(static_cast<size_t>(size));
        in.read(reinterpret_cast<char*>(&out[0]), static_cast<std::streamsize>(size));
        out.resize(static_cast<size_t>(in.gcount()));
        if (in.bad()) return false;
        in.clear();
    }
    out.insert(out.end(), std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
    return !in.bad();
}
}  // namespace

bool readWholeFile(const std::string& path, std::vector<unsigned char>& out) { return readAll(path, out); }

bool readWholeFile(const std::string& path, std::string& out) { return readAll(path, out); }

bool readFileStart(const std::string& path, size_t count, std::vector<unsigned char>& out) {
    std::ifstream in(path, std::ios::binary);
    if (!in) return false;
    out.resize(count);
    in.read(reinterpret_cast<char*>(out.data()), static_cast<std::streamsize>(count));
    out.resize(static_cast<size_t>(in.gcount()));
    return !in.bad();
}

bool writeWholeFile(const std::string& path, const std::vector<unsigned char>& bytes) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    if (!out) return false;
    out.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
    out.close();  // a failed flush (a full disk) shows only here
    return !out.fail();
}
