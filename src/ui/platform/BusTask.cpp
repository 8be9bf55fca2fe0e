#include "ui/platform/BusTask.h"

#include "protocol/vq7prot/vq7cmd.h"

#include <QEventLoop>
#include <QPointer>
#include <exception>
#include <stdexcept>
#include <thread>

int CBusTaskRunner::Run(const std::function<int()>& work)
{
    if (m_bBusy)
        throw std::logic_error("a bus operation is already running");
    m_bBusy = true;
    m_bCancelled = false;
    emit busyChanged(true);

    QEventLoop loop;
    int result = 0;
    std::exception_ptr failure;
    std::thread worker([&] {
        try {
            result = work();
        } catch (...) {
            failure = std::current_exception();
        }
        // Queued to the loop's thread: quits even when posted before exec() began.
        QMetaObject::invokeMethod(&loop, &QEventLoop::quit, Qt::QueuedConnection);
    });
    loop.exec(QEventLoop::AllEvents);
    worker.join();

    g_bAbortAll = false;
    m_bBusy = false;
    emit busyChanged(false);
    if (failure)
        std::rethrow_exception(failure);
    return result;
}

void CBusTaskRunner::Cancel()
{
    if (!m_bBusy)
        return;
    m_bCancelled = true;
    g_bAbortAll = true;
}
