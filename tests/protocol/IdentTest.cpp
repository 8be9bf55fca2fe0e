// Identification: versions, device words, feature word, model text, clock.
#include "ProtocolFixture.h"

#include "common/Cp1251.h"

#include <algorithm>

namespace {

struct FakeMeter {
    std::string version = "3.00 ";
    uint8_t flag = 0x5A;
    std::string type = "VQ7I";
    std::string idText = Utf8ToCp1251(" \tВЯ-7 №1 ");   // 10 bytes
    uint32_t features = 0x11223344;
    std::string fullVersion = "03.01.05";
    Bytes devWords{0xA1, 0xA2, 0xA3, 0xA4, 0xB1, 0xB2, 0xB3, 0xB4, 0xC1, 0xC2};   // d[25..34]
    uint8_t param0 = 0;
    Bytes clock{0x01, 0x15, 0x06, 0x24, 0x02, 0x10, 0x20, 0x30};
    bool refuseIdent = false;
    uint8_t paramError = 0;

    ScriptedReply operator()(const Bytes& request) const
    {
        const uint8_t cmd = request[4];
        switch (cmd) {
        case 0x09: {
            Bytes d(25, ' ');
            std::copy(version.begin(), version.end(), d.begin());
            d[5] = flag;
            std::copy(type.begin(), type.end(), d.begin() + 6);
            std::copy(idText.begin(), idText.end(), d.begin() + 10);
            PutLeU32(d.data() + 20, features);
            return {MeterAnswer(kMeter, cmd, d)};
        }
        case 0x7C: {
            if (refuseIdent || request[5] != 1)
                return {MeterAnswer(kMeter, VQ7_ERR_BAD_COMMAND, {}, 72)};
            Bytes d(65, 0xEE);
            std::copy(fullVersion.begin(), fullVersion.end(), d.begin() + 17);
            std::copy(devWords.begin(), devWords.end(), d.begin() + 25);
            return {MeterAnswer(kMeter, cmd, d, 72)};
        }
        case 0x0E:
            if (paramError)
                return {MeterAnswer(kMeter, paramError)};
            return {MeterAnswer(kMeter, cmd, {param0})};
        case 0x2C:
            return {MeterAnswer(kMeter, cmd, clock)};
        default:
            return {MeterAnswer(kMeter, VQ7_ERR_BAD_COMMAND)};
        }
    }
};

class IdentTest : public QuickProtocolTest {
protected:
    VQ7_INFO Identify(const FakeMeter& meter, unsigned expected = RC_OK)
    {
        bus->ClearRecord();
        bus->SetResponder(meter);
        VQ7_INFO info;
        EXPECT_EQ(GetDeviceInfo(&conn, kMeter, info), expected);
        return info;
    }
    std::string Model(const std::string& type, uint8_t param0 = 0, const std::string& version = "3.00 ")
    {
        FakeMeter meter;
        meter.type = type;
        meter.param0 = param0;
        meter.version = version;
        return Identify(meter).m_sModel;
    }
    bool ClockRead() const
    {
        const auto w = bus->Written();
        return std::any_of(w.begin(), w.end(), [](const Bytes& f) { return f[4] == 0x2C; });
    }
};

}  // namespace

TEST(ModelNames, BothTables)
{
    EXPECT_EQ(LookupModelName("VQ  ", 0), "ВЯ-7-1");
    EXPECT_EQ(LookupModelName("VQ  ", 5), "ВЯ-7-6");
    EXPECT_EQ(LookupModelName("VQ  ", 6), "");
    EXPECT_EQ(LookupModelName("VQ  ", 63), "");
    EXPECT_EQ(LookupModelName("VQ  ", 64), "ВЯ-7М-1-1");
    EXPECT_EQ(LookupModelName("VQ  ", 70), "ВЯ-7М-1-7");
    EXPECT_EQ(LookupModelName("VQ  ", 72), "ВЯ-7М-2-1");
    EXPECT_EQ(LookupModelName("VQ  ", 95), "ВЯ-7М-4-8");
    EXPECT_EQ(LookupModelName("VQ  ", 96), "");
    EXPECT_EQ(LookupModelName("VQ  ", 128), "");
    EXPECT_EQ(LookupModelName("VQ  ", 129), "ДЗВ-7-2");
    EXPECT_EQ(LookupModelName("DZW3", 133), "ДЗВ-7-6");
    EXPECT_EQ(LookupModelName("VQ  ", 134), "");
    EXPECT_EQ(LookupModelName("ZUA1", 0), "ЗЮ-А-1");
    EXPECT_EQ(LookupModelName("ZUA1", 4), "ЗЮ-А-5");
    EXPECT_EQ(LookupModelName("ZUA1", 5), "");
    EXPECT_EQ(LookupModelName("ZUA2", 4), "ВЯ-7-5");   // only "ZUA1" has its own table
    int rows = 0;
    for (int code = -1; code < 300; ++code)
        rows += !LookupModelName("VQ  ", code).empty();
    EXPECT_EQ(rows, 43);
}

