#pragma once
// The program's full title: the main window's caption and the About box's name.
#include <QString>

inline QString ProgramTitle() { return QStringLiteral("Программа градуировки и поверки ВЯ-7, ФЖ-7, ФЖ-7-Т-И"); }
