#include "StartupWindows.h"

CStartupWindows::CStartupWindows(const std::string& baseDir) : Form1(baseDir), EditGeForm(&Form1)
{
    Form1.SetEditGeForm(&EditGeForm);
}

CStartupWindows::~CStartupWindows()
{
    Form1.SetEditGeForm(nullptr);
}
