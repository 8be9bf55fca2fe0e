#pragma once
// The operator seen through Qt: modal message boxes on the GUI thread, and
// calls handed over to the GUI thread from the worker. Every message goes into
// the session's message log; while a run is unattended, information messages
// and notices go only there.
#include "common/OperatorInterface.h"

#include <QObject>
#include <atomic>

class CQtOperator : public QObject, public IOperator {
    Q_OBJECT
public:
    // Installs itself as the process operator; the destructor restores the terminal one.
    explicit CQtOperator(QObject* parent = nullptr);
    ~CQtOperator() override;

    int MessageDialog(MsgIcon icon, const std::string& text) final;
    void AppMessage(const std::string& caption, const std::string& text) final;
    void Notice(const std::string& caption, const std::string& text) final;
    bool Confirm(const std::string& text) final;
    void Beep(unsigned hz, unsigned ms) override;
    void RunOnGuiThread(const std::function<void()>& fn) override;

    // From now on hand-overs from other threads return without running (the event loop is gone).
    void ShutDown() { m_quitting = true; }

protected:
    // The modal boxes themselves, on the GUI thread (window tests answer them without showing).
    virtual int ShowMessageBox(MsgIcon icon, const std::string& text);
    virtual void ShowAppBox(const std::string& caption, const std::string& text);
    virtual bool AskYesNo(const std::string& text);

private:
    std::atomic<bool> m_quitting{false};
};
