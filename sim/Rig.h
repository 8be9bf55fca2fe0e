#pragma once
// The test rig: up to ten virtual meters on one bus, the true flow and the
// reference flow measured by the rig over each integration.
#include "sim/VirtualMeter.h"

#include <cstdint>
#include <deque>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

constexpr unsigned SIM_MAX_METERS = 10;

// One answer on the bus, with the time the meter takes before it.
struct BusAnswer {
    std::vector<uint8_t> bytes;   // empty: nobody answers
    unsigned delayMs = 0;
    uint32_t meter = 0;           // number of the meter that answered (0: none)
};

class CRig {
public:
    CRig();
    ~CRig();
    CRig(const CRig&) = delete;
    CRig& operator=(const CRig&) = delete;

    // The ten meters of the default rig.
    static std::vector<SimMeterConfig> DefaultMeters();
    static std::unique_ptr<CRig> DefaultRig();

    // Rig file: one meter a line, '#' comments. false with a message on a bad line.
    bool LoadRigFile(const std::string& path, std::string* error = nullptr);
    static bool ParseRigText(const std::string& text, std::vector<SimMeterConfig>& meters,
                             std::string* error = nullptr);

    // Null when the rig is full or the number is taken.
    CVirtualMeter* AddMeter(const SimMeterConfig& config);
    CVirtualMeter* Meter(uint32_t number);
    size_t MeterCount() const;
    std::vector<uint32_t> Numbers() const;

    // True flow, m3/h; negative is reverse. With a settling time the flow
    // approaches the new value exponentially (time constant in seconds).
    void SetFlow(double m3h);
    void SetSettleSeconds(double seconds);
    // A drive that hunts: the flow swings ±5 % around the set value (never settles).
    void SetHunting(bool on);
    bool Hunting() const;
    double Flow() const;
    double FlowAt(SimClock::time_point t) const;
    void SetIntegrationMs(unsigned ms);
    unsigned IntegrationMs() const;
    // Relative standard deviation of the meters' samples and of the rig's reference.
    void SetNoise(double meterRelative, double rigRelative);

    // Wire timing: 0 = none; else 10 bits a byte at this baud rate (transports apply it).
    void SetBaud(unsigned baud);
    unsigned Baud() const;
    // Microseconds the bytes take on the wire at the rig's baud rate (0 without timing).
    unsigned WireMicros(size_t bytes) const;

    // Pairs and parameters kept in DIR/<number>.state; loads what is there.
    bool SetStateDir(const std::string& dir, std::string* error = nullptr);

    // Reference flow of the last finished integration, with the rig's noise.
    double LastReferenceFlow() const;
    unsigned ReferenceCount() const;
    // Each finished integration appends its reference flow as one line ("%.6f").
    void SetReferenceFile(const std::string& path);
    // Called with every new reference flow and the integration length (console line).
    void SetReferenceListener(std::function<void(double reference, unsigned ms)> listener);

    // The pure bus: one request frame in, the answer of the addressed meter out.
    std::vector<uint8_t> Answer(const std::vector<uint8_t>& request);
    BusAnswer Exchange(const uint8_t* request, size_t length);
    // Finishes integrations that are due (transports call it while idle).
    void Poll();

private:
    void StartReferenceCycle(SimClock::time_point now);
    void FinishReferenceCycle();
    void SaveMeterState(const CVirtualMeter& meter);
    void LoadMeterState(CVirtualMeter& meter);

    mutable std::mutex m_busLock;     // one exchange at a time
    mutable std::mutex m_flowLock;    // flow history
    mutable std::mutex m_refLock;     // reference cycle
    std::vector<std::unique_ptr<CVirtualMeter>> m_meters;
    struct FlowStep {
        SimClock::time_point at;
        double target = 0;
        double from = 0;   // the flow at `at`
    };
    double FlowAtLocked(SimClock::time_point t) const;
    std::deque<FlowStep> m_flowHistory;
    double m_flow = 0;
    double m_settleSeconds = 0;
    bool m_hunting = false;
    unsigned m_integrationMs = 3000;
    double m_meterNoise = 0.001;
    double m_rigNoise = 0.0005;
    unsigned m_baud = 0;
    std::string m_stateDir;

    bool m_refRunning = false;
    SimClock::time_point m_refStart{};
    SimClock::time_point m_refEnd{};
    double m_lastReference = 0;
    unsigned m_referenceCount = 0;
    std::string m_referenceFile;
    std::function<void(double, unsigned)> m_referenceListener;
    uint32_t m_rigSeed = 12345;
};
