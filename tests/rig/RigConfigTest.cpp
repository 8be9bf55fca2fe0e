// Register values, the [RIG] section and the settling rule, without a rig.
#include "common/SettingsFile.h"
#include "rig/FlowSettling.h"
#include "rig/RigConfig.h"

#include <gmock/gmock.h>

using ::testing::HasSubstr;

TEST(RegisterCodec, ValuesGoThereAndBackInEitherWordOrder)
{
    struct Case {
        RegisterType type;
        WordOrder order;
        double value, scale;
        uint16_t first, second;
    };
    const Case cases[] = {
        {RegisterType::Int16, WordOrder::HighFirst, -2, 1, 0xFFFE, 0},
        {RegisterType::UInt16, WordOrder::HighFirst, 65535, 1, 0xFFFF, 0},
        {RegisterType::Int32, WordOrder::HighFirst, -70000, 1, 0xFFFE, 0xEE90},
        {RegisterType::UInt32, WordOrder::LowFirst, 0x12345678, 1, 0x5678, 0x1234},
        {RegisterType::UInt32, WordOrder::HighFirst, 12.345678, 0.000001, 0x00BC, 0x614E},
        {RegisterType::Float32, WordOrder::HighFirst, 10.0, 1, 0x4120, 0x0000},
        {RegisterType::Float32, WordOrder::LowFirst, 10.0, 1, 0x0000, 0x4120},
    };
    for (const Case& c : cases) {
        uint16_t regs[2] = {};
        ASSERT_TRUE(EncodeRegisters(c.value, c.type, c.order, c.scale, regs)) << RegisterTypeName(c.type);
        EXPECT_EQ(c.first, regs[0]) << RegisterTypeName(c.type) << " " << c.value;
        if (RegisterCount(c.type) == 2) {
            EXPECT_EQ(c.second, regs[1]) << RegisterTypeName(c.type) << " " << c.value;
        }
        EXPECT_NEAR(c.value, DecodeRegisters(regs, c.type, c.order, c.scale), c.scale / 2) << RegisterTypeName(c.type);
    }
    uint16_t regs[2];
    EXPECT_FALSE(EncodeRegisters(40000, RegisterType::Int16, WordOrder::HighFirst, 1, regs));
    EXPECT_FALSE(EncodeRegisters(-1, RegisterType::UInt32, WordOrder::HighFirst, 1, regs));
    EXPECT_FALSE(EncodeRegisters(1e40, RegisterType::Float32, WordOrder::HighFirst, 1, regs));
    EXPECT_FALSE(EncodeRegisters(NAN, RegisterType::Float32, WordOrder::HighFirst, 1, regs));
}

namespace {
bool Read(const std::string& text, RigConfig& config, std::string& errors)
{
    CSettingsFile ini;
    ini.LoadText(text, "config.ini");
    const bool ok = ReadRigConfig(ini, config);
    for (const std::string& e : ini.Errors())
        errors += e + "\n";
    return ok;
}
}

TEST(RigConfig, ASectionThatCannotWorkNamesItsKey)
{
    RigConfig c;
    std::string errors;
    ASSERT_TRUE(Read("", c, errors)) << errors;
    EXPECT_FALSE(c.modbus);   // manual by default
    ASSERT_TRUE(Read("[RIG]\nreference=manual\nrate_type=nonsense\n", c, errors)) << errors;
    EXPECT_FALSE(c.modbus);   // the rest of a manual section is not looked at

    const struct {
        const char* text;
        const char* key;
    } refused[] = {
        {"reference=modbsu\n", "[RIG] reference=modbsu"},
        {"reference=modbus\ntotal_register=2\ntotal_type=double\n", "[RIG] total_type=double"},
        {"reference=modbus\ntotal_register=65535\ntotal_type=uint32\n", "[RIG] total_register=65535"},
        {"reference=modbus\ntotal_register=70000\n", "[RIG] total_register=70000"},
        {"reference=modbus\nrate_register=0\nrate_scale=0\n", "[RIG] rate_scale=0"},
        {"reference=modbus\nsetpoint_register=1\n", "[RIG] total_register"},
        {"reference=modbus\ntransport=rtu\nrate_register=0\n", "[RIG] device"},
        {"reference=modbus\ntransport=udp\nrate_register=0\n", "[RIG] transport=udp"},
        {"reference=modbus\nrate_register=0\nport=0\n", "[RIG] port=0"},
        {"reference=modbus\nrate_register=0\nsettle_time=30\nsettle_timeout=20\n", "[RIG] settle_timeout"},
    };
    for (const auto& r : refused) {
        errors.clear();
        EXPECT_FALSE(Read(std::string("[RIG]\n") + r.text, c, errors)) << r.text;
        EXPECT_THAT(errors, HasSubstr(r.key)) << r.text;
    }

    errors.clear();
    ASSERT_TRUE(Read(RigSectionText("127.0.0.1", 15020), c, errors)) << errors;
    EXPECT_TRUE(c.modbus);
    EXPECT_EQ(15020, c.port);
    EXPECT_TRUE(c.total.present && c.rate.present && c.setpoint.present && c.HasDrive());
    EXPECT_EQ(RegisterType::UInt32, c.total.type);
    EXPECT_EQ(RegisterTable::Holding, c.setpoint.table);
    EXPECT_EQ(0, c.runCoil);
    EXPECT_TRUE(c.unattended);
}

TEST(FlowSettling, TheFlowMustStayInTheBandForTheHoldTime)
{
    CFlowSettling s(10.0, 1.0, 2.0, 10.0);   // ±0.1 m3/h for 2 s, at most 10 s
    EXPECT_EQ(SettleOutcome::Waiting, s.Add(0.0, 5.0));
    EXPECT_EQ(SettleOutcome::Waiting, s.Add(1.0, 9.95));
    EXPECT_EQ(SettleOutcome::Waiting, s.Add(2.0, 10.2));    // out again: the hold restarts
    EXPECT_EQ(0.0, s.InBandSeconds());
    EXPECT_EQ(SettleOutcome::Waiting, s.Add(3.0, 10.1));    // on the band's edge is in it
    EXPECT_EQ(SettleOutcome::Waiting, s.Add(4.5, 9.9));
    EXPECT_EQ(SettleOutcome::Settled, s.Add(5.0, 10.0));

    CFlowSettling never(10.0, 1.0, 2.0, 10.0);
    EXPECT_EQ(SettleOutcome::Waiting, never.Add(9.0, 10.0));
    EXPECT_EQ(SettleOutcome::TimedOut, never.Add(10.0, 11.0));
    CFlowSettling nan(10.0, 1.0, 0.0, 10.0);
    EXPECT_EQ(SettleOutcome::Waiting, nan.Add(1.0, NAN));
    EXPECT_EQ(SettleOutcome::Settled, nan.Add(1.2, 10.0));   // no hold: the first sample in the band
}
