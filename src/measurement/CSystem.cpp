#include "CSystem.h"

#include "calibration/ConnectionUse.h"
#include "calibration/JournaledParam.h"
#include "common/CommonUtils.h"
#include "common/DebugOutput.h"
#include "common/FlowRule.h"
#include "common/NumberText.h"
#include "links/ResultCodes.h"
#include "protocol/connection.h"

#include <cerrno>
#include <chrono>
#include <exception>
#include <string>

namespace {
using Lock = std::lock_guard<std::recursive_mutex>;

constexpr long kStartWaitMs = 100;
constexpr long kStopWaitMs = 3000;
// Pause of a poll pass that made no exchange (no occupied slot).
constexpr long kIdlePassPauseMs = 20;
}

bool IsLinkGoneResult(int result) { return result == RC_NOT_OPEN || result == RC_SHORT_WRITE; }

CSystem::CSystem(connection* conn) : m_pConnection(conn)
{
    m_thread = std::thread([this] { Execute(); });
}

CSystem::~CSystem()
{
    m_bTerminated = true;
    m_handOver.Release();
    m_hWakeEvent.Set();
    if (m_thread.joinable())
        m_thread.join();
}

void CSystem::Execute()
{
    while (!m_bTerminated) {
        if (!m_hStartEvent.Wait(kStartWaitMs))
            continue;
        if (!m_bTerminated) {
            try {
                const int result = RunCycle();
                Lock lock(m_csLock);
                m_nLastCycleResult = result;
            } catch (...) {
                DebugOutput("CSystem, ошибка: " + std::to_string(errno));
            }
        }
        m_hIdleEvent.Set();
    }
}

int CSystem::StartCycle(long timeoutMs)
{
    if (!m_hIdleEvent.Wait(timeoutMs))
        return CSYSTEM_WAIT_TIMEOUT;
    m_hIdleEvent.Reset();
    m_hStartEvent.Set();
    return CSYSTEM_WAIT_OK;
}

void CSystem::StopCycle()
{
    m_bStopRequested = true;
    m_hWakeEvent.Set();
    m_hIdleEvent.Wait(kStopWaitMs);
    m_bStopRequested = false;
}

bool CSystem::WaitIdle(long timeoutMs) { return m_hIdleEvent.Wait(timeoutMs); }

void CSystem::SetReferenceFlowPrompt(ReferenceFlowPrompt prompt)
{
    Lock lock(m_csLock);
    m_prompt = std::move(prompt);
}

void CSystem::SetCycleHooks(CycleHooks hooks)
{
    Lock lock(m_csLock);
    m_hooks = std::move(hooks);
}

bool CSystem::CheckSlot(int slot)
{
    if (slot >= 0 && slot < METER_SLOTS)
        return true;
    DebugOutput("CSystem, попытка обратится за границу массива");
    return false;
}

int CSystem::SetMeter(int slot, uint32_t number)
{
    if (!CheckSlot(slot))
        return 0;
    Lock lock(m_csLock);
    if (m_adwNumbers[slot] != number) {
        m_abHaveResult[slot] = false;
        m_anFailedPasses[slot] = 0;
    }
    if (number == 0) {
        m_adwNumbers[slot] = 0;
        m_aInfo[slot] = VQ7_INFO();
        return 0;
    }
    // Another meter must not inherit the identity (and model) of the previous one.
    if (m_adwNumbers[slot] != number)
        m_aInfo[slot] = VQ7_INFO();
    m_adwNumbers[slot] = number;
    CConnectionUse use(m_pConnection);
    return static_cast<int>(GetDeviceInfo(m_pConnection, number, m_aInfo[slot]));
}

uint32_t CSystem::GetMeterNumber(int slot)
{
    if (!CheckSlot(slot))
        return 0;
    Lock lock(m_csLock);
    return m_adwNumbers[slot];
}

int CSystem::FindSlot(uint32_t number)
{
    {
        Lock lock(m_csLock);
        for (int slot = 0; slot < METER_SLOTS; ++slot)
            if (m_adwNumbers[slot] == number)
                return slot;
    }
    DebugOutput("CSystem, id по номеру не найден");
    return -1;
}

VQ7_INFO CSystem::GetMeterInfo(int slot)
{
    if (!CheckSlot(slot))
        return VQ7_INFO();
    Lock lock(m_csLock);
    return m_aInfo[slot];
}

