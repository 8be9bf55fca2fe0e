#pragma once
// The measurement engine: ten meter slots and a worker thread that runs one
// measurement cycle at a time over all occupied slots.
#include "common/Event.h"
#include "measurement/GuiHandOver.h"
#include "measurement/MeterStatus.h"
#include "protocol/vq7prot/vq7cmd.h"

#include <atomic>
#include <cstdint>
#include <functional>
#include <mutex>
#include <optional>
#include <thread>

class connection;

// Asks the operator for the reference flow Ge over the cycle (m³/h). Runs on
// the GUI thread; an empty result means the operator cancelled.
using ReferenceFlowPrompt = std::function<std::optional<double>()>;

// Results of StartCycle, as a wait on the idle event gives them.
constexpr int CSYSTEM_WAIT_OK = 0;
constexpr int CSYSTEM_WAIT_TIMEOUT = 258;

class CSystem {
public:
    // The connection is not owned and must outlive this object.
    explicit CSystem(connection* conn);
    // Stops a running cycle, releases a pending prompt and joins the worker.
    virtual ~CSystem();
    CSystem(const CSystem&) = delete;
    CSystem& operator=(const CSystem&) = delete;

    // Waits up to timeoutMs for the worker to be idle, then starts one cycle.
    int StartCycle(long timeoutMs);
    // Asks the running cycle to stop and waits up to 3000 ms for it.
    void StopCycle();
    // True when no cycle runs (waits up to timeoutMs for that).
    bool WaitIdle(long timeoutMs);

    // The prompt the worker runs at the end of each cycle; none: Ge stays 0.
    void SetReferenceFlowPrompt(ReferenceFlowPrompt prompt);

    // Number 0 empties the slot; otherwise identifies the meter into the slot.
    int SetMeter(int slot, uint32_t number);
    uint32_t GetMeterNumber(int slot);
    // First slot holding the number (0: the first empty slot), or -1.
    int FindSlot(uint32_t number);
    VQ7_INFO GetMeterInfo(int slot);
    // Returns the cycle count; null out pointers are skipped.
    int GetCycleResult(int slot, float* giMean = nullptr, float* gvMean = nullptr);
    float GetCurrentGi(int slot);
    float GetCurrentGv(int slot);
    MeterStatus GetMeterStatus(int slot);
    // Ge the operator entered for the last counted cycle.
    double GetCycleGe();
    // Result of the last cycle the worker ran (0 also after a plain stop).
    int GetLastCycleResult();

    // Parameter 0 := 0 (base model), or back to the value read at identification.
    int SetBaseModel(int slot);
    int RestoreModel(int slot);
    int SetBaseModelAll();
    int RestoreModelAll();

    // One cycle, as the worker runs it; returns its transaction result.
    int RunCycle();
    // Current values 8 (Gi) and 5 (Gv) of every occupied slot.
    int RefreshCurrentValues();

protected:
    // For test doubles that need a given count.
    void SetCycleCount(int32_t count);

private:
    void Execute();
    int WriteModel(int slot, bool base);
    int WriteModelAll(bool base);
    bool CheckSlot(int slot);
    bool ShouldStopPolling() const { return m_bStopRequested || m_bTerminated; }
    int PollPass(bool& started, bool& finished, bool& exchanged);
    int ReadIntegrals();

    std::recursive_mutex m_csLock;
    CEvent m_hIdleEvent{true, true};
    CEvent m_hStartEvent{false, false};
    CEvent m_hWakeEvent{false, false};   // cuts the pause of an idle poll pass short
    connection* m_pConnection;

    VQ7_INFO m_aInfo[METER_SLOTS];
    uint32_t m_adwNumbers[METER_SLOTS] = {};
    float m_afCurGi[METER_SLOTS] = {};
    float m_afCurGv[METER_SLOTS] = {};
    MeterStatus m_aStatus[METER_SLOTS];
    int32_t m_nCycleCount = 0;
    CycleResult m_aResults[METER_SLOTS];
    double m_dGe = 0;
    int m_nLastCycleResult = 0;
    ReferenceFlowPrompt m_prompt;

    std::atomic<bool> m_bStopRequested{false};
    std::atomic<bool> m_bTerminated{false};
    CGuiHandOver m_handOver;
    std::thread m_thread;   // last: starts after every other member exists
};
