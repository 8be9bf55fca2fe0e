#include "common/WriteJournal.h"

#include "common/AppPaths.h"
#include "common/CommonUtils.h"
#include "common/DebugOutput.h"
#include "common/NumberText.h"
#include "common/OperatorInterface.h"
#include "common/RegularFile.h"
#include "common/SettingsFile.h"


#include <atomic>
#include <cerrno>
#include <cstring>
#include <ctime>
#include <fcntl.h>
#include <sstream>
#include <mutex>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {
// Length of the file up to its last line end. The kernel stops a write at a
// page boundary when the writer is killed, so a line can be cut short; the
// next append drops the piece (its writer never reported it written).
off_t WholeLength(int fd)
{
    struct stat st{};
    if (::fstat(fd, &st) != 0 || st.st_size == 0)
        return 0;
    off_t end = st.st_size;
    char buf[4096];
    while (end > 0) {
        const off_t from = end > off_t(sizeof buf) ? end - off_t(sizeof buf) : 0;
        const ssize_t n = ::pread(fd, buf, static_cast<size_t>(end - from), from);
        if (n <= 0)
            return st.st_size;   // unreadable: leave it as it is
        for (ssize_t i = n - 1; i >= 0; --i)
            if (buf[i] == '\n') {
                const off_t whole = from + i + 1;
                if (whole != st.st_size && ::ftruncate(fd, whole) != 0)
                    return st.st_size;
                return whole;
            }
        end = from;
    }
    return ::ftruncate(fd, 0) == 0 ? 0 : st.st_size;
}

// The journal opened for append without waiting (a fifo in its place would block);
// -1 with error naming the file when it is no regular file or cannot be opened.
int OpenForAppend(const std::string& path, int access, std::string& error)
{
    const int fd = ::open(path.c_str(), access | O_APPEND | O_CREAT | O_CLOEXEC | O_NONBLOCK | O_NOCTTY, 0644);
    if (fd < 0) {
        error = path + ": " + std::strerror(errno);
        return -1;
    }
    struct stat st {};
    if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
        error = path + ": это не обычный файл";
        ::close(fd);
        return -1;
    }
    return fd;
}

std::mutex g_lock;
std::string g_path;        // empty: the data folder's
int g_readBack = -1;       // -1: not yet read from config.ini

std::string Field(std::string text)
{
    for (char& c : text) {
        if (c == ';')
            c = ',';
        else if (c == '\r' || c == '\n')
            c = ' ';
    }
    return text;
}

std::vector<std::string> SplitFields(const std::string& line)
{
    std::vector<std::string> out(1);
    for (char c : line) {
        if (c == ';')
            out.emplace_back();
        else if (c != '\r' && c != '\n')
            out.back() += c;
    }
    return out;
}

bool ReadIniReadBack(CSettingsFile& file)
{
    return file.Whole("JOURNAL", "readback", 1, 0, 1) != 0;
}
}

const char* CWriteJournal::Header()
{
    return "время;номер;модель;операция;было;стало;проверка;результат\n";
}

std::string CWriteJournal::FormatLine(const WriteJournalEntry& e)
{
    return Field(e.time) + ";" + std::to_string(e.number) + ";" + Field(e.model) + ";" + Field(e.operation) + ";" +
           Field(e.before) + ";" + Field(e.after) + ";" + Field(e.readback) + ";" + std::to_string(e.result) + "\n";
}

bool CWriteJournal::ParseLine(const std::string& line, WriteJournalEntry& e)
{
    const std::vector<std::string> f = SplitFields(line);
    if (f.size() != 8 || f[1].empty() || f[1].find_first_not_of("0123456789") != std::string::npos ||
        f[1].size() > 10)
        return false;
    char* end = nullptr;
    errno = 0;
    const long long result = std::strtoll(f[7].c_str(), &end, 10);
    if (f[7].empty() || *end != '\0' || errno != 0)
        return false;
    const unsigned long long number = std::stoull(f[1]);
    if (number > UINT32_MAX)
        return false;
    e = WriteJournalEntry{f[0], static_cast<uint32_t>(number), f[2], f[3], f[4], f[5], f[6], result};
    return true;
}

