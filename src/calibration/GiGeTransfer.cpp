// The table's transfer to and from a meter.
#include "calibration/CGiGeArray.h"

#include "calibration/Characteristic.h"
#include "calibration/ConnectionUse.h"
#include "common/CommonUtils.h"
#include "common/NumberText.h"
#include "common/WriteJournal.h"

#include <algorithm>
#include <chrono>
#include <cmath>
#include <exception>
#include <thread>

namespace {
// Float as a text that converts back to the same float, in the operator's separator.
std::string ExactFloatText(float value)
{
    return FixDecimalSeparator(FormatC("%.9g", static_cast<double>(value)));
}

bool IsRestartRefusal(unsigned code)
{
    return code == 240 || code == 241 || (code >= 251 && code <= 255);
}
}

std::string CGiGeArray::IncompleteText() const
{
    return FormatC("Счетчик № %lu содержит неполную градуировочную характеристику: записано %d из %d пар.",
                   static_cast<unsigned long>(m_dwNumber), m_nPairsWritten, m_nCount);
}

bool CGiGeArray::IsTransferless() const { return m_Info.m_sType == "VQ7I"; }

CGiGeArray::CGiGeArray(connection* conn, uint32_t number) : m_dwNumber(number)
{
    {
        CConnectionUse use(conn);
        m_nResult = static_cast<int>(GetDeviceInfo(conn, m_dwNumber, m_Info));
    }
    if (m_nResult == 0) {
        ReadFromMeter(conn);
        return;
    }
    m_Info.m_nParam0 = 0;
    m_Info.m_fVersion = 0;
    m_Info.m_fFullVersion = 0;
    m_Info.m_dwDevWordA = 0;
    m_Info.m_dwFeatures = 0;
    m_Info.m_dwDevWordB = 0;
    m_Info.m_bIdFlag = 0;
    ReportError("Ошибка связи! " + MeterText());
}

int CGiGeArray::ReadFromMeter(connection* conn)
{
    if (IsTransferless())
        return 0;
    std::string countText;
    {
        CConnectionUse use(conn);
        m_nResult = static_cast<int>(ReadPairCount(conn, m_dwNumber, countText));
    }
    if (m_nResult != 0) {
        AlarmBeep();
        return m_nResult;
    }
    {
        std::lock_guard<std::recursive_mutex> lock(m_csLock);
        Clear();
        const long long count = StrToIntDef(countText, 0);
        if (count <= 0 || count >= 255)
            return -1;
        SetPairs(std::make_unique<GiGePair[]>(static_cast<size_t>(count)), static_cast<int>(count));
        m_pConnection = conn;
    }
    RunOperations(GIGE_OP_READ_METER);
    return m_nResult;
}

void CGiGeArray::ReadMeterBody()
{
    const int count = m_nCount;
    for (int i = 0; i < count; ++i) {
        std::string gi, ge;
        m_nResult = static_cast<int>(ReadPair(m_pConnection, m_dwNumber, static_cast<uint8_t>(i), gi, ge));
        if (m_nResult != 0) {
            AlarmBeep();
            ReportError("Ошибка связи! " + MeterText());
            Clear();
            return;
        }
        try {
            m_pPairs[i].Gi = static_cast<float>(StrToFloat(gi));
            m_pPairs[i].Ge = static_cast<float>(StrToFloat(ge));
        } catch (const std::exception& e) {
            Clear();
            ReportError(std::string(e.what()) + "\n" + MeterText());
            m_nResult = -1;
            return;
        }
    }
}

int CGiGeArray::WriteToMeter(connection* conn)
{
    if (IsTransferless())
        return 0;
    {
        std::lock_guard<std::recursive_mutex> lock(m_csLock);
        m_pConnection = conn;
    }
    return RunOperations(GIGE_OP_WRITE_METER);
}