int CSystem::GetCycleResult(int slot, float* giMean, float* gvMean)
{
    if (!CheckSlot(slot))
        return -1;
    Lock lock(m_csLock);
    if (giMean)
        *giMean = m_aResults[slot].GiMean;
    if (gvMean)
        *gvMean = m_aResults[slot].GvMean;
    return m_nCycleCount;
}

bool CSystem::HasCycleResult(int slot)
{
    if (!CheckSlot(slot))
        return false;
    Lock lock(m_csLock);
    return m_abHaveResult[slot];
}

int CSystem::GetFailedPasses(int slot)
{
    if (!CheckSlot(slot))
        return 0;
    Lock lock(m_csLock);
    return m_anFailedPasses[slot];
}

bool CSystem::IsNoAnswer(int slot) { return GetFailedPasses(slot) >= CSYSTEM_NO_ANSWER_PASSES; }

bool CSystem::IsOnBaseModel(int slot)
{
    if (!CheckSlot(slot))
        return false;
    Lock lock(m_csLock);
    return m_abOnBaseModel[slot];
}

std::string CSystem::GetLastCycleMessage()
{
    Lock lock(m_csLock);
    return m_sLastCycleMessage;
}

void CSystem::SetCycleMessage(const std::string& text)
{
    Lock lock(m_csLock);
    m_sLastCycleMessage = text;
}

std::string CSystem::MeterNumbersText(const std::vector<int>& slots)
{
    std::string text;
    for (int slot : slots)
        text += (text.empty() ? "" : ", ") + std::to_string(GetMeterNumber(slot));
    return text;
}

float CSystem::GetCurrentGi(int slot)
{
    if (!CheckSlot(slot))
        return -1.0f;
    Lock lock(m_csLock);
    return m_afCurGi[slot];
}

float CSystem::GetCurrentGv(int slot)
{
    if (!CheckSlot(slot))
        return -1.0f;
    Lock lock(m_csLock);
    return m_afCurGv[slot];
}

MeterStatus CSystem::GetMeterStatus(int slot)
{
    const bool good = CheckSlot(slot);
    Lock lock(m_csLock);
    return m_aStatus[good ? slot : 0];
}

double CSystem::GetCycleGe()
{
    Lock lock(m_csLock);
    return m_dGe;
}

int CSystem::GetLastCycleResult()
{
    Lock lock(m_csLock);
    return m_nLastCycleResult;
}

void CSystem::SetCycleCount(int32_t count)
{
    Lock lock(m_csLock);
    m_nCycleCount = count;
}

void CSystem::SetIdleLimitMs(long ms) { m_nIdleLimitMs = ms; }

int CSystem::WriteModel(int slot, bool base)
{
    if (!CheckSlot(slot))
        return -1;
    Lock lock(m_csLock);
    const uint32_t number = m_adwNumbers[slot];
    if (number == 0) {
        DebugOutput(FormatC("CSystem, элемент %u не задан", static_cast<unsigned>(slot)));
        return -1;
    }
    const std::string value = base ? std::string("0") : FormatC("%d", m_aInfo[slot].m_nParam0);
    CConnectionUse use(m_pConnection);
    const int result = static_cast<int>(WriteParamJournaled(m_pConnection, number, m_aInfo[slot].m_sModel, 0, value));
    if (result == 0)
        m_abOnBaseModel[slot] = base;
    else if (base && result > 255)
        m_abOnBaseModel[slot] = true;   // the write may have been done with its answer lost
    return result;
}

int CSystem::SetBaseModel(int slot) { return WriteModel(slot, true); }
int CSystem::RestoreModel(int slot) { return WriteModel(slot, false); }

int CSystem::WriteModelAll(bool base, std::vector<int>* failedSlots)
{
    int first = 0;
    for (int slot = 0; slot < METER_SLOTS; ++slot) {
        if (GetMeterNumber(slot) == 0 || (!base && !IsOnBaseModel(slot)))
            continue;
        if (const int result = WriteModel(slot, base)) {
            if (first == 0)
                first = result;
            if (failedSlots)
                failedSlots->push_back(slot);
        }
    }
    return first;
}

int CSystem::SetBaseModelAll(std::vector<int>* failedSlots) { return WriteModelAll(true, failedSlots); }
int CSystem::RestoreModelAll(std::vector<int>* failedSlots) { return WriteModelAll(false, failedSlots); }

