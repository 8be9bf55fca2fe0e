#include "calibration/GiGeFile.h"

#include "common/NumberText.h"

#include <atomic>
#include <cerrno>
#include <cmath>
#include <cstring>
#include <fcntl.h>
#include <filesystem>
#include <limits>
#include <unistd.h>
#include <vector>

namespace {
// Fields are separated by blanks and tabs; a CR left of a CR LF line end counts as one.
bool IsFieldGap(char c) { return c == ' ' || c == '\t' || c == '\r'; }

bool IsWholeNumber(const std::string& field)
{
    size_t i = field[0] == '+' || field[0] == '-' ? 1 : 0;
    if (i == field.size())
        return false;
    for (; i < field.size(); ++i)
        if (field[i] < '0' || field[i] > '9')
            return false;
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

bool ParsePairLine(const std::string& line, float& gi, float& ge, std::string* why)
{
    auto fail = [why](const std::string& text) {
        if (why)
            *why = text;
        return false;
    };
    // A NUL inside the line ends it, as the text of a C string would.
    const std::string text(line.c_str());
    std::vector<std::string> fields;
    for (size_t i = 0; i < text.size();) {
        if (IsFieldGap(text[i])) {
            ++i;
            continue;
        }
        size_t end = i;
        while (end < text.size() && !IsFieldGap(text[end]))
            ++end;
        fields.push_back(text.substr(i, end - i));
        i = end;
    }
    if (fields.size() != 3)
        return fail(FormatC("полей %zu вместо 3", fields.size()));
    if (!IsWholeNumber(fields[0]))
        return fail("номер «" + fields[0] + "» не целое число");
    const char* const names[2] = {"Gi", "Ge"};
    float values[2];
    for (int k = 0; k < 2; ++k) {
        const std::string& field = fields[static_cast<size_t>(k) + 1];
        double value = 0;
        if (!ParseFloatPoint(field, value))
            return fail(std::string(names[k]) + " «" + field + "» не является числом");
        const double size = std::fabs(value);
        if (!(size <= std::numeric_limits<float>::max()) || (size > 0 && size < std::numeric_limits<float>::min()))
            return fail(std::string(names[k]) + " «" + field + "» вне диапазона 32-разрядного числа");
        values[k] = static_cast<float>(value);
    }
    gi = values[0];
    ge = values[1];
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
