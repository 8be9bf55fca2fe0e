#include "calibration/GiGeFile.h"

#include <atomic>
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <filesystem>
#include <locale.h>
#include <stdlib.h>
#include <unistd.h>

namespace {
locale_t CLocale()
{
    static locale_t loc = newlocale(LC_ALL_MASK, "C", static_cast<locale_t>(nullptr));
    return loc;
}

bool IsSpace(char c) { return c == ' ' || (c >= '\t' && c <= '\r'); }

bool ReadFloat(const char*& p, float& value)
{
    char* end = nullptr;
    value = strtof_l(p, &end, CLocale());
    if (end == p)
        return false;
    p = end;
    return true;
}

bool WriteAll(int fd, const std::string& bytes)
{
    size_t done = 0;
    while (done < bytes.size()) {
        const ssize_t n = ::write(fd, bytes.data() + done, bytes.size() - done);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            return false;
        done += static_cast<size_t>(n);
    }
    return true;
}

std::atomic<unsigned> g_tempCounter{0};
}

bool ParsePairLine(const std::string& line, float& gi, float& ge)
{
    const char* p = line.c_str();   // a NUL inside the line ends it, as for scanf
    while (IsSpace(*p))
        ++p;
    if (*p == '+' || *p == '-')
        ++p;
    if (*p < '0' || *p > '9')
        return false;
    while (*p >= '0' && *p <= '9')
        ++p;
    float fGi, fGe;
    if (!ReadFloat(p, fGi) || !ReadFloat(p, fGe))
        return false;
    gi = fGi;
    ge = fGe;
    return true;
}

std::string ToCrLf(const std::string& text)
{
    std::string out;
    out.reserve(text.size() + text.size() / 16);
    for (char c : text) {
        if (c == '\n')
            out += '\r';
        out += c;
    }
    return out;
}

bool ReplaceFileContents(const std::string& path, const std::string& bytes, std::string& error)
{
    namespace fs = std::filesystem;
    const fs::path target(path);
    std::error_code ec;
    if (target.has_parent_path() && !fs::exists(target.parent_path(), ec))
        fs::create_directories(target.parent_path(), ec);

    const std::string temp =
        path + ".tmp" + std::to_string(::getpid()) + "_" + std::to_string(g_tempCounter.fetch_add(1));
    const int fd = ::open(temp.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
    if (fd < 0) {
        error = std::strerror(errno);
        return false;
    }
    bool ok = WriteAll(fd, bytes) && ::fsync(fd) == 0;
    int savedErrno = errno;
    if (::close(fd) != 0 && ok) {
        ok = false;
        savedErrno = errno;
    }
    if (ok && ::rename(temp.c_str(), path.c_str()) != 0) {
        ok = false;
        savedErrno = errno;
    }
    if (!ok) {
        ::unlink(temp.c_str());
        error = std::strerror(savedErrno);
        return false;
    }
    // Make the rename itself durable.
    const std::string dir = target.has_parent_path() ? target.parent_path().string() : std::string(".");
    const int dfd = ::open(dir.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (dfd >= 0) {
        ::fsync(dfd);
        ::close(dfd);
    }
    return true;
}
