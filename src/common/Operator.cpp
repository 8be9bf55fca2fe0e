#include "OperatorInterface.h"
#include "TerminalOperator.h"

#include "CommonUtils.h"

#include <atomic>
#include <chrono>
#include <cstdio>
#include <thread>
#include <unistd.h>

namespace {
CTerminalOperator g_terminal;
std::atomic<IOperator*> g_operator{nullptr};
std::atomic<bool> g_unattended{false};
}

IOperator& Operator()
{
    IOperator* op = g_operator.load();
    return op ? *op : g_terminal;
}

void SetOperator(IOperator* op) { g_operator.store(op); }

void SetUnattendedRun(bool unattended) { g_unattended.store(unattended); }
bool UnattendedRun() { return g_unattended.load(); }

const char* MessageKindText(MsgIcon kind)
{
    switch (kind) {
    case MsgIcon::Error:
        return "Ошибка";
    case MsgIcon::Warning:
        return "Предупреждение";
    case MsgIcon::Information:
        break;
    }
    return "Информация";
}

const char* QuestionKindText() { return "Подтверждение"; }

int CTerminalOperator::MessageDialog(MsgIcon icon, const std::string& text)
{
    std::lock_guard<std::recursive_mutex> lock(m_lock);
    std::fprintf(stderr, "%s: %s: %s\n", ProgramName().c_str(), MessageKindText(icon), text.c_str());
    return 1;
}

bool CTerminalOperator::Confirm(const std::string& text)
{
    std::lock_guard<std::recursive_mutex> lock(m_lock);
    std::fprintf(stderr, "%s: %s: %s Нет\n", ProgramName().c_str(), QuestionKindText(), text.c_str());
    return false;
}

// The program's own box: on the terminal the program's name stands for its caption.
void CTerminalOperator::AppMessage(const std::string&, const std::string& text)
{
    std::lock_guard<std::recursive_mutex> lock(m_lock);
    std::fprintf(stderr, "%s: %s\n", ProgramName().c_str(), text.c_str());
}

void CTerminalOperator::Beep(unsigned, unsigned ms)
{
    if (isatty(STDERR_FILENO)) {
        std::fputc('\a', stderr);
        std::fflush(stderr);
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(ms));
}

void CTerminalOperator::RunOnGuiThread(const std::function<void()>& fn)
{
    std::lock_guard<std::recursive_mutex> lock(m_lock);
    fn();
}
