#include "ui/platform/BusWork.h"

#include <QCoreApplication>
#include <QEventLoop>
#include <QPointer>
#include <QWidget>
#include <thread>

void RunBusWork(const std::function<void()>& work, QWidget* busy)
{
    QPointer<QWidget> guard(busy);
    if (guard)
        guard->setEnabled(false);
    QEventLoop loop;
    std::thread worker([&] {
        work();
        QMetaObject::invokeMethod(&loop, "quit", Qt::QueuedConnection);
    });
    loop.exec();   // the queued quit cannot be lost: it waits in the loop's queue
    worker.join();
    if (guard)
        guard->setEnabled(true);
}
