#pragma once
// Pictures of windows for a person to look at: saved only when VQ7_GUI_SHOTS names a folder.
class QWidget;

bool ShotsWanted();
// Grabs the widget to $VQ7_GUI_SHOTS/<name>.png.
void SaveShot(QWidget* widget, const char* name);
