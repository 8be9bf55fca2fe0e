#include "ui/history/StoreReader.h"

#include "results/ResultStore.h"
#include "results/StoreError.h"

#include <QCoreApplication>
#include <QThread>

#include <atomic>

// What the jobs keep alive: the store, and whether anyone still listens.
struct CStoreReader::Shared {
    StoreLocation where;
    std::unique_ptr<CResultStore> store;   // only touched on the reader's thread
    bool listening = true;                 // only touched on the GUI thread
};

CStoreReader::CStoreReader(StoreLocation where, QObject* parent)
    : QObject(parent), m_where(where), m_shared(std::make_shared<Shared>()), m_thread(new QThread),
      m_worker(new QObject)
{
    m_shared->where = std::move(where);
    m_thread->setObjectName(QStringLiteral("StoreReader"));
    m_worker->moveToThread(m_thread);
    // Both go when the thread's loop has ended, whoever waits for it.
    QObject* worker = m_worker;
    connect(m_thread, &QThread::finished, m_worker, [worker] { delete worker; }, Qt::DirectConnection);
    connect(m_thread, &QThread::finished, m_thread, &QObject::deleteLater);
    m_thread->start();
}

CStoreReader::~CStoreReader()
{
    m_shared->listening = false;
    m_thread->quit();
    // A job blocked on a server is left to end by itself.
    if (m_thread->wait(200)) {
        delete m_thread;
    }
}

void CStoreReader::Run(Job job, std::function<void(const std::string&)> done)
{
    ++m_nBusy;
    std::shared_ptr<Shared> shared = m_shared;
    QObject* receiver = this;
    QMetaObject::invokeMethod(
        m_worker,
        [shared, job = std::move(job), done = std::move(done), receiver] {
            std::string error;
            try {
                if (!shared->store)
                    shared->store = std::make_unique<CResultStore>(shared->where);
                job(*shared->store);
            } catch (const EStoreError& e) {
                error = e.what();
                shared->store.reset();
            } catch (const std::exception& e) {
                error = e.what();
            }
            QCoreApplication* app = QCoreApplication::instance();
            if (!app)
                return;
            // Handed through the application object, which outlives the reader.
            QMetaObject::invokeMethod(
                app,
                [shared, done, error, receiver] {
                    if (!shared->listening)
                        return;
                    auto* reader = static_cast<CStoreReader*>(receiver);
                    --reader->m_nBusy;
                    if (done)
                        done(error);
                    if (shared->listening && reader->m_nBusy == 0)
                        emit reader->idle();
                },
                Qt::QueuedConnection);
        },
        Qt::QueuedConnection);
}
