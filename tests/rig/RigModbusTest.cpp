// The rig's instruments through a real libmodbus client against the
// simulator's Modbus TCP slave on loopback: the reference, the drive, the
// settling and every fault the console can switch on.
#include "common/SettingsFile.h"
#include "rig/FlowSettling.h"
#include "rig/RigInstruments.h"
#include "sim/ModbusRig.h"
#include "workstation/RigReferenceFlow.h"

#include <gmock/gmock.h>

#include <chrono>
#include <thread>

using ::testing::HasSubstr;

namespace {
class RigModbus : public ::testing::Test {
protected:
    void SetUp() override
    {
        m_rig.SetFlow(10.0);
        std::string error;
        m_slave = CSimModbus::Start(m_rig, "127.0.0.1", 0, &error);
        ASSERT_TRUE(m_slave) << error;
    }

    // The simulator's [RIG] section with these changes after it.
    RigConfig Config(const std::string& extra = "")
    {
        CSettingsFile ini;
        ini.LoadText(RigSectionText("127.0.0.1", m_slave->Port()) + "timeout_ms=200\n" + extra, "config.ini");
        RigConfig c;
        EXPECT_TRUE(ReadRigConfig(ini, c)) << (ini.Errors().empty() ? "" : ini.Errors()[0]);
        return c;
    }

    // Ge of one "cycle" of the given length, read as the engine's hooks read it.
    std::optional<double> Cycle(CRigReferenceFlow& ref, int ms, std::string& why)
    {
        ref.IntegrationStarted();
        for (int t = 0; t < ms; t += 50) {
            std::this_thread::sleep_for(std::chrono::milliseconds(50));
            ref.Integrating();
        }
        ref.IntegrationEnded();
        return ref.Ge(why);
    }

    CRig m_rig;
    std::unique_ptr<CSimModbus> m_slave;
};
}

TEST_F(RigModbus, GeFromTheTotalIsTheSimulatedFlowWithinTheReferenceError)
{
    CRigInstruments rig(Config());
    std::string why;
    ASSERT_TRUE(rig.Open(why)) << why;
    RigSample s;
    ASSERT_TRUE(rig.Read(s, why)) << why;
    EXPECT_NEAR(10.0, s.rate, 0.01);
    EXPECT_DOUBLE_EQ(20.0, s.temperature);
    EXPECT_DOUBLE_EQ(3.0, s.pressure);

    CRigReferenceFlow ref(rig);
    for (int i = 0; i < 2; ++i) {
        const std::optional<double> ge = Cycle(ref, 1000, why);
        ASSERT_TRUE(ge) << why;
        // The reference's bias is 0.02 %; a 1 mL total over 2.8 L and the read instants add less.
        EXPECT_NEAR(10.0, *ge, 10.0 * 0.001) << i;
        EXPECT_LT(ref.TimingErrorPercent(), 0.05);
        ASSERT_TRUE(ref.WaterTemperature());
        EXPECT_DOUBLE_EQ(20.0, *ref.WaterTemperature());
    }
    EXPECT_THAT(ref.SourceText(), HasSubstr("ΔV/Δt"));

    // Without a total register: the mean of the rate read during the cycle.
    CRigInstruments rateOnly(Config("total_register=-1\n"));
    CRigReferenceFlow byRate(rateOnly);
    const std::optional<double> ge = Cycle(byRate, 500, why);
    ASSERT_TRUE(ge) << why;
    EXPECT_NEAR(10.0, *ge, 0.01);
    EXPECT_THAT(byRate.SourceText(), HasSubstr("среднее"));
}

TEST(RigReferenceFlow, TheTotalWrapsOnceRoundItsRegister)
{
    RegisterSpec total;
    total.type = RegisterType::UInt32;
    total.scale = 0.000001;
    RigSample a, b;
    a.total = 4294.967000;   // just below 2^32 mL
    b.total = 0.002704;
    b.at = a.at + std::chrono::seconds(1);
    // 0.000296 m3 up to the wrap and 0.002704 after it: 0.003 m3 in 1 s.
    EXPECT_NEAR(10.8, FlowFromTotals(a, b, total), 1e-6);
}

TEST_F(RigModbus, EveryReferenceFaultGivesItsReasonAndNoFlow)
{
    CRigInstruments rig(Config());
    CRigReferenceFlow ref(rig);
    std::string why;
    const struct {
        ModbusFault fault;
        const char* reason;
    } faults[] = {
        {ModbusFault::Silent, "нет ответа"},
        {ModbusFault::Exception, "ответ-исключение"},
        {ModbusFault::Stuck, "не изменился"},
    };
    for (const auto& f : faults) {
        ASSERT_TRUE(Cycle(ref, 100, why)) << why;   // answers again after the former fault
        m_slave->SetFault(f.fault);
        why.clear();
        EXPECT_FALSE(Cycle(ref, 300, why));
        EXPECT_THAT(why, HasSubstr(f.reason));
        m_slave->SetFault(ModbusFault::None);
    }
    // A value out of range: a rate register that is no flow of a rig.
    CRigInstruments wrongMap(Config("rate_type=uint32\n"));
    RigSample s;
    EXPECT_FALSE(wrongMap.Read(s, why));
    EXPECT_THAT(why, HasSubstr("вне диапазона"));
}

TEST_F(RigModbus, TheDriveSetsTheFlowAndTheSeriesWaitsUntilItSettles)
{
    m_rig.SetSettleSeconds(0.4);
    CRigInstruments rig(Config("settle_band=1\nsettle_time=0.5\nsettle_timeout=10\n"));
    std::string why;
    const auto start = std::chrono::steady_clock::now();
    ASSERT_EQ(SettleOutcome::Settled, SetFlowAndSettle(rig, 4.0, {}, why)) << why;
    const double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    EXPECT_DOUBLE_EQ(4.0, m_rig.Flow());
    // From 10 to within 1 % of 4: 0.4 s × ln(6 / 0.04) = 2.0 s, then the 0.5 s hold, in 0.2 s readings.
    EXPECT_GE(seconds, 2.0 + 0.5 - 0.2);
    EXPECT_LT(seconds, 2.0 + 0.5 + 1.0);

    bool cancel = true;
    EXPECT_EQ(SettleOutcome::Aborted, SetFlowAndSettle(rig, 6.0, [&] { return cancel; }, why));

    m_rig.SetHunting(true);
    CRigInstruments hunting(Config("settle_band=1\nsettle_time=0.5\nsettle_timeout=1.5\n"));
    EXPECT_EQ(SettleOutcome::TimedOut, SetFlowAndSettle(hunting, 4.0, {}, why));
    EXPECT_THAT(why, HasSubstr("не установился"));

    m_slave->SetFault(ModbusFault::Exception);
    EXPECT_EQ(SettleOutcome::Failed, SetFlowAndSettle(rig, 5.0, {}, why));
    EXPECT_THAT(why, HasSubstr("задание расхода"));
    m_slave->SetFault(ModbusFault::None);
    ASSERT_TRUE(rig.StopFlow(why)) << why;
    EXPECT_DOUBLE_EQ(0.0, m_rig.Flow());   // the run coil off stops the pump
}

TEST_F(RigModbus, ARigThatIsNotThereIsAClearMessage)
{
    RigConfig c = Config();
    m_slave->Stop();
    m_slave.reset();
    CRigInstruments rig(c);
    std::string why;
    EXPECT_FALSE(rig.Open(why));
    EXPECT_THAT(why, HasSubstr("нет связи"));
    EXPECT_THAT(why, HasSubstr(c.LinkText()));
}
