#pragma once
// The rig's instruments as config.ini [RIG] describes them: the reference
// meter, the flow drive and the sensors, their Modbus link and registers, and
// the rule a settled flow keeps.
#include "rig/RegisterCodec.h"

#include <string>

class CSettingsFile;

enum class RegisterTable { Input, Holding };

struct RegisterSpec {
    bool present = false;
    int address = 0;   // 0-based register number
    RegisterType type = RegisterType::Float32;
    double scale = 1;
    RegisterTable table = RegisterTable::Input;
};

struct RigConfig {
    bool modbus = false;   // reference=modbus; manual entry otherwise
    bool rtu = false;      // transport=rtu; tcp otherwise
    std::string host = "127.0.0.1";
    int port = 502;
    std::string device;
    int baud = 9600;
    char parity = 'N';
    int unit = 1;
    int timeoutMs = 500;
    WordOrder order = WordOrder::HighFirst;
    RegisterSpec rate;          // m3/h
    RegisterSpec total;         // m3
    RegisterSpec temperature;   // °C
    RegisterSpec pressure;      // bar
    RegisterSpec setpoint;      // m3/h, a holding register
    int runCoil = -1;           // -1: the drive has no run coil
    double settleBandPercent = 1.0;
    double settleSeconds = 5.0;
    double settleTimeoutSeconds = 120.0;
    bool unattended = false;    // the reference flow is taken without asking

    bool HasDrive() const { return setpoint.present; }
    // "host:port" or the device, for messages.
    std::string LinkText() const;
};

// Reads [RIG]; every key that cannot work is an error in ini.Errors() naming
// the section and key. False when any was found (the config is then unusable).
bool ReadRigConfig(CSettingsFile& ini, RigConfig& out);

// The [RIG] section that reaches a Modbus TCP rig at host:port with the
// simulator's register map.
std::string RigSectionText(const std::string& host, int port);
