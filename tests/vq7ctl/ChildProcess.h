#pragma once
// Runs a program of the build as a child process with pipes on its standard streams.
#include <string>
#include <vector>

struct ProcessResult {
    int exitCode = -1;     // -1 when killed or not started
    bool timedOut = false;
    std::string out;
    std::string err;
};

// Runs argv[0] with the arguments, feeds `input` on stdin (then closes it) and
// collects stdout and stderr; kills it after timeoutMs.
ProcessResult RunProcess(const std::vector<std::string>& argv, const std::string& input = "",
                         int timeoutMs = 30000);
