#include "calibration/CGiGeArray.h"

#include "calibration/ConnectionUse.h"
#include "common/CommonUtils.h"
#include "common/NumberText.h"

#include <algorithm>
#include <stdexcept>
#include <utility>

namespace {
const char* const kOutOfRange = "Вне диапазона GiGeArray";
}

CGiGeArray::CGiGeArray() = default;

CGiGeArray::CGiGeArray(const VQ7_INFO& info, uint32_t number) : m_Info(info), m_dwNumber(number) {}

CGiGeArray::CGiGeArray(const CGiGeArray& other)
{
    std::lock_guard<std::recursive_mutex> lock(other.m_csLock);
    CopyFrom(other);
}

void CGiGeArray::CopyFrom(const CGiGeArray& other)
{
    m_Info = other.m_Info;
    m_dwNumber = other.m_dwNumber;
    // The pairs carry the losses of the file they came from.
    m_nDroppedPairs = other.m_nDroppedPairs;
    m_vSkippedLines = other.m_vSkippedLines;
    m_sFileRead = other.m_sFileRead;
    std::unique_ptr<GiGePair[]> pairs;
    if (other.m_nCount > 0) {
        pairs = std::make_unique<GiGePair[]>(static_cast<size_t>(other.m_nCount));
        std::copy(other.m_pPairs.get(), other.m_pPairs.get() + other.m_nCount, pairs.get());
    }
    SetPairs(std::move(pairs), other.m_nCount);
}

CGiGeArray::CGiGeArray(const VQ7_INFO& info, uint32_t number, int firstRow, int count, const CTextColumn& geTexts,
                       const CTextColumn& giTexts)
    : m_Info(info), m_dwNumber(number)
{
    if (count < 1 || firstRow < 0)
        return;
    // A missing line counts like a text that is no number.
    const size_t lastLine = static_cast<size_t>(firstRow) + static_cast<size_t>(count) - 1;
    if (lastLine >= giTexts.size() || lastLine >= geTexts.size())
        return;
    auto pairs = std::make_unique<GiGePair[]>(static_cast<size_t>(count));
    for (int i = 0; i < count; ++i) {
        const size_t line = static_cast<size_t>(firstRow) + static_cast<size_t>(i);
        try {
            pairs[i].Gi = static_cast<float>(StrToFloat(FixDecimalSeparator(giTexts[line])));
            pairs[i].Ge = static_cast<float>(StrToFloat(FixDecimalSeparator(geTexts[line])));
        } catch (const EConvertError&) {
            return;
        }
    }
    SetPairs(std::move(pairs), count);
    SortByGi(true);
}

CGiGeArray::~CGiGeArray() { Clear(); }

void CGiGeArray::SetPairs(std::unique_ptr<GiGePair[]> pairs, int count)
{
    m_pPairs = std::move(pairs);
    m_nCount = m_pPairs ? count : 0;
}

void CGiGeArray::Clear()
{
    std::lock_guard<std::recursive_mutex> lock(m_csLock);
    SetPairs(nullptr, 0);
    ForgetFileLoad();
}

void CGiGeArray::ForgetFileLoad()
{
    m_nDroppedPairs = 0;
    m_vSkippedLines.clear();
    m_sFileRead.clear();
}

void CGiGeArray::AddPair(float gi, float ge)
{
    std::lock_guard<std::recursive_mutex> lock(m_csLock);
    auto pairs = std::make_unique<GiGePair[]>(static_cast<size_t>(m_nCount) + 1);
    std::copy(m_pPairs.get(), m_pPairs.get() + m_nCount, pairs.get());
    pairs[m_nCount] = GiGePair{gi, ge};
    SetPairs(std::move(pairs), m_nCount + 1);
    SortByGi(true);
}

void CGiGeArray::AddPairFromText(const std::string& gi, const std::string& ge)
{
    float fGi, fGe;
    try {
        fGi = static_cast<float>(StrToFloat(FixDecimalSeparator(gi)));
        fGe = static_cast<float>(StrToFloat(FixDecimalSeparator(ge)));
    } catch (const EConvertError&) {
        // Only the new pair is dropped; the pairs already in the table stay.
        ShowAppMessage("Ошибка перобразования String->float");
        return;
    }
    AddPair(fGi, fGe);
}

void CGiGeArray::DeletePair(int index)
{
    std::lock_guard<std::recursive_mutex> lock(m_csLock);
    if (index < 0 || index >= m_nCount)
        return;
    std::unique_ptr<GiGePair[]> pairs;
    if (m_nCount > 1) {
        pairs = std::make_unique<GiGePair[]>(static_cast<size_t>(m_nCount) - 1);
        std::copy(m_pPairs.get(), m_pPairs.get() + index, pairs.get());
        std::copy(m_pPairs.get() + index + 1, m_pPairs.get() + m_nCount, pairs.get() + index);
    }
    SetPairs(std::move(pairs), m_nCount - 1);
    SortByGi(true);
}

