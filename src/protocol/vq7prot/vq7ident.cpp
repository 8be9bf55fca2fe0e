// Identification of a meter: versions, type, device words, model and clock.
#include "protocol/vq7prot/vq7exec.h"

#include "common/CommonUtils.h"
#include "common/Cp1251.h"
#include "common/NumberText.h"

#include <cstring>

using namespace vq7;

namespace {

constexpr unsigned kAttempts = 5;
constexpr uint8_t kLongIdentArgument = 1;
constexpr uint32_t kEarlyFeatures = 0x005D7DFF;

std::string Bytes(const uint8_t* p, size_t n) { return std::string(reinterpret_cast<const char*>(p), n); }

bool Contains(const std::string& text, const char* part) { return text.find(part) != std::string::npos; }

uint32_t FeaturesByVersion(float fullVersion, uint32_t blockFeatures)
{
    if (fullVersion > 2.3305f)
        return blockFeatures;
    if (fullVersion > 2.2999f)
        return kEarlyFeatures;
    return 0;
}

// Device words and feature word of the long block's data d, by device type.
void SetDeviceWords(VQ7_INFO& info, const uint8_t* d, uint32_t blockFeatures)
{
    const std::string& type = info.m_sType;
    const uint32_t byVersion = FeaturesByVersion(info.m_fFullVersion, blockFeatures);
    if (type == "ZUI3" || type == "ZUR2" || type == "ZUT ") {
        info.m_dwDevWordA = LeU32(d + 27);
        info.m_dwDevWordB = LeU32(d + 31);
        info.m_dwFeatures = type == "ZUT " ? byVersion : blockFeatures;
    } else if (type.rfind("ZUA", 0) == 0) {
        info.m_dwDevWordA = LeU32(d + 25);
        info.m_dwDevWordB = LeU32(d + 29);
        info.m_dwFeatures = blockFeatures;
    } else {
        info.m_dwDevWordA = BeU32(d + 25);
        info.m_dwDevWordB = BeU16(d + 29);
        if (type == "ZUR1" || type == "ZUM1" || type == "ZUI1" || type == "ZUI2")
            info.m_dwFeatures = blockFeatures;
        else if (type == "VQ7I")
            info.m_dwFeatures = 0;
        else
            info.m_dwFeatures = byVersion;
    }
}

std::string ModelText(const VQ7_INFO& info, float shortVersion)
{
    const std::string& type = info.m_sType;
    const char c = type.size() >= 4 ? type[3] : ' ';
    const std::string cText = Cp1251ToUtf8(std::string(1, c));
    if (type == "VQ  ")
        return LookupModelName(type, info.m_nParam0);
    if (type == "VQ7I")
        return static_cast<double>(shortVersion) > 4.01 ? "ВЯ-7П" : "ВЯ-7-6И";
    if (type == "FJ  ")
        return "ФЖ-7";
    if (type == "DZW4")
        return "ФЖ-7-Т-И";
    if (Contains(type, "ZUT"))
        return "ZU-T";
    if (Contains(type, "ZUR"))
        return c == ' ' ? "ZU-P" : "ZU-P (мод. ЗЮ-Р-Т ЮВЛ" + cText + ")";
    if (Contains(type, "ZUM"))
        return c == ' ' ? "ZU-P-П" : "ZU-P-П (ЮВЛ" + cText + ")";
    if (Contains(type, "ZUI")) {
        if (c == ' ')
            return "ZU-Р-Т-И ( ЮВЛ2)";
        return std::string("ZU-Р-Т-И (ЮВЛ") + (c == '1' || c == '2' ? "1" : "2") + ")";
    }
    if (Contains(type, "ZUA")) {
        const std::string name = LookupModelName(type, info.m_nParam0);
        return c == ' ' ? name : name + " (мод. " + cText + ")";
    }
    return "не опознано";
}

bool HasNoClock(const std::string& type)
{
    return type == "DZW3" || type == "DZW4" || type == "ZUI1" || type == "ZUI2";
}

}  // namespace

unsigned ReadIdent(connection* conn, uint32_t number, VQ7_INFO& info)
{
    uint32_t blockFeatures = 0;
    VQ7_SHORT_ANSWER shortAnswer{};
    if (ExecShort(conn, number, VQ7_CMD_READ_VERSION, nullptr, 0, shortAnswer, kAttempts) == RC_OK) {
        const uint8_t* d = shortAnswer.m_abData;
        info.m_sVersion = Bytes(d, 5);
        info.m_bIdFlag = d[5];
        info.m_sType = Bytes(d + 6, 4);
        info.m_sIdText = TrimBlanksAndControls(Bytes(d + 10, 10));
        info.m_fVersion = VersionNumber(info.m_sVersion);
        blockFeatures = LeU32(d + 20);
    }

    const uint8_t data[1] = {kLongIdentArgument};
    VQ7_LONG_ANSWER longAnswer{};
    const unsigned rc = ExecLong(conn, number, VQ7_CMD_READ_IDENT, data, sizeof data, longAnswer, kAttempts);
    if (rc != RC_OK)
        return rc;
    const uint8_t* d = longAnswer.m_abData;
    info.m_sFullVersion = Bytes(d + 17, 8);
    std::string compact = info.m_sFullVersion;
    compact.erase(5, 1);   // NN.NN.NN -> NN.NNNN
    info.m_fFullVersion = VersionNumber(compact);
    SetDeviceWords(info, d, blockFeatures);
    return RC_OK;
}

unsigned GetDeviceInfo(connection* conn, uint32_t number, VQ7_INFO& info)
{
    unsigned result = ReadVersion(conn, number, info.m_sVersion);
    if (result == RC_OK) {
        const float shortVersion = LeadingNumber(info.m_sVersion);
        info.m_dwDevWordA = 0;
        info.m_dwDevWordB = 0;
        if (ReadIdent(conn, number, info) != RC_OK) {
            info.m_fFullVersion = info.m_fVersion;
            info.m_sFullVersion = info.m_sVersion;
            info.m_sIdText.clear();
        }
        if (shortVersion < 3.0f)
            info.m_sIdText.clear();

        std::string param0;
        result = ReadParam(conn, number, 0, 0, param0);
        if (result == RC_OK)
            info.m_nParam0 = static_cast<int>(StrToIntDef(param0, 0));
        info.m_sModel = ModelText(info, shortVersion);
    }

    if (HasNoClock(info.m_sType)) {
        info.m_sDateTime.clear();
    } else if (result == RC_OK) {
        uint8_t clock[8];
        result = ReadClock(conn, number, clock);
        if (result == RC_OK)
            FormatMeterDateTime(clock[1], clock[2], clock[3], clock[5], clock[6], clock[7], info.m_sDateTime);
    }
    return result;
}

bool FormatMeterDateTime(int day, int month, int year, int hour, int minute, int second, std::string& text)
{
    if (year < 70)
        year += 2000;
    else if (year <= 99)
        year += 1900;
    const bool valid = day >= 1 && day <= 31 && month >= 1 && month <= 12 && year >= 1970 && year <= 2035 &&
                       hour >= 0 && hour <= 24 && minute >= 0 && minute <= 59 && second >= 0 && second <= 59;
    if (!valid) {
        text = "1980-01-01 00:00:00";
        return false;
    }
    text = FormatC("%04d-%02d-%02d %02d:%02d:%02d", year, month, day, hour, minute, second);
    return true;
}
