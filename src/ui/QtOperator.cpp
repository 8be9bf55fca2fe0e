#include "QtOperator.h"

#include <QApplication>
#include <QMessageBox>
#include <QThread>

CQtOperator::CQtOperator(QObject* parent) : QObject(parent)
{
    SetOperator(this);
    // After the event loop ends, no hand-over can run: callers return at once.
    connect(qApp, &QCoreApplication::aboutToQuit, this, &CQtOperator::ShutDown);
}

CQtOperator::~CQtOperator()
{
    ShutDown();
    SetOperator(nullptr);
}

int CQtOperator::MessageDialog(MsgIcon icon, const std::string& text)
{
    int result = 1;
    RunOnGuiThread([&] {
        const QMessageBox::Icon qicon = icon == MsgIcon::Error     ? QMessageBox::Critical
                                        : icon == MsgIcon::Warning ? QMessageBox::Warning
                                                                   : QMessageBox::Information;
        const QString title = icon == MsgIcon::Error     ? QStringLiteral("Ошибка")
                              : icon == MsgIcon::Warning ? QStringLiteral("Предупреждение")
                                                         : QStringLiteral("Информация");
        QMessageBox box(qicon, title, QString::fromStdString(text), QMessageBox::Ok,
                        QApplication::activeWindow());
        result = box.exec() == QMessageBox::Ok ? 1 : 0;
    });
    return result;
}

void CQtOperator::AppMessage(const std::string& caption, const std::string& text)
{
    RunOnGuiThread([&] {
        QMessageBox box(QMessageBox::NoIcon, QString::fromStdString(caption),
                        QString::fromStdString(text), QMessageBox::Ok, QApplication::activeWindow());
        box.exec();
    });
}

void CQtOperator::Beep(unsigned, unsigned ms)
{
    QApplication::beep();
    QThread::msleep(ms);
}

void CQtOperator::RunOnGuiThread(const std::function<void()>& fn)
{
    if (QThread::currentThread() == thread()) {
        fn();
        return;
    }
    if (m_quitting)
        return;
    QMetaObject::invokeMethod(this, [&fn] { fn(); }, Qt::BlockingQueuedConnection);
}
