// Running the built programs from tests, the same way on Linux and on Windows (no shell).
#pragma once

#include <string>
#include <vector>

struct RunOptions {
    std::string temp;         // the program's temporary folder (TMPDIR, or TMP and TEMP); empty: ours
    std::string errorFile;    // standard error goes to this file; empty: discarded
};

// Runs `program` with `args` and waits for it. Its exit status, or -1 when it could not start.
int runProgram(const std::string& program, const std::vector<std::string>& args, const RunOptions& options = {});

// Sets an environment variable of this process (and of the programs it starts).
void setEnvironment(const std::string& name, const std::string& value);

// The file that swallows what is written to it ("/dev/null", "NUL").
const char* nullDevice();
