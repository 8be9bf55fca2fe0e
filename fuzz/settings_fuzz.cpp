// config.ini values through the checking layer: no crash, every value taken lies
// in its range, and every refusal names the section and key it is about.
#include "common/SettingsFile.h"
#include "common/WriteJournal.h"
#include "protocol/connection.h"
#include "rig/RigConfig.h"
#include "workstation/VerificationVerdict.h"

#include <cmath>
#include <cstdlib>
#include <string>

namespace {
// Every key whose value the station converts, as its messages name it.
const char* const kCheckedKeys[] = {"[CONNECTION] TCPIPport=", "[CONNECTION] speed=", "[CONNECTION] AuxTmout=",
                                    "[CONNECTION] dev_nom=", "[JOURNAL] readback=", "[VERIFICATION] tolerance="};

bool NamesAKey(const std::string& error)
{
    for (const char* key : kCheckedKeys)
        if (error.find(key) != std::string::npos)
            return true;
    return error.find("[RIG] ") != std::string::npos;
}

// A register the rig reads or writes lies wholly in 0..65535.
bool RegisterFits(const RegisterSpec& r)
{
    return !r.present || (r.address >= 0 && r.address + RegisterCount(r.type) - 1 <= 65535 && r.scale != 0 &&
                          std::isfinite(r.scale));
}
}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    CSettingsFile file;
    file.LoadText(std::string(reinterpret_cast<const char*>(data), size), "config.ini");
    connection conn;
    conn.LoadSettings(file);
    CWriteJournal::LoadSettings(file);
    const double tolerance = LoadTolerance(file);
    RigConfig rig;
    const bool rigUsable = ReadRigConfig(file, rig);

    for (const std::string& error : file.Errors())
        if (error.rfind("config.ini: ", 0) != 0 || !NamesAKey(error))
            std::abort();
    const unsigned long port = std::stoul(conn.m_sTcpIpPort);
    if (port < 1 || port > 65535 || conn.m_nSpeed < connection::kMinSpeed || conn.m_nSpeed > connection::kMaxSpeed ||
        conn.m_nAuxTmout < 0 || conn.m_nAuxTmout > connection::kMaxAuxTmoutMs || conn.m_nDevNom < 0 ||
        !(tolerance >= kMinTolerance && tolerance <= kMaxTolerance) || conn.m_sPort.size() > 254 ||
        conn.m_sIp.size() > 254)
        std::abort();
    // A rig section taken as usable holds only what can work.
    if (rigUsable && rig.modbus &&
        (rig.port < 1 || rig.port > 65535 || rig.unit < 0 || rig.unit > 247 || (rig.rtu && rig.device.empty()) ||
         (!rig.total.present && !rig.rate.present) || !RegisterFits(rig.total) || !RegisterFits(rig.rate) ||
         !RegisterFits(rig.temperature) || !RegisterFits(rig.pressure) || !RegisterFits(rig.setpoint) ||
         !(rig.settleTimeoutSeconds > rig.settleSeconds) || !(rig.settleBandPercent > 0)))
        std::abort();
    return 0;
}
