#include "ui/mainwindow/StartupWindows.h"

CStartupWindows::CStartupWindows(const std::string& baseDir)
    : Form1(baseDir), GIGEScaleForm(&Form1), EditGeForm(&Form1)
{
    Form1.SetGIGEScaleForm(&GIGEScaleForm);
    Form1.SetEditGeForm(&EditGeForm);
}

CStartupWindows::~CStartupWindows()
{
    Form1.SetEditGeForm(nullptr);
    Form1.SetGIGEScaleForm(nullptr);
}
