#include "ui/platform/WindowPlacement.h"

#include "workstation/ConfigValues.h"

#include <QGuiApplication>
#include <QScreen>
#include <QSplitter>
#include <QWidget>

bool RestoreWindowPlacement(QWidget* window, const std::string& configPath, const char* name)
{
    CWindowPlacement p;
    if (!LoadWindowPlacement(configPath, name, p))
        return false;
    const QRect saved(p.left, p.top, p.width, p.height);
    bool onScreen = false;
    for (const QScreen* screen : QGuiApplication::screens())
        onScreen = onScreen || screen->availableGeometry().intersects(saved);
    if (!onScreen)
        return false;
    const bool fixed = window->minimumSize() == window->maximumSize();
    if (fixed)
        window->setGeometry(QRect(saved.topLeft(), window->size()));
    else
        window->setGeometry(QRect(saved.topLeft(), saved.size().expandedTo(window->minimumSize())));
    if (p.maximized && !fixed)
        window->setWindowState(window->windowState() | Qt::WindowMaximized);
    return true;
}

void SaveWindowPlacement(const QWidget* window, const std::string& configPath, const char* name)
{
    // The normal geometry: a maximised window comes back maximised over its former place.
    const QRect r = window->isMaximized() ? window->normalGeometry() : window->geometry();
    if (!r.isValid())
        return;
    ::SaveWindowPlacement(configPath, name, {r.x(), r.y(), r.width(), r.height(), window->isMaximized()});
}

bool RestoreSplitterSizes(QSplitter* splitter, const std::string& configPath, const char* name)
{
    const std::vector<int> sizes = LoadPaneSizes(configPath, name);
    if (sizes.empty() || static_cast<int>(sizes.size()) != splitter->count())
        return false;
    splitter->setSizes(QList<int>(sizes.begin(), sizes.end()));
    return true;
}

void SaveSplitterSizes(const QSplitter* splitter, const std::string& configPath, const char* name)
{
    const QList<int> sizes = splitter->sizes();
    for (int s : sizes)
        if (s <= 0)
            return;   // a collapsed or never laid out pane: the former sizes stay
    SavePaneSizes(configPath, name, std::vector<int>(sizes.begin(), sizes.end()));
}
