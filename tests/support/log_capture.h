// Collects the lines of one logger (the demo's own log unless told otherwise) while it lives.
#pragma once

#include <string>
#include <vector>

#include "base/log.h"

class LogCapture : public ILogOutput {
public:
    explicit LogCapture(Logger* logger = controllerLog());
    // Loggers cannot drop a sink, so the logger itself goes: the next request makes a fresh one.
    ~LogCapture() override;
    LogCapture(const LogCapture&) = delete;
    LogCapture& operator=(const LogCapture&) = delete;

    void write(const char* line) override { lines.emplace_back(line); }
    // Whether any line holds `text`.
    bool contains(const std::string& text) const;
    // Every line, each ended by a newline: for failure messages.
    std::string all() const;

    std::vector<std::string> lines;

private:
    std::string name_;
};
