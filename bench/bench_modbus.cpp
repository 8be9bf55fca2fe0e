// One transaction of the meter protocol (ReadStatus: 16-byte request, 32-byte
// answer, through ExecCmd and the simulator's gateway) against one Modbus TCP
// transaction of similar size (read 12 holding registers: 12-byte request,
// 33-byte answer, libmodbus on both ends), on the same loopback.
#include "RatioReport.h"
#include "protocol/connection.h"
#include "protocol/vq7prot/vq7cmd.h"
#include "sim/Rig.h"
#include "sim/SimServer.h"

#include <benchmark/benchmark.h>

#include <algorithm>
#include <modbus.h>

#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <thread>
#include <unistd.h>

namespace {
constexpr int kRegisters = 12;

// A Modbus TCP server for one client on an ephemeral loopback port.
class CModbusServer {
public:
    CModbusServer()
    {
        m_ctx = modbus_new_tcp("127.0.0.1", 0);
        m_map = modbus_mapping_new(0, 0, 64, 0);
        m_listen = m_ctx && m_map ? modbus_tcp_listen(m_ctx, 1) : -1;
        if (m_listen < 0)
            return;
        sockaddr_in addr{};
        socklen_t len = sizeof addr;
        getsockname(m_listen, reinterpret_cast<sockaddr*>(&addr), &len);
        m_port = ntohs(addr.sin_port);
        m_thread = std::thread([this] {
            int listen = m_listen;
            if (modbus_tcp_accept(m_ctx, &listen) < 0)
                return;
            uint8_t query[MODBUS_TCP_MAX_ADU_LENGTH];
            for (;;) {
                const int n = modbus_receive(m_ctx, query);
                if (n < 0)
                    break;   // the client went away
                if (n > 0)
                    modbus_reply(m_ctx, query, n, m_map);
            }
        });
    }
    ~CModbusServer()
    {
        if (m_listen >= 0)
            shutdown(m_listen, SHUT_RDWR);
        if (m_thread.joinable())
            m_thread.join();
        if (m_listen >= 0)
            close(m_listen);
        if (m_ctx) {
            modbus_close(m_ctx);
            modbus_free(m_ctx);
        }
        if (m_map)
            modbus_mapping_free(m_map);
    }
    int Port() const { return m_port; }

private:
    modbus_t* m_ctx = nullptr;
    modbus_mapping_t* m_map = nullptr;
    int m_listen = -1;
    int m_port = 0;
    std::thread m_thread;
};

void BM_Vq7Transaction(benchmark::State& state)
{
    auto rig = CRig::DefaultRig();
    std::string error;
    auto server = CSimServer::StartTcp(*rig, "127.0.0.1", 0, &error);
    connection c;
    if (!server || c.OpenTcpIp("127.0.0.1", std::to_string(server->Port())) != RC_OK) {
        state.SkipWithError("no gateway");
        return;
    }
    uint8_t status[8];
    for (auto _ : state) {
        if (ReadStatus(&c, 11000002, status) != 0) {
            state.SkipWithError("ReadStatus failed");
            break;
        }
        benchmark::DoNotOptimize(status);
    }
    c.Close();
    server->Stop();
}

void BM_ModbusTransaction(benchmark::State& state)
{
    CModbusServer server;
    modbus_t* client = server.Port() ? modbus_new_tcp("127.0.0.1", server.Port()) : nullptr;
    if (!client || modbus_connect(client) != 0) {
        state.SkipWithError("no Modbus server");
        if (client)
            modbus_free(client);
        return;
    }
    uint16_t registers[kRegisters];
    for (auto _ : state) {
        if (modbus_read_registers(client, 0, kRegisters, registers) != kRegisters) {
            state.SkipWithError("read registers failed");
            break;
        }
        benchmark::DoNotOptimize(registers);
    }
    modbus_close(client);
    modbus_free(client);
}
}  // namespace

// The fastest repetition beside the median: the machine may be shared.
double Fastest(const std::vector<double>& v) { return *std::min_element(v.begin(), v.end()); }
#define VQ7_BENCH_OPTIONS Repetitions(9)->ComputeStatistics("min", Fastest)->ReportAggregatesOnly(true)->UseRealTime()->Unit(benchmark::kMicrosecond)
BENCHMARK(BM_Vq7Transaction)->VQ7_BENCH_OPTIONS;
BENCHMARK(BM_ModbusTransaction)->VQ7_BENCH_OPTIONS;

int main(int argc, char** argv)
{
    AddRatio("meter transaction / Modbus TCP transaction", "BM_Vq7Transaction", "BM_ModbusTransaction");
    return RunWithRatios(argc, argv);
}
