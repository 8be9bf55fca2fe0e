// Median round trip of a 16-byte request and a 32-byte answer through
// connection::Exchange, beside a raw socket and a raw pty ping-pong; on the pty
// also the raw ping-pong with each step the serial link adds (purge, waiting for
// the output queue, the answer read in two parts), to show what each costs.
#include "RatioReport.h"
#include "protocol/connection.h"
#include "support/LoopbackServer.h"
#include "support/PtyPair.h"

#include <benchmark/benchmark.h>

#include <algorithm>

#include <arpa/inet.h>
#include <atomic>
#include <fcntl.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <sys/ioctl.h>
#include <sys/socket.h>
#include <termios.h>
#include <thread>
#include <unistd.h>

namespace {
constexpr size_t kRequest = 16;
constexpr size_t kAnswer = 32;
constexpr uint8_t kCommand = 0x10;   // answers of 32 bytes

std::vector<uint8_t> Frame(size_t size)
{
    std::vector<uint8_t> f(size, 0);
    f[0] = 0x51; f[1] = 0x52; f[2] = 0x53; f[3] = 0x54;
    f[4] = kCommand;
    return f;
}

bool ReadExactly(int fd, uint8_t* p, size_t n, const std::atomic<bool>* stop = nullptr)
{
    while (n > 0) {
        pollfd pfd{fd, POLLIN, 0};
        if (poll(&pfd, 1, 100) <= 0) {
            if (stop && *stop)
                return false;
            continue;
        }
        ssize_t got = read(fd, p, n);
        if (got <= 0) {
            if (got < 0 && (errno == EAGAIN || errno == EINTR))
                continue;
            return false;
        }
        p += got;
        n -= static_cast<size_t>(got);
    }
    return true;
}

bool WriteAll(int fd, const uint8_t* p, size_t n)
{
    while (n > 0) {
        ssize_t put = write(fd, p, n);
        if (put < 0) {
            if (errno == EAGAIN || errno == EINTR) {
                pollfd pfd{fd, POLLOUT, 0};
                poll(&pfd, 1, 100);
                continue;
            }
            return false;
        }
        p += put;
        n -= static_cast<size_t>(put);
    }
    return true;
}

// The meter behind the pty master: every request gets one answer at once.
class PtyResponder {
public:
    explicit PtyResponder(PtyPair& pty)
        : m_thread([this, &pty] {
              const std::vector<uint8_t> answer = Frame(kAnswer);
              uint8_t request[kRequest];
              while (ReadExactly(pty.Master(), request, kRequest, &m_stop))
                  WriteAll(pty.Master(), answer.data(), answer.size());
          })
    {
    }
    ~PtyResponder()
    {
        m_stop = true;
        m_thread.join();
    }

private:
    std::atomic<bool> m_stop{false};
    std::thread m_thread;
};

void ExchangeLoop(benchmark::State& state, connection& c)
{
    const std::vector<uint8_t> request = Frame(kRequest);
    uint8_t answer[kAnswer];
    for (auto _ : state) {
        if (c.Exchange(request.data(), kRequest, answer, kAnswer, 1000, nullptr) != RC_OK) {
            state.SkipWithError("exchange failed");
            break;
        }
        benchmark::DoNotOptimize(answer);
    }
}

// Steps of the serial link added to the raw ping-pong, as flags.
enum : int { kPurge = 1, kDrainWait = 2, kTwoPartRead = 4 };

void RawLoop(benchmark::State& state, int fd, int steps = 0)
{
    const std::vector<uint8_t> request = Frame(kRequest);
    uint8_t answer[kAnswer];
    constexpr size_t kHead = 6;   // the link reads the head first, then the rest
    for (auto _ : state) {
        if (steps & kPurge)
            tcflush(fd, TCIOFLUSH);
        bool ok = WriteAll(fd, request.data(), kRequest);
        if (steps & kDrainWait) {
            int queued = 0;
            ioctl(fd, TIOCOUTQ, &queued);
        }
        if (steps & kTwoPartRead)
            ok = ok && ReadExactly(fd, answer, kHead) && ReadExactly(fd, answer + kHead, kAnswer - kHead);
        else
            ok = ok && ReadExactly(fd, answer, kAnswer);
        if (!ok) {
            state.SkipWithError("ping-pong failed");
            break;
        }
        benchmark::DoNotOptimize(answer);
    }
}

void BM_ExchangeTcp(benchmark::State& state)
{
    LoopbackServer server(LoopbackServer::Answer(kRequest, Frame(kAnswer)));
    connection c;
    if (c.OpenTcpIp("127.0.0.1", server.PortText()) != RC_OK) {
        state.SkipWithError("cannot connect");
        return;
    }
    ExchangeLoop(state, c);
    c.Close();
}

void BM_RawSocket(benchmark::State& state)
{
    LoopbackServer server(LoopbackServer::Answer(kRequest, Frame(kAnswer)));
    int fd = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    int one = 1;
    setsockopt(fd, IPPROTO_TCP, TCP_NODELAY, &one, sizeof one);
    sockaddr_in addr{};
    addr.sin_family = AF_INET;
    addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    addr.sin_port = htons(server.Port());
    if (connect(fd, reinterpret_cast<sockaddr*>(&addr), sizeof addr) != 0) {
        state.SkipWithError("cannot connect");
        close(fd);
        return;
    }
    RawLoop(state, fd);
    close(fd);
}

void BM_ExchangePty(benchmark::State& state)
{
    PtyPair pty;
    PtyResponder meter(pty);
    connection c;
    c.m_sPort = pty.SlaveName();
    c.m_nSpeed = 115200;
    if (c.Open() != RC_OK) {
        state.SkipWithError("cannot open the pty");
        return;
    }
    ExchangeLoop(state, c);
    c.Close();
}

void BM_RawPty(benchmark::State& state)
{
    PtyPair pty;
    PtyResponder meter(pty);
    RawLoop(state, pty.Slave(), static_cast<int>(state.range(0)));
}
}

