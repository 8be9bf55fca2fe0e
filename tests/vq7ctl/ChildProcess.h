#pragma once
// Runs a program of the build as a child process with pipes on its standard streams.
#include <string>
#include <sys/types.h>
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

// A program that runs in the background until Stop() or destruction.
class CBackgroundProcess {
public:
    explicit CBackgroundProcess(const std::vector<std::string>& argv);
    ~CBackgroundProcess();
    CBackgroundProcess(const CBackgroundProcess&) = delete;
    CBackgroundProcess& operator=(const CBackgroundProcess&) = delete;

    bool Running() const { return m_pid > 0; }
    // Ends it (SIGTERM, then SIGKILL) and returns what it wrote on stdout.
    std::string Stop();

private:
    pid_t m_pid = -1;
    int m_out = -1;
};

// A TCP port on 127.0.0.1 that was free a moment ago.
unsigned short FreeTcpPort();
// True when 127.0.0.1:port accepts a connection within timeoutMs.
bool WaitForTcpPort(unsigned short port, int timeoutMs);
