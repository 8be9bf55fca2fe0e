#pragma once
#include "OperatorInterface.h"
#include <mutex>

// Messages on stderr, each line naming the program and the message's kind
// ("vq7ctl: Предупреждение: ..."); the terminal bell for beeps; "GUI" calls
// are serialised. A question is printed with the answer no.
class CTerminalOperator : public IOperator {
public:
    int MessageDialog(MsgIcon icon, const std::string& text) override;
    bool Confirm(const std::string& text) override;
    void AppMessage(const std::string& caption, const std::string& text) override;
    void Beep(unsigned hz, unsigned ms) override;
    void RunOnGuiThread(const std::function<void()>& fn) override;

private:
    std::recursive_mutex m_lock;
};
