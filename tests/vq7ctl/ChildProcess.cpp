#include "ChildProcess.h"

#include <arpa/inet.h>
#include <cerrno>
#include <chrono>
#include <csignal>
#include <fcntl.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

namespace {
std::vector<char*> Argv(const std::vector<std::string>& argv)
{
    std::vector<char*> v;
    for (const auto& a : argv)
        v.push_back(const_cast<char*>(a.c_str()));
    v.push_back(nullptr);
    return v;
}

// fds: {stdin read end or -1, stdout write end, stderr write end}
pid_t Spawn(const std::vector<std::string>& argv, int in, int out, int err)
{
    std::vector<char*> args = Argv(argv);
    const pid_t pid = fork();
    if (pid == 0) {
        if (in >= 0)
            dup2(in, 0);
        else {
            const int null = open("/dev/null", O_RDONLY);
            dup2(null, 0);
        }
        dup2(out, 1);
        dup2(err, 2);
        for (int fd = 3; fd < 1024; ++fd)
            close(fd);
        execv(args[0], args.data());
        _exit(127);
    }
    return pid;
}

void ReadInto(int fd, std::string& text, bool& open)
{
    char buf[4096];
    const ssize_t n = read(fd, buf, sizeof buf);
    if (n > 0)
        text.append(buf, static_cast<size_t>(n));
    else if (n == 0 || (errno != EINTR && errno != EAGAIN))
        open = false;
}
}

ProcessResult RunProcess(const std::vector<std::string>& argv, const std::string& input, int timeoutMs)
{
    ProcessResult r;
    int in[2], out[2], err[2];
    if (pipe(in) != 0 || pipe(out) != 0 || pipe(err) != 0)
        return r;
    const pid_t pid = Spawn(argv, in[0], out[1], err[1]);
    close(in[0]);
    close(out[1]);
    close(err[1]);
    if (pid < 0) {
        close(in[1]);
        close(out[0]);
        close(err[0]);
        return r;
    }
    signal(SIGPIPE, SIG_IGN);
    if (!input.empty() && write(in[1], input.data(), input.size()) < 0) {
        // the child did not read its input; its output tells
    }
    close(in[1]);

    const auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
    bool outOpen = true, errOpen = true;
    while (outOpen || errOpen) {
        const auto left =
            std::chrono::duration_cast<std::chrono::milliseconds>(end - std::chrono::steady_clock::now()).count();
        if (left <= 0) {
            r.timedOut = true;
            kill(pid, SIGKILL);
            break;
        }
        pollfd fds[2] = {{outOpen ? out[0] : -1, POLLIN, 0}, {errOpen ? err[0] : -1, POLLIN, 0}};
        if (poll(fds, 2, static_cast<int>(left)) < 0 && errno != EINTR)
            break;
        if (fds[0].revents)
            ReadInto(out[0], r.out, outOpen);
        if (fds[1].revents)
            ReadInto(err[0], r.err, errOpen);
    }
    close(out[0]);
    close(err[0]);
    int status = 0;
    waitpid(pid, &status, 0);
    if (WIFEXITED(status) && !r.timedOut)
        r.exitCode = WEXITSTATUS(status);
    return r;
}
