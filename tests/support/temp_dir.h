// A fresh folder for one test, deleted with everything in it when the object goes.
#pragma once

#include <string>
#include <vector>

class TempDir {
public:
    TempDir();
    ~TempDir();
    TempDir(const TempDir&) = delete;
    TempDir& operator=(const TempDir&) = delete;

    // The folder, ending in the separator.
    const std::string& path() const { return path_; }
    // Writes a file below the folder (creating its folders) and returns its full path.
    std::string write(const std::string& relative, const std::string& bytes) const;
    std::string write(const std::string& relative, const std::vector<unsigned char>& bytes) const;

private:
    std::string path_;
};

// The whole file, or nothing when it cannot be read.
std::string readFile(const std::string& path);
