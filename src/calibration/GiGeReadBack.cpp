// The pairs a meter holds, read before and after a write for the journal and
// the bit-for-bit check.
#include "calibration/CGiGeArray.h"

#include "common/CommonUtils.h"
#include "common/NumberText.h"
#include "common/WriteJournal.h"

#include <cstring>

namespace {
bool SameBits(float a, float b) { return std::memcmp(&a, &b, sizeof a) == 0; }

std::string ExactText(float gi, float ge)
{
    return FormatC("Gi %.9g, Ge %.9g", static_cast<double>(gi), static_cast<double>(ge));
}
}

std::vector<std::pair<float, float>> CGiGeArray::Values() const
{
    std::lock_guard<std::recursive_mutex> lock(m_csLock);
    std::vector<std::pair<float, float>> values;
    for (int i = 0; i < m_nCount; ++i)
        values.emplace_back(m_pPairs[i].Gi, m_pPairs[i].Ge);
    return values;
}

unsigned CGiGeArray::ReadMeterValues(int count, std::vector<std::pair<float, float>>& values)
{
    values.clear();
    if (count < 0) {
        std::string countText;
        if (const unsigned rc = ReadPairCount(m_pConnection, m_dwNumber, countText))
            return rc;
        const long long n = StrToIntDef(countText, 0);
        count = n > 0 && n < 255 ? static_cast<int>(n) : 0;
    }
    for (int i = 0; i < count; ++i) {
        float gi = 0, ge = 0;
        if (const unsigned rc = ReadPairValues(m_pConnection, m_dwNumber, static_cast<uint8_t>(i), gi, ge))
            return rc;
        values.emplace_back(gi, ge);
    }
    return 0;
}

std::string CGiGeArray::MeterValuesText()
{
    std::vector<std::pair<float, float>> values;
    if (const unsigned rc = ReadMeterValues(-1, values))
        return "не прочитано: " + std::to_string(rc);
    return JournalPairsText(values);
}

bool CGiGeArray::CheckReadBack(bool countRefused)
{
    std::vector<std::pair<float, float>> read;
    // A meter without the count command keeps its own count: only the pairs written are compared.
    if (const unsigned rc = ReadMeterValues(countRefused ? m_nCount : -1, read)) {
        m_nResult = static_cast<int>(rc);
        m_sReadBack = "не прочитано: " + std::to_string(rc);
        AlarmBeep();
        ReportError("Ошибка связи! " + MeterText() + "\nЗаписанные градуировочные пары не прочитаны для проверки.");
        return false;
    }
    if (static_cast<int>(read.size()) != m_nCount) {
        m_nResult = RC_READBACK_MISMATCH;
        m_sReadBack = FormatC("не совпадает: %zu пар вместо %d", read.size(), m_nCount);
        AlarmBeep();
        ReportError(MeterText() + FormatC(": после записи прочитано %zu градуировочных пар, записано %d.",
                                          read.size(), m_nCount));
        return false;
    }
    for (int i = 0; i < m_nCount; ++i) {
        const GiGePair& p = m_pPairs[i];
        const auto& [gi, ge] = read[static_cast<size_t>(i)];
        if (SameBits(gi, p.Gi) && SameBits(ge, p.Ge))
            continue;
        m_nResult = RC_READBACK_MISMATCH;
        m_sReadBack = FormatC("не совпадает: пара %d", i + 1);
        AlarmBeep();
        ReportError(MeterText() + FormatC(": градуировочная пара %d после записи прочитана как ", i + 1) +
                    ExactText(gi, ge) + ", записана " + ExactText(p.Gi, p.Ge) + ".");
        return false;
    }
    m_sReadBack = "совпадает";
    // Such a meter goes on holding its own number of pairs: those past the ones
    // written are left from the former characteristic.
    std::string heldText;
    if (countRefused && ReadPairCount(m_pConnection, m_dwNumber, heldText) == 0) {
        const long long held = StrToIntDef(heldText, 0);
        if (held > m_nCount && held < 255) {
            m_sReadBack += FormatC(", пары %d-%lld прежние", m_nCount + 1, held);
            ReportWarning(MeterText() + FormatC(": счетчик хранит %lld градуировочных пар, записано %d; пары "
                                                "%d-%lld остались от прежней характеристики.",
                                                held, m_nCount, m_nCount + 1, held));
        }
    }
    return true;
}
