// vq7ctl plan run against the simulated rig with its Modbus reference and
// drive: nothing typed, the flow set by the drive, Ge from the reference.
#include "CtlFixture.h"
#include "support/DocxReadBack.h"

#include "results/ResultStore.h"
#include "rig/RigConfig.h"
#include "sim/ModbusRig.h"

#include <gmock/gmock.h>
#include <nlohmann/json.hpp>

#include <regex>

using ::testing::HasSubstr;

namespace {
class Vq7ctlPlan : public CtlFixture {
protected:
    void SetUp() override
    {
        StartRig(false, 300);
        m_rig->SetSettleSeconds(0.1);
        std::string error;
        m_modbus = CSimModbus::Start(*m_rig, "127.0.0.1", 0, &error);
        ASSERT_TRUE(m_modbus) << error;
        std::filesystem::create_directories(TempDir() / "data");
        std::string rig = RigSectionText("127.0.0.1", m_modbus->Port()) + "timeout_ms=300\n";
        rig = std::regex_replace(rig, std::regex("settle_time=.*"), "settle_time=0.3");
        rig = std::regex_replace(rig, std::regex("settle_timeout=.*"), "settle_timeout=5");
        WriteFileBytes(TempDir() / "data" / "config.ini", rig);
    }
    void TearDown() override
    {
        m_modbus.reset();
        CtlFixture::TearDown();
    }

    std::string PlanFile(const std::string& json)
    {
        const auto path = TempDir() / "plan.json";
        WriteFileBytes(path, json);
        return path.string();
    }

    std::unique_ptr<CSimModbus> m_modbus;
};

struct GeLine {
    double ge = 0, timingPercent = 0;
};

// The Ge of each "point k/n, cycle c/m: Ge = X (reference, timing T %)" line.
std::vector<GeLine> GeLines(const std::string& err)
{
    std::vector<GeLine> ge;
    const std::regex line(R"(point \d+/\d+, cycle \d+/\d+: Ge = ([0-9.]+) \(reference, timing ([0-9.]+) %\))");
    for (auto it = std::sregex_iterator(err.begin(), err.end(), line); it != std::sregex_iterator(); ++it)
        ge.push_back({std::stod((*it)[1]), std::stod((*it)[2])});
    return ge;
}
}

TEST_F(Vq7ctlPlan, ACalibrationPlanRunsByItselfWritesThePairsAndVerifiesAsLeft)
{
    const std::string plan = PlanFile(
        R"({"kind": "calibration", "meters": ["11000002:65", "11000004:40", "11000006"],
            "points": [{"flow": 20, "cycles": 2}, {"flow": 8, "cycles": 2}, {"flow": 2, "cycles": 2}],
            "verify_after": [{"flow": 8, "cycles": 1}], "write": true})");
    const auto docx = TempDir() / "v.docx";
    ProcessResult r = Ctl({"plan", "run", plan, "--dir", TempDir().string(), "--csv", (TempDir() / "v.csv").string(),
                           "--report", docx.string()});
    ASSERT_EQ(0, r.exitCode) << r.err << r.out;
    EXPECT_THAT(r.out, HasSubstr("rig: эталон по Modbus"));
    EXPECT_THAT(r.err, HasSubstr("точка 1 из 4, цикл 1 из 2, осталось ~"));
    EXPECT_THAT(r.err, HasSubstr("точка 4 из 4, цикл 1 из 1"));
    EXPECT_THAT(r.err, HasSubstr("flow 2 m3/h settled in"));
    // Each Ge is the flow the drive was set to, within the reference's own error (0.02 %), the
    // bound of its read instants and two millilitres of its total over the 300 ms cycle.
    const std::vector<GeLine> ge = GeLines(r.err);
    const double flows[] = {20, 20, 8, 8, 2, 2, 8};
    ASSERT_EQ(7u, ge.size()) << r.err;
    for (size_t i = 0; i < ge.size(); ++i)
        EXPECT_NEAR(flows[i], ge[i].ge, flows[i] * (0.0005 + ge[i].timingPercent / 100) + 2e-6 / (0.3 / 3600))
            << i << "\n" << r.err;
    // The pairs went into the meters and the verification after them sees small errors.
    EXPECT_EQ(3u, Meter(11000004).Pairs().size());
    EXPECT_TRUE(std::filesystem::exists(TempDir() / "Log" / "11000006.dat"));
    EXPECT_THAT(r.out, HasSubstr("Поверка: погрешность"));
    EXPECT_TRUE(std::filesystem::exists(TempDir() / "v.csv"));
    // The certificate says where Ge came from.
    EXPECT_THAT(CDocxReadBack(docx.string()).BookmarkText("Эталон"), HasSubstr("; Ge: эталон по Modbus (127.0.0.1:"));
    EXPECT_DOUBLE_EQ(0.0, m_rig->Flow());   // the pump is stopped at the end

    // The store holds both series, every point with the water the rig measured.
    StoreLocation where;
    std::string error;
    ASSERT_TRUE(ParseStoreLocation((TempDir() / "data" / "results.sqlite").string(), where, error)) << error;
    CResultStore store(where);
    const std::vector<long long> ids = store.SeriesIds();
    ASSERT_EQ(2u, ids.size());
    size_t points = 0;
    for (long long id : ids) {
        const auto series = store.LoadSeries(id);
        ASSERT_TRUE(series);
        for (const PointRecord& p : series->points) {
            ++points;
            ASSERT_TRUE(p.waterTemperature && p.waterPressure);
            EXPECT_DOUBLE_EQ(20.0, *p.waterTemperature);
            EXPECT_DOUBLE_EQ(3.0, *p.waterPressure);
        }
    }
    EXPECT_EQ(7u, points);
}