int CSystem::RefreshCurrentValues()
{
    CConnectionUse use(m_pConnection);
    int first = 0;
    for (int slot = METER_SLOTS - 1; slot >= 0; --slot) {
        uint32_t number;
        VQ7_INFO info;
        {
            Lock lock(m_csLock);
            number = m_adwNumbers[slot];
            // A meter that stopped answering costs no time-outs here; its status poll finds it again.
            if (number == 0 || m_anFailedPasses[slot] >= CSYSTEM_NO_ANSWER_PASSES)
                continue;
            info = m_aInfo[slot];
        }
        std::string giText, gvText;
        unsigned result = ReadCurrent(m_pConnection, number, 8, giText, &info);
        if (result == 0)
            result = ReadCurrent(m_pConnection, number, 5, gvText, nullptr);
        if (result != 0) {
            if (first == 0)
                first = static_cast<int>(result);
            if (IsLinkGoneResult(static_cast<int>(result)))
                return first;
            continue;
        }
        float gi = 0, gv = 0;
        try {
            gi = static_cast<float>(StrToFloat(FixDecimalSeparator(giText)));
            gv = static_cast<float>(StrToFloat(FixDecimalSeparator(gvText)));
        } catch (const EConvertError&) {
            gi = gv = 0;
        }
        Lock lock(m_csLock);
        m_afCurGi[slot] = gi;
        m_afCurGv[slot] = gv;
    }
    return first;
}

int CSystem::PollPass(CyclePoll& poll)
{
    poll.exchanged = poll.askedStarted = false;
    const int refreshed = RefreshCurrentValues();
    if (IsLinkGoneResult(refreshed))
        return refreshed;
    int lastFailure = 0;
    bool anyAnswer = false;
    for (int slot = METER_SLOTS - 1; slot >= 0; --slot) {
        const uint32_t number = GetMeterNumber(slot);
        if (number == 0)
            continue;
        poll.exchanged = true;
        // A meter put into the slot during the cycle was not started by it.
        const bool tookStart = poll.startedNumbers[slot] == number;
        poll.askedStarted = poll.askedStarted || tookStart;
        MeterStatus status;
        if (const unsigned result = ReadStatus(m_pConnection, number, status.m_abData)) {
            if (IsLinkGoneResult(static_cast<int>(result)))
                return static_cast<int>(result);
            lastFailure = static_cast<int>(result);
            Lock lock(m_csLock);
            ++m_anFailedPasses[slot];
            continue;
        }
        anyAnswer = true;
        {
            Lock lock(m_csLock);
            m_anFailedPasses[slot] = 0;
            m_aStatus[slot] = status;
        }
        if (status.IsStarted())
            poll.started = true;
        // A pass slower than the integration never sees it running: a meter that
        // took this cycle's start and shows it ended has finished all the same.
        if (status.IsFinished() && (poll.started || tookStart))
            poll.finished = true;
    }
    if (anyAnswer || lastFailure == 0)
        return 0;
    // Nobody answered: the cycle ends once every meter is marked "no answer".
    for (int slot = 0; slot < METER_SLOTS; ++slot)
        if (GetMeterNumber(slot) != 0 && !IsNoAnswer(slot))
            return 0;
    return lastFailure;
}

std::string CSystem::IdleText(const CyclePoll& poll)
{
    std::vector<int> slots;
    for (int slot = METER_SLOTS - 1; slot >= 0; --slot)
        if (poll.startedNumbers[slot] != 0 && poll.startedNumbers[slot] == GetMeterNumber(slot))
            slots.push_back(slot);
    return "Измерение не началось (счетчик № " + MeterNumbersText(slots) + "): цикл измерения прерван";
}

int CSystem::ReadIntegrals()
{
    Lock lock(m_csLock);
    int first = 0;
    std::vector<int> failed;
    bool anyRead = false;
    for (int slot = METER_SLOTS - 1; slot >= 0; --slot) {
        m_abHaveResult[slot] = false;
        const uint32_t number = m_adwNumbers[slot];
        if (number == 0)
            continue;
        int result = RC_TIMEOUT;
        std::string text;
        uint8_t data[sizeof(VQ7_ANSWER_READ_GRAD_INTEGRALS)] = {};
        if (m_anFailedPasses[slot] < CSYSTEM_NO_ANSWER_PASSES)
            result = static_cast<int>(ReadGradIntegrals(m_pConnection, number, text, data));
        if (result != 0) {
            // Every other meter is still read; this one's cell stays empty.
            if (first == 0)
                first = result;
            failed.insert(failed.begin(), slot);
            continue;
        }
        const float integral0 = LeFloat(data + 0);
        const float integral2 = LeFloat(data + 8);
        const uint16_t count = LeU16(data + 63);
        if (count != 0)
            m_aResults[slot] = {integral0 / count, integral2 / count};
        else
            m_aResults[slot] = {integral0, integral2};
        m_abHaveResult[slot] = true;
        anyRead = true;
    }
    if (!failed.empty())
        m_sLastCycleMessage = "Не удалось прочитать результаты измерения: счетчик № " + MeterNumbersText(failed) +
                              FormatC(" (ошибка %d)", first);
    // A cycle whose every meter failed brings no row.
    if (anyRead)
        m_nCycleCount = NextCycleCount(m_nCycleCount);
    return first;
}

