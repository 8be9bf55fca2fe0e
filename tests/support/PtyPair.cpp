#include "support/PtyPair.h"

#include <cerrno>
#include <chrono>
#include <dirent.h>
#include <fcntl.h>
#include <poll.h>
#include <pty.h>
#include <stdexcept>
#include <termios.h>
#include <unistd.h>

namespace {
void MakeRaw(int fd)
{
    termios tio{};
    if (tcgetattr(fd, &tio) == 0) {
        cfmakeraw(&tio);
        tcsetattr(fd, TCSANOW, &tio);
    }
}
}

PtyPair::PtyPair()
{
    char name[256] = {};
    if (openpty(&m_master, &m_slave, name, nullptr, nullptr) != 0)
        throw std::runtime_error("openpty failed");
    m_slaveName = name;
    MakeRaw(m_slave);
    MakeRaw(m_master);
    fcntl(m_master, F_SETFL, fcntl(m_master, F_GETFL) | O_NONBLOCK);
    fcntl(m_master, F_SETFD, FD_CLOEXEC);
    fcntl(m_slave, F_SETFD, FD_CLOEXEC);
}

PtyPair::~PtyPair()
{
    close(m_slave);
    CloseMaster();
}

void PtyPair::CloseMaster()
{
    if (m_master >= 0)
        close(m_master);
    m_master = -1;
}

bool PtyPair::WriteMaster(const void* data, size_t size)
{
    const auto* p = static_cast<const uint8_t*>(data);
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(2);
    while (size > 0) {
        ssize_t n = write(m_master, p, size);
        if (n > 0) {
            p += n;
            size -= static_cast<size_t>(n);
            continue;
        }
        if (n < 0 && errno != EAGAIN && errno != EINTR)
            return false;
        if (std::chrono::steady_clock::now() > deadline)
            return false;
        pollfd pfd{m_master, POLLOUT, 0};
        poll(&pfd, 1, 10);
    }
    return true;
}

std::vector<uint8_t> PtyPair::ReadMaster(size_t size, int timeoutMs)
{
    std::vector<uint8_t> bytes;
    while (bytes.size() < size) {
        pollfd pfd{m_master, POLLIN, 0};
        if (poll(&pfd, 1, timeoutMs) <= 0)
            break;
        uint8_t buf[4096];
        ssize_t n = read(m_master, buf, std::min(sizeof buf, size - bytes.size()));
        if (n <= 0) {
            if (n < 0 && (errno == EAGAIN || errno == EINTR))
                continue;
            break;
        }
        bytes.insert(bytes.end(), buf, buf + n);
    }
    return bytes;
}

void PtyPair::DrainMaster()
{
    while (!ReadMaster(4096, 0).empty()) {
    }
}

int CountOpenDescriptors()
{
    int count = 0;
    if (DIR* dir = opendir("/proc/self/fd")) {
        while (dirent* entry = readdir(dir))
            if (entry->d_name[0] != '.')
                ++count;
        closedir(dir);
        --count;   // the descriptor of the listing itself
    }
    return count;
}
