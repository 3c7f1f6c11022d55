#include "support/process.h"

#ifdef _WIN32
#include <windows.h>
#else
#include <fcntl.h>
#include <sys/wait.h>
#include <unistd.h>
#endif

#include <cstdlib>

#ifdef _WIN32

namespace {

// One argument as CommandLineToArgvW and the C runtime read it back.
std::string quoted(const std::string& arg) {
    if (!arg.empty() && arg.find_first_of(" \t\"") == std::string::npos) return arg;
    std::string out = "\"";
    size_t backslashes = 0;
    for (char c : arg) {
        if (c == '\\') {
            ++backslashes;
            continue;
        }
        out.append(c == '"' ? backslashes * 2 + 1 : backslashes, '\\');
        backslashes = 0;
        out += c;
    }
    out.append(backslashes * 2, '\\');
    return out + "\"";
}

// Sets a variable for the span of one call, then puts back what was there.
class ScopedVariable {
public:
    ScopedVariable(const char* name, const std::string& value) : name_(name) {
        if (value.empty()) return;
        char buffer[32768];
        const DWORD length = GetEnvironmentVariableA(name, buffer, sizeof buffer);
        had_ = length > 0 && length < sizeof buffer;
        if (had_) old_.assign(buffer, length);
        set_ = SetEnvironmentVariableA(name, value.c_str()) != 0;
    }
    ~ScopedVariable() {
        if (set_) SetEnvironmentVariableA(name_, had_ ? old_.c_str() : nullptr);
    }

private:
    const char* name_;
    std::string old_;
    bool had_ = false, set_ = false;
};

}  // namespace

int runProgram(const std::string& program, const std::vector<std::string>& args, const RunOptions& options) {
    std::string line = quoted(program);
    for (const std::string& arg : args) line += " " + quoted(arg);
    SECURITY_ATTRIBUTES inherit = {sizeof inherit, nullptr, TRUE};
    HANDLE error = CreateFileA(options.errorFile.empty() ? "NUL" : options.errorFile.c_str(), GENERIC_WRITE,
                               FILE_SHARE_READ | FILE_SHARE_WRITE, &inherit, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (error == INVALID_HANDLE_VALUE) return -1;
    STARTUPINFOA startup = {};
    startup.cb = sizeof startup;
    startup.dwFlags = STARTF_USESTDHANDLES;
    startup.hStdInput = GetStdHandle(STD_INPUT_HANDLE);
    startup.hStdOutput = GetStdHandle(STD_OUTPUT_HANDLE);
    startup.hStdError = error;
    PROCESS_INFORMATION process = {};
    BOOL started;
    {
        ScopedVariable tmp("TMP", options.temp), temp("TEMP", options.temp);
        started = CreateProcessA(nullptr, &line[0], nullptr, nullptr, TRUE, 0, nullptr, nullptr, &startup, &process);
    }
    CloseHandle(error);
    if (!started) return -1;
    WaitForSingleObject(process.hProcess, INFINITE);
    DWORD status = 0;
    GetExitCodeProcess(process.hProcess, &status);
    CloseHandle(process.hProcess);
    CloseHandle(process.hThread);
    return static_cast<int>(status);
}

void setEnvironment(const std::string& name, const std::string& value) {
    SetEnvironmentVariableA(name.c_str(), value.c_str());
    _putenv_s(name.c_str(), value.c_str());  // the C runtime keeps a copy of its own
}

const char* nullDevice() { return "NUL"; }

#else

int runProgram(const std::string& program, const std::vector<std::string>& args, const RunOptions& options) {
    std::vector<char*> argv;
    argv.push_back(const_cast<char*>(program.c_str()));
    for (const std::string& arg : args) argv.push_back(const_cast<char*>(arg.c_str()));
    argv.push_back(nullptr);
    const pid_t child = fork();
    if (child < 0) return -1;
    if (child == 0) {
        const int error = open(options.errorFile.empty() ? "/dev/null" : options.errorFile.c_str(),
                               O_WRONLY | O_CREAT | O_TRUNC, 0644);
        if (error >= 0) dup2(error, 2);
        if (!options.temp.empty()) setenv("TMPDIR", options.temp.c_str(), 1);
        execv(program.c_str(), argv.data());
        _exit(127);
    }
    int status = 0;
    if (waitpid(child, &status, 0) != child) return -1;
    return WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
}

void setEnvironment(const std::string& name, const std::string& value) { setenv(name.c_str(), value.c_str(), 1); }

const char* nullDevice() { return "/dev/null"; }

#endif
