// Bus work of ten meters at an emulated 115200 and 9600 baud (the simulator
// paces every byte at 10 bits), each against its wire time: the bytes that
// crossed the link, at 10 bits a byte. Identification of ten meters, one poll
// pass (current values 8 and 5 and the status of each meter), and a backup of
// ten meters holding 15 pairs each (read and saved; the durable saves are
// timed apart and taken out in a second line).
#include "CountingLink.h"
#include "RatioReport.h"
#include "calibration/CGiGeArray.h"
#include "support/RecordingOperator.h"
#include "protocol/connection.h"
#include "protocol/vq7prot/vq7cmd.h"
#include "sim/Rig.h"
#include "sim/SimServer.h"

#include <benchmark/benchmark.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <memory>
#include <unistd.h>

namespace {
// Ten meters with 15 pairs each behind a paced gateway, and a counting connection.
struct Bus {
    std::unique_ptr<CRig> rig = CRig::DefaultRig();
    std::unique_ptr<CSimServer> server;
    connection conn;
    std::atomic<uint64_t> bytes{0};
    std::vector<uint32_t> numbers;
    CRecordingOperator op;   // messages of the pair table stay in the benchmark
    double waitUs = 0;       // time of the work that is neither bus nor computing (see DescribeWait)

    explicit Bus(unsigned baud)
    {
        std::vector<SimPair> pairs;
        for (int i = 0; i < 15; ++i)
            pairs.push_back({0.2f * (i + 1), 0.2f * (i + 1) * 1.01f});
        numbers = rig->Numbers();
        for (uint32_t n : numbers)
            rig->Meter(n)->SetPairs(pairs);
        rig->SetBaud(baud);
        std::string error;
        server = CSimServer::StartTcp(*rig, "127.0.0.1", 0, &error);
        if (server)
            conn.OpenWith(std::make_unique<CCountingLink>("127.0.0.1", std::to_string(server->Port()), bytes));
    }
    ~Bus()
    {
        conn.Close();
        if (server)
            server->Stop();
    }
    bool Ready() const { return server != nullptr; }
};

// Runs work once per iteration and reports its wire time as "ideal_us".
template <class Work>
void OnTheWire(benchmark::State& state, Work work)
{
    const unsigned baud = static_cast<unsigned>(state.range(0));
    Bus bus(baud);
    if (!bus.Ready()) {
        state.SkipWithError("no gateway");
        return;
    }
    uint64_t bytes = 0;
    for (auto _ : state) {
        const uint64_t before = bus.bytes;
        if (!work(bus)) {
            state.SkipWithError("bus work failed");
            return;
        }
        bytes += bus.bytes - before;
    }
    const double iterations = static_cast<double>(state.iterations());
    const double perIteration = static_cast<double>(bytes) / iterations;
    state.counters["bytes"] = perIteration;
    state.counters["ideal_us"] = perIteration * 10.0 * 1e6 / baud;
    if (bus.waitUs > 0)
        state.counters["wait_us"] = bus.waitUs / iterations;
}

void BM_Identify10(benchmark::State& state)
{
    OnTheWire(state, [](Bus& bus) {
        for (uint32_t n : bus.numbers) {
            VQ7_INFO info;
            if (GetDeviceInfo(&bus.conn, n, info) != 0)
                return false;
        }
        return true;
    });
}

void BM_PollPass10(benchmark::State& state)
{
    OnTheWire(state, [](Bus& bus) {
        for (uint32_t n : bus.numbers) {
            std::string value;
            uint8_t status[8];
            if (ReadCurrent(&bus.conn, n, 8, value, nullptr) != 0 || ReadCurrent(&bus.conn, n, 5, value, nullptr) != 0 ||
                ReadStatus(&bus.conn, n, status) != 0)
                return false;
        }
        return true;
    });
}

void BM_Backup10x15(benchmark::State& state)
{
    char pattern[] = "/tmp/vq7bench-XXXXXX";
    const char* dir = ::mkdtemp(pattern);
    if (!dir) {
        state.SkipWithError("no temporary folder");
        return;
    }
    OnTheWire(state, [dir](Bus& bus) {
        for (uint32_t n : bus.numbers) {
            CGiGeArray table(&bus.conn, n);
            if (table.m_nResult != 0)
                return false;
            if (table.GetCount() == 0)
                continue;
            const auto start = std::chrono::steady_clock::now();
            const int saved = table.SaveToFile(std::string(dir) + "/" + std::to_string(n) + ".dat");
            bus.waitUs += std::chrono::duration<double, std::micro>(std::chrono::steady_clock::now() - start).count();
            if (saved != 0)
                return false;
        }
        return true;
    });
    std::error_code ec;
    std::filesystem::remove_all(dir, ec);
}
}  // namespace

// The fastest repetition beside the median: steadier on a shared machine.
double Fastest(const std::vector<double>& v) { return *std::min_element(v.begin(), v.end()); }
#define VQ7_WIRE_OPTIONS                                                                                        \
    Iterations(1)->Repetitions(3)->ComputeStatistics("min", Fastest)->ReportAggregatesOnly(true)->UseRealTime() \
        ->Unit(benchmark::kMillisecond)
BENCHMARK(BM_Identify10)->Arg(115200)->Arg(9600)->VQ7_WIRE_OPTIONS;
BENCHMARK(BM_PollPass10)->Arg(115200)->Arg(9600)->VQ7_WIRE_OPTIONS;
BENCHMARK(BM_Backup10x15)->Arg(115200)->Arg(9600)->VQ7_WIRE_OPTIONS;

int main(int argc, char** argv)
{
    DescribeWait("BM_Backup10x15",
                 "saving each meter's backup file durably (written beside, fsync of the file, rename, fsync of the "
                 "folder): a backup is the meter's characteristic when a write goes wrong, so it must outlive a power "
                 "cut; the disk's time, not the bus's");
    return RunWithRatios(argc, argv);
}
