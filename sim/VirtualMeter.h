#pragma once
// One simulated meter: identification, parameters, clock, calibration pairs in
// EEPROM (and flash for the converters), the measurement model and its faults.
#include "sim/Faults.h"

#include <array>
#include <chrono>
#include <cstdint>
#include <functional>
#include <map>
#include <mutex>
#include <random>
#include <string>
#include <vector>

using SimClock = std::chrono::steady_clock;

// How a converter answers command 13 (restart).
enum class RestartMode {
    Answer0,     // answers, then restarts (copies EEPROM to flash) and is silent a while
    Unanswered,  // restarts at once without answering
    Answer239,   // refuses the argument; no restart
    Answer255,   // EEPROM write error; no restart
};
const char* RestartModeName(RestartMode mode);
bool RestartModeFromName(const std::string& name, RestartMode& mode);

struct SimPair {
    float gi = 0;
    float ge = 0;
};

struct SimMeterConfig {
    uint32_t number = 0;
    std::string type = "VQ7I";        // 4 characters, blank padded
    std::string version = "4.02 ";    // short version, 5 characters
    std::string fullVersion = "04.02.01";
    uint8_t idFlag = 0;
    std::string idText;               // UTF-8; sent as Windows-1251, blank padded to 10
    uint32_t features = 0;
    uint32_t devWordA = 0;
    uint32_t devWordB = 0;
    int model = 0;                    // parameter 0
    std::vector<SimPair> pairs;       // held at start; empty: count byte 255
    bool pairCountCommands = true;    // false: older software, commands 6 and 7 answered 240
    bool writeSwitch = true;
    unsigned pairCapacity = 64;       // pair slots in EEPROM
    unsigned responseDelayMs = 0;
    RestartMode restartMode = RestartMode::Answer0;
    unsigned restartSilenceMs = 1500;
    uint32_t seed = 0;                // hidden error curve and noise; 0: from the number
    std::vector<FaultRule> faults;
};

// What a meter does with one request.
struct MeterAnswer {
    bool silent = true;               // nothing goes on the wire
    std::vector<uint8_t> bytes;
    unsigned delayMs = 0;             // before the first byte
};

class CVirtualMeter {
public:
    explicit CVirtualMeter(const SimMeterConfig& config);
    CVirtualMeter(const CVirtualMeter&) = delete;
    CVirtualMeter& operator=(const CVirtualMeter&) = delete;

    // A request addressed to this meter (valid 16-byte frame). broadcast: sent to all.
    MeterAnswer Handle(const uint8_t* request, bool broadcast);

    // True flow of the rig at a moment (m3/h); set by the rig.
    void SetFlowSource(std::function<double(SimClock::time_point)> flowAt);
    // Relative standard deviation of the sample noise (0: none).
    void SetNoise(double relative);

    uint32_t Number() const { return m_cfg.number; }
    std::string Type() const { return m_cfg.type; }
    SimMeterConfig Config() const;
    bool IsConverter() const;            // type begins with DZW
    bool SwapsCurrentGi() const;         // DZW3/DZW4 up to full version 03.07.02

    // Calibration pairs in EEPROM: count byte (0 or 255: none) and the pair slots.
    uint8_t PairCountByte() const;
    std::vector<SimPair> Pairs() const;           // the pairs the count byte covers
    void SetPairs(const std::vector<SimPair>& pairs);  // also into flash
    void ClearPairs();                            // count 255
    std::vector<SimPair> FlashPairs() const;      // what the converter measures with

    // Parameters: number -> 4 value bytes.
    std::array<uint8_t, 4> ParamBytes(uint8_t number) const;
    float ParamFloat(uint8_t number) const;
    uint8_t ParamByte(uint8_t number) const;

    bool WriteSwitch() const;
    void SetWriteSwitch(bool on);
    RestartMode GetRestartMode() const;
    void SetRestartMode(RestartMode mode, unsigned silenceMs);
    void SetResponseDelay(unsigned ms);

    void AddFault(const FaultRule& rule);
    void ClearFaults();
    std::vector<FaultRule> Faults() const;

    // The hidden error curve: indicated flow for a true flow, without noise.
    double RawIndicated(double trueFlow) const;
    // Gv for an indicated flow, through the pairs the meter measures with.
    double Corrected(double gi) const;

    // Measurement.
    void SetIntegrationMs(unsigned ms);
    bool Measuring() const;          // status byte 4, 0x40
    bool Integrating() const;        // status byte 6, 0x02
    SimClock::time_point IntegrationStart() const;
    SimClock::time_point IntegrationEnd() const;

    // Counters for tests.
    unsigned RestartCount() const;
    unsigned CommandCount(uint8_t code) const;
    unsigned RequestCount() const;
    bool Silent() const;             // restarting

    // Pairs (all EEPROM slots written), parameters and switch as text, and back.
    std::string SaveState() const;
    bool LoadState(const std::string& text, std::string* error = nullptr);

    // Called after any change to pairs or parameters (state persistence).
    void SetChangeHook(std::function<void(const CVirtualMeter&)> hook);

private:
    struct Integration {
        bool measuring = false;
        bool running = false;
        SimClock::time_point start{};
        SimClock::time_point end{};
        std::chrono::microseconds period{10000};
        unsigned samplesDone = 0;
        unsigned samplesTotal = 0;
        double sumGi = 0;
        double sumGv = 0;
        double sumAbsGi = 0;
        double sumTrue = 0;
    };

    MeterAnswer Execute(const uint8_t* request, bool& changed);
    // The StoreOther faults: change the value (the pair's Ge when ge) the executed write request left.
    void StoreOtherLocked(const uint8_t* request, bool ge);
    void BuildAnswer(uint8_t code, const uint8_t* data, unsigned dataLen, unsigned frameLen,
                     std::vector<uint8_t>& out) const;
    void Advance(SimClock::time_point now);
    double SampleGi(double trueFlow);
    double CorrectedLocked(double gi) const;
    double FlowAt(SimClock::time_point t) const;
    bool RestartingLocked(SimClock::time_point now) const;
    void DoRestart(SimClock::time_point now);
    std::vector<SimPair> PairsLocked() const;
    const FaultRule* PickFault(uint8_t command, FaultRule& fired);
    void NotifyChange();

    mutable std::recursive_mutex m_lock;
    SimMeterConfig m_cfg;
    uint8_t m_bPairCount = 255;
    std::vector<SimPair> m_eeprom;       // pairCapacity slots
    std::vector<SimPair> m_flash;        // pairs in use by a converter
    std::map<uint8_t, std::array<uint8_t, 4>> m_params;
    double m_curve[6] = {};              // hidden error curve coefficients
    double m_noise = 0.001;
    std::mt19937 m_rng;
    std::function<double(SimClock::time_point)> m_flowAt;
    std::function<void(const CVirtualMeter&)> m_changeHook;
    unsigned m_integrationMs = 3000;
    Integration m_int;
    SimClock::time_point m_silentUntil{};
    unsigned m_restarts = 0;
    unsigned m_requests = 0;
    std::map<uint8_t, unsigned> m_cmdCounts;
    std::chrono::system_clock::duration m_clockOffset{};
};
