#pragma once
// Runs one bus operation of the workstation off the GUI thread while the GUI
// thread keeps painting and answering in a local event loop. Messages of the
// core still come up as modal dialogs (through the Qt operator). Cancel() sets
// the process-wide abort flag, which ends every transaction with 1018; the
// flag is cleared when the operation has returned.
#include <QObject>
#include <functional>

class CBusTaskRunner : public QObject {
    Q_OBJECT
public:
    explicit CBusTaskRunner(QObject* parent = nullptr) : QObject(parent) {}

    // Runs work on a thread of its own and returns its result once it ended.
    // An exception it throws is thrown here again.
    int Run(const std::function<int()>& work);
    bool Busy() const { return m_bBusy; }
    // Asks the running operation to end; nothing when none runs.
    void Cancel();
    bool Cancelled() const { return m_bCancelled; }

signals:
    void busyChanged(bool busy);

private:
    bool m_bBusy = false;
    bool m_bCancelled = false;
};
