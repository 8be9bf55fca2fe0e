#include "links/CLink.h"
#include "links/Trace.h"
#include "links/TraceLines.h"
#include "support/StalledFifo.h"
#include "support/Wait.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <ctime>
#include <fstream>
#include <memory>
#include <sstream>
#include <thread>
#include <unistd.h>

namespace {
CMessage Msg(uint32_t tick, std::vector<uint8_t> bytes, bool received)
{
    CMessage m;
    m.m_dwTick = tick;
    m.m_nLength = static_cast<int>(bytes.size());
    m.m_bReceived = received ? 1 : 0;
    m.m_abBytes = std::move(bytes);
    return m;
}

CMessage EndOfFrame(uint32_t tick)
{
    return Msg(tick, {}, false);
}

std::vector<std::string> ReadLines(const std::string& path)
{
    std::vector<std::string> lines;
    std::ifstream in(path);
    for (std::string line; std::getline(in, line);)
        lines.push_back(line);
    return lines;
}

class TempFile {
public:
    TempFile()
    {
        char name[] = "/tmp/vq7traceXXXXXX";
        int fd = mkstemp(name);
        close(fd);
        m_path = name;
    }
    ~TempFile() { std::remove(m_path.c_str()); }
    const std::string& Path() const { return m_path; }

private:
    std::string m_path;
};
}

TEST(TraceLines, LineFormat)
{
    EXPECT_EQ(">> [L=  3, dly=15]  01 AB FF", CTraceLines::FormatLine(Msg(0, {0x01, 0xAB, 0xFF}, true), 15));
    EXPECT_EQ("<< [L=  1, dly=1234]  00", CTraceLines::FormatLine(Msg(0, {0}, false), 1234));
}

TEST(TraceLines, RequestAndAnswerBecomeOneLineEach)
{
    CTraceLines lines(1000);
    std::vector<std::string> out;
    lines.Take(Msg(1004, {0x10, 0x11}, false), out);
    EXPECT_TRUE(out.empty());
    lines.Take(Msg(1020, {0x78, 0x56, 0x34}, true), out);   // kind changes: request complete
    ASSERT_EQ(1u, out.size());
    EXPECT_EQ("<< [L=  2, dly=4]  10 11", out[0]);
    lines.Take(Msg(1021, {0x12, 0x7E}, true), out);         // the rest of the answer joins it
    lines.Take(EndOfFrame(1022), out);
    ASSERT_EQ(2u, out.size());
    EXPECT_EQ(">> [L=  5, dly=16]  78 56 34 12 7E", out[1]);
    lines.Flush(out);   // only the empty marker is pending
    EXPECT_EQ(2u, out.size());
}

TEST(TraceLines, LineClosesWhenTheNextMessageIsMoreThan255msAfterItsStart)
{
    CTraceLines lines(0);
    std::vector<std::string> out;
    lines.Take(Msg(100, {1}, true), out);
    lines.Take(Msg(355, {2}, true), out);   // exactly 255 ms: still open
    EXPECT_TRUE(out.empty());
    lines.Take(Msg(356, {3}, true), out);
    ASSERT_EQ(1u, out.size());
    EXPECT_EQ(">> [L=  2, dly=100]  01 02", out[0]);
    // Two answers far apart stay apart, however late the trace thread takes them.
    lines.Take(Msg(2000, {4}, true), out);
    ASSERT_EQ(2u, out.size());
    EXPECT_EQ(">> [L=  1, dly=256]  03", out[1]);
    // After 255 ms of quiet the pending line goes out.
    EXPECT_EQ(255, lines.MsUntilQuiet(2001));
    lines.FlushIfQuiet(2255, out);
    EXPECT_EQ(2u, out.size());
    lines.FlushIfQuiet(2256, out);
    ASSERT_EQ(3u, out.size());
    EXPECT_EQ(">> [L=  1, dly=1644]  04", out[2]);
    EXPECT_EQ(-1, lines.MsUntilQuiet(2300));
}