TEST_F(Vq7ctlPlan, AReferenceThatFailsMakesNoPointAndTheRunFails)
{
    const std::string plan =
        PlanFile(R"({"kind": "verification", "meters": ["11000002"], "points": [{"flow": 10, "cycles": 3}]})");
    m_modbus->SetFault(ModbusFault::Stuck);
    ProcessResult r = Ctl({"plan", "run", plan, "--dir", TempDir().string()});
    EXPECT_NE(0, r.exitCode) << r.err;
    // Stuck from the start: the flow never shows it settled, so no cycle runs.
    EXPECT_TRUE(GeLines(r.err).empty()) << r.err;
    EXPECT_THAT(r.err, HasSubstr("не установился"));

    m_modbus->SetFault(ModbusFault::None);
    m_rig->SetFlow(10.0);
    // A reference that answers with an exception once the flow is set: the cycle has no Ge.
    std::thread fault([this] {
        std::this_thread::sleep_for(std::chrono::milliseconds(700));
        m_modbus->SetFault(ModbusFault::Exception);
    });
    r = Ctl({"plan", "run", plan, "--dir", TempDir().string()});
    fault.join();
    EXPECT_NE(0, r.exitCode) << r.err;
    EXPECT_THAT(r.err, HasSubstr("ответ-исключение"));
}

TEST_F(Vq7ctlPlan, ARigSectionThatCannotWorkStopsBeforeTheBus)
{
    WriteFileBytes(TempDir() / "data" / "config.ini", "[RIG]\nreference=modbus\ntotal_register=2\ntotal_type=real\n");
    const std::string plan =
        PlanFile(R"({"kind": "verification", "meters": ["11000002"], "points": [{"flow": 10}]})");
    const unsigned framesBefore = m_server->FramesServed();
    ProcessResult r = Ctl({"plan", "run", plan});
    EXPECT_NE(0, r.exitCode);
    EXPECT_THAT(r.err, HasSubstr("[RIG] total_type=real"));
    EXPECT_EQ(framesBefore, m_server->FramesServed());

    ProcessResult check = Ctl({"plan", "check", PlanFile(R"({"kind": "verification"})")});
    EXPECT_NE(0, check.exitCode);
    EXPECT_THAT(check.err, HasSubstr("\"meters\""));
}
