#pragma once
// The windows of the program, created once at start-up in this order and
// living until exit.
#include "ui/dialogs/TEditGeForm.h"
#include "ui/mainwindow/TForm1.h"
#include "ui/editor/TGIGEScaleForm.h"

#include <string>

class CStartupWindows {
public:
    // baseDir: the folder of config.ini, Log/ and BACKUP/; empty: the program's folder.
    explicit CStartupWindows(const std::string& baseDir = std::string());
    ~CStartupWindows();

    TForm1 Form1;
    TGIGEScaleForm GIGEScaleForm;
    TEditGeForm EditGeForm;
};