int CGiGeArray::LoadFromFileToMeter(connection* conn, const std::string& path)
{
    if (IsTransferless())
        return 0;
    {
        std::lock_guard<std::recursive_mutex> lock(m_csLock);
        Clear();
        m_pConnection = conn;
        m_sFileName = path;
    }
    return RunOperations(GIGE_OP_LOAD_FILE | GIGE_OP_WRITE_METER);
}

bool CGiGeArray::LooksIncomplete(std::string* why) const
{
    std::lock_guard<std::recursive_mutex> lock(m_csLock);
    for (int i = 0; i < m_nCount; ++i) {
        const GiGePair& p = m_pPairs[i];
        std::string reason;
        if (!std::isfinite(p.Gi) || !std::isfinite(p.Ge) || std::fabs(p.Gi) >= GIGE_EMPTY_PAIR_MARK ||
            std::fabs(p.Ge) >= GIGE_EMPTY_PAIR_MARK)
            reason = FormatC("пара %d не записана (Gi ", i + 1) + PairValueText(p.Gi) + ", Ge " + PairValueText(p.Ge) + ")";
        else if (i > 0 && p.Gi < m_pPairs[i - 1].Gi)
            reason = FormatC("Gi убывает в паре %d", i + 1);
        if (!reason.empty()) {
            if (why)
                *why = reason;
            return true;
        }
    }
    return false;
}

bool CGiGeArray::MayWrite()
{
    if (m_nDroppedPairs > 0 || !m_vSkippedLines.empty()) {
        const int left = m_nDroppedPairs + static_cast<int>(m_vSkippedLines.size());
        if (!m_bForce) {
            ReportWarning(FileLossText() + "\nГрадуировочные пары из файла не записаны.\n" + MeterText());
            return false;
        }
        ReportWarning(FileLossText() + FormatC("\nЗаписываются прочитанные пары (%d), не записаны: %d.\n", m_nCount, left) +
                      MeterText());
    }
    if (m_nCount == 0) {
        ReportWarning("Градуировочные точки не заданы, либо заданы не корректно!");
        return false;
    }
    const std::vector<std::pair<float, float>> values = Values();
    const std::vector<CharacteristicFault> faults = CheckCharacteristic(values, GIGE_METER_MAX_PAIRS);
    if (faults.empty())
        return true;
    auto listed = [&](const std::vector<CharacteristicFault>& list) {
        constexpr size_t kNamed = 5;
        std::string text;
        for (size_t i = 0; i < list.size() && i < kNamed; ++i)
            text += "\n" + CharacteristicFaultText(list[i], values);
        if (list.size() > kNamed)
            text += FormatC("\nи еще %zu", list.size() - kNamed);
        return text;
    };
    const bool held = std::all_of(faults.begin(), faults.end(), [](const auto& f) { return f.held; });
    if (m_bPutBack && held) {
        ReportWarning(MeterText() + ": восстанавливаются пары, которые он содержал, как они были, хотя они "
                                    "нарушают правила градуировочной характеристики:" +
                      listed(faults));
        return true;
    }
    std::vector<CharacteristicFault> refused;
    for (const CharacteristicFault& f : faults)
        if (!m_bPutBack || !f.held)
            refused.push_back(f);
    ReportWarning("Градуировочные пары не записаны, счетчик сохраняет прежние:" + listed(refused) + "\n" +
                  MeterText());
    return false;
}

