#include "support/StalledFifo.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <filesystem>

CStalledFifo::CStalledFifo()
{
    char pattern[] = "/tmp/vq7fifo-XXXXXX";
    if (!::mkdtemp(pattern))
        return;
    m_dir = pattern;
    m_path = m_dir + "/trace.log";
    if (::mkfifo(m_path.c_str(), 0600) != 0)
        return;
    // Opened first and without waiting, so that a writer's open does not block.
    m_fd = ::open(m_path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
    if (m_fd >= 0)
        ::fcntl(m_fd, F_SETPIPE_SZ, 4096);   // the smallest buffer: stalls soon
}

CStalledFifo::~CStalledFifo()
{
    if (m_reader.joinable())
        m_reader.join();
    if (m_fd >= 0)
        ::close(m_fd);
    std::error_code ec;
    if (!m_dir.empty())
        std::filesystem::remove_all(m_dir, ec);
}

void CStalledFifo::StartReading()
{
    if (m_fd < 0 || m_reader.joinable())
        return;
    ::fcntl(m_fd, F_SETFL, ::fcntl(m_fd, F_GETFL) & ~O_NONBLOCK);
    m_reader = std::thread([this] {
        char buf[65536];
        for (;;) {
            const ssize_t n = ::read(m_fd, buf, sizeof buf);
            if (n > 0)
                m_text.append(buf, static_cast<size_t>(n));
            else if (n == 0 || errno != EINTR)
                break;
        }
    });
}

std::string CStalledFifo::Text()
{
    if (m_reader.joinable())
        m_reader.join();
    return m_text;
}
