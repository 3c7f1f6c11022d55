// The platform layer's operating-system side on Linux (and other POSIX systems): files over
// std::filesystem, the monotonic clock, Ctrl+C and SIGTERM through SDL's signal handling.
#include "platform/platform.h"

#include <SDL.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <ctime>
#include <filesystem>
#include <system_error>
#include <vector>

#include "platform/wildcard.h"

namespace fs = std::filesystem;

namespace platform {

void installInterruptHandler() {
    // SDL turns SIGINT and SIGTERM into a quit event unless told otherwise; make sure it does.
    SDL_SetHint(SDL_HINT_NO_SIGNAL_HANDLERS, "0");
}

int64_t counter() {
    timespec now{};
    clock_gettime(CLOCK_MONOTONIC, &now);
    return static_cast<int64_t>(now.tv_sec) * 1000000000 + now.tv_nsec;
}
int64_t counterFrequency() { return 1000000000; }

bool localTime(int& hours, int& minutes, int& seconds) {
    const std::time_t now = std::time(nullptr);
    std::tm local{};
    const bool ok = localtime_r(&now, &local) != nullptr;
    if (!ok) return false;
    hours = local.tm_hour;
    minutes = local.tm_min;
    seconds = local.tm_sec;
    return true;
}

const char* pathSeparator() {
    static const std::string separator(1, static_cast<char>(fs::path::preferred_separator));
    return separator.c_str();
}

namespace {
std::string withSeparator(std::string path) {
    if (path.empty() || path.back() != fs::path::preferred_separator) path += fs::path::preferred_separator;
    return path;
}
}  // namespace

std::string tempDirectory() {
    std::error_code ec;
    fs::path p = fs::temp_directory_path(ec);
    if (ec) p = ".";
    return withSeparator(p.string());
}

std::string executableDirectory() {
    char* base = SDL_GetBasePath();
    std::string dir = base ? base : "./";
    SDL_free(base);
    return withSeparator(dir);
}

std::string makePrivateDirectory(const std::string& parent, const std::string& prefix) {
    std::string templ = withSeparator(parent) + prefix + "XXXXXX";
    std::vector<char> buffer(templ.begin(), templ.end());
    buffer.push_back('\0');
    if (!mkdtemp(buffer.data())) return {};  // mkdtemp creates it with mode 0700
    return withSeparator(buffer.data());
}

std::vector<std::string> listFiles(const std::string& pattern) {
    std::vector<std::string> names;
    const fs::path p(pattern);
    const fs::path dir = p.has_parent_path() ? p.parent_path() : fs::path(".");
    const std::string filePattern = p.filename().string();
    std::error_code ec;
    for (fs::directory_iterator it(dir, ec), end; !ec && it != end; it.increment(ec)) {
        std::error_code typeError;
        if (!it->is_regular_file(typeError)) continue;
        const std::string name = it->path().filename().string();
        if (wildcardMatch(filePattern, name)) names.push_back(name);
    }
    std::sort(names.begin(), names.end(), listingLess);
    return names;
}

bool removeTree(const std::string& path) {
    // A trailing separator would make the file system resolve a link in the last place.
    fs::path target(path);
    if (!target.has_filename()) target = target.parent_path();
    if (target.empty()) return false;
    std::error_code ec;
    fs::remove_all(target, ec);  // removes links themselves, never what they point to
    return !fs::exists(fs::symlink_status(target, ec));
}

bool isDirectory(const std::string& path) {
    std::error_code ec;
    return fs::is_directory(fs::path(path), ec);
}

bool makeDirectory(const std::string& path) {
    std::error_code ec;
    fs::create_directory(fs::path(path), ec);
    return isDirectory(path);
}

bool fileExists(const std::string& path) {
    std::error_code ec;
    return fs::is_regular_file(fs::path(path), ec);
}

bool replaceFile(const std::string& path, const std::vector<unsigned char>& bytes, std::string& error) {
    const std::string partial = path + ".partial";
    unlink(partial.c_str());  // unlink removes a link itself, never its target
    const int file = open(partial.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0644);
    if (file < 0) {
        error = std::strerror(errno);
        return false;
    }
    int cause = 0;
    for (size_t done = 0; done < bytes.size() && !cause;) {
        const ssize_t wrote = write(file, bytes.data() + done, bytes.size() - done);
        if (wrote > 0) done += static_cast<size_t>(wrote);
        else if (wrote == 0) cause = EIO;
        else if (errno != EINTR) cause = errno;
    }
    if (close(file) != 0 && !cause) cause = errno;  // a full disk may show only here
    if (!cause && rename(partial.c_str(), path.c_str()) != 0) cause = errno;
    if (!cause) return true;
    unlink(partial.c_str());
    error = std::strerror(cause);
    return false;
}

std::FILE* openRegularFile(const std::string& path) {
    // Non-blocking, so that a pipe put in the file's place opens without waiting for a writer
    // and is then refused by what it is.
    const int fd = open(path.c_str(), O_RDONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC);
    if (fd < 0) return nullptr;
    struct stat status {};
    if (fstat(fd, &status) != 0 || !S_ISREG(status.st_mode)) {
        const int cause = S_ISDIR(status.st_mode) ? EISDIR : EINVAL;
        close(fd);
        errno = cause;
        return nullptr;
    }
    const int flags = fcntl(fd, F_GETFL);
    if (flags != -1) fcntl(fd, F_SETFL, flags & ~O_NONBLOCK);
    std::FILE* file = fdopen(fd, "rb");
    if (!file) {
        const int cause = errno;
        close(fd);
        errno = cause;
    }
    return file;
}

uint64_t fileStamp(const std::string& path) {
    std::error_code ec;
    const fs::path p(path);
    const uintmax_t size = fs::file_size(p, ec);
    if (ec) return 0;
    const auto written = fs::last_write_time(p, ec);
    if (ec) return 0;
    const uint64_t ticks = static_cast<uint64_t>(written.time_since_epoch().count());
    return (ticks * 1000003u) ^ static_cast<uint64_t>(size) ^ 1u;
}

void debugOutput(const char* text) {
    std::fputs(text, stderr);
    std::fflush(stderr);
}

bool standardErrorIsTerminal() { return isatty(STDERR_FILENO) == 1; }

}  // namespace platform
