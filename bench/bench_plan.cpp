// A verification plan of 3 points × 2 cycles over the ten meters of the
// simulated rig at an emulated 115200 baud, run by itself: the drive sets each
// flow (time constant 0.3 s, settled within 1 % for 0.5 s) and the Modbus
// reference gives Ge. Its wall time against the sum of what it cannot do
// without: the settling, the integrations and the wire time of the bytes
// exchanged outside the integrations. The argument is the integration, ms.
// Per cycle it also shows the time from asking for the cycle to the integration's
// start (start_ms: the start commands), from that start to the end being seen
// (integr_ms: one poll pass of ten meters after the meters stopped) and from
// there to the row (row_ms: the integrals read).
#include "CountingLink.h"
#include "RatioReport.h"
#include "measurement/CSystem.h"
#include "protocol/connection.h"
#include "rig/RigConfig.h"
#include "sim/ModbusRig.h"
#include "sim/Rig.h"
#include "sim/SimServer.h"
#include "support/RecordingOperator.h"
#include "workstation/PlanRunner.h"
#include "workstation/RigSession.h"
#include "workstation/SeriesRunner.h"
#include "workstation/Workstation.h"

#include <benchmark/benchmark.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <regex>
#include <unistd.h>

namespace {
constexpr unsigned kBaud = 115200;

void BM_Plan3x2Over10(benchmark::State& state)
{
    const unsigned kIntegrationMs = static_cast<unsigned>(state.range(0));
    char pattern[] = "/tmp/vq7bench-plan-XXXXXX";
    const char* dir = ::mkdtemp(pattern);
    if (!dir) {
        state.SkipWithError("no temporary folder");
        return;
    }
    CRecordingOperator op;
    std::unique_ptr<CRig> rig = CRig::DefaultRig();
    rig->SetBaud(kBaud);
    rig->SetIntegrationMs(kIntegrationMs);
    rig->SetSettleSeconds(0.3);
    rig->SetFlow(1);
    std::string error;
    auto server = CSimServer::StartTcp(*rig, "127.0.0.1", 0, &error);
    auto modbus = CSimModbus::Start(*rig, "127.0.0.1", 0, &error);
    if (!server || !modbus) {
        state.SkipWithError(error.c_str());
        return;
    }
    const std::string config = std::string(dir) + "/config.ini";
    std::ofstream(config) << std::regex_replace(RigSectionText("127.0.0.1", modbus->Port()),
                                                std::regex("settle_time=.*"), "settle_time=0.5");
    std::atomic<uint64_t> bytes{0};
    connection conn;
    conn.OpenWith(std::make_unique<CCountingLink>("127.0.0.1", std::to_string(server->Port()), bytes));
    CSystem system(&conn);
    CWorkstation ws(conn, system);
    ws.Folders.SetBaseDir(dir);
    CRigSession rigSession;
    if (!rigSession.Load(config, error)) {
        state.SkipWithError(error.c_str());
        return;
    }
    TestPlan plan;
    plan.points = {{20, 2}, {8, 2}, {2, 2}};
    int row = 1;
    for (uint32_t n : rig->Numbers()) {
        plan.meters.push_back({n, "50"});
        ws.MeterList.StringGrid1GetEditText(SP_METER, row);
        ws.MeterList.StringGrid1SetEditText(SP_METER, row++, std::to_string(n));
    }
    if (ws.MeterList.ButtonUpdateInfoClick() != 0) {
        state.SkipWithError("the meter list");
        return;
    }
    // The bytes exchanged while the meters integrate overlap the integration.
    uint64_t duringIntegration = 0, startBytes = 0;
    using Clock = std::chrono::steady_clock;
    Clock::time_point cycleAsked{}, started{}, ended{};
    double toStartMs = 0, integrationMs = 0, afterEndMs = 0;
    auto ms = [](Clock::duration d) { return std::chrono::duration<double, std::milli>(d).count(); };
    CycleHooks reference = rigSession.Reference().Hooks();
    system.SetCycleHooks({[&] {
                              reference.integrationStarted();
                              startBytes = bytes;
                              started = Clock::now();
                              toStartMs += ms(started - cycleAsked);
                          },
                          reference.integrating,
                          [&] {
                              duringIntegration += bytes - startBytes;
                              ended = Clock::now();
                              integrationMs += ms(ended - started);
                              reference.integrationEnded();
                          }});

    double idealUs = 0;
    for (auto _ : state) {
        CSeriesRunner runner(ws, system);
        CPlanRunner planRunner(ws, system, runner, rigSession);
        planRunner.onProgress = [&](const std::string&) { cycleAsked = Clock::now(); };
        planRunner.onEvent = [&](const PlanEvent& e) {
            if (e.kind == PlanEvent::Cycle)
                afterEndMs += ms(Clock::now() - ended);
        };
        toStartMs = integrationMs = afterEndMs = 0;
        const uint64_t before = bytes;
        duringIntegration = 0;
        const PlanStep step = planRunner.RunPlan(plan, false);
        if (!step.ok) {
            state.SkipWithError(step.why.c_str());
            break;
        }
        ws.Series.ButtonStopClick();
        const double outside = static_cast<double>(bytes - before - duringIntegration);
        idealUs += planRunner.SettleSeconds() * 1e6 + 6.0 * kIntegrationMs * 1000 + outside * 10.0 * 1e6 / kBaud;
        state.counters["settle_s"] = planRunner.SettleSeconds();
        // Per cycle: asked until the integration started, its end seen, the row in after it.
        state.counters["start_ms"] = toStartMs / 6;
        state.counters["integr_ms"] = integrationMs / 6;
        state.counters["row_ms"] = afterEndMs / 6;
    }
    state.counters["ideal_us"] = idealUs / static_cast<double>(state.iterations());
    system.SetCycleHooks({});
    std::error_code ec;
    std::filesystem::remove_all(dir, ec);
}
}  // namespace

BENCHMARK(BM_Plan3x2Over10)->Arg(1000)->Arg(3000)->Iterations(1)->Repetitions(2)->UseRealTime()->Unit(benchmark::kMillisecond);

int main(int argc, char** argv) { return RunWithRatios(argc, argv); }
