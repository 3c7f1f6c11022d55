#include "app/log.h"

#include <ctime>
#include <memory>

#include "platform/platform.h"

namespace {
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
    const std::time_t now = std::time(nullptr);
    std::tm local{};
#ifdef _WIN32
    const bool ok = localtime_s(&local, &now) == 0;
#else
    const bool ok = localtime_r(&now, &local) != nullptr;
#endif
    char buffer[128];
    if (!ok || std::strftime(buffer, sizeof buffer, "%H:%M:%S", &local) == 0) return "--:--:--";
    return buffer;
}

std::string formatLogLine(const std::string& time, const std::string& name, const std::string& message) {
    return "[" + time + "] " + name + ": " + message;
}

void Logger::log(const std::string& message) {
    const std::string line = formatLogLine(localTimeText(), name_, message);
    for (ILogOutput* output : outputs_) output->write(line.c_str());
}

Logger* getLogger(const std::string& name) {
    auto& loggers = registry();
    auto it = loggers.find(name);
    if (it == loggers.end()) it = loggers.emplace(name, std::make_unique<Logger>(name)).first;
    return it->second.get();
}

void releaseLogger(const std::string& name) { registry().erase(name); }