GiGePair& CGiGeArray::PairAt(int index)
{
    if (index < 0 || index >= m_nCount)
        throw std::invalid_argument(kOutOfRange);
    return m_pPairs[index];
}

void CGiGeArray::GetPair(int index, float& gi, float& ge) const
{
    if (index < 0 || index >= m_nCount)
        throw std::invalid_argument(kOutOfRange);
    gi = m_pPairs[index].Gi;
    ge = m_pPairs[index].Ge;
}

void CGiGeArray::Assign(const CGiGeArray& other)
{
    if (&other == this) {
        SortByGi(true);
        return;
    }
    std::scoped_lock lock(m_csLock, other.m_csLock);
    CopyFrom(other);
    SortByGi(true);
}

void CGiGeArray::SetInfo(const VQ7_INFO& info, uint32_t number)
{
    std::lock_guard<std::recursive_mutex> lock(m_csLock);
    m_Info = info;
    m_dwNumber = number;
}

void CGiGeArray::SortByGi(bool ascending)
{
    // Bubble sort on Gi; equal Gi never swap, so the order of equal pairs stays.
    std::lock_guard<std::recursive_mutex> lock(m_csLock);
    for (int j = 0; j < m_nCount; ++j) {
        for (int i = m_nCount - 1; i > j; --i) {
            const float a = m_pPairs[i].Gi;
            const float b = m_pPairs[i - 1].Gi;
            const bool swap = ascending ? !(a >= b) : a > b;
            if (swap)
                std::swap(m_pPairs[i], m_pPairs[i - 1]);
        }
    }
}

std::string CGiGeArray::PairValueText(float value)
{
    return FixDecimalSeparator(FormatC("%.6e", static_cast<double>(value)));
}

void CGiGeArray::FillStrings(int firstRow, CTextColumn& geTexts, CTextColumn& giTexts)
{
    std::lock_guard<std::recursive_mutex> lock(m_csLock);
    if (firstRow < 0 || m_nCount == 0)
        return;
    const size_t needed = static_cast<size_t>(firstRow) + static_cast<size_t>(m_nCount);
    if (geTexts.size() < needed)
        geTexts.resize(needed);
    if (giTexts.size() < needed)
        giTexts.resize(needed);
    for (int i = 0; i < m_nCount; ++i) {
        const size_t line = static_cast<size_t>(firstRow + i);
        giTexts[line] = PairValueText(m_pPairs[i].Gi);
        geTexts[line] = PairValueText(m_pPairs[i].Ge);
    }
}

void CGiGeArray::FillListItems(CListItems& items)
{
    std::lock_guard<std::recursive_mutex> lock(m_csLock);
    for (int i = 0; i < m_nCount; ++i)
        items.push_back(CListItem{std::to_string(i + 1),
                                  {PairValueText(m_pPairs[i].Ge), PairValueText(m_pPairs[i].Gi)}});
}

int CGiGeArray::RunOperations(int mask)
{
    std::lock_guard<std::recursive_mutex> lock(m_csLock);
    m_nResult = 0;
    try {
        if (mask & GIGE_OP_READ_METER) {
            CConnectionUse use(m_pConnection);
            ReadMeterBody();
        }
        if (mask & GIGE_OP_SAVE_FILE)
            SaveFileBody();
        bool loadFailed = false;
        if (mask & GIGE_OP_LOAD_FILE) {
            LoadFileBody(!(mask & GIGE_OP_WRITE_METER));
            loadFailed = m_nResult != 0;
        }
        // A characteristic that did not load whole never reaches a meter.
        if ((mask & GIGE_OP_WRITE_METER) && !loadFailed) {
            CConnectionUse use(m_pConnection);
            WriteMeterBody();
        }
    } catch (...) {
        // An operation cut short never counts as done.
        if (m_nResult == 0)
            m_nResult = -1;
        ReportError("Ошибка исполнения GiGeArray Cmd:" + std::to_string(mask));
    }
    return m_nResult;
}

int CGiGeArray::Report(MsgIcon icon, const std::string& text)
{
    m_sMessage = text;
    Operator().RunOnGuiThread([this, icon] {
        if (m_sMessage.empty())
            m_nDlgResult = 1;
        else
            m_nDlgResult = Operator().MessageDialog(icon, m_sMessage);
    });
    return m_nDlgResult;
}

int CGiGeArray::ReportError(const std::string& text) { return Report(MsgIcon::Error, text); }
int CGiGeArray::ReportWarning(const std::string& text) { return Report(MsgIcon::Warning, text); }
int CGiGeArray::ReportInfo(const std::string& text) { return Report(MsgIcon::Information, text); }

std::string CGiGeArray::MeterText() const { return "Счетчик № " + std::to_string(m_dwNumber); }
