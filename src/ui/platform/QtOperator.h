#pragma once
// The operator seen through Qt: modal message boxes on the GUI thread, and
// calls handed over to the GUI thread from the worker.
#include "common/OperatorInterface.h"

#include <QObject>
#include <atomic>

class CQtOperator : public QObject, public IOperator {
    Q_OBJECT
public:
    // Installs itself as the process operator; the destructor restores the terminal one.
    explicit CQtOperator(QObject* parent = nullptr);
    ~CQtOperator() override;

    int MessageDialog(MsgIcon icon, const std::string& text) override;
    void AppMessage(const std::string& caption, const std::string& text) override;
    bool Confirm(const std::string& text) override;
    void Beep(unsigned hz, unsigned ms) override;
    void RunOnGuiThread(const std::function<void()>& fn) override;

    // From now on hand-overs from other threads return without running (the event loop is gone).
    void ShutDown() { m_quitting = true; }

private:
    std::atomic<bool> m_quitting{false};
};
