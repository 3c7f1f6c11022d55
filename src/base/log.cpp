#include "base/log.h"

#include <algorithm>
#include <cstdio>
#include <memory>
#include <utility>

#include "platform/platform.h"

namespace {
thread_local std::vector<DeferredLine>* t_deferred = nullptr;

std::map<std::string, std::unique_ptr<Logger>>& registry() {
    static std::map<std::string, std::unique_ptr<Logger>> loggers;
    return loggers;
}
}  // namespace

void ConsoleOutput::write(const char* line) {
    std::string text(line);
    text += '\n';
    platform::debugOutput(text.c_str());
}

std::string localTimeText() {
    int h = 0, m = 0, sec = 0;
    if (!platform::localTime(h, m, sec) || h < 0 || h > 23 || m < 0 || m > 59 || sec < 0 || sec > 60) return "--:--:--";
    char buffer[16];
    std::snprintf(buffer, sizeof buffer, "%02d:%02d:%02d", h, m, sec);
    return buffer;
}

std::string formatLogLine(const std::string& time, const std::string& name, const std::string& message) {
    return "[" + time + "] " + name + ": " + message;
}

LogDeferral::LogDeferral(std::vector<DeferredLine>& into) { t_deferred = &into; }
LogDeferral::~LogDeferral() { t_deferred = nullptr; }

void replayLog(const std::vector<DeferredLine>& lines) {
    for (const DeferredLine& line : lines) getLogger(line.logger)->log(line.message);
}

void Logger::log(const std::string& message) {
    if (t_deferred) {
        t_deferred->push_back({name_, message});
        return;
    }
    const std::string line = formatLogLine(localTimeText(), name_, message);
    for (ILogOutput* output : outputs_) output->write(line.c_str());
}

void Logger::removeOutput(ILogOutput* output) {
    outputs_.erase(std::remove(outputs_.begin(), outputs_.end(), output), outputs_.end());
}

Logger* getLogger(const std::string& name) {
    auto& loggers = registry();
    auto it = loggers.find(name);
    if (it == loggers.end()) it = loggers.emplace(name, std::make_unique<Logger>(name)).first;
    return it->second.get();
}

void releaseLogger(const std::string& name) { registry().erase(name); }

Logger* controllerLog() { return getLogger("DemoController"); }

namespace {
thread_local std::vector<FailureReasons*> t_failureReasons;
}  // namespace

void logError(const std::string& message) {
    controllerLog()->log("error: " + message);
    for (FailureReasons* reasons : t_failureReasons) reasons->reasons_.push_back(message);
}

FailureReasons::FailureReasons() { t_failureReasons.push_back(this); }

FailureReasons::~FailureReasons() {
    t_failureReasons.erase(std::find(t_failureReasons.begin(), t_failureReasons.end(), this));
}

std::vector<std::string> FailureReasons::take() { return std::exchange(reasons_, {}); }
