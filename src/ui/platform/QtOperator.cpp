#include "ui/platform/QtOperator.h"

#include "ui/platform/AlsaTone.h"
#include "ui/platform/MessageLog.h"

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

namespace {
QString KindOf(MsgIcon icon) { return QString::fromUtf8(MessageKindText(icon)); }

void Log(const QString& kind, const std::string& text, bool shown)
{
    CMessageLog::Instance().Add(kind, QString::fromStdString(text), shown);
}
}  // namespace

int CQtOperator::MessageDialog(MsgIcon icon, const std::string& text)
{
    int result = 1;
    RunOnGuiThread([&] {
        // Information waits for no one in an unattended run; errors and warnings still ask.
        const bool show = icon != MsgIcon::Information || !UnattendedRun();
        Log(KindOf(icon), text, show);
        if (show)
            result = ShowMessageBox(icon, text);
    });
    return result;
}

void CQtOperator::AppMessage(const std::string& caption, const std::string& text)
{
    RunOnGuiThread([&] {
        Log(QStringLiteral("Сообщение"), text, true);
        ShowAppBox(caption, text);
    });
}

void CQtOperator::Notice(const std::string& caption, const std::string& text)
{
    RunOnGuiThread([&] {
        const bool show = !UnattendedRun();
        Log(QStringLiteral("Информация"), text, show);
        if (show)
            ShowAppBox(caption, text);
    });
}

bool CQtOperator::Confirm(const std::string& text)
{
    bool yes = false;
    RunOnGuiThread([&] {
        yes = AskYesNo(text);
        Log(QStringLiteral("Вопрос"), text + (yes ? " — Да" : " — Нет"), true);
    });
    return yes;
}

int CQtOperator::ShowMessageBox(MsgIcon icon, const std::string& text)
{
    const QMessageBox::Icon qicon = icon == MsgIcon::Error     ? QMessageBox::Critical
                                    : icon == MsgIcon::Warning ? QMessageBox::Warning
                                                               : QMessageBox::Information;
    QMessageBox box(qicon, KindOf(icon), QString::fromStdString(text), QMessageBox::Ok, QApplication::activeWindow());
    return box.exec() == QMessageBox::Ok ? 1 : 0;
}

bool CQtOperator::AskYesNo(const std::string& text)
{
    QMessageBox box(QMessageBox::Question, QString::fromUtf8(QuestionKindText()), QString::fromStdString(text),
                    QMessageBox::NoButton, QApplication::activeWindow());
    QPushButton* yesButton = box.addButton(QStringLiteral("Да"), QMessageBox::YesRole);
    box.addButton(QStringLiteral("Нет"), QMessageBox::NoRole);
    box.setDefaultButton(yesButton);
    box.exec();
    return box.clickedButton() == yesButton;
}

void CQtOperator::ShowAppBox(const std::string& caption, const std::string& text)
{
    QMessageBox box(QMessageBox::NoIcon, QString::fromStdString(caption), QString::fromStdString(text), QMessageBox::Ok,
                    QApplication::activeWindow());
    box.exec();
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