void CGiGeArray::WriteMeterBody()
{
    m_bPairsSent = false;
    m_bIncomplete = false;
    m_nPairsWritten = 0;
    if (!MayWrite()) {
        m_nResult = -1;
        return;
    }
    // No write without its journal line.
    std::string journalError;
    if (!CWriteJournal::CanAppend(journalError)) {
        ReportError("Градуировочные пары не записаны: журнал записи в счетчики не дополняется (" + journalError +
                    ").\n" + MeterText());
        m_nResult = RC_JOURNAL_FAILED;
        return;
    }
    WriteJournalEntry entry;
    entry.number = m_dwNumber;
    entry.model = m_Info.m_sModel;
    entry.operation = m_sWriteOperation;
    entry.after = JournalPairsText(Values());
    const bool readBack = CWriteJournal::ReadBackEnabled();
    m_sReadBack = readBack ? "" : "отключена";
    if (readBack)
        entry.before = MeterValuesText();
    try {
        SendPairs(readBack);
    } catch (...) {
        // Bytes may have gone out: the attempt is journalled all the same.
        entry.result = m_nResult != 0 ? m_nResult : -1;
        CWriteJournal::Append(entry);
        throw;
    }
    entry.readback = m_bIncomplete ? FormatC("записано %d из %d", m_nPairsWritten, m_nCount) : m_sReadBack;
    entry.result = m_nResult;
    if (!CWriteJournal::Append(entry) && m_nResult == 0)
        m_nResult = RC_JOURNAL_FAILED;   // written, but the audit trail has a hole
}

void CGiGeArray::SendPairs(bool readBack)
{
    const uint32_t number = m_dwNumber;
    m_nResult = static_cast<int>(BeginPairWrite(m_pConnection, number));
    if (m_nResult != 0) {
        if (m_nResult == 240)
            ReportWarning("Выключен внутренний переключатель! " + MeterText());
        else
            ReportError("Градуировочные пары не записаны из-за отсутствия связи со счетчиком № " +
                        std::to_string(number));
        return;
    }
    m_nResult = static_cast<int>(WritePairCount(m_pConnection, number, std::to_string(m_nCount)));
    const bool countRefused = m_nResult == 240;
    if (countRefused) {
        ReportWarning("Нет команды 6 - запись количества градуировочных пар,\n"
                      "что может означать: это старая версия ПО ВЯ-7;\n"
                      "или выключен внутренний переключатель.\n"
                      "Предполагаем первое и записываем сами градуировочные пары.\n " +
                      MeterText());
    } else if (m_nResult != 0) {
        // The count may have been taken with its answer lost.
        m_bIncomplete = true;
        ReportError("Ошибка связи! " + MeterText() + "\n" + IncompleteText());
        return;
    }
    for (int i = 0; i < m_nCount; ++i) {
        m_nResult = static_cast<int>(WritePair(m_pConnection, number, static_cast<uint8_t>(i),
                                               ExactFloatText(m_pPairs[i].Gi), ExactFloatText(m_pPairs[i].Ge)));
        if (m_nResult != 0) {
            AlarmBeep();
            m_bIncomplete = true;
            if (m_nResult == 240)
                ReportError("Ошибка записи. Выключен внутренний переключатель! " + MeterText() + "\n" +
                            IncompleteText());
            else
                ReportError("Ошибка связи! " + MeterText() + "\n" + IncompleteText());
            return;
        }
        m_nPairsWritten = i + 1;
    }
    m_nResult = 0;
    m_bPairsSent = true;
    // Checked before a converter's restart copies them on.
    if (readBack && !CheckReadBack(countRefused))
        return;
    if (!m_bRestartConverter || (m_Info.m_sType != "DZW3" && m_Info.m_sType != "DZW4"))
        return;

    const unsigned restart = Restart(m_pConnection, number);
    m_nResult = static_cast<int>(restart);
    if (restart == 239) {
        ReportError(FormatC("Градуировочные пары в прибор %lu не записаны.", static_cast<unsigned long>(number)));
        return;
    }
    if (IsRestartRefusal(restart)) {
        AlarmBeep();
        ReportError(FormatC("Не удалось автоматически перезагрузить прибор %lu\n"
                            "Вам нужно выключить питание прибора вручную и\n"
                            "через 3 с снова его включить - это необходимо\n"
                            "для копирования данных из EEPROM во Flash Data.",
                            static_cast<unsigned long>(number)));
        return;
    }
    ReportInfo("Сейчас произойдет перезагрузка ДЗВ-3 и будет выполнено\n"
               "автоматическое копирование данных из EEPROM во Flash Data.\n"
               "Подождите несколько секунд.");
    std::this_thread::sleep_for(std::chrono::milliseconds(m_nRestartWaitMs));
}
