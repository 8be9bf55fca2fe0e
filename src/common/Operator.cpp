#include "OperatorInterface.h"
#include "TerminalOperator.h"

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

int CTerminalOperator::MessageDialog(MsgIcon icon, const std::string& text)
{
    std::lock_guard<std::recursive_mutex> lock(m_lock);
    const char* title = icon == MsgIcon::Error     ? "Ошибка"
                        : icon == MsgIcon::Warning ? "Предупреждение"
                                                   : "Информация";
    std::fprintf(stderr, "%s: %s\n", title, text.c_str());
    return 1;
}

void CTerminalOperator::AppMessage(const std::string& caption, const std::string& text)
{
    std::lock_guard<std::recursive_mutex> lock(m_lock);
    std::fprintf(stderr, "%s: %s\n", caption.c_str(), text.c_str());
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
