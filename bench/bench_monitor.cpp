// The bus monitor against a poll loop at 921600 baud: a 16-byte request and a
// 32-byte answer take 48 * 10 / 921600 s = 521 us on the wire. What the monitor
// adds on the bus thread (the trace hooks), what its trace target costs the
// trace thread, and what decoding costs the window must each stay far below that;
// a stalled window only drops and counts lines.
#include "links/CLink.h"
#include "links/MonitorTraceTarget.h"
#include "links/TraceLines.h"
#include "protocol/vq7prot/MonitorFeed.h"
#include "protocol/vq7prot/vq7cmd.h"

#include <benchmark/benchmark.h>

#include <vector>

namespace {

std::vector<uint8_t> Request()
{
    VQ7_CMD frame{};
    PutLeU32(frame.m_abAddr, NumberToBcd(12345678));
    frame.m_bCmd = VQ7_CMD_READ_STATUS;
    SetCmdChecks(frame);
    const auto* p = reinterpret_cast<const uint8_t*>(&frame);
    return std::vector<uint8_t>(p, p + sizeof frame);
}

std::vector<uint8_t> Answer()
{
    std::vector<uint8_t> a(32, 0);
    PutLeU32(a.data(), NumberToBcd(12345678));
    a[4] = VQ7_CMD_READ_STATUS;
    ComputeChecks(a.data(), 30, a[30], a[31]);
    return a;
}

const std::string kRequestLine = "<< [L= 16, dly=1]  78 56 34 12 08 00 00 00 00 00 00 00 00 00 2C C4";
const std::string kAnswerLine =
    ">> [L= 32, dly=0]  78 56 34 12 08 00 00 00 00 00 00 00 00 00 00 00 00 00 00 00 00 00 00 00 00 00 00 00 00 00 "
    "2C C4";

// Bus thread: the trace hooks of one request/answer pair, with the monitor as
// the link's trace target and a window that keeps up (drains every 64 pairs).
void BM_BusThreadPerPair(benchmark::State& state)
{
    CMonitorFeed feed;
    CLink link;
    link.SetTrace(&feed.Target());
    const auto request = Request();
    const auto answer = Answer();
    std::vector<CMonitorLine> lines;
    uint64_t traceDropped = 0;   // by the trace thread's bounded queue, from its gap lines
    const auto drain = [&] {
        lines.clear();
        feed.Target().Drain(lines);
        uint64_t count = 0;
        for (const CMonitorLine& line : lines)
            if (line.m_sLine[0] == '!' && CTraceLines::ParseDroppedLine(line.m_sLine, count))
                traceDropped += count;
    };
    int n = 0;
    for (auto _ : state) {
        link.TraceBytes(request.data(), 16, false);
        link.TraceBytes(answer.data(), 6, true);
        link.TraceBytes(answer.data() + 6, 26, true);
        link.TraceEndOfFrame();
        if (++n % 64 == 0)   // the window's drain, amortised
            drain();
    }
    link.SetTrace(nullptr);
    drain();
    state.SetItemsProcessed(state.iterations());
    state.counters["trace_dropped"] = static_cast<double>(traceDropped);
    state.counters["monitor_dropped"] = static_cast<double>(feed.Dropped());
    state.counters["wire_us_per_pair"] = 48.0 * 10 / 921600 * 1e6;
}
BENCHMARK(BM_BusThreadPerPair);

// Trace thread: the monitor target taking one line (time stamp and queue).
void BM_TargetAddLine(benchmark::State& state)
{
    CMonitorTraceTarget target(1 << 16);
    std::vector<CMonitorLine> drained;
    unsigned n = 0;
    for (auto _ : state) {
        target.AddLine(kAnswerLine);
        if ((++n & 0xFFF) == 0) {   // the window's drain, amortised
            drained.clear();
            target.Drain(drained);
        }
    }
    state.SetItemsProcessed(state.iterations());
}
BENCHMARK(BM_TargetAddLine);

// A window that never drains: the queue is full, every line is dropped and counted.
void BM_TargetAddLineWhenFull(benchmark::State& state)
{
    CMonitorTraceTarget target(16);
    for (int i = 0; i < 16; ++i)
        target.AddLine(kAnswerLine);
    for (auto _ : state)
        target.AddLine(kAnswerLine);
    state.counters["dropped"] = static_cast<double>(target.Dropped());
    state.SetItemsProcessed(state.iterations());
}
BENCHMARK(BM_TargetAddLineWhenFull);

// GUI thread: parsing and decoding one second of a 921600-baud poll loop
// (1920 request/answer pairs) in one timer tick's poll.
void BM_DecodeOneSecondOfPolling(benchmark::State& state)
{
    constexpr int kPairs = 921600 / 10 / 48;
    CMonitorFeed feed(2 * kPairs);
    std::vector<CMonitorRow> rows;
    rows.reserve(2 * kPairs);
    for (auto _ : state) {
        state.PauseTiming();
        for (int i = 0; i < kPairs; ++i) {
            feed.Target().AddLine(kRequestLine);
            feed.Target().AddLine(kAnswerLine);
        }
        rows.clear();
        state.ResumeTiming();
        feed.Poll(rows);
        benchmark::DoNotOptimize(rows.data());
    }
    state.SetItemsProcessed(state.iterations() * 2 * kPairs);
    state.counters["lines_per_s_needed"] = 2.0 * kPairs;
}
BENCHMARK(BM_DecodeOneSecondOfPolling)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
