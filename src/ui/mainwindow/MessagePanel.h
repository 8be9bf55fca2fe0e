#pragma once
// The main window's message panel: every message of the session with its
// time, newest last; the notices of an unattended run are read here.
#include <QListWidget>

#include "ui/platform/MessageLog.h"

class CMessagePanel : public QListWidget {
    Q_OBJECT
public:
    explicit CMessagePanel(QWidget* parent = nullptr);

private:
    void Append(const CMessageLog::Entry& entry);
};
