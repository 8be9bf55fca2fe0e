// Median round trip of a 16-byte request and a 32-byte answer through
// connection::Exchange, beside a raw socket and a raw pty ping-pong.
#include "protocol/connection.h"
#include "support/LoopbackServer.h"
#include "support/PtyPair.h"

#include <benchmark/benchmark.h>

#include <arpa/inet.h>
#include <atomic>
#include <fcntl.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <sys/socket.h>
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

void RawLoop(benchmark::State& state, int fd)
{
    const std::vector<uint8_t> request = Frame(kRequest);
    uint8_t answer[kAnswer];
    for (auto _ : state) {
        if (!WriteAll(fd, request.data(), kRequest) || !ReadExactly(fd, answer, kAnswer)) {
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
    RawLoop(state, pty.Slave());
}
}

BENCHMARK(BM_ExchangeTcp)->Repetitions(7)->ReportAggregatesOnly(true)->UseRealTime()->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_RawSocket)->Repetitions(7)->ReportAggregatesOnly(true)->UseRealTime()->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_ExchangePty)->Repetitions(7)->ReportAggregatesOnly(true)->UseRealTime()->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_RawPty)->Repetitions(7)->ReportAggregatesOnly(true)->UseRealTime()->Unit(benchmark::kMicrosecond);

BENCHMARK_MAIN();