bool CWriteJournal::AppendTo(const std::string& path, const WriteJournalEntry& entry, std::string& error)
{
    std::string line = FormatLine(entry);
    const int fd = OpenForAppend(path, O_RDWR, error);
    if (fd < 0)
        return false;
    // One appender at a time (the station and vq7ctl may share the file); the
    // lock goes with the process, also when it is killed.
    while (::flock(fd, LOCK_EX) != 0 && errno == EINTR) {
    }
    const off_t whole = WholeLength(fd);
    if (whole == 0)
        line = Header() + line;   // header and first line in the same write
    ssize_t written;
    do
        written = ::write(fd, line.data(), line.size());
    while (written < 0 && errno == EINTR);
    const int writeErrno = errno;
    ::close(fd);
    if (written != static_cast<ssize_t>(line.size())) {
        error = path + ": " + (written < 0 ? std::strerror(writeErrno) : "записана только часть строки");
        return false;
    }
    return true;
}

namespace {
std::function<void(const WriteJournalEntry&)>& SinkSlot()
{
    static std::function<void(const WriteJournalEntry&)> sink;
    return sink;
}

std::function<void(const WriteJournalEntry&)> RecordSink()
{
    std::lock_guard<std::mutex> lock(g_lock);
    return SinkSlot();
}
}

void CWriteJournal::SetRecordSink(std::function<void(const WriteJournalEntry&)> sink)
{
    std::lock_guard<std::mutex> lock(g_lock);
    SinkSlot() = std::move(sink);
}

bool CWriteJournal::Append(WriteJournalEntry entry)
{
    if (entry.time.empty())
        entry.time = JournalTimeNow();
    if (const auto sink = RecordSink())
        sink(entry);
    const std::string path = Path();
    std::string error;
    if (AppendTo(path, entry, error))
        return true;
    const std::string text = "Журнал записи в счетчики не дополнен: " + error;
    DebugOutput(text);
    Operator().RunOnGuiThread([text] { Operator().MessageDialog(MsgIcon::Error, text); });
    return false;
}

bool CWriteJournal::CanAppendTo(const std::string& path, std::string& error)
{
    const int fd = OpenForAppend(path, O_WRONLY, error);
    if (fd < 0)
        return false;
    ::close(fd);
    return true;
}

bool CWriteJournal::Read(const std::string& path, uint32_t number, std::vector<WriteJournalEntry>& entries,
                         std::string& error)
{
    std::string text, why;
    if (!ReadRegularFile(path, text, why)) {
        error = path + ": " + (why.empty() ? std::strerror(ENOENT) : why);
        return false;
    }
    std::istringstream in(text);
    std::string line;
    WriteJournalEntry e;
    while (std::getline(in, line))
        if (!in.eof() && ParseLine(line, e) && (number == 0 || e.number == number))   // eof: a cut last line
            entries.push_back(e);
    return true;
}

std::string CWriteJournal::Path()
{
    std::lock_guard<std::mutex> lock(g_lock);
    return g_path.empty() ? DataDir() + "/journal.csv" : g_path;
}

void CWriteJournal::SetPath(const std::string& path)
{
    std::lock_guard<std::mutex> lock(g_lock);
    g_path = path;
}

bool CWriteJournal::ReadBackEnabled()
{
    std::lock_guard<std::mutex> lock(g_lock);
    if (g_readBack < 0) {
        CSettingsFile file;
        file.Load(DataDir() + "/config.ini");
        g_readBack = ReadIniReadBack(file) ? 1 : 0;
    }
    return g_readBack != 0;
}

void CWriteJournal::SetReadBack(bool enabled)
{
    std::lock_guard<std::mutex> lock(g_lock);
    g_readBack = enabled ? 1 : 0;
}

void CWriteJournal::LoadSettings(CSettingsFile& file)
{
    SetReadBack(ReadIniReadBack(file));
}

void CWriteJournal::LoadSettings(const std::string& iniPath)
{
    CSettingsFile file;
    file.Load(iniPath);
    LoadSettings(file);
}

std::string JournalPairsText(const std::vector<std::pair<float, float>>& pairs)
{
    std::string text;
    for (const auto& [gi, ge] : pairs) {
        if (!text.empty())
            text += ' ';
        text += FormatC("%.9g/%.9g", static_cast<double>(gi), static_cast<double>(ge));
    }
    return text;
}

std::string JournalTimeNow()
{
    const std::time_t now = std::time(nullptr);
    std::tm tm{};
    localtime_r(&now, &tm);
    char text[32];
    std::strftime(text, sizeof text, "%Y-%m-%d %H:%M:%S", &tm);
    return text;
}
