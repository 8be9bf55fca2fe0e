#pragma once
// The main window's state besides its tables: series flags, the tab lock,
// and the enabled/picture state of the controls the logic switches.
#include <string>

enum MainPage { PAGE_SET_POINTS = 0, PAGE_CALIBRATION = 1, PAGE_VERIFICATION = 2 };

// Pictures of ButtonStartPause: 1 idle (a press starts), 0 running (a press pauses).
enum StartPausePicture { PICTURE_RUNNING = 0, PICTURE_IDLE = 1 };

class CWindowState {
public:
    int LastCycleCount = 0;
    bool PageChangeAllowed = true;
    bool ModelSet = false;
    std::string EditStartText;

    int ActivePage = PAGE_SET_POINTS;
    int StartPauseImage = PICTURE_IDLE;
    bool Timer1Enabled = false;
    bool ButtonUpdateInfoEnabled = false;
    bool ButtonStartPauseEnabled = false;
    bool ButtonStopEnabled = false;
    bool InvertGiGeEnabled = true;

    // The page control asks before switching tabs.
    bool PageControl1Changing() const { return PageChangeAllowed; }
    // After a switch: enables the series buttons for the tab.
    void PageControl1Change(int page);
    // Both steps; false (nothing changes) while the tabs are locked.
    bool SelectPage(int page);
};
