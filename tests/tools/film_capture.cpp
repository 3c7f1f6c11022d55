#include "film_capture.h"

#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

#include <cstdio>
#include <filesystem>
#include <fstream>

#include "support/temp_dir.h"

std::string filmCaptureStamp(const std::string& request) {
    namespace fs = std::filesystem;
    std::error_code e1, e2, e3;
    const auto size = fs::file_size(VOLTARESCA_ARCHIVE, e1);
    const auto archiveTime = fs::last_write_time(VOLTARESCA_ARCHIVE, e2).time_since_epoch().count();
    const auto captureTime = fs::last_write_time(VOLTARESCA_CAPTURE, e3).time_since_epoch().count();
    return std::to_string(size) + " " + std::to_string(archiveTime) + " " + std::to_string(captureTime) + " " + request;
}

std::string captureOnce(const std::string& folder, const std::string& stamp, const std::function<std::string()>& capture) {
    std::filesystem::create_directories(folder);
    const int lock = ::open((folder + "/lock").c_str(), O_CREAT | O_RDWR, 0644);
    if (lock >= 0) ::flock(lock, LOCK_EX);
    std::string failure;
    if (readFile(folder + "/stamp") != stamp) {
        std::remove((folder + "/stamp").c_str());
        failure = capture();
        if (failure.empty()) std::ofstream(folder + "/stamp") << stamp;
    }
    if (lock >= 0) ::close(lock);  // and with it the lock
    return failure;
}
