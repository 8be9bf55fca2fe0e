#pragma once
// A window frame without any button. Qt hands an X11 window manager "every
// function" when a window asks for no button at all, and the manager then
// draws minimise, maximise and close; this tells it move only.
class QWidget;

// Call once the window exists (from showEvent); elsewhere than on X11 it does nothing.
void SetFrameWithoutButtons(QWidget* window);
