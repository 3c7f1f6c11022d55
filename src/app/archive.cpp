#include "app/archive.h"

#include <unzip.h>

#include <cerrno>
#include <cstdio>
#include <algorithm>
#include <cstring>
#include <memory>
#include <vector>

#include "base/log.h"
#include "platform/platform.h"

namespace {

void logLine(const std::string& message) { getLogger("Voltaresca")->log(message); }

bool isSeparator(char c) { return c == '/' || c == '\\'; }

char upper(char c) { return c >= 'a' && c <= 'z' ? static_cast<char>(c - 'a' + 'A') : c; }

// Whether Windows opens the device of that name instead of a file: CON, PRN, AUX, NUL,
// CONIN$, CONOUT$, COM0-9 and LPT0-9 (also with a superscript 1, 2 or 3), in any case and with
// any extension; spaces before the extension do not change it ("NUL .txt" is NUL too).
bool isDeviceName(const std::string& part) {
    std::string base = part.substr(0, part.find('.'));
    while (!base.empty() && base.back() == ' ') base.pop_back();
    for (char& c : base) c = upper(c);
    for (const char* device : {"CON", "PRN", "AUX", "NUL", "CONIN$", "CONOUT$"})
        if (base == device) return true;
    if (base.size() < 4 || (base.compare(0, 3, "COM") != 0 && base.compare(0, 3, "LPT") != 0)) return false;
    const std::string number = base.substr(3);
    return (number.size() == 1 && number[0] >= '0' && number[0] <= '9') || number == "\xC2\xB9" || number == "\xC2\xB2" ||
           number == "\xC2\xB3";
}

std::string amount(uint64_t bytes) {
    return bytes % (uint64_t(1) << 20) == 0 ? std::to_string(bytes >> 20) + " MiB" : std::to_string(bytes) + " bytes";
}

}  // namespace

std::string entryNameProblem(const std::string& name) {
    static const std::string kOutside = "it would land outside the data folder";
    if (name.empty() || isSeparator(name[0])) return kOutside;
    if (name.find('\0') != std::string::npos) return kOutside;
    if (name.size() >= 2 && name[1] == ':') return kOutside;  // drive letter
    std::string device;
    size_t start = 0;
    while (start <= name.size()) {
        size_t end = start;
        while (end < name.size() && !isSeparator(name[end])) ++end;
        const std::string part = name.substr(start, end - start);
        if (part == "..") return kOutside;
        if (device.empty() && isDeviceName(part)) device = part;
        start = end + 1;
    }
    if (!device.empty()) return "Windows keeps the name '" + printableName(device) + "' for a device";
    return {};
}

bool isSafeEntryName(const std::string& name) { return entryNameProblem(name).empty(); }

std::string printableName(const std::string& name) {
    static const char kHex[] = "0123456789abcdef";
    const size_t shown = std::min<size_t>(name.size(), 300);
    std::string text;
    for (size_t i = 0; i < shown; ++i) {
        const auto c = static_cast<unsigned char>(name[i]);
        // C1 controls are written in UTF-8 as C2 80 to C2 9F; both bytes are escaped.
        const bool c1 = c == 0xC2 && i + 1 < name.size() && static_cast<unsigned char>(name[i + 1]) >= 0x80 &&
                        static_cast<unsigned char>(name[i + 1]) <= 0x9F;
        const auto escape = [&](unsigned char b) { text += {'\\', 'x', kHex[b >> 4], kHex[b & 15]}; };
        if (c1) {
            escape(c);
            escape(static_cast<unsigned char>(name[++i]));
        } else if (c < 0x20 || c == 0x7F) {
            escape(c);
        } else {
            text += static_cast<char>(c);
        }
    }
    return shown < name.size() ? text + "..." : text;
}