std::string CSystem::LinkGoneText(int result)
{
    const connection& c = *m_pConnection;
    const std::string link = c.m_sPort == "TCP/IP" ? "TCP/IP " + c.m_sIp + ":" + c.m_sTcpIpPort : c.m_sPort;
    return FormatC("Нет связи (%s), ошибка %d: цикл измерения прерван", link.c_str(), result);
}

int CSystem::RunCycle()
{
    CConnectionUse use(m_pConnection);
    {
        Lock lock(m_csLock);
        m_sLastCycleMessage.clear();
        for (int& n : m_anFailedPasses)
            n = 0;
    }

    CyclePoll poll;
    for (int slot = METER_SLOTS - 1; slot >= 0; --slot) {
        if (m_bTerminated)
            return 0;
        const uint32_t number = GetMeterNumber(slot);
        if (number == 0)
            continue;
        if (const unsigned result = StartMeasurement(m_pConnection, number, 1.0f)) {
            const int code = static_cast<int>(result);
            SetCycleMessage(IsLinkGoneResult(code)
                                ? LinkGoneText(code)
                                : FormatC("Не удалось запустить измерение: счетчик № %u, ошибка %d", number, code));
            return code;
        }
        poll.startedNumbers[slot] = number;
    }

    CycleHooks hooks;
    {
        Lock lock(m_csLock);
        hooks = m_hooks;
    }
    if (hooks.integrationStarted)
        hooks.integrationStarted();

    // Meters that never show the measurement (silent, or idle after taking the
    // start) would keep the cycle polling until the operator stops it.
    const auto pollStart = std::chrono::steady_clock::now();
    const long idleLimitMs = m_nIdleLimitMs;
    int passes = 0;
    int passResult = 0;
    bool idle = false;
    for (;;) {
        passResult = PollPass(poll);
        if (passes < CSYSTEM_NO_ANSWER_PASSES)
            ++passes;
        if (poll.finished || passResult != 0 || ShouldStopPolling())
            break;
        if (hooks.integrating)
            hooks.integrating();
        if (!poll.started && poll.askedStarted && passes >= CSYSTEM_NO_ANSWER_PASSES &&
            std::chrono::steady_clock::now() - pollStart >= std::chrono::milliseconds(idleLimitMs)) {
            idle = true;
            break;
        }
        if (!poll.exchanged)
            m_hWakeEvent.Wait(kIdlePassPauseMs);
    }
    if (idle) {
        SetCycleMessage(IdleText(poll));
        return RC_TIMEOUT;
    }
    if (passResult != 0) {
        SetCycleMessage(IsLinkGoneResult(passResult)
                            ? LinkGoneText(passResult)
                            : FormatC("Ни один счетчик не отвечает, ошибка %d: цикл измерения прерван", passResult));
        return passResult;
    }
    if (ShouldStopPolling())
        return 0;
    if (hooks.integrationEnded)
        hooks.integrationEnded();

    ReferenceFlowPrompt prompt;
    {
        Lock lock(m_csLock);
        prompt = m_prompt;
    }
    std::optional<double> ge = 0.0;
    if (prompt) {
        if (m_handOver.Run([&] { ge = prompt(); }) == CGuiHandOver::Released)
            return 0;
    }
    if (!ge || m_bTerminated)
        return 0;   // cancelled, or the program is closing: nothing is counted
    if (prompt && !IsRigFlow(*ge)) {
        SetCycleMessage(FormatC("Эталонный расход %g м3/ч не принят (", *ge) + RigFlowProblem(*ge) +
                        "): цикл не учтен");
        return 0;
    }
    {
        Lock lock(m_csLock);
        m_dGe = *ge;
    }
    return ReadIntegrals();
}
