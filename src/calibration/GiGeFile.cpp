// The table's calibration files: reading any layout of the family, writing the table layout.
#include "calibration/CGiGeArray.h"
#include "calibration/GiGeFile.h"

#include "common/AppPaths.h"
#include "common/CommonUtils.h"
#include "common/Cp1251.h"
#include "common/NumberText.h"

#include <exception>
#include <memory>

namespace {
constexpr size_t kMaxLine = 255;

struct FileCloser {
    void operator()(std::FILE* f) const { std::fclose(f); }
};
using FilePtr = std::unique_ptr<std::FILE, FileCloser>;

// Reads one line of at most kMaxLine characters (the line feed dropped); the
// rest of a longer line is skipped. False at the end of the file.
bool ReadLine(std::FILE* file, std::string& line)
{
    line.clear();
    int c = EOF;
    while (line.size() < kMaxLine && (c = std::getc(file)) != EOF && c != '\n')
        line += static_cast<char>(c);
    if (line.size() == kMaxLine)
        while ((c = std::getc(file)) != EOF && c != '\n') {
        }
    return !(c == EOF && line.empty());
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

void CGiGeArray::LoadFileBody()
{
    std::string path = m_sFileName.empty() ? DefaultPath(".dat") : m_sFileName;
    FilePtr file(std::fopen(path.c_str(), "rb"));
    if (!file) {
        path.back() = 'r';
        file.reset(std::fopen(path.c_str(), "rb"));
    }
    if (!file) {
        AlarmBeep();
        ReportError("Нет файла с заданием параметров: " + path + " ");
        m_nResult = -1;
        return;
    }
    if (!ReadPairLines(file.get()) && m_nResult == 0) {
        ReportError("Ошибка чтения файла: " + path);
        m_nResult = -1;
    }
}

bool CGiGeArray::ReadPairLines(std::FILE* file)
{
    std::string line;
    while (m_nCount < GIGE_FILE_MAX_PAIRS && ReadLine(file, line)) {
        float gi, ge;
        if (!ParsePairLine(line, gi, ge))
            continue;
        if (m_nCount > 0 && !(m_pPairs[m_nCount - 1].Gi <= gi)) {
            ReportError("Ошибочное значение коэффициентов: немонотонность Gi");
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
