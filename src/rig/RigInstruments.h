#pragma once
// The rig's instruments over Modbus (TCP or RTU, libmodbus): the reference
// meter's rate and total, the water's temperature and pressure, the drive's
// set-point and run coil. Every call returns false with the reason in `why`;
// a value out of range is a failure too. Calls are serialised; any thread.
#include "rig/RigConfig.h"

#include <chrono>
#include <cmath>
#include <mutex>
#include <string>

struct RigSample {
    double rate = NAN;          // m3/h
    double total = NAN;         // m3
    double temperature = NAN;   // °C
    double pressure = NAN;      // bar
    // Middle of the total's (else the rate's) transaction.
    std::chrono::steady_clock::time_point at{};
    // Half that transaction's length: how far `at` may lie from the instant read.
    std::chrono::microseconds halfSpan{0};
};

struct _modbus;

class CRigInstruments {
public:
    explicit CRigInstruments(const RigConfig& config);
    ~CRigInstruments();
    CRigInstruments(const CRigInstruments&) = delete;
    CRigInstruments& operator=(const CRigInstruments&) = delete;

    const RigConfig& Config() const { return m_config; }
    bool Open(std::string& why);
    void Close();
    // Every register the config names.
    bool Read(RigSample& out, std::string& why);
    // Set-point, then the run coil on.
    bool SetFlow(double m3h, std::string& why);
    // Run coil off (set-point 0 without one).
    bool StopFlow(std::string& why);

private:
    bool Connected(std::string& why);
    bool ReadValue(const RegisterSpec& reg, const char* what, double& value, std::string& why,
                   std::chrono::steady_clock::time_point* at = nullptr, std::chrono::microseconds* half = nullptr);
    bool Failed(const std::string& what, std::string& why);

    RigConfig m_config;
    std::mutex m_lock;
    _modbus* m_ctx = nullptr;
    bool m_connected = false;
};
