#include "SimRig.h"

#include "common/WriteJournal.h"
#include "protocol/vq7prot/Vq7comm.h"

#include <filesystem>
#include <unistd.h>

#include <stdexcept>
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

void FixAnswerChecks(std::vector<uint8_t>& answer)
{
    const unsigned n = static_cast<unsigned>(answer.size()) - 2;
    ComputeChecks(answer.data(), n, answer[n], answer[n + 1]);
}

SimRig::SimRig(Transport transport, std::unique_ptr<CRig> rig)
    : m_journal((std::filesystem::temp_directory_path() /
                 ("vq7-simrig-journal-" + std::to_string(::getpid()) + "-" +
                  std::to_string(reinterpret_cast<uintptr_t>(this)) + ".csv"))
                    .string()),
      m_pRig(std::move(rig))
{
    std::filesystem::remove(m_journal);
    CWriteJournal::SetPath(m_journal);
    std::string error;
    switch (transport) {
    case TcpGateway:
    case PtyGateway:
        m_pGateway = std::make_unique<CRigGateway>(
            *m_pRig, transport == TcpGateway ? CRigGateway::Tcp : CRigGateway::Pty);
        m_pGateway->Configure(m_conn);
        return;
    case Tcp:
        m_pServer = CSimServer::StartTcp(*m_pRig, "127.0.0.1", 0, &error);
        if (!m_pServer)
            throw std::runtime_error("simulator: " + error);
        m_conn.m_sPort = "TCP/IP";
        m_conn.m_sIp = "127.0.0.1";
        m_conn.m_sTcpIpPort = std::to_string(m_pServer->Port());
        return;
    case Pty:
        m_pServer = CSimServer::StartPty(*m_pRig, "", &error);
        if (!m_pServer)
            throw std::runtime_error("simulator: " + error);
        m_conn.m_sPort = m_pServer->SlavePath();
        m_conn.m_nSpeed = 115200;
        return;
    }
}

namespace {
std::unique_ptr<CRig> RigOf(const std::vector<SimMeterConfig>& meters, unsigned integrationMs)
{
    auto rig = std::make_unique<CRig>();
    rig->SetIntegrationMs(integrationMs);
    rig->SetFlow(10.0);
    for (const auto& m : meters)
        if (!rig->AddMeter(m))
            throw std::runtime_error("meter not added: " + std::to_string(m.number));
    return rig;
}
}

SimRig::SimRig(const std::vector<SimMeterConfig>& meters, unsigned integrationMs, Transport transport)
    : SimRig(transport, RigOf(meters, integrationMs))
{
}

SimRig::~SimRig()
{
    m_conn.Close();
    Stop();
    std::error_code ec;
    std::filesystem::remove(m_journal, ec);
    CWriteJournal::SetPath("");
}

void SimRig::Stop()
{
    m_pGateway.reset();
    if (m_pServer)
        m_pServer->Stop();
}

CVirtualMeter& SimRig::Meter(uint32_t number)
{
    CVirtualMeter* m = m_pRig->Meter(number);
    if (!m)
        throw std::runtime_error("no meter " + std::to_string(number));
    return *m;
}
