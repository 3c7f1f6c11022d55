#include "app/archive.h"

#include <unzip.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
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

namespace {

// Copies the open entry into `path` in pieces, never holding more than one piece: the sizes in
// an entry's header are not trusted for anything but the final check. Writes no file unless the
// entry reads whole with its CRC (checked when it is closed) and its declared size.
bool copyEntry(unzFile zip, const std::string& path, ZPOS64_T declaredSize) {
    std::unique_ptr<FILE, int (*)(FILE*)> out(std::fopen(path.c_str(), "wb"), std::fclose);
    if (!out) {
        // Only folders that have their own entry exist; a file in any other folder is dropped,
        // as is one whose name the file system refuses.
        logLine("couldn't create '" + path.substr(0, 300) + "': " + std::strerror(errno));
        unzCloseCurrentFile(zip);
        return true;
    }
    std::vector<char> piece(1 << 16);
    ZPOS64_T total = 0;
    bool ok = true;
    for (;;) {
        const int got = unzReadCurrentFile(zip, piece.data(), static_cast<unsigned>(piece.size()));
        if (got < 0) ok = false;
        if (got <= 0) break;
        total += static_cast<ZPOS64_T>(got);
        if (total > declaredSize) {
            ok = false;  // more than its header says: damaged
            break;
        }
        if (std::fwrite(piece.data(), 1, static_cast<size_t>(got), out.get()) != static_cast<size_t>(got)) {
            logLine("couldn't write '" + path + "' (is the disk full?)");
            ok = false;
            break;
        }
    }
    const int closeStatus = unzCloseCurrentFile(zip);
    ok = ok && closeStatus == UNZ_OK && total == declaredSize;
    const bool written = std::fclose(out.release()) == 0;
    if (!ok || !written) std::remove(path.c_str());
    return ok;
}

void extractEntries(unzFile zip, const std::string& targetDirectory, const std::string& archivePath) {
    int status = unzGoToFirstFile(zip);
    while (status == UNZ_OK) {
        // The name's length comes from the entry's header first; the name is read at that size.
        unz_file_info64 info;
        std::string name;
        bool headerRead = unzGetCurrentFileInfo64(zip, &info, nullptr, 0, nullptr, 0, nullptr, 0) == UNZ_OK;
        if (headerRead) {
            name.resize(static_cast<size_t>(info.size_filename) + 1);
            headerRead = unzGetCurrentFileInfo64(zip, &info, name.data(), static_cast<uLong>(name.size()), nullptr, 0,
                                                 nullptr, 0) == UNZ_OK;
            name.resize(static_cast<size_t>(info.size_filename));
        }
        if (!headerRead) {
            logLine("archive '" + archivePath + "' is damaged: an entry's header cannot be read");
            break;
        }
        for (char& c : name)
            if (c == '\\') c = '/';  // archives written on Windows may use either separator
        if (!isSafeEntryName(name)) {
            logLine("skipped archive entry '" + name.substr(0, 300) + "': it would land outside the data folder");
        } else if (isSeparator(name.back())) {
            std::error_code ec;
            std::filesystem::create_directory(std::filesystem::path(targetDirectory + name), ec);
        } else if (unzOpenCurrentFile(zip) != UNZ_OK) {
            logLine("couldn't read archive entry '" + name + "'");
        } else if (!copyEntry(zip, targetDirectory + name, info.uncompressed_size)) {
            logLine("couldn't read archive entry '" + name + "': the archive is truncated or damaged");
        }
        status = unzGoToNextFile(zip);
    }
    if (status != UNZ_OK && status != UNZ_END_OF_LIST_OF_FILE)
        logLine("archive '" + archivePath + "' is damaged: its directory ends early");
}

}  // namespace

void extractArchive(const std::string& targetDirectory, const std::string& archivePath) {
    unzFile zip = unzOpen64(archivePath.c_str());
    if (!zip) {
        logLine("couldn't open archive '" + archivePath + "'");
        return;
    }
    // Nothing may leave the extraction: a failure here is a damaged archive, not a crash.
    try {
        extractEntries(zip, targetDirectory, archivePath);
    } catch (const std::exception& e) {
        logLine("archive '" + archivePath + "' couldn't be unpacked: " + e.what());
    }
    unzClose(zip);
}