TEST(TraceLines, EmptyReadSeparatesRepeatedRequests)
{
    CTraceLines lines(0);
    std::vector<std::string> out;
    lines.Take(Msg(10, {0xA1}, false), out);
    lines.Take(Msg(20, {}, true), out);   // a read that brought nothing
    lines.Take(Msg(30, {0xA2}, false), out);
    lines.Flush(out);
    ASSERT_EQ(2u, out.size());
    EXPECT_EQ("<< [L=  1, dly=10]  A1", out[0]);
    EXPECT_EQ("<< [L=  1, dly=20]  A2", out[1]);
}

TEST(TraceLines, DroppedLineReadsBack)
{
    uint64_t count = 0;
    for (uint64_t n : {uint64_t{1}, uint64_t{65536}, UINT64_MAX}) {
        ASSERT_TRUE(CTraceLines::ParseDroppedLine(CTraceLines::DroppedLine(n), count)) << n;
        EXPECT_EQ(n, count);
    }
    const std::string good = CTraceLines::DroppedLine(12);
    for (const std::string& bad : std::vector<std::string>{std::string(), std::string("!! [dropped="), good.substr(0, good.size() - 1),
                                   std::string("!! [dropped=-3") + good.substr(14), "<< [L=  1, dly=0]  01",
                                   std::string("!! [dropped=99999999999999999999") + good.substr(14)})
        EXPECT_FALSE(CTraceLines::ParseDroppedLine(bad, count)) << bad;
}

namespace {
class RecordingTarget : public ITraceTarget {
public:
    void RegisterThread(CTraceThread* thread, bool registered) override
    {
        std::lock_guard<std::mutex> lock(m_lock);
        m_events.push_back(thread && registered ? "register" : thread ? "unregister" : "null");
    }
    void AddLine(const std::string& line) override
    {
        std::lock_guard<std::mutex> lock(m_lock);
        m_events.push_back(line);
    }
    std::vector<std::string> Events()
    {
        std::lock_guard<std::mutex> lock(m_lock);
        return m_events;
    }

private:
    std::mutex m_lock;
    std::vector<std::string> m_events;
};
}

TEST(TraceThread, LinkHooksReachTheFileAndStoppingFlushes)
{
    TempFile file;
    {
        std::ofstream(file.Path()) << "earlier line\n";
    }
    CFileTraceTarget target(file.Path());
    ASSERT_TRUE(target.IsOpen());
    CLink link;
    const uint8_t request[] = {0x51, 0x52, 0x53, 0x54, 0x30};
    const uint8_t answer[] = {0x51, 0x52, 0x53, 0x54, 0x30, 0x00};
    link.TraceBytes(request, sizeof request, false);   // no trace yet: dropped
    link.SetTrace(&target);
    link.TraceBytes(request, sizeof request, false);
    link.TraceBytes(answer, 4, true);

    // The request line is complete once the answer starts; it appears while the trace runs.
    std::vector<std::string> lines;
    WaitUntil([&] { return (lines = ReadLines(file.Path())).size() >= 2; }, 2000);
    ASSERT_EQ(2u, lines.size());
    EXPECT_EQ("earlier line", lines[0]);
    EXPECT_EQ(0u, lines[1].rfind("<< [L=  5, dly=", 0)) << lines[1];
    EXPECT_EQ(" 51 52 53 54 30", lines[1].substr(lines[1].size() - 15));

    link.TraceBytes(answer + 4, 2, true);
    link.SetTrace(nullptr);   // the pending answer is written before the thread ends
    lines = ReadLines(file.Path());
    ASSERT_EQ(3u, lines.size());
    EXPECT_EQ(0u, lines[2].rfind(">> [L=  6, dly=", 0)) << lines[2];
    EXPECT_EQ(" 51 52 53 54 30 00", lines[2].substr(lines[2].size() - 18));
}

TEST(TraceThread, RegistersOnceAndEmitsEverythingInOrder)
{
    RecordingTarget target;
    {
        CTraceThread thread(&target);
        for (uint8_t i = 0; i < 50; ++i) {
            const uint32_t now = TickCount();
            thread.Queue(Msg(now, {i}, (i % 2) != 0));
        }
    }
    auto events = target.Events();
    ASSERT_EQ(52u, events.size());
    EXPECT_EQ("register", events.front());
    EXPECT_EQ("unregister", events.back());
    for (int i = 0; i < 50; ++i)
    {
        char hex[8];
        std::snprintf(hex, sizeof hex, " %.2X", i);
        EXPECT_EQ(hex, events[i + 1].substr(events[i + 1].size() - 3));
        EXPECT_EQ(i % 2 ? ">> " : "<< ", events[i + 1].substr(0, 3));
    }
}

