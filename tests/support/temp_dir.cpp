#include "support/temp_dir.h"

#include <filesystem>
#include <fstream>

#include "base/binary.h"
#include "platform/platform.h"

TempDir::TempDir() { path_ = platform::makePrivateDirectory(platform::tempDirectory(), "voltaresca-test-"); }

TempDir::~TempDir() {
    if (!path_.empty()) platform::removeTree(path_);
}

std::string TempDir::write(const std::string& relative, const std::string& bytes) const {
    const std::filesystem::path full = std::filesystem::path(path_) / relative;
    std::filesystem::create_directories(full.parent_path());
    std::ofstream out(full, std::ios::binary);
    out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
    return full.string();
}

std::string TempDir::write(const std::string& relative, const std::vector<unsigned char>& bytes) const {
    return write(relative, std::string(bytes.begin(), bytes.end()));
}

std::string readFile(const std::string& path) {
    std::vector<unsigned char> bytes;
    readWholeFile(path, bytes);
    return std::string(bytes.begin(), bytes.end());
}
