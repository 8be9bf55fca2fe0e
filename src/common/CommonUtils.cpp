#include "CommonUtils.h"

#include "DecimalSeparator.h"
#include "OperatorInterface.h"

#include <chrono>
#include <climits>
#include <mutex>
#include <thread>
#include <unistd.h>

std::string ProgramDirOf(const std::string& programFile)
{
    const auto slash = programFile.rfind('/');
    if (slash == std::string::npos)
        return ".";
    if (slash == 0)
        return "/";
    return programFile.substr(0, slash);
}

std::string GetProgramDir()
{
    char buf[PATH_MAX];
    const ssize_t n = readlink("/proc/self/exe", buf, sizeof buf - 1);
    if (n <= 0)
        return ".";
    return ProgramDirOf(std::string(buf, static_cast<size_t>(n)));
}

std::string GetProgramPath()
{
    std::string dir = GetProgramDir();
    if (dir.empty() || dir.back() != '/')
        dir += '/';
    return dir;
}

namespace {
std::mutex g_titleLock;
std::string g_title = "vq7station";
std::string g_programName;

std::string ProgramFileName()
{
    char buf[PATH_MAX];
    const ssize_t n = readlink("/proc/self/exe", buf, sizeof buf - 1);
    const std::string path = n > 0 ? std::string(buf, static_cast<size_t>(n)) : std::string("vq7station");
    return path.substr(path.rfind('/') + 1);
}
}

void SetProgramName(const std::string& name)
{
    std::lock_guard<std::mutex> lock(g_titleLock);
    g_programName = name;
}

std::string ProgramName()
{
    std::lock_guard<std::mutex> lock(g_titleLock);
    if (g_programName.empty())
        g_programName = ProgramFileName();
    return g_programName;
}

void SetApplicationTitle(const std::string& title)
{
    std::lock_guard<std::mutex> lock(g_titleLock);
    g_title = title;
}

std::string ApplicationTitle()
{
    std::lock_guard<std::mutex> lock(g_titleLock);
    return g_title;
}

std::string AppMessageCaption()
{
    const std::string title = ApplicationTitle();
    const auto dash = title.find(" - ");
    return dash == std::string::npos ? title : title.substr(0, dash);
}

void ShowAppMessage(const std::string& text)
{
    const std::string caption = AppMessageCaption();
    Operator().RunOnGuiThread([&] { Operator().AppMessage(caption, text); });
}

void ShowNotice(const std::string& text)
{
    const std::string caption = AppMessageCaption();
    Operator().RunOnGuiThread([&] { Operator().Notice(caption, text); });
}

std::string CommaToPoint(const std::string& text)
{
    if (text.empty())
        return "0";
    std::string out = text;
    const auto comma = out.find(',');
    if (comma != std::string::npos)
        out[comma] = '.';
    return out;
}

std::string PointsToComma(const std::string& text)
{
    if (text.empty())
        return "0";
    std::string out = text;
    for (char& c : out)
        if (c == '.')
            c = ',';
    return out;
}

std::string FixDecimalSeparator(const std::string& text)
{
    return DecimalSeparator() == '.' ? CommaToPoint(text) : PointsToComma(text);
}

void AlarmBeep()
{
    for (int i = 0; i < 3; ++i) {
        Operator().Beep(523, 1000);
        std::this_thread::sleep_for(std::chrono::milliseconds(100));
    }
}

static bool IsBlankOrControl(unsigned char c) { return c <= ' ' || c == 0x7F; }

std::string TrimBlanksAndControls(const std::string& text)
{
    size_t b = 0, e = text.size();
    while (b < e && IsBlankOrControl(static_cast<unsigned char>(text[b])))
        ++b;
    while (e > b && IsBlankOrControl(static_cast<unsigned char>(text[e - 1])))
        --e;
    return text.substr(b, e - b);
}

std::string ExtractToken(const std::string& text, uint16_t from)
{
    const size_t start = from > 0 ? from - 1u : 0u;
    if (start >= text.size())
        return std::string();
    for (size_t i = start; i < text.size(); ++i) {
        const unsigned char c = static_cast<unsigned char>(text[i]);
        if (c == ' ' || (c >= '\t' && c <= '\r') || c == '=' || c == '\'' || c == '"')
            return TrimBlanksAndControls(text.substr(start, i - start));
    }
    return text.substr(start);
}
