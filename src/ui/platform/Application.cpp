#include "ui/platform/Application.h"

#include "common/CommonUtils.h"

#include <QMessageBox>
#include <exception>

CApplication::CApplication(int& argc, char** argv) : QApplication(argc, argv) {}

bool CApplication::notify(QObject* receiver, QEvent* event)
{
    try {
        return QApplication::notify(receiver, event);
    } catch (const std::exception& e) {
        ShowException(e.what());
    } catch (...) {
        ShowException("unknown exception");
    }
    return false;
}

void CApplication::ShowException(const char* what)
{
    QMessageBox box(QMessageBox::Critical, QString::fromStdString(AppMessageCaption()), QString::fromUtf8(what),
                    QMessageBox::Ok, activeWindow());
    box.exec();
}
