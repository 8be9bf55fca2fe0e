#pragma once
// Reads the results store on a thread of its own, so that opening it (a
// PostgreSQL server that does not answer) never holds up the window. Jobs run
// in order against one store, opened on first use and again after a failure;
// each one's answer comes back on the GUI thread.
#include "results/StoreLocation.h"

#include <QObject>

#include <functional>
#include <memory>
#include <string>

class CResultStore;
class QThread;

class CStoreReader : public QObject {
    Q_OBJECT
public:
    explicit CStoreReader(StoreLocation where, QObject* parent = nullptr);
    // Answers not given yet are dropped; a job still waiting on the store
    // finishes on its own, after the reader is gone.
    ~CStoreReader() override;

    const StoreLocation& Location() const { return m_where; }
    using Job = std::function<void(CResultStore&)>;
    // done gets "" or the store's error text, on this object's thread.
    void Run(Job job, std::function<void(const std::string& error)> done);
    // Jobs given whose answer has not come back yet.
    int Busy() const { return m_nBusy; }

signals:
    void idle();

private:
    struct Shared;
    StoreLocation m_where;
    std::shared_ptr<Shared> m_shared;
    QThread* m_thread;
    QObject* m_worker;
    int m_nBusy = 0;
};