TEST(MeterDateTime, Limits)
{
    std::string text;
    EXPECT_TRUE(FormatMeterDateTime(31, 12, 35, 23, 59, 59, text));
    EXPECT_EQ(text, "2035-12-31 23:59:59");
    EXPECT_FALSE(FormatMeterDateTime(31, 12, 36, 23, 59, 59, text));
    EXPECT_EQ(text, "1980-01-01 00:00:00");
    EXPECT_TRUE(FormatMeterDateTime(1, 1, 70, 24, 0, 0, text));
    EXPECT_EQ(text, "1970-01-01 24:00:00");
    EXPECT_TRUE(FormatMeterDateTime(15, 6, 99, 0, 0, 0, text));
    EXPECT_EQ(text, "1999-06-15 00:00:00");
    EXPECT_FALSE(FormatMeterDateTime(1, 1, 24, 25, 0, 0, text));
    EXPECT_FALSE(FormatMeterDateTime(0, 1, 24, 0, 0, 0, text));
    EXPECT_FALSE(FormatMeterDateTime(1, 13, 24, 0, 0, 0, text));
    EXPECT_FALSE(FormatMeterDateTime(1, 1, 24, 0, 60, 0, text));
    EXPECT_FALSE(FormatMeterDateTime(0, 0, 0, 0, 0, 0, text));   // BCD garbage arrives as 0
    EXPECT_EQ(text, "1980-01-01 00:00:00");
}

TEST_F(IdentTest, FullIdentification)
{
    FakeMeter meter;
    meter.type = "VQ  ";
    meter.param0 = 70;
    const VQ7_INFO info = Identify(meter);
    EXPECT_EQ(info.m_sVersion, "3.00 ");
    EXPECT_FLOAT_EQ(info.m_fVersion, 3.0f);
    EXPECT_EQ(info.m_bIdFlag, 0x5A);
    EXPECT_EQ(info.m_sType, "VQ  ");
    EXPECT_EQ(info.m_sIdText, Utf8ToCp1251("ВЯ-7 №1"));   // bytes as received, trimmed
    EXPECT_EQ(info.m_sFullVersion, "03.01.05");
    EXPECT_FLOAT_EQ(info.m_fFullVersion, 3.0105f);
    EXPECT_EQ(info.m_dwFeatures, 0x11223344u);
    EXPECT_EQ(info.m_dwDevWordA, 0xA1A2A3A4u);
    EXPECT_EQ(info.m_dwDevWordB, 0xB1B2u);
    EXPECT_EQ(info.m_nParam0, 70);
    EXPECT_EQ(info.m_sModel, "ВЯ-7М-1-7");
    EXPECT_EQ(info.m_sDateTime, "2024-06-15 10:20:30");
    const auto w = bus->Written();
    ASSERT_GE(w.size(), 5u);
    EXPECT_EQ(RequestData(2), (Bytes{1, 0, 0, 0, 0, 0, 0, 0, 0}));   // 0x7C with argument 1
    EXPECT_EQ(RequestCmd(2), 0x7C);
}

