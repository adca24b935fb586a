// Runs a program as a child process, as a user would from a shell, and
// collects its exit code and everything it wrote.
#pragma once

#include <functional>
#include <string>
#include <vector>

struct ProgramOutcome {
    int exit_code = -1;  // 128 + the signal when a signal ended it
    std::string out;
    std::string err;  // for a terminal: everything the terminal received
};

struct ProgramLaunch {
    std::vector<std::string> argv;         // argv[0] is the program's path
    std::vector<std::string> environment;  // the whole environment, NAME=value
    std::string directory;                 // working directory; empty for ours
    bool terminal = false;                 // standard error is a pseudo-terminal
    unsigned short terminal_columns = 0;   // its width; 0 leaves it unknown
    // Runs in the child just before exec (resource limits, say); false makes
    // the child exit with 126.
    std::function<bool()> prepare;
};

// Standard input is /dev/null. A program still running after two minutes is
// killed and fails the test, so that a hang cannot hang the test run.
ProgramOutcome run_program(const ProgramLaunch& launch);

// NAME=value for each of `names` set in this process, to pass through.
std::vector<std::string> inherited_environment(const std::vector<const char*>& names);
