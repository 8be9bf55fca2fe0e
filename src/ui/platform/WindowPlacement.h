#pragma once
// Windows and splitters keep their size and place in config.ini between runs.
#include <string>

class QSplitter;
class QWidget;

// Puts the window where it stood when saved; false (nothing changed) when
// nothing sensible is saved or the place is on no screen. Fixed-size windows keep their size.
bool RestoreWindowPlacement(QWidget* window, const std::string& configPath, const char* name);
void SaveWindowPlacement(const QWidget* window, const std::string& configPath, const char* name);

bool RestoreSplitterSizes(QSplitter* splitter, const std::string& configPath, const char* name);
void SaveSplitterSizes(const QSplitter* splitter, const std::string& configPath, const char* name);
