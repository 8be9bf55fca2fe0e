// Identification of the default rig through the workstation's protocol layer.
#include "SimFixture.h"

#include "common/Cp1251.h"
#include "common/NumberText.h"

#include <cstdio>
#include <map>

namespace {
struct Expected {
    const char* model;
    bool clock;
    bool idText;
};

// Feature word as the workstation derives it from the full version and type.
uint32_t ExpectedFeatures(const SimMeterConfig& c, float fullVersion)
{
    if (c.type == "VQ7I")
        return 0;
    if (c.type.rfind("ZU", 0) == 0)
        return c.features;
    if (fullVersion > 2.3305f)
        return c.features;
    return fullVersion > 2.2999f ? 0x005D7DFFu : 0;
}
// A UTF-8 text padded to a width in characters.
std::string Pad(const std::string& text, size_t width)
{
    size_t chars = 0;
    for (unsigned char ch : text)
        chars += (ch & 0xC0) != 0x80;
    return text + std::string(chars < width ? width - chars : 0, ' ');
}
}  // namespace

TEST_F(SimBusTest, IdentifiesEveryMeterOfTheDefaultRig)
{
    const std::map<uint32_t, Expected> expected = {
        {11000001, {"ВЯ-7П", true, true}},
        {11000002, {"ВЯ-7М-1-7", true, true}},
        {11000003, {"ВЯ-7-4", true, false}},   // short version below 3.0: no id text
        {11000004, {"ФЖ-7", true, true}},
        {11000005, {"не опознано", false, true}},
        {11000006, {"ФЖ-7-Т-И", false, true}},
        {11000007, {"ФЖ-7-Т-И", false, true}},
        {11000008, {"ЗЮ-А-3 (мод. 1)", true, true}},
        {11000009, {"ZU-Р-Т-И (ЮВЛ2)", true, true}},
        {11000010, {"ZU-P (мод. ЗЮ-Р-Т ЮВЛ1)", true, true}},
    };
    std::printf("%-9s %-6s %-7s %-9s %-8s %-5s %-26s %-10s %-10s %-10s %-10s %s\n", "number", "type", "short",
                "full", "fullnum", "par0", "model", "id text", "word A", "word B", "features", "clock");
    for (uint32_t number : rig->Numbers()) {
        SCOPED_TRACE(number);
        const SimMeterConfig c = M(number).Config();
        VQ7_INFO info;
        ASSERT_EQ(GetDeviceInfo(&conn, number, info), 0u);
        const Expected& e = expected.at(number);
        EXPECT_EQ(info.m_sModel, e.model);
        EXPECT_EQ(info.m_sType, c.type);
        EXPECT_EQ(info.m_sVersion, c.version);
        EXPECT_EQ(info.m_sFullVersion, c.fullVersion);
        EXPECT_EQ(info.m_nParam0, c.model);
        EXPECT_EQ(info.m_bIdFlag, c.idFlag);
        EXPECT_EQ(info.m_dwDevWordA, c.devWordA);
        EXPECT_EQ(info.m_dwDevWordB, c.devWordB);
        EXPECT_EQ(info.m_dwFeatures, ExpectedFeatures(c, info.m_fFullVersion));
        EXPECT_EQ(Cp1251ToUtf8(info.m_sIdText), e.idText ? c.idText : std::string());
        EXPECT_EQ(info.m_sDateTime.empty(), !e.clock);
        if (e.clock) {
            EXPECT_NE(info.m_sDateTime, "1980-01-01 00:00:00");
        }
        std::printf("%-9u %-6s %-7s %-9s %-8.4f %-5d %s %s 0x%08X 0x%08X 0x%08X %s\n", number,
                    ("\"" + info.m_sType + "\"").c_str(), ("\"" + info.m_sVersion + "\"").c_str(),
                    info.m_sFullVersion.c_str(), info.m_fFullVersion, info.m_nParam0, Pad(info.m_sModel, 26).c_str(),
                    Pad(Cp1251ToUtf8(info.m_sIdText), 10).c_str(), info.m_dwDevWordA, info.m_dwDevWordB,
                    info.m_dwFeatures, info.m_sDateTime.empty() ? "-" : info.m_sDateTime.c_str());
    }
}

TEST_F(SimBusTest, QuirkOfCurrentValue8FollowsTheFullVersion)
{
    rig->SetFlow(7.25);
    for (uint32_t number : {11000005u, 11000006u, 11000007u, 11000004u}) {
        SCOPED_TRACE(number);
        VQ7_INFO info;
        ASSERT_EQ(GetDeviceInfo(&conn, number, info), 0u);
        std::string withFix, raw;
        ASSERT_EQ(ReadCurrent(&conn, number, 8, withFix, &info), 0u);
        ASSERT_EQ(ReadCurrent(&conn, number, 8, raw, nullptr), 0u);
        const double expected = M(number).RawIndicated(7.25);
        EXPECT_NEAR(std::stod(withFix), expected, 1e-4 * expected);
        // Only the old converters send the value byte-reversed.
        EXPECT_EQ(raw == withFix, !M(number).SwapsCurrentGi());
    }
    EXPECT_TRUE(M(11000005).SwapsCurrentGi());    // DZW3 03.07.02
    EXPECT_FALSE(M(11000006).SwapsCurrentGi());   // DZW4 03.07.03
}
