#pragma once
// The ten tool bar pictures (ImageList1), drawn from the SVG files compiled
// into the program. Pictures 0 and 1 also mark the meter states.
#include <QIcon>

constexpr int kToolIconCount = 10;
// Picture by index; an empty icon outside 0..9.
QIcon ToolIcon(int index);
