// The measurement model: integration, status bits, integrals, the reference
// flow and the correction through the pairs.
#include "SimFixture.h"

#include "common/NumberText.h"

#include <chrono>
#include <cmath>
#include <cstdio>
#include <fstream>
#include <thread>
#include <unistd.h>

namespace {
constexpr uint32_t kFj = 11000004;
constexpr uint32_t kDzw4 = 11000006;
constexpr uint32_t kZua = 11000008;

bool Bit(const uint8_t s[8], int byte, uint8_t mask) { return (s[byte] & mask) != 0; }

struct Means {
    double gi, gv;
    unsigned count;
};

Means ReadMeans(connection& conn, uint32_t number)
{
    std::string text;
    uint8_t data[65] = {};
    EXPECT_EQ(ReadGradIntegrals(&conn, number, text, data), 0u);
    const unsigned count = LeU16(data + 63);
    const double div = count ? count : 1;
    return {LeFloat(data) / div, LeFloat(data + 8) / div, count};
}

double CurrentValue(connection& conn, uint32_t number, uint8_t index)
{
    std::string text;
    EXPECT_EQ(ReadCurrent(&conn, number, index, text, nullptr), 0u);
    return std::stod(text);
}
}  // namespace

TEST_F(SimBusTest, IntegrationRunsItsLengthWithStatusBitsAndMeans)
{
    const std::string refFile = FormatC("/tmp/vq7sim-ref-%d.txt", static_cast<int>(::getpid()));
    std::remove(refFile.c_str());
    rig->SetReferenceFile(refFile);
    rig->SetNoise(0.001, 0.0005);
    rig->SetIntegrationMs(250);
    rig->SetFlow(12.5);
    const uint32_t meters[] = {kFj, kDzw4, kZua};

    uint8_t status[8];
    ASSERT_EQ(ReadStatus(&conn, kFj, status), 0u);
    EXPECT_FALSE(Bit(status, 4, 0x40));
    EXPECT_FALSE(Bit(status, 6, 0x02));

    const auto t0 = std::chrono::steady_clock::now();
    for (uint32_t n : meters)
        ASSERT_EQ(StartMeasurement(&conn, n), 0u);
    bool started = false, finished = false;
    while (!finished && std::chrono::steady_clock::now() - t0 < std::chrono::seconds(5)) {
        for (uint32_t n : meters) {
            ASSERT_EQ(ReadStatus(&conn, n, status), 0u);
            started = started || (Bit(status, 4, 0x40) && Bit(status, 6, 0x02));
            finished = finished || (started && Bit(status, 4, 0x40) && !Bit(status, 6, 0x02));
        }
    }
    const auto ms = std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now() - t0);
    ASSERT_TRUE(started);
    ASSERT_TRUE(finished);
    EXPECT_GE(ms.count(), 240);
    EXPECT_LT(ms.count(), 2000);

    // The reference of the cycle is there when the first meter reports the end.
    EXPECT_EQ(rig->ReferenceCount(), 1u);
    EXPECT_NEAR(rig->LastReferenceFlow(), 12.5, 12.5 * 0.003);
    std::ifstream in(refFile);
    std::string line, last;
    while (std::getline(in, line))
        last = line;
    EXPECT_EQ(last, FormatC("%.6f", rig->LastReferenceFlow()));
    std::remove(refFile.c_str());

    for (uint32_t n : meters)   // every meter done
        ASSERT_TRUE(WaitUntil([&] { return !M(n).Integrating(); }, 2000)) << n;
    for (uint32_t n : meters) {
        SCOPED_TRACE(n);
        const Means m = ReadMeans(conn, n);
        EXPECT_EQ(m.count, 25u);   // 10 ms samples
        const double raw = M(n).RawIndicated(12.5);
        EXPECT_NEAR(m.gi, raw, raw * 0.002);
        EXPECT_NEAR(m.gv, M(n).Corrected(m.gi), raw * 0.002);
        EXPECT_GT(std::fabs(raw / 12.5 - 1), 0.002);   // the raw flow is off the truth
    }
}

TEST_F(SimBusTest, CorrectedFlowFollowsThePairsInBothDirections)
{
    // Pairs from the meter's own curve: Gi it indicates, Ge the true flow.
    const double flows[] = {-30, -8, -1.5, 1.5, 8, 30};
    std::vector<SimPair> pairs;
    for (double q : flows)
        pairs.push_back({static_cast<float>(M(kFj).RawIndicated(q)), static_cast<float>(q)});
    ASSERT_EQ(BeginPairWrite(&conn, kFj), 0u);
    ASSERT_EQ(WritePairCount(&conn, kFj, "6"), 0u);
    for (size_t i = 0; i < pairs.size(); ++i)
        ASSERT_EQ(WritePair(&conn, kFj, static_cast<uint8_t>(i), FormatC("%.9g", pairs[i].gi),
                            FormatC("%.9g", pairs[i].ge)),
                  0u);
    for (double q : {20.0, 8.0, 3.0, -5.0, -30.0}) {
        SCOPED_TRACE(q);
        rig->SetFlow(q);
        const double gi = CurrentValue(conn, kFj, 8);
        const double gv = CurrentValue(conn, kFj, 5);
        EXPECT_NEAR(gv, q, std::fabs(q) * 0.004);          // close after the calibration
        EXPECT_GT(std::fabs(gi - q), std::fabs(gv - q));   // and closer than the raw flow
    }
}

TEST_F(SimBusTest, ConverterMeasuresWithNewPairsOnlyAfterItsRestart)
{
    CVirtualMeter& m = M(kDzw4);
    m.SetRestartMode(RestartMode::Answer0, 100);
    rig->SetFlow(10);
    const double gi = m.RawIndicated(10);
    const double before = CurrentValue(conn, kDzw4, 5);
    // One pair: Gv = Gi * 10 / gi.
    ASSERT_EQ(BeginPairWrite(&conn, kDzw4), 0u);
    ASSERT_EQ(WritePairCount(&conn, kDzw4, "1"), 0u);
    ASSERT_EQ(WritePair(&conn, kDzw4, 0, FormatC("%.9g", gi), "10"), 0u);
    EXPECT_DOUBLE_EQ(CurrentValue(conn, kDzw4, 5), before);   // still the flash pairs
    ASSERT_EQ(Restart(&conn, kDzw4), 0u);
    ASSERT_TRUE(WaitUntil([&] { return !m.Silent(); }, 2000));
    EXPECT_NEAR(CurrentValue(conn, kDzw4, 5), 10.0, 1e-4);
}
