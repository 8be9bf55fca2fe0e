#include "GeSource.h"

#include "common/CommonUtils.h"
#include "common/FlowRule.h"
#include "common/NumberText.h"
#include "common/OperatorInterface.h"

#include <chrono>
#include <cmath>
#include <fstream>
#include <memory>
#include <thread>
#include <unistd.h>
#include <vector>

namespace {
std::vector<std::string> ReadLines(const std::string& path)
{
    std::vector<std::string> lines;
    std::ifstream in(path, std::ios::binary);
    for (std::string line; std::getline(in, line);) {
        while (!line.empty() && (line.back() == '\r' || line.back() == ' ' || line.back() == '\t'))
            line.pop_back();
        if (!line.empty())
            lines.push_back(line);
    }
    return lines;
}
}

bool ParseGe(const std::string& text, double& ge)
{
    const std::string trimmed = TrimBlanksAndControls(text);
    if (trimmed.empty())
        return false;
    if (ParseFloatPoint(trimmed, ge))
        return std::isfinite(ge);
    try {
        ge = StrToFloat(FixDecimalSeparator(trimmed));
        return std::isfinite(ge);
    } catch (const EConvertError&) {
        return false;
    }
}

ReferenceFlowPrompt FixedGe(double ge)
{
    return [ge]() -> std::optional<double> { return ge; };
}

ReferenceFlowPrompt GeFromFile(const std::string& path, unsigned waitMs)
{
    const size_t linesBefore = ReadLines(path).size();
    return [path, waitMs, linesBefore]() -> std::optional<double> {
        const auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(waitMs);
        std::vector<std::string> lines = ReadLines(path);
        while (lines.size() <= linesBefore && std::chrono::steady_clock::now() < end) {
            std::this_thread::sleep_for(std::chrono::milliseconds(20));
            lines = ReadLines(path);
        }
        if (lines.empty()) {
            std::fprintf(stderr, "vq7ctl: %s holds no reference flow\n", path.c_str());
            return std::nullopt;
        }
        if (lines.size() <= linesBefore)
            Operator().MessageDialog(MsgIcon::Warning,
                                     "no new line in " + path + " during the cycle; taking its last line");
        double ge = 0;
        if (!ParseGe(lines.back(), ge)) {
            std::fprintf(stderr, "vq7ctl: the last line of %s is not a number: %s\n", path.c_str(),
                         lines.back().c_str());
            return std::nullopt;
        }
        if (!IsRigFlow(ge)) {
            std::fprintf(stderr, "vq7ctl: the last line of %s is no reference flow (%s): %s\n", path.c_str(),
                         RigFlowProblem(ge).c_str(), lines.back().c_str());
            return std::nullopt;
        }
        return ge;
    };
}

ReferenceFlowPrompt GeFromTerminal(std::FILE* in)
{
    return [in]() -> std::optional<double> {
        for (;;) {
            std::fputs("Введите эталонное значение расхода (М3/ч): ", stderr);
            std::fflush(stderr);
            std::string line;
            int c;
            while ((c = std::fgetc(in)) != EOF && c != '\n')
                line += static_cast<char>(c);
            if (!isatty(fileno(in)))   // the answer was not echoed
                std::fprintf(stderr, "%s\n", line.c_str());
            if (c == EOF && line.empty())
                return std::nullopt;
            double ge = 0;
            if (ParseGe(line, ge) && IsRigFlow(ge))
                return ge;
            if (ParseGe(line, ge)) {
                std::fprintf(stderr, "'%s' - не расход (%s)\n", TrimBlanksAndControls(line).c_str(),
                             RigFlowProblem(ge).c_str());
                continue;
            }
            std::fprintf(stderr, "'%s' - недопустимое значение числа с плавающей точкой\n",
                         TrimBlanksAndControls(line).c_str());
        }
    };
}
