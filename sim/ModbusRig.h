#pragma once
// The rig's Modbus TCP slave (libmodbus): the reference meter (rate, total,
// water temperature and pressure in input registers) and the pump drive
// (set-point in holding registers 0-1, run coil 0), served on loopback.
// The set-point drives the rig's flow; the reference integrates that flow
// with its own small error. The register map is RigSectionText's.
#include "sim/Rig.h"

#include <atomic>
#include <memory>
#include <mutex>
#include <string>
#include <thread>

enum class ModbusFault { None, Silent, Exception, Stuck };

class CSimModbus {
public:
    // Null on failure (the reason in *error). Port 0 picks a free port.
    static std::unique_ptr<CSimModbus> Start(CRig& rig, const std::string& host, uint16_t port,
                                             std::string* error = nullptr);
    ~CSimModbus();
    CSimModbus(const CSimModbus&) = delete;
    CSimModbus& operator=(const CSimModbus&) = delete;

    void Stop();
    std::string Host() const { return m_host; }
    uint16_t Port() const { return m_port; }
    std::string Address() const { return m_host + ":" + std::to_string(m_port); }

    void SetFault(ModbusFault fault) { m_fault = fault; }
    ModbusFault Fault() const { return m_fault; }
    // The reference's relative error (its bias), e.g. 0.0002.
    void SetReferenceBias(double relative);
    // The reference's total, m3, and its rate now, m3/h (what the registers get).
    double ReferenceTotal();
    double ReferenceRate();
    unsigned Requests() const { return m_requests; }

private:
    explicit CSimModbus(CRig& rig) : m_rig(rig) {}
    void Serve();
    void Refresh(struct _modbus_mapping_t* map);
    void Apply(struct _modbus_mapping_t* map);

    CRig& m_rig;
    std::string m_host;
    uint16_t m_port = 0;
    int m_listen = -1;
    std::atomic<bool> m_stop{false};
    std::atomic<ModbusFault> m_fault{ModbusFault::None};
    std::atomic<unsigned> m_requests{0};
    std::mutex m_refLock;
    double m_bias = 0.0002;
    double m_total = 0;
    SimClock::time_point m_totalAt{};
    unsigned m_rateSeed = 777;
    float m_setpoint = 0;
    bool m_running = true;
    std::thread m_thread;
};
