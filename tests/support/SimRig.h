#pragma once
// The rig simulator in process behind a real transport on loopback (its own TCP
// server or pty, or a test gateway that logs, loses or rewrites frames), and a
// connection of the workstation bound to it. Retry pauses are short and the write
// journal goes to a temporary file while it lives.
#include "RigGateway.h"
#include "Wait.h"

#include "protocol/connection.h"
#include "sim/Rig.h"
#include "sim/SimServer.h"

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

// A flow meter that identifies as "FJ  " with the given model (parameter 0).
SimMeterConfig FlowMeter(uint32_t number, int model = 0);

// Recomputes the two check bytes at the end of an answer frame.
void FixAnswerChecks(std::vector<uint8_t>& answer);

class SimRig {
public:
    enum Transport { Tcp, Pty, TcpGateway, PtyGateway };

    // The given rig (an empty one by default) behind the transport.
    explicit SimRig(Transport transport = Tcp, std::unique_ptr<CRig> rig = std::make_unique<CRig>());
    // These meters, at a flow of 10 and the given integration time.
    SimRig(const std::vector<SimMeterConfig>& meters, unsigned integrationMs = 150, Transport transport = Tcp);
    ~SimRig();
    SimRig(const SimRig&) = delete;
    SimRig& operator=(const SimRig&) = delete;

    CRig& Rig() { return *m_pRig; }
    connection& Conn() { return m_conn; }
    CVirtualMeter& Meter(uint32_t number);
    // Only with the Tcp or Pty transport.
    CSimServer& Server() { return *m_pServer; }
    // Only with a gateway transport.
    CRigGateway& Gateway() { return *m_pGateway; }
    const std::string& JournalPath() const { return m_journal; }
    // Stops the transport: the meters fall silent.
    void Stop();

private:
    ScopedRetryPause m_pause;
    std::string m_journal;
    std::unique_ptr<CRig> m_pRig;
    std::unique_ptr<CSimServer> m_pServer;
    std::unique_ptr<CRigGateway> m_pGateway;
    connection m_conn;
};
