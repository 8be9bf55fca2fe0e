#include "sim/ModbusRig.h"

#include <modbus/modbus.h>

#include <arpa/inet.h>
#include <cerrno>
#include <cmath>
#include <cstring>
#include <netinet/in.h>
#include <poll.h>
#include <random>
#include <sys/socket.h>
#include <unistd.h>
#include <vector>

namespace {
void PutFloat(uint16_t* regs, float v)
{
    uint32_t bits;
    std::memcpy(&bits, &v, sizeof bits);
    regs[0] = static_cast<uint16_t>(bits >> 16);
    regs[1] = static_cast<uint16_t>(bits & 0xFFFF);
}

float GetFloat(const uint16_t* regs)
{
    const uint32_t bits = (static_cast<uint32_t>(regs[0]) << 16) | regs[1];
    float v;
    std::memcpy(&v, &bits, sizeof v);
    return v;
}

constexpr double kWaterTemperature = 20.0;   // °C
constexpr double kWaterPressure = 3.0;       // bar
}

std::unique_ptr<CSimModbus> CSimModbus::Start(CRig& rig, const std::string& host, uint16_t port, std::string* error)
{
    std::unique_ptr<CSimModbus> s(new CSimModbus(rig));
    s->m_host = host;
    const int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_in addr{};
    addr.sin_family = AF_INET;
    addr.sin_port = htons(port);
    const int one = 1;
    if (fd < 0 || inet_pton(AF_INET, host.c_str(), &addr.sin_addr) != 1 ||
        ::setsockopt(fd, SOL_SOCKET, SO_REUSEADDR, &one, sizeof one) != 0 ||
        ::bind(fd, reinterpret_cast<sockaddr*>(&addr), sizeof addr) != 0 || ::listen(fd, 8) != 0) {
        if (error)
            *error = "Modbus TCP on " + host + ":" + std::to_string(port) + ": " + std::strerror(errno);
        if (fd >= 0)
            ::close(fd);
        return nullptr;
    }
    socklen_t len = sizeof addr;
    ::getsockname(fd, reinterpret_cast<sockaddr*>(&addr), &len);
    s->m_port = ntohs(addr.sin_port);
    s->m_listen = fd;
    s->m_totalAt = SimClock::now();
    s->m_setpoint = static_cast<float>(rig.Flow());
    s->m_thread = std::thread([p = s.get()] { p->Serve(); });
    return s;
}

CSimModbus::~CSimModbus() { Stop(); }

void CSimModbus::Stop()
{
    m_stop = true;
    if (m_thread.joinable())
        m_thread.join();
    if (m_listen >= 0) {
        ::close(m_listen);
        m_listen = -1;
    }
}

void CSimModbus::SetReferenceBias(double relative)
{
    std::lock_guard lock(m_refLock);
    m_bias = relative;
}

double CSimModbus::ReferenceTotal()
{
    std::lock_guard lock(m_refLock);
    // The rig's flow integrated in 5 ms steps since the last reading.
    const auto now = SimClock::now();
    const auto step = std::chrono::milliseconds(5);
    while (m_totalAt < now) {
        const auto next = std::min(now, m_totalAt + step);
        const double hours = std::chrono::duration<double, std::ratio<3600>>(next - m_totalAt).count();
        m_total += m_rig.FlowAt(m_totalAt + (next - m_totalAt) / 2) * hours * (1.0 + m_bias);
        m_totalAt = next;
    }
    return m_total;
}

double CSimModbus::ReferenceRate()
{
    std::lock_guard lock(m_refLock);
    std::mt19937 rng(m_rateSeed++);
    std::normal_distribution<double> noise(0.0, 0.0005);
    return m_rig.FlowAt(SimClock::now()) * (1.0 + m_bias) * (1.0 + noise(rng));
}

void CSimModbus::Refresh(modbus_mapping_t* map)
{
    PutFloat(map->tab_input_registers + 0, static_cast<float>(ReferenceRate()));
    const double ml = std::fmod(std::floor(ReferenceTotal() * 1e6), 4294967296.0);
    const uint32_t total = static_cast<uint32_t>(ml < 0 ? ml + 4294967296.0 : ml);
    map->tab_input_registers[2] = static_cast<uint16_t>(total >> 16);
    map->tab_input_registers[3] = static_cast<uint16_t>(total & 0xFFFF);
    PutFloat(map->tab_input_registers + 4, static_cast<float>(kWaterTemperature));
    PutFloat(map->tab_input_registers + 6, static_cast<float>(kWaterPressure));
}

// A written set-point or run coil drives the rig's flow.
void CSimModbus::Apply(modbus_mapping_t* map)
{
    const float setpoint = GetFloat(map->tab_registers);
    const bool running = map->tab_bits[0] != 0;
    if (setpoint == m_setpoint && running == m_running)
        return;
    m_setpoint = setpoint;
    m_running = running;
    if (std::isfinite(setpoint))
        m_rig.SetFlow(running ? setpoint : 0.0);
}

void CSimModbus::Serve()
{
    modbus_t* ctx = modbus_new_tcp("127.0.0.1", m_port);
    modbus_mapping_t* map = modbus_mapping_new(16, 0, 16, 16);
    if (!ctx || !map) {
        if (ctx)
            modbus_free(ctx);
        return;
    }
    PutFloat(map->tab_registers, m_setpoint);
    map->tab_bits[0] = 1;
    std::vector<int> clients;
    uint8_t query[MODBUS_TCP_MAX_ADU_LENGTH];
    const int header = modbus_get_header_length(ctx);
    while (!m_stop) {
        std::vector<pollfd> fds{{m_listen, POLLIN, 0}};
        for (int c : clients)
            fds.push_back({c, POLLIN, 0});
        if (::poll(fds.data(), fds.size(), 100) <= 0)
            continue;
        int accepted = -1;
        if (fds[0].revents & POLLIN)
            accepted = ::accept4(m_listen, nullptr, nullptr, SOCK_CLOEXEC);
        for (size_t i = 1; i < fds.size(); ++i) {
            if (!(fds[i].revents & (POLLIN | POLLHUP | POLLERR)))
                continue;
            modbus_set_socket(ctx, fds[i].fd);
            const int n = modbus_receive(ctx, query);
            if (n < 0) {
                ::close(fds[i].fd);
                fds[i].fd = -1;
                continue;
            }
            if (n == 0)
                continue;   // a frame for another unit
            ++m_requests;
            const ModbusFault fault = m_fault;
            if (fault == ModbusFault::Silent)
                continue;
            if (fault == ModbusFault::Exception) {
                modbus_reply_exception(ctx, query, MODBUS_EXCEPTION_SLAVE_OR_SERVER_FAILURE);
                continue;
            }
            if (fault != ModbusFault::Stuck)
                Refresh(map);
            modbus_reply(ctx, query, n, map);
            const uint8_t function = query[header];
            if (function == 0x05 || function == 0x06 || function == 0x0F || function == 0x10)
                Apply(map);
        }
        std::vector<int> open;
        for (size_t i = 1; i < fds.size(); ++i)
            if (fds[i].fd >= 0)
                open.push_back(fds[i].fd);
        if (accepted >= 0)
            open.push_back(accepted);
        clients.swap(open);
    }
    for (int c : clients)
        ::close(c);
    modbus_set_socket(ctx, -1);
    modbus_mapping_free(map);
    modbus_free(ctx);
}
