#pragma once
// The main window's state besides its tables: series flags, the tab lock,
// and the enabled/picture state of the controls the logic switches.
#include <array>
#include <cstdint>
#include <string>
#include <vector>

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

    // Per slot (index 0..9), for the window to mark the meter's column.
    // The last row has no value of the slot: its integrals could not be read.
    std::array<bool, 10> SlotResultMissing{};
    // The meter stopped answering during the running or last cycle.
    std::array<bool, 10> SlotNoAnswer{};
    // The meter may still hold the base model; "Завершение" retries it.
    std::array<bool, 10> SlotOnBaseModel{};
    // The message of the last cycle that failed or lost meters ("" when none).
    std::string CycleMessage;

    // Meters whose setting parameters 70, 75, 79 were not written by the last write.
    std::vector<uint32_t> ParamsNotWritten;
    // A meter left with part of its new characteristic by an interrupted write.
    struct IncompleteWrite {
        uint32_t Number = 0;
        int PairsWritten = 0;
        int PairsTotal = 0;
        std::string BackupFile;   // restores the meter (CMeterList::RestoreBackupPairs)
    };
    std::vector<IncompleteWrite> IncompleteWrites;
    // Meters that read model 0 while their own model kept on disk differs.
    struct KeptModel {
        int Slot = 0;
        uint32_t Number = 0;
        int KeptValue = 0;   // CMeterList::RestoreKeptModel writes it back
    };
    std::vector<KeptModel> ModelsToRestore;

    // A press of ButtonStartPause begins a new series (not a resume after a pause).
    bool StartBeginsSeries() const { return StartPauseImage == PICTURE_IDLE && !ModelSet; }
    // The page control asks before switching tabs.
    bool PageControl1Changing() const { return PageChangeAllowed; }
    // After a switch: enables the series buttons for the tab.
    void PageControl1Change(int page);
    // Both steps; false (nothing changes) while the tabs are locked.
    bool SelectPage(int page);
};
