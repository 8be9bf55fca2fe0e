#pragma once
#include "OperatorInterface.h"
#include <mutex>

// Messages on stderr, the terminal bell for beeps; "GUI" calls are serialised.
class CTerminalOperator : public IOperator {
public:
    int MessageDialog(MsgIcon icon, const std::string& text) override;
    void AppMessage(const std::string& caption, const std::string& text) override;
    void Beep(unsigned hz, unsigned ms) override;
    void RunOnGuiThread(const std::function<void()>& fn) override;

private:
    std::recursive_mutex m_lock;
};
