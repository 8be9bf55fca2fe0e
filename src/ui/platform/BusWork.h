#pragma once
// Runs bus work off the GUI thread while the GUI thread keeps serving events
// (painting, and the messages the work hands over to it), and returns when it ended.
#include <functional>

class QWidget;

// busy (may be null) is disabled while the work runs.
void RunBusWork(const std::function<void()>& work, QWidget* busy = nullptr);