TEST_F(IdentTest, ModelTexts)
{
    EXPECT_EQ(Model("VQ  ", 6), "");
    EXPECT_EQ(Model("VQ7I", 0, "4.01 "), "ВЯ-7П");
    EXPECT_EQ(Model("VQ7I", 0, "4.00 "), "ВЯ-7-6И");
    EXPECT_EQ(Model("VQ7I", 0, " 4.01"), "ВЯ-7П");   // leading blanks are skipped
    EXPECT_EQ(Model("FJ  "), "ФЖ-7");
    EXPECT_EQ(Model("DZW4"), "ФЖ-7-Т-И");
    EXPECT_EQ(Model("DZW3"), "не опознано");
    EXPECT_EQ(Model("ZUT "), "ZU-T");
    EXPECT_EQ(Model("ZUR1"), "ZU-P (мод. ЗЮ-Р-Т ЮВЛ1)");
    EXPECT_EQ(Model("ZUR "), "ZU-P");
    EXPECT_EQ(Model("ZUM2"), "ZU-P-П (ЮВЛ2)");
    EXPECT_EQ(Model("ZUM "), "ZU-P-П");
    EXPECT_EQ(Model("ZUI3"), "ZU-Р-Т-И (ЮВЛ2)");
    EXPECT_EQ(Model("ZUI1"), "ZU-Р-Т-И (ЮВЛ1)");
    EXPECT_EQ(Model("ZUI2"), "ZU-Р-Т-И (ЮВЛ1)");
    EXPECT_EQ(Model("ZUI "), "ZU-Р-Т-И ( ЮВЛ2)");
    EXPECT_EQ(Model("ZUA1", 2), "ЗЮ-А-3 (мод. 1)");
    EXPECT_EQ(Model("ZUA ", 2), "ВЯ-7-3");
    EXPECT_EQ(Model("QQQQ"), "не опознано");
}

TEST_F(IdentTest, FeatureWordByVersionAndType)
{
    FakeMeter meter;
    meter.type = "DZW3";
    meter.fullVersion = "02.33.05";
    EXPECT_EQ(Identify(meter).m_dwFeatures, 0x005D7DFFu);
    meter.fullVersion = "02.30.00";
    EXPECT_EQ(Identify(meter).m_dwFeatures, 0x005D7DFFu);
    meter.fullVersion = "02.33.06";
    EXPECT_EQ(Identify(meter).m_dwFeatures, 0x11223344u);
    meter.fullVersion = "02.29.99";
    EXPECT_EQ(Identify(meter).m_dwFeatures, 0u);

    meter.type = "VQ7I";
    meter.fullVersion = "02.33.06";
    EXPECT_EQ(Identify(meter).m_dwFeatures, 0u);
    meter.type = "ZUI1";
    meter.fullVersion = "02.29.99";
    EXPECT_EQ(Identify(meter).m_dwFeatures, 0x11223344u);
    meter.type = "ZUT ";
    EXPECT_EQ(Identify(meter).m_dwFeatures, 0u);
}

TEST_F(IdentTest, DeviceWordsByType)
{
    FakeMeter meter;
    meter.fullVersion = "02.29.99";
    for (const char* type : {"ZUI3", "ZUR2", "ZUT "}) {
        meter.type = type;
        const VQ7_INFO info = Identify(meter);
        EXPECT_EQ(info.m_dwDevWordA, 0xB2B1A4A3u) << type;   // d[27..30] LE
        EXPECT_EQ(info.m_dwDevWordB, 0xC2C1B4B3u) << type;   // d[31..34] LE
    }
    EXPECT_EQ(Identify(meter).m_dwFeatures, 0u);   // "ZUT " by version
    meter.type = "ZUI3";
    EXPECT_EQ(Identify(meter).m_dwFeatures, 0x11223344u);

    meter.type = "ZUA2";
    VQ7_INFO info = Identify(meter);
    EXPECT_EQ(info.m_dwDevWordA, 0xA4A3A2A1u);   // d[25..28] LE
    EXPECT_EQ(info.m_dwDevWordB, 0xB4B3B2B1u);   // d[29..32] LE
    EXPECT_EQ(info.m_dwFeatures, 0x11223344u);

    for (const char* type : {"ZUR1", "ZUM1", "ZUI2", "VQ7I", "FJ  "}) {
        meter.type = type;
        info = Identify(meter);
        EXPECT_EQ(info.m_dwDevWordA, 0xA1A2A3A4u) << type;   // d[25..28] BE
        EXPECT_EQ(info.m_dwDevWordB, 0xB1B2u) << type;       // d[29..30] BE
    }
}

