#include "common/RegularFile.h"

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {
const char* KindText(mode_t mode)
{
    if (S_ISFIFO(mode))
        return "это не обычный файл (канал)";
    if (S_ISDIR(mode))
        return "это не обычный файл (папка)";
    if (S_ISCHR(mode) || S_ISBLK(mode))
        return "это не обычный файл (устройство)";
    if (S_ISSOCK(mode))
        return "это не обычный файл (сокет)";
    return "это не обычный файл";
}
}

int OpenRegularFile(const std::string& path, std::string& why, long long maxBytes)
{
    why.clear();
    // O_NONBLOCK: opening a fifo with no writer would wait for one.
    const int fd = ::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC | O_NOCTTY);
    if (fd < 0) {
        if (errno != ENOENT)
            why = errno == EISDIR ? KindText(S_IFDIR) : std::strerror(errno);
        return -1;
    }
    struct stat st {};
    if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
        why = KindText(st.st_mode);
        ::close(fd);
        return -1;
    }
    if (maxBytes >= 0 && st.st_size > maxBytes) {
        why = "файл больше " + std::to_string(maxBytes) + " байт";
        ::close(fd);
        return -1;
    }
    const int flags = ::fcntl(fd, F_GETFL);
    if (flags >= 0)
        ::fcntl(fd, F_SETFL, flags & ~O_NONBLOCK);
    return fd;
}

bool ReadRegularFile(const std::string& path, std::string& content, std::string& why, long long maxBytes)
{
    content.clear();
    const int fd = OpenRegularFile(path, why, maxBytes);
    if (fd < 0)
        return false;
    char buf[65536];
    for (;;) {
        const ssize_t n = ::read(fd, buf, sizeof buf);
        if (n > 0) {
            content.append(buf, static_cast<size_t>(n));
            if (maxBytes >= 0 && static_cast<long long>(content.size()) > maxBytes) {
                why = "файл больше " + std::to_string(maxBytes) + " байт";
                break;
            }
            continue;
        }
        if (n == 0) {
            ::close(fd);
            return true;
        }
        if (errno != EINTR) {
            why = std::strerror(errno);
            break;
        }
    }
    ::close(fd);
    content.clear();
    return false;
}
