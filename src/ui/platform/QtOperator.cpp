#include "ui/platform/QtOperator.h"

#include "ui/platform/AlsaTone.h"

#include <QApplication>
#include <QMessageBox>
#include <QPushButton>
#include <QEventLoop>
#include <QThread>

#include <chrono>
#include <cstdio>
#include <thread>

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
        const QString title = QString::fromUtf8(MessageKindText(icon));
        QMessageBox box(qicon, title, QString::fromStdString(text), QMessageBox::Ok,
                        QApplication::activeWindow());
        result = box.exec() == QMessageBox::Ok ? 1 : 0;
    });
    return result;
}

bool CQtOperator::Confirm(const std::string& text)
{
    bool yes = false;
    RunOnGuiThread([&] {
        QMessageBox box(QMessageBox::Question, QString::fromUtf8(QuestionKindText()), QString::fromStdString(text),
                        QMessageBox::NoButton, QApplication::activeWindow());
        QPushButton* yesButton = box.addButton(QStringLiteral("Да"), QMessageBox::YesRole);
        box.addButton(QStringLiteral("Нет"), QMessageBox::NoRole);
        box.setDefaultButton(yesButton);
        box.exec();
        yes = box.clickedButton() == yesButton;
    });
    return yes;
}

void CQtOperator::AppMessage(const std::string& caption, const std::string& text)
{
    RunOnGuiThread([&] {
        QMessageBox box(QMessageBox::NoIcon, QString::fromStdString(caption),
                        QString::fromStdString(text), QMessageBox::Ok, QApplication::activeWindow());
        box.exec();
    });
}

void CQtOperator::Beep(unsigned hz, unsigned ms)
{
    auto play = [hz, ms] {
        if (!PlayAlsaTone(hz, ms)) {
            // No sound device: the terminal bell, and the tone's time.
            std::fputc('\a', stderr);
            std::fflush(stderr);
            std::this_thread::sleep_for(std::chrono::milliseconds(ms));
        }
    };
    if (QThread::currentThread() != thread()) {
        play();
        return;
    }
    // On the GUI thread the window keeps painting while the tone sounds.
    QEventLoop loop;
    std::thread player([&] {
        play();
        QMetaObject::invokeMethod(&loop, &QEventLoop::quit, Qt::QueuedConnection);
    });
    loop.exec(QEventLoop::ExcludeUserInputEvents);
    player.join();
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