TEST(TraceThread, PendingLineGoesOutAfterQuiet)
{
    RecordingTarget target;
    CTraceThread thread(&target);
    thread.Queue(Msg(TickCount(), {0x42}, true));
    // No further message and no stop: the line still reaches the target.
    WaitUntil([&] { return target.Events().size() >= 2; }, 5000);
    ASSERT_EQ(2u, target.Events().size());
    EXPECT_EQ(" 42", target.Events()[1].substr(target.Events()[1].size() - 3));
}

TEST(TraceThread, IdleThreadDoesNotSpin)
{
    RecordingTarget target;
    CTraceThread thread(&target);
    timespec a{}, b{};
    clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &a);
    std::this_thread::sleep_for(std::chrono::milliseconds(300));
    clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &b);
    const double cpuMs = (b.tv_sec - a.tv_sec) * 1e3 + (b.tv_nsec - a.tv_nsec) / 1e6;
    EXPECT_LT(cpuMs, 100.0);
}

TEST(TraceThread, StalledFileKeepsTheQueueBoundedAndTheTraceCountsWhatWasDropped)
{
    CStalledFifo fifo;
    ASSERT_TRUE(fifo.IsReady());
    auto target = std::make_unique<CFileTraceTarget>(fifo.Path());
    ASSERT_TRUE(target->IsOpen());
    constexpr size_t kCapacity = 64;
    uint32_t queued = 0;
    uint64_t dropped = 0;
    size_t mostQueued = 0;
    {
        CTraceThread thread(target.get(), TickCount, kCapacity);
        // Each message carries its number; directions alternate, so each message
        // kept is a line of its own.
        const auto queue = [&] {
            const uint32_t n = queued++;
            thread.Queue(Msg(TickCount(), {uint8_t(n), uint8_t(n >> 8), uint8_t(n >> 16), uint8_t(n >> 24)}, n % 2 != 0));
            mostQueued = std::max(mostQueued, thread.Queued());
        };
        while (thread.Dropped() < 5000 && queued < 50000000)
            queue();
        fifo.StartReading();   // the writer comes back; traffic goes on
        for (int i = 0; i < 2000; ++i)
            queue();
        dropped = thread.Dropped();
    }
    target.reset();   // the writer closes: the reader sees the end
    ASSERT_GE(dropped, 5000u) << "the writer never stalled";
    EXPECT_LE(mostQueued, kCapacity);

    // Every message kept is in the trace in order; each gap is marked where it
    // is with its exact count.
    int64_t last = -1;
    uint64_t gap = 0, droppedInTrace = 0, kept = 0, gapLines = 0;
    std::istringstream text(fifo.Text());
    for (std::string line; std::getline(text, line);) {
        uint64_t count = 0;
        if (CTraceLines::ParseDroppedLine(line, count)) {
            ASSERT_EQ(gap, 0u) << "two gap lines in a row";
            gap = count;
            droppedInTrace += count;
            ++gapLines;
            continue;
        }
        ASSERT_TRUE(line.rfind("<< [L=  4, dly=", 0) == 0 || line.rfind(">> [L=  4, dly=", 0) == 0) << line;
        unsigned b[4] = {};
        ASSERT_EQ(std::sscanf(line.c_str() + line.find(']') + 1, " %x %x %x %x", &b[0], &b[1], &b[2], &b[3]), 4) << line;
        const int64_t n = b[0] | b[1] << 8 | b[2] << 16 | int64_t{b[3]} << 24;
        ASSERT_EQ(n, last + 1 + static_cast<int64_t>(gap)) << line;
        last = n;
        gap = 0;
        ++kept;
    }
    EXPECT_GE(gapLines, 1u);
    EXPECT_EQ(droppedInTrace, dropped);
    EXPECT_EQ(kept + dropped, queued);
}