TEST_F(IdentTest, RefusedLongIdentificationFallsBack)
{
    FakeMeter meter;
    meter.refuseIdent = true;
    meter.version = "3.10 ";
    meter.type = "FJ  ";
    const VQ7_INFO info = Identify(meter);
    EXPECT_EQ(info.m_sFullVersion, "3.10 ");
    EXPECT_FLOAT_EQ(info.m_fFullVersion, 3.1f);
    EXPECT_EQ(info.m_fFullVersion, info.m_fVersion);
    EXPECT_EQ(info.m_sIdText, "");
    EXPECT_EQ(info.m_sModel, "ФЖ-7");
    EXPECT_EQ(info.m_sDateTime, "2024-06-15 10:20:30");

    VQ7_INFO direct;
    bus->SetResponder(meter);
    EXPECT_EQ(ReadIdent(&conn, kMeter, direct), 240u);
    EXPECT_EQ(direct.m_sType, "FJ  ");   // the short block is kept
}

TEST_F(IdentTest, IdentificationTextNeedsVersionThree)
{
    FakeMeter meter;
    meter.version = "2.99 ";
    EXPECT_EQ(Identify(meter).m_sIdText, "");
    meter.version = "3.00 ";
    EXPECT_EQ(Identify(meter).m_sIdText, Utf8ToCp1251("ВЯ-7 №1"));
}

TEST_F(IdentTest, VersionTextsThatAreNoNumbers)
{
    FakeMeter meter;
    meter.version = "V3.x ";
    meter.fullVersion = "xx.yy.zz";
    const VQ7_INFO info = Identify(meter);
    EXPECT_EQ(info.m_fVersion, 0.0f);
    EXPECT_EQ(info.m_fFullVersion, 0.0f);
    EXPECT_EQ(info.m_sIdText, "");   // leading number 0 is below 3.0
}

TEST_F(IdentTest, ClockOnlyWhereTheMeterHasOne)
{
    FakeMeter meter;
    for (const char* type : {"DZW3", "DZW4", "ZUI1", "ZUI2"}) {
        meter.type = type;
        bus->ClearRecord();
        bus->SetResponder(meter);
        VQ7_INFO info;
        info.m_sDateTime = "old";
        EXPECT_EQ(GetDeviceInfo(&conn, kMeter, info), RC_OK);
        EXPECT_EQ(info.m_sDateTime, "") << type;
        EXPECT_FALSE(ClockRead()) << type;
    }
    meter.type = "ZUI3";
    Identify(meter);
    EXPECT_TRUE(ClockRead());

    meter.clock = {0, 0x31, 0x12, 0x36, 0, 0x23, 0x59, 0x59};
    EXPECT_EQ(Identify(meter).m_sDateTime, "1980-01-01 00:00:00");
}

TEST_F(IdentTest, ResultIsTheLastCommandThatRan)
{
    FakeMeter meter;
    meter.paramError = VQ7_ERR_EEPROM_READ;
    Identify(meter, 254);
    EXPECT_FALSE(ClockRead());

    bus->ClearRecord();
    bus->SetResponder([](const Bytes&) { return ScriptedReply{}; });
    VQ7_INFO info;
    info.m_sModel = "old";
    EXPECT_EQ(GetDeviceInfo(&conn, kMeter, info), unsigned(RC_TIMEOUT));
    EXPECT_EQ(info.m_sModel, "old");
    EXPECT_EQ(bus->WriteCount(), 5u);   // ReadVersion only
}

TEST_F(IdentTest, ByteOrderFixFollowsTheIdentifiedVersion)
{
    Bytes swapped = FloatBytes(12.5f);
    std::reverse(swapped.begin(), swapped.end());
    FakeMeter meter;
    meter.type = "DZW3";
    for (const auto& [version, fixed] : {std::pair{"03.07.02", true}, std::pair{"03.07.03", false}}) {
        meter.fullVersion = version;
        const VQ7_INFO info = Identify(meter);
        bus->SetResponder([&](const Bytes&) { return ScriptedReply{MeterAnswer(kMeter, 0x2C, swapped)}; });
        std::string text;
        ASSERT_EQ(ReadCurrent(&conn, kMeter, 8, text, &info), RC_OK);
        EXPECT_EQ(text == "12.5", fixed) << version;
    }
}
