#include "support/log_capture.h"

LogCapture::LogCapture(Logger* logger) : name_(logger->name()) { logger->addOutput(this); }

LogCapture::~LogCapture() { releaseLogger(name_); }

bool LogCapture::contains(const std::string& text) const {
    for (const std::string& line : lines)
        if (line.find(text) != std::string::npos) return true;
    return false;
}

std::string LogCapture::all() const {
    std::string text;
    for (const std::string& line : lines) text += line + "\n";
    return text;
}
