#pragma once
// The Qt application with the toolkit's exception display: an exception that
// escapes a handler is shown in a message box and the event loop goes on.
#include <QApplication>

class CApplication : public QApplication {
public:
    CApplication(int& argc, char** argv);
    bool notify(QObject* receiver, QEvent* event) override;
    // The message box of an exception that escaped.
    static void ShowException(const char* what);
};
