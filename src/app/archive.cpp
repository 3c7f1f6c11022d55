#include "app/archive.h"

#include <unzip.h>

#include <cstdio>
#include <filesystem>
#include <memory>
#include <vector>

#include "base/log.h"

namespace {

void logLine(const std::string& message) { getLogger("Voltaresca")->log(message); }

bool isSeparator(char c) { return c == '/' || c == '\\'; }

}  // namespace

bool isSafeEntryName(const std::string& name) {
    if (name.empty() || isSeparator(name[0])) return false;
    if (name.size() >= 2 && name[1] == ':') return false;  // drive letter
    size_t start = 0;
    while (start <= name.size()) {
        size_t end = start;
        while (end < name.size() && !isSeparator(name[end])) ++end;
        if (name.compare(start, end - start, "..") == 0 && end - start == 2) return false;
        start = end + 1;
    }
    return name.find('\0') == std::string::npos;
}

void extractArchive(const std::string& targetDirectory, const std::string& archivePath) {
    unzFile zip = unzOpen(archivePath.c_str());
    if (!zip) {
        logLine("couldn't open archive '" + archivePath + "'");
        return;
    }
    int status = unzGoToFirstFile(zip);
    while (status == UNZ_OK) {
        unz_file_info info;
        char nameBuffer[1024];
        if (unzGetCurrentFileInfo(zip, &info, nameBuffer, sizeof nameBuffer, nullptr, 0, nullptr, 0) != UNZ_OK) {
            logLine("archive '" + archivePath + "' is damaged: an entry's header cannot be read");
            break;
        }
        std::string name(nameBuffer);
        for (char& c : name)
            if (c == '\\') c = '/';  // archives written on Windows may use either separator
        if (!isSafeEntryName(name)) {
            logLine("skipped archive entry '" + name + "': it would land outside the data folder");
        } else if (isSeparator(name.back())) {
            std::error_code ec;
            std::filesystem::create_directory(std::filesystem::path(targetDirectory + name), ec);
        } else if (unzOpenCurrentFile(zip) != UNZ_OK) {
            logLine("couldn't read archive entry '" + name + "'");
        } else {
            std::vector<char> buffer(info.uncompressed_size);
            int read = 0;
            if (!buffer.empty()) read = unzReadCurrentFile(zip, buffer.data(), static_cast<unsigned>(buffer.size()));
            // The CRC is checked when the entry is closed after being read whole.
            const int closeStatus = unzCloseCurrentFile(zip);
            if (read < 0 || static_cast<uLong>(read) != info.uncompressed_size || closeStatus != UNZ_OK) {
                logLine("couldn't read archive entry '" + name + "': the archive is truncated or damaged");
            } else {
                const std::string path = targetDirectory + name;
                // Only folders that have their own entry exist; a file in any other folder is dropped.
                if (FILE* out = std::fopen(path.c_str(), "wb")) {
                    if (!buffer.empty()) std::fwrite(buffer.data(), 1, buffer.size(), out);
                    std::fclose(out);
                }
            }
        }
        status = unzGoToNextFile(zip);
    }
    if (status != UNZ_OK && status != UNZ_END_OF_LIST_OF_FILE)
        logLine("archive '" + archivePath + "' is damaged: its directory ends early");
    unzClose(zip);
}
