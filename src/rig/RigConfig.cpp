#include "rig/RigConfig.h"

#include "common/NumberText.h"
#include "common/SettingsFile.h"

#include <cctype>

namespace {
const char* kSection = "RIG";

std::string Lower(std::string s)
{
    for (char& c : s)
        c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return s;
}

std::string Key(const std::string& key) { return "[RIG] " + key; }

// One of the words; an error naming the key otherwise.
bool Choice(CSettingsFile& ini, const std::string& key, std::initializer_list<const char*> words, std::string& out)
{
    if (!ini.Has(kSection, key))
        return true;
    const std::string v = Lower(ini.Text(kSection, key, ""));
    std::string list;
    for (const char* w : words) {
        if (v == w) {
            out = v;
            return true;
        }
        list += std::string(list.empty() ? "" : ", ") + w;
    }
    ini.AddError(ini.Name() + ": " + Key(key) + "=" + v + ": нужно одно из: " + list);
    return false;
}

void ReadRegister(CSettingsFile& ini, const std::string& name, RegisterSpec& reg, RegisterTable table)
{
    const std::string key = name + "_register";
    reg.table = table;
    if (!ini.Has(kSection, key))
        return;
    const size_t errors = ini.Errors().size();
    const long long address = ini.Whole(kSection, key, -1, -1, 65535);
    std::string type = RegisterTypeName(reg.type);
    if (ini.Has(kSection, name + "_type")) {
        type = Lower(ini.Text(kSection, name + "_type", type));
        if (!ParseRegisterType(type, reg.type))
            ini.AddError(ini.Name() + ": " + Key(name + "_type") + "=" + type +
                         ": нужно одно из: int16, uint16, int32, uint32, float32");
    }
    reg.scale = ini.Number(kSection, name + "_scale", reg.scale, -1e9, 1e9);
    if (reg.scale == 0)
        ini.AddError(ini.Name() + ": " + Key(name + "_scale") + "=0: масштаб не может быть 0");
    std::string where = table == RegisterTable::Input ? "input" : "holding";
    if (table == RegisterTable::Input && Choice(ini, name + "_table", {"input", "holding"}, where))
        reg.table = where == "holding" ? RegisterTable::Holding : RegisterTable::Input;
    if (address >= 0 && address + RegisterCount(reg.type) - 1 > 65535)
        ini.AddError(ini.Name() + ": " + Key(key) + "=" + std::to_string(address) + ": регистр " +
                     RegisterTypeName(reg.type) + " выходит за 65535");
    reg.address = static_cast<int>(address);
    reg.present = address >= 0 && ini.Errors().size() == errors;
}
}

std::string RigConfig::LinkText() const
{
    return rtu ? device : host + ":" + std::to_string(port);
}

bool ReadRigConfig(CSettingsFile& ini, RigConfig& out)
{
    out = RigConfig{};
    const size_t errors = ini.Errors().size();
    std::string reference = "manual";
    Choice(ini, "reference", {"manual", "modbus"}, reference);
    out.modbus = reference == "modbus";
    if (!out.modbus)
        return ini.Errors().size() == errors;

    // Defaults of the simulator's map: total in millilitres.
    out.total.type = RegisterType::UInt32;
    out.total.scale = 0.000001;

    std::string transport = "tcp";
    Choice(ini, "transport", {"tcp", "rtu"}, transport);
    out.rtu = transport == "rtu";
    out.host = ini.Text(kSection, "host", out.host);
    out.port = static_cast<int>(ini.Whole(kSection, "port", out.port, 1, 65535));
    out.device = ini.Text(kSection, "device", "");
    out.baud = static_cast<int>(ini.Whole(kSection, "baud", out.baud, 300, 4000000));
    std::string parity = "n";
    if (Choice(ini, "parity", {"n", "e", "o"}, parity))
        out.parity = static_cast<char>(std::toupper(static_cast<unsigned char>(parity[0])));
    out.unit = static_cast<int>(ini.Whole(kSection, "unit", out.unit, 0, 247));
    out.timeoutMs = static_cast<int>(ini.Whole(kSection, "timeout_ms", out.timeoutMs, 10, 60000));
    std::string order = "high_first";
    Choice(ini, "word_order", {"high_first", "low_first"}, order);
    out.order = order == "low_first" ? WordOrder::LowFirst : WordOrder::HighFirst;

    ReadRegister(ini, "rate", out.rate, RegisterTable::Input);
    ReadRegister(ini, "total", out.total, RegisterTable::Input);
    ReadRegister(ini, "temperature", out.temperature, RegisterTable::Input);
    ReadRegister(ini, "pressure", out.pressure, RegisterTable::Input);
    ReadRegister(ini, "setpoint", out.setpoint, RegisterTable::Holding);
    out.runCoil = static_cast<int>(ini.Whole(kSection, "run_coil", -1, -1, 65535));
    out.settleBandPercent = ini.Number(kSection, "settle_band", out.settleBandPercent, 0.01, 50);
    out.settleSeconds = ini.Number(kSection, "settle_time", out.settleSeconds, 0, 3600);
    out.settleTimeoutSeconds = ini.Number(kSection, "settle_timeout", out.settleTimeoutSeconds, 1, 86400);
    out.unattended = ini.Whole(kSection, "unattended", 0, 0, 1) == 1;

    if (out.rtu && out.device.empty())
        ini.AddError(ini.Name() + ": " + Key("device") + ": transport=rtu needs the serial port");
    if (!out.rate.present && !out.total.present)
        ini.AddError(ini.Name() + ": " + Key("total_register") + ": reference=modbus needs total_register or " +
                     "rate_register");
    if (out.settleTimeoutSeconds <= out.settleSeconds)
        ini.AddError(ini.Name() + ": " + Key("settle_timeout") +
                     FormatC("=%g: must exceed settle_time=%g", out.settleTimeoutSeconds, out.settleSeconds));
    return ini.Errors().size() == errors;
}

std::string RigSectionText(const std::string& host, int port)
{
    return "[RIG]\n"
           "reference=modbus\n"
           "transport=tcp\n"
           "host=" + host + "\n"
           "port=" + std::to_string(port) + "\n"
           "unit=1\n"
           "rate_register=0\n"
           "rate_type=float32\n"
           "total_register=2\n"
           "total_type=uint32\n"
           "total_scale=0.000001\n"
           "temperature_register=4\n"
           "pressure_register=6\n"
           "setpoint_register=0\n"
           "setpoint_type=float32\n"
           "run_coil=0\n"
           "settle_band=1\n"
           "settle_time=2\n"
           "settle_timeout=60\n"
           "unattended=1\n";
}
