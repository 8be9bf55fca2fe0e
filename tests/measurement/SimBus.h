#pragma once
// Virtual meters of the rig simulator behind a real transport, and the
// connection of the workstation to them.
#include "protocol/connection.h"
#include "sim/Rig.h"
#include "sim/SimServer.h"
#include "support/LoopbackServer.h"

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

// A flow meter that identifies as "FJ  " with the given model (parameter 0).
SimMeterConfig FlowMeter(uint32_t number, int model = 0);

class SimBus {
public:
    enum Transport { Tcp, Pty, Gateway };

    // Called by the Gateway transport with every request and its answer, which it may rewrite.
    using AnswerHook = std::function<void(const std::vector<uint8_t>& request, std::vector<uint8_t>& answer)>;

    // Gateway: a test gateway on loopback that hands each request to the rig.
    explicit SimBus(const std::vector<SimMeterConfig>& meters, unsigned integrationMs = 150,
                    Transport transport = Tcp, AnswerHook onAnswer = {});
    ~SimBus();

    CRig& Rig() { return m_rig; }
    connection& Conn() { return m_conn; }
    CVirtualMeter& Meter(uint32_t number) { return *m_rig.Meter(number); }

private:
    void ServeGateway(LoopbackServer::Peer& peer);

    AnswerHook m_onAnswer;
    CRig m_rig;
    std::unique_ptr<CSimServer> m_server;
    std::unique_ptr<LoopbackServer> m_gateway;
    connection m_conn;
    std::string m_journal;   // the write journal while this bus lives
};

// Recomputes the two check bytes at the end of an answer frame.
void FixAnswerChecks(std::vector<uint8_t>& answer);
