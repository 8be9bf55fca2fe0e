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
#include <string>
#include <thread>
#include <vector>

class connection;

// Asks the operator for the reference flow Ge over the cycle (m³/h). Runs on
// the GUI thread; an empty result means the operator cancelled.
using ReferenceFlowPrompt = std::function<std::optional<double>()>;

// Called on the worker thread: when every meter took the start command, after
// each poll pass while the meters integrate, and when the integration has
// ended (before the reference flow is asked). The rig's reference reads its
// totals there.
struct CycleHooks {
    std::function<void()> integrationStarted;
    std::function<void()> integrating;
    std::function<void()> integrationEnded;
};

// Results of StartCycle, as a wait on the idle event gives them.
constexpr int CSYSTEM_WAIT_OK = 0;
constexpr int CSYSTEM_WAIT_TIMEOUT = 258;

// Poll passes in a row a meter may fail before it is marked "no answer".
constexpr int CSYSTEM_NO_ANSWER_PASSES = 3;

// A cycle none of whose started meters has shown a running or ended
// integration after this long (and CSYSTEM_NO_ANSWER_PASSES passes) is ended.
constexpr long CSYSTEM_IDLE_LIMIT_MS = 120000;

// Results after which the link itself is gone: a cycle ends at once.
bool IsLinkGoneResult(int result);

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
    void SetCycleHooks(CycleHooks hooks);

    // Number 0 empties the slot; otherwise identifies the meter into the slot.
    int SetMeter(int slot, uint32_t number);
    uint32_t GetMeterNumber(int slot);
    // First slot holding the number (0: the first empty slot), or -1.
    int FindSlot(uint32_t number);
    VQ7_INFO GetMeterInfo(int slot);
    // Returns the cycle count; null out pointers are skipped.
    int GetCycleResult(int slot, float* giMean = nullptr, float* gvMean = nullptr);
    // True when the slot's GiMean and GvMean were read in the last counted
    // cycle; false for an empty slot or one whose integrals could not be read.
    bool HasCycleResult(int slot);
    // Poll passes in a row the slot's meter failed in the running or last cycle.
    int GetFailedPasses(int slot);
    // The meter failed CSYSTEM_NO_ANSWER_PASSES passes in a row: the cycle goes on without it.
    bool IsNoAnswer(int slot);
    float GetCurrentGi(int slot);
    float GetCurrentGv(int slot);
    MeterStatus GetMeterStatus(int slot);
    // Ge the operator entered for the last counted cycle.
    double GetCycleGe();
    // Result of the last cycle the worker ran (0 also after a plain stop).
    int GetLastCycleResult();
    // What went wrong in the last cycle, naming the meters or the link ("" when nothing).
    std::string GetLastCycleMessage();

    // Parameter 0 := 0 (base model), or back to the value read at identification.
    int SetBaseModel(int slot);
    int RestoreModel(int slot);
    // Every occupied slot is tried; the first failure is returned and every
    // failed slot is added to failedSlots. RestoreModelAll restores only the
    // slots still on the base model, so a second call retries the failures.
    int SetBaseModelAll(std::vector<int>* failedSlots = nullptr);
    int RestoreModelAll(std::vector<int>* failedSlots = nullptr);
    // The slot's meter may hold the base model written by this engine.
    bool IsOnBaseModel(int slot);

    // One cycle, as the worker runs it; returns its transaction result.
    int RunCycle();
    // Current values 8 (Gi) and 5 (Gv) of every occupied slot.
    int RefreshCurrentValues();

protected:
    // For test doubles that need a given count.
    void SetCycleCount(int32_t count);
    // For test doubles that need a short idle limit.
    void SetIdleLimitMs(long ms);

private:
    void Execute();
    int WriteModel(int slot, bool base);
    int WriteModelAll(bool base, std::vector<int>* failedSlots);
    bool CheckSlot(int slot);
    bool ShouldStopPolling() const { return m_bStopRequested || m_bTerminated; }
    // What the poll passes of one cycle have seen.
    struct CyclePoll {
        uint32_t startedNumbers[METER_SLOTS] = {};   // the meters that took the start command
        bool started = false;     // some meter showed a running integration
        bool finished = false;    // the cycle's integration has ended
        bool exchanged = false;   // this pass talked to some meter
        bool askedStarted = false;  // this pass asked some meter that took the start command
    };
    int PollPass(CyclePoll& poll);
    std::string IdleText(const CyclePoll& poll);
    int ReadIntegrals();
    void SetCycleMessage(const std::string& text);
    std::string MeterNumbersText(const std::vector<int>& slots);
    std::string LinkGoneText(int result);

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
    bool m_abHaveResult[METER_SLOTS] = {};
    int m_anFailedPasses[METER_SLOTS] = {};
    bool m_abOnBaseModel[METER_SLOTS] = {};
    std::string m_sLastCycleMessage;
    double m_dGe = 0;
    int m_nLastCycleResult = 0;
    std::atomic<long> m_nIdleLimitMs{CSYSTEM_IDLE_LIMIT_MS};
    ReferenceFlowPrompt m_prompt;
    CycleHooks m_hooks;

    std::atomic<bool> m_bStopRequested{false};
    std::atomic<bool> m_bTerminated{false};
    CGuiHandOver m_handOver;
    std::thread m_thread;   // last: starts after every other member exists
};
