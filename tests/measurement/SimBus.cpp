#include "SimBus.h"

#include "common/WriteJournal.h"
#include "protocol/vq7prot/Vq7comm.h"
#include "protocol/vq7prot/vq7cmd.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <stdexcept>
#include <unistd.h>
#include <string>

SimMeterConfig FlowMeter(uint32_t number, int model)
{
    SimMeterConfig c;
    c.number = number;
    c.type = "FJ  ";
    c.version = "4.02 ";
    c.fullVersion = "04.02.01";
    c.model = model;
    return c;
}

SimBus::SimBus(const std::vector<SimMeterConfig>& meters, unsigned integrationMs, Transport transport,
               AnswerHook onAnswer)
    : m_onAnswer(std::move(onAnswer))
{
    m_journal = (std::filesystem::temp_directory_path() /
                 ("vq7-simbus-journal-" + std::to_string(::getpid()) + "-" +
                  std::to_string(reinterpret_cast<uintptr_t>(this)) + ".csv"))
                    .string();
    CWriteJournal::SetPath(m_journal);
    m_rig.SetIntegrationMs(integrationMs);
    m_rig.SetFlow(10.0);
    for (const auto& m : meters)
        if (!m_rig.AddMeter(m))
            throw std::runtime_error("meter not added: " + std::to_string(m.number));
    std::string error;
    if (transport == Gateway) {
        m_gateway = std::make_unique<LoopbackServer>([this](LoopbackServer::Peer& p) { ServeGateway(p); });
        m_conn.m_sPort = "TCP/IP";
        m_conn.m_sIp = "127.0.0.1";
        m_conn.m_sTcpIpPort = m_gateway->PortText();
        return;
    }
    if (transport == Tcp) {
        m_server = CSimServer::StartTcp(m_rig, "127.0.0.1", 0, &error);
        if (!m_server)
            throw std::runtime_error("simulator: " + error);
        m_conn.m_sPort = "TCP/IP";
        m_conn.m_sIp = "127.0.0.1";
        m_conn.m_sTcpIpPort = std::to_string(m_server->Port());
    } else {
        m_server = CSimServer::StartPty(m_rig, "", &error);
        if (!m_server)
            throw std::runtime_error("simulator: " + error);
        m_conn.m_sPort = m_server->SlavePath();
        m_conn.m_nSpeed = 115200;
    }
}

SimBus::~SimBus()
{
    std::filesystem::remove(m_journal);
    CWriteJournal::SetPath("");
    if (m_gateway)
        m_gateway->Stop();
    if (m_server)
        m_server->Stop();
}

void SimBus::ServeGateway(LoopbackServer::Peer& peer)
{
    while (!peer.Stopped()) {
        std::vector<uint8_t> request(VQ7_CMD_SIZE);
        if (!peer.Receive(request.data(), request.size(), 60000))
            return;
        std::vector<uint8_t> answer = m_rig.Answer(request);
        if (m_onAnswer && !answer.empty())
            m_onAnswer(request, answer);
        if (!answer.empty() && !peer.Send(answer))
            return;
    }
}

void FixAnswerChecks(std::vector<uint8_t>& answer)
{
    const unsigned n = static_cast<unsigned>(answer.size()) - 2;
    ComputeChecks(answer.data(), n, answer[n], answer[n + 1]);
}

namespace {
// Retry pauses are not what these tests look at: shorten them for speed.
class ShortRetryPause : public ::testing::Environment {
public:
    void SetUp() override { g_nRetryPauseMs = 20; }
    void TearDown() override { g_nRetryPauseMs = 200; }
};
[[maybe_unused]] ::testing::Environment* const g_shortRetryPause =
    ::testing::AddGlobalTestEnvironment(new ShortRetryPause);
}
