// The file trace behind a stalled writer: an hour of a 921600-baud poll loop
// (1920 request/answer pairs a second, four trace messages each) pushed through
// a link's trace hooks as fast as they go, into a trace file that is a pipe
// nobody reads. The trace thread's queue stays at its capacity and the process
// memory stays flat; the rest is dropped and counted. The same minute with an
// unbounded queue (capacity 0 here) shows what the bound saves.
#include "links/FileTraceTarget.h"
#include "links/Trace.h"
#include "support/StalledFifo.h"

#include <benchmark/benchmark.h>

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <limits>
#include <memory>
#include <string>
#include <unistd.h>
#include <vector>

namespace {
constexpr int kPairsPerSecond = 921600 / 10 / 48;

double RssMb()
{
    long pages = 0, resident = 0;
    if (std::FILE* f = std::fopen("/proc/self/statm", "r")) {
        if (std::fscanf(f, "%ld %ld", &pages, &resident) != 2)
            resident = 0;
        std::fclose(f);
    }
    return static_cast<double>(resident) * static_cast<double>(::sysconf(_SC_PAGESIZE)) / (1024.0 * 1024.0);
}

struct Sample {
    int minute;
    double rssMb;
    size_t queued;
    uint64_t dropped;
};
std::vector<std::string>& Notes()
{
    static std::vector<std::string> notes;
    return notes;
}

// What a link's trace hook queues: the tick and a copy of the bytes.
void Trace(CTraceThread& trace, const uint8_t* bytes, unsigned count, bool received)
{
    CMessage message;
    message.m_dwTick = TickCount();
    message.m_nLength = static_cast<int>(count);
    message.m_bReceived = received ? 1 : 0;
    message.m_abBytes.assign(bytes, bytes + count);
    trace.Queue(std::move(message));
}

// range(0): simulated minutes; range(1): queue capacity, 0 for none.
void BM_StalledTraceFile(benchmark::State& state)
{
    const int minutes = static_cast<int>(state.range(0));
    const size_t capacity = state.range(1) > 0 ? static_cast<size_t>(state.range(1)) : std::numeric_limits<size_t>::max();
    std::vector<uint8_t> request(16, 0x5A), answer(32, 0xA5);
    for (auto _ : state) {
        CStalledFifo fifo;
        auto target = std::make_unique<CFileTraceTarget>(fifo.Path());
        if (!fifo.IsReady() || !target->IsOpen()) {
            state.SkipWithError("no pipe");
            return;
        }
        std::vector<Sample> samples;
        {
            CTraceThread trace(target.get(), TickCount, capacity);
            samples.push_back({0, RssMb(), trace.Queued(), 0});
            for (int minute = 1; minute <= minutes; ++minute) {
                for (int pair = 0; pair < 60 * kPairsPerSecond; ++pair) {
                    Trace(trace, request.data(), 16, false);
                    Trace(trace, answer.data(), 6, true);
                    Trace(trace, answer.data() + 6, 26, true);
                    trace.Queue(CMessage{TickCount(), 0, 0, {}});   // end of frame
                }
                samples.push_back({minute, RssMb(), trace.Queued(), trace.Dropped()});
            }
            fifo.StartReading();   // the writer comes back: what is queued goes out, the thread ends
        }
        target.reset();
        fifo.Text();

        double most = 0;
        size_t mostQueued = 0;
        for (const Sample& s : samples) {
            most = std::max(most, s.rssMb);
            mostQueued = std::max(mostQueued, s.queued);
        }
        const Sample& first = samples.size() > 1 ? samples[1] : samples[0];
        const Sample& last = samples.back();
        state.counters["rss_start_MB"] = samples[0].rssMb;
        state.counters["rss_after_1min_MB"] = first.rssMb;
        state.counters["rss_end_MB"] = last.rssMb;
        state.counters["rss_max_MB"] = most;
        state.counters["queue_max"] = static_cast<double>(mostQueued);
        state.counters["dropped"] = static_cast<double>(last.dropped);
        state.counters["messages"] = 4.0 * 60 * kPairsPerSecond * minutes;
        const std::string name = "capacity " + (state.range(1) > 0 ? std::to_string(capacity) : std::string("none"));
        for (const Sample& s : samples)
            if (s.minute % 10 == 0 || minutes < 10 || s.minute == 1) {
                char line[160];
                std::snprintf(line, sizeof line, "%-16s minute %3d  RSS %8.1f MB  queued %9zu  dropped %12llu",
                              name.c_str(), s.minute, s.rssMb, s.queued, static_cast<unsigned long long>(s.dropped));
                Notes().push_back(line);
            }
    }
}
BENCHMARK(BM_StalledTraceFile)
    ->Args({60, static_cast<int64_t>(CTraceThread::kDefaultCapacity)})
    ->Args({1, 0})
    ->Iterations(1)
    ->UseRealTime()
    ->Unit(benchmark::kMillisecond);
}  // namespace

int main(int argc, char** argv)
{
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv))
        return 1;
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    std::printf("\nsimulated time of a 921600-baud poll loop, trace file stalled throughout:\n");
    for (const std::string& note : Notes())
        std::printf("%s\n", note.c_str());
    return 0;
}
