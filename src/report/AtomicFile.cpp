#include "AtomicFile.h"

#include "ReportError.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <sys/stat.h>
#include <unistd.h>

int CreateTempBeside(const std::string& path, std::string& temp)
{
    namespace fs = std::filesystem;
    const fs::path target(path);
    fs::path dir = target.parent_path();
    if (dir.empty())
        dir = ".";
    temp = (dir / ("." + target.filename().string() + ".XXXXXX")).string();
    const int fd = mkstemp(temp.data());
    if (fd < 0)
        throw EReportError("не удалось создать файл в папке " + dir.string() + ": " + std::strerror(errno));
    fchmod(fd, 0644);
    return fd;
}

void WriteFileAtomically(const std::string& path, const std::string& bytes)
{
    namespace fs = std::filesystem;
    const fs::path target(path);
    std::string temp;
    const int fd = CreateTempBeside(path, temp);
    size_t done = 0;
    int error = 0;
    while (done < bytes.size()) {
        const ssize_t n = write(fd, bytes.data() + done, bytes.size() - done);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0) {
            error = n < 0 ? errno : EIO;
            break;
        }
        done += static_cast<size_t>(n);
    }
    if (!error && fsync(fd) != 0)
        error = errno;
    if (close(fd) != 0 && !error)
        error = errno;
    std::error_code ec;
    if (!error) {
        fs::rename(temp, target, ec);
        if (!ec)
            return;
        error = ec.value();
    }
    fs::remove(temp, ec);
    throw EReportError("не удалось записать " + path + ": " + std::strerror(error));
}