// The fastest repetition beside the median: the machine may be shared.
double Fastest(const std::vector<double>& v) { return *std::min_element(v.begin(), v.end()); }
#define VQ7_BENCH_OPTIONS Repetitions(9)->ComputeStatistics("min", Fastest)->ReportAggregatesOnly(true)->UseRealTime()->Unit(benchmark::kMicrosecond)
BENCHMARK(BM_ExchangeTcp)->VQ7_BENCH_OPTIONS;
BENCHMARK(BM_RawSocket)->VQ7_BENCH_OPTIONS;
BENCHMARK(BM_ExchangePty)->VQ7_BENCH_OPTIONS;
BENCHMARK(BM_RawPty)->Arg(0)->Arg(kPurge)->Arg(kDrainWait)->Arg(kTwoPartRead)
    ->Arg(kPurge | kDrainWait | kTwoPartRead)->VQ7_BENCH_OPTIONS;

int main(int argc, char** argv)
{
    AddRatio("Exchange / raw, TCP", "BM_ExchangeTcp", "BM_RawSocket");
    AddRatio("Exchange / raw, pty", "BM_ExchangePty", "BM_RawPty/0");
    AddRatio("raw pty + purge / raw", "BM_RawPty/1", "BM_RawPty/0");
    AddRatio("raw pty + output queue wait / raw", "BM_RawPty/2", "BM_RawPty/0");
    AddRatio("raw pty + two-part read / raw", "BM_RawPty/4", "BM_RawPty/0");
    AddRatio("raw pty + all three / raw", "BM_RawPty/7", "BM_RawPty/0");
    AddRatio("Exchange pty / raw pty + all three", "BM_ExchangePty", "BM_RawPty/7");
    return RunWithRatios(argc, argv);
}
