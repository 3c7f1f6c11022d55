// Named loggers in a process-wide registry; each forwards finished lines to its sinks.
#pragma once

#include <map>
#include <string>
#include <vector>

class ILogOutput {
public:
    virtual ~ILogOutput() = default;
    // One complete line, without its end of line; the sink must not keep the pointer.
    virtual void write(const char* line) = 0;
};

// Writes each line to the platform's debug output (standard error), one line each.
class ConsoleOutput : public ILogOutput {
public:
    void write(const char* line) override;
};

class Logger {
public:
    explicit Logger(std::string name) : name_(std::move(name)) {}
    const std::string& name() const { return name_; }
    // Sinks are not owned; duplicates and nulls are not checked, as the callers never pass them.
    void addOutput(ILogOutput* output) { outputs_.push_back(output); }
    // Detaches a sink added before; others keep their order.
    void removeOutput(ILogOutput* output);
    // "[HH:mm:ss] name: message" to every sink, in the order they were attached.
    void log(const std::string& message);

private:
    std::string name_;
    std::vector<ILogOutput*> outputs_;
};

// A logged line held back: the logger's name and the message.
struct DeferredLine {
    std::string logger;
    std::string message;
};
// While one lives, lines logged on its thread are appended to `into` instead of written (a
// worker thread's lines then come out, through replayLog on the main thread, where the same
// work done there would have logged them). Not nested.
class LogDeferral {
public:
    explicit LogDeferral(std::vector<DeferredLine>& into);
    ~LogDeferral();
    LogDeferral(const LogDeferral&) = delete;
    LogDeferral& operator=(const LogDeferral&) = delete;
};
// Logs held-back lines through their loggers, in order.
void replayLog(const std::vector<DeferredLine>& lines);

// Returns the logger of that name, creating an empty one on first request. Never null.
Logger* getLogger(const std::string& name);
// Deletes the logger of that name (not its sinks); unknown names do nothing.
void releaseLogger(const std::string& name);
// The line the loggers write, for a given local time text.
std::string formatLogLine(const std::string& time, const std::string& name, const std::string& message);
// The current local time as "HH:mm:ss".
std::string localTimeText();

// The demo's own log, "DemoController": every room reports its errors there. It exists whenever
// asked; its lines reach the console once the controller has attached its output.
Logger* controllerLog();
// controllerLog() with "error: " in front of the message; the message is also kept by every
// FailureReasons living on this thread.
void logError(const std::string& message);

// While one lives, the message of every logError on its thread is also kept in it, in order: the
// failures of a step as values, for a caller that reports them itself rather than only in the
// log. Each one living on the thread gets every message.
class FailureReasons {
public:
    FailureReasons();
    ~FailureReasons();
    FailureReasons(const FailureReasons&) = delete;
    FailureReasons& operator=(const FailureReasons&) = delete;
    // The messages kept since it was made or last taken.
    std::vector<std::string> take();

private:
    friend void logError(const std::string& message);
    std::vector<std::string> reasons_;
};
