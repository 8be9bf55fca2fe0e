// The table's calibration files: reading any layout of the family, writing the table layout.
#include "calibration/CGiGeArray.h"
#include "common/RegularFile.h"
#include "calibration/GiGeFile.h"

#include "common/AppPaths.h"
#include "common/CommonUtils.h"
#include "common/Cp1251.h"
#include "common/NumberText.h"

#include <exception>
#include <fcntl.h>
#include <memory>
#include <sys/stat.h>
#include <unistd.h>

namespace {
constexpr size_t kMaxLine = 255;
// A calibration file is a few kilobytes; anything larger is not one.
constexpr long long kMaxFileBytes = 1 << 20;

struct FileCloser {
    void operator()(std::FILE* f) const { std::fclose(f); }
};
using FilePtr = std::unique_ptr<std::FILE, FileCloser>;

// Reads one line of at most kMaxLine characters; the rest of a longer line
// is skipped. A line ends at LF, CR LF or a lone CR. False at the end of the file.
bool ReadLine(std::FILE* file, std::string& line)
{
    line.clear();
    int c = EOF;
    while ((c = std::getc(file)) != EOF && c != '\n' && c != '\r')
        if (line.size() < kMaxLine)
            line += static_cast<char>(c);
    if (c == '\r') {
        const int next = std::getc(file);
        if (next != '\n' && next != EOF)
            std::ungetc(next, file);
    }
    return !(c == EOF && line.empty());
}

// Opens a regular file of at most kMaxFileBytes for reading; a device, a pipe
// or a folder is refused without blocking. why: the reason on failure.
FilePtr OpenCalibrationFile(const std::string& path, std::string& why)
{
    const int fd = OpenRegularFile(path, why, kMaxFileBytes);
    if (fd < 0)
        return nullptr;
    FilePtr file(::fdopen(fd, "rb"));
    if (!file)
        ::close(fd);
    return file;
}

bool StartsLikeAPair(const std::string& line)
{
    size_t i = 0;
    while (i < line.size() && (line[i] == ' ' || line[i] == '\t'))
        ++i;
    if (i < line.size() && (line[i] == '+' || line[i] == '-'))
        ++i;
    return i < line.size() && line[i] >= '0' && line[i] <= '9';
}

bool IsBlank(const std::string& line)
{
    for (char c : line)
        if (c != ' ' && c != '\t')
            return false;
    return true;
}
}

std::string CGiGeArray::DefaultPath(const char* extension) const
{
    return DataDir() + "/Log/" + FormatC("%8.8lu", static_cast<unsigned long>(m_dwNumber)) + extension;
}

int CGiGeArray::LoadFromFile(const std::string& path)
{
    std::lock_guard<std::recursive_mutex> lock(m_csLock);
    Clear();
    m_sFileName = path;
    return RunOperations(GIGE_OP_LOAD_FILE);
}

int CGiGeArray::SaveToFile(const std::string& path)
{
    std::lock_guard<std::recursive_mutex> lock(m_csLock);
    m_sFileName = path;
    return RunOperations(GIGE_OP_SAVE_FILE);
}

void CGiGeArray::LoadFileBody(bool warnLosses)
{
    const std::string path = m_sFileName.empty() ? DefaultPath(".dat") : m_sFileName;
    ForgetFileLoad();
    std::string why;
    std::string read = path;
    FilePtr file = OpenCalibrationFile(read, why);
    // A meter's ".dat" may have been kept as ".dar" by the editor.
    if (!file && why.empty() && path.size() > 4 && path.compare(path.size() - 4, 4, ".dat") == 0) {
        read.back() = 'r';
        file = OpenCalibrationFile(read, why);
    }
    if (!file) {
        AlarmBeep();
        ReportError(why.empty() ? "Нет файла с заданием параметров: " + path + " "
                                : "Ошибка чтения файла: " + read + " (" + why + ")");
        m_nResult = -1;
        return;
    }
    m_sFileRead = read;
    if (!ReadPairLines(file.get()) && m_nResult == 0) {
        ReportError("Ошибка чтения файла: " + read);
        m_nResult = -1;
        return;
    }
    if (m_nResult == 0 && warnLosses && (m_nDroppedPairs > 0 || !m_vSkippedLines.empty()))
        ReportWarning(FileLossText());
}

std::string CGiGeArray::FileLossText() const
{
    constexpr size_t kLinesNamed = 10;
    std::string text = "Файл " + m_sFileRead + ":";
    if (m_nDroppedPairs > 0)
        text += FormatC("\nпрочитаны первые %d пар, %d пар сверх них не прочитаны", GIGE_FILE_MAX_PAIRS,
                        m_nDroppedPairs);
    if (!m_vSkippedLines.empty()) {
        text += "\nпропущены строки, не являющиеся парами:";
        for (size_t i = 0; i < m_vSkippedLines.size() && i < kLinesNamed; ++i)
            text += (i ? ", " : " ") + std::to_string(m_vSkippedLines[i].line) + " (" + m_vSkippedLines[i].why + ")";
        if (m_vSkippedLines.size() > kLinesNamed)
            text += FormatC(" и еще %zu", m_vSkippedLines.size() - kLinesNamed);
    }
    return text;
}

bool CGiGeArray::ReadPairLines(std::FILE* file)
{
    std::string line;
    int lineNumber = 0;
    while (ReadLine(file, line)) {
        ++lineNumber;
        float gi, ge;
        std::string why;
        if (!ParsePairLine(line, gi, ge, &why)) {
            // Header lines come before the first pair; later text, or a line
            // that starts like a pair, is a line lost.
            if (!IsBlank(line) && (m_nCount > 0 || StartsLikeAPair(line)))
                m_vSkippedLines.push_back({lineNumber, why});
            continue;
        }
        if (m_nCount >= GIGE_FILE_MAX_PAIRS) {
            ++m_nDroppedPairs;
            continue;
        }
        if (m_nCount > 0 && m_pPairs[m_nCount - 1].Gi > gi) {
            ReportError("Ошибочное значение коэффициентов: немонотонность Gi");
            // The pairs before it stay to be seen, but never go into a meter.
            m_vSkippedLines.push_back({lineNumber, "немонотонность Gi, файл дальше не прочитан"});
            m_nResult = -1;
            break;
        }
        AddPair(gi, ge);
    }
    return !std::ferror(file);
}

void CGiGeArray::SaveFileBody()
{
    if (m_nCount < 2) {
        ReportWarning("Сохранение отменено т.к.\nГрадуировочных пар должно быть минимум 2!");
        m_nResult = -1;
        return;
    }
    const std::string path = m_sFileName.empty() ? DefaultPath(".dar") : m_sFileName;
    try {
        std::string text = "градуировочные пары прошитые в прибор\n N       Gi            Ge";
        for (int i = 0; i < m_nCount; ++i)
            text += FormatC("\n %2d %14.6e %14.6e", i, static_cast<double>(m_pPairs[i].Gi),
                            static_cast<double>(m_pPairs[i].Ge));
        std::string error;
        if (!ReplaceFileContents(path, ToCrLf(Utf8ToCp1251(text)), error)) {
            AlarmBeep();
            ReportError("Ошибка записи файла " + path + ": " + error);
            m_nResult = -1;
        }
    } catch (const std::exception& e) {
        AlarmBeep();
        ReportError(e.what());
        m_nResult = -1;
    }
}