namespace {

enum class Copied { Written, Dropped, Damaged, TooBig };

// Copies the open entry into `path` in pieces, never holding more than one piece, counting the
// bytes as they inflate: the sizes in an entry's header are trusted for nothing but the final
// check. Writes no file unless the entry reads whole with its CRC (checked when it is closed)
// and its declared size, within `allowed` bytes. `inflated` gets what was inflated.
Copied copyEntry(unzFile zip, const std::string& path, ZPOS64_T declaredSize, uint64_t allowed, uint64_t& inflated) {
    inflated = 0;
    std::unique_ptr<FILE, int (*)(FILE*)> out(std::fopen(path.c_str(), "wb"), std::fclose);
    if (!out) {
        // Only folders that have their own entry exist; a file in any other folder is dropped,
        // as is one whose name the file system refuses.
        logLine("couldn't create '" + printableName(path) + "': " + std::strerror(errno));
        unzCloseCurrentFile(zip);
        return Copied::Dropped;
    }
    std::vector<char> piece(1 << 16);
    Copied result = Copied::Written;
    for (;;) {
        const int got = unzReadCurrentFile(zip, piece.data(), static_cast<unsigned>(piece.size()));
        if (got < 0) result = Copied::Damaged;
        if (got <= 0) break;
        inflated += static_cast<uint64_t>(got);
        if (inflated > allowed) {
            result = Copied::TooBig;
            break;
        }
        if (inflated > declaredSize) {
            result = Copied::Damaged;  // more than its header says
            break;
        }
        if (std::fwrite(piece.data(), 1, static_cast<size_t>(got), out.get()) != static_cast<size_t>(got)) {
            logLine("couldn't write '" + printableName(path) + "' (is the disk full?)");
            result = Copied::Dropped;
            break;
        }
    }
    const int closeStatus = unzCloseCurrentFile(zip);
    if (result == Copied::Written && (closeStatus != UNZ_OK || inflated != declaredSize)) result = Copied::Damaged;
    const bool closed = std::fclose(out.release()) == 0;
    if (result == Copied::Written && !closed) {
        logLine("couldn't write '" + printableName(path) + "' (is the disk full?)");
        result = Copied::Dropped;
    }
    if (result != Copied::Written) std::remove(path.c_str());
    return result;
}

bool extractEntries(unzFile zip, const std::string& targetDirectory, const std::string& archivePath,
                    const ArchiveLimits& limits) {
    uint64_t unpacked = 0;  // inflated so far, by every entry, kept or not
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
            logLine("archive '" + printableName(archivePath) + "' is damaged: an entry's header cannot be read");
            return false;
        }
        for (char& c : name)
            if (c == '\\') c = '/';  // archives written on Windows may use either separator
        const std::string problem = entryNameProblem(name);
        const std::string shown = "archive entry '" + printableName(name) + "'";
        if (!problem.empty()) {
            logLine("skipped " + shown + ": " + problem);
        } else if (isSeparator(name.back())) {
            platform::makeDirectory(targetDirectory + name);
        } else if (unzOpenCurrentFile(zip) != UNZ_OK) {
            logLine("couldn't read " + shown);
        } else {
            const uint64_t left = unpacked < limits.totalBytes ? limits.totalBytes - unpacked : 0;
            const bool entryCapFirst = limits.entryBytes <= left;
            const uint64_t allowed = entryCapFirst ? limits.entryBytes : left;
            uint64_t inflated = 0;
            const Copied copied = copyEntry(zip, targetDirectory + name, info.uncompressed_size, allowed, inflated);
            unpacked += std::min(inflated, allowed);  // a refused entry costs what it was allowed
            if (copied == Copied::Damaged) {
                logLine("couldn't read " + shown + ": the archive is truncated or damaged");
            } else if (copied == Copied::TooBig && entryCapFirst) {
                logLine("skipped " + shown + ": it unpacks to more than " + amount(limits.entryBytes) +
                        ", the most one entry may hold (a damaged or a wrong archive?)");
            } else if (copied == Copied::TooBig) {
                logLine("archive '" + printableName(archivePath) + "' unpacks to more than " + amount(limits.totalBytes) +
                        " in all, the most an archive may hold; unpacking stopped at " + shown +
                        " (a damaged or a wrong archive?)");
                return false;
            }
        }
        status = unzGoToNextFile(zip);
    }
    if (status != UNZ_OK && status != UNZ_END_OF_LIST_OF_FILE) {
        logLine("archive '" + printableName(archivePath) + "' is damaged: its directory ends early");
        return false;
    }
    return true;
}

// minizip's file functions with an open that takes regular files only: a pipe put in the
// archive's place would otherwise hold the open until something writes to it.
voidpf ZCALLBACK openRegular(voidpf, const void* path, int) {
    return platform::openRegularFile(static_cast<const char*>(path));
}

}  // namespace

bool extractArchive(const std::string& targetDirectory, const std::string& archivePath, const ArchiveLimits& limits) {
    zlib_filefunc64_def files;
    fill_fopen64_filefunc(&files);
    files.zopen64_file = openRegular;
    unzFile zip = unzOpen2_64(archivePath.c_str(), &files);
    if (!zip) {
        logLine("couldn't open archive '" + printableName(archivePath) + "'" +
                (platform::fileExists(archivePath) ? "" : " (it is not there, or not a file)"));
        return false;
    }
    // Nothing may leave the extraction: a failure here is a damaged archive, not a crash.
    bool complete = false;
    try {
        complete = extractEntries(zip, targetDirectory, archivePath, limits);
    } catch (const std::exception& e) {
        logLine("archive '" + printableName(archivePath) + "' couldn't be unpacked: " + e.what());
    }
    unzClose(zip);
    return complete;
}

std::string archiveOrDefault(const std::string& named) {
    return named.empty() ? platform::executableDirectory() + "demodat" : named;
}

std::string dataFolderOf(const std::string& folder) {
    return folder + "voltaresca_data" + platform::pathSeparator();
}

std::string musicFileOf(const std::string& dataDirectory) {
    return dataDirectory + "music" + platform::pathSeparator() + "demotune.mp3";
}
