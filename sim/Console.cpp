#include "sim/Console.h"

#include "common/NumberText.h"
#include "sim/ModbusRig.h"
#include "sim/Rig.h"
#include "sim/SimServer.h"

#include <cmath>
#include <sstream>
#include <vector>

namespace {
std::string Trimmed(const std::string& s)
{
    std::string t = s;
    while (!t.empty() && t.back() == ' ')
        t.pop_back();
    return t;
}
}  // namespace

std::string CSimConsole::Help()
{
    return "commands:\n"
           "  flow [M3H]                 show or set the true flow (negative: reverse)\n"
           "  list                       the meters of the rig\n"
           "  pairs NUMBER               the pairs a meter holds\n"
           "  fault NUMBER|all RULE      add a fault: kind[:cmd=N][:p=P][:n=N][:arg=N]\n"
           "                             kinds: silence garbage badcheck wrongaddr truncate busy refuse switchoff\n"
           "                             storeother storeotherge\n"
           "  clear NUMBER|all           remove the faults\n"
           "  switch NUMBER|all on|off   the internal write switch\n"
           "  restart NUMBER MODE [MS]   answer to restart: answer0 silent answer239 answer255\n"
           "  delay NUMBER MS            response delay of a meter\n"
           "  integration [MS]           show or set the integration length\n"
           "  drop [now|P N|off]         gateway drop: at once, or by probability P for N requests\n"
           "  ref                        the last reference flow\n"
           "  modbus [ok|silent|exception|stuck]  the Modbus reference and drive: show, or a fault\n"
           "  drive [ok|hunt]            a drive that hunts around its set-point (never settles)\n"
           "  help, quit\n";
}

std::string CSimConsole::MeterList(CRig& rig)
{
    std::string s = "number    type version full      model pairs switch restart   faults\n";
    for (uint32_t number : rig.Numbers()) {
        CVirtualMeter* m = rig.Meter(number);
        if (!m)
            continue;
        const SimMeterConfig c = m->Config();
        std::string faults;
        for (const auto& f : c.faults)
            faults += (faults.empty() ? "" : ",") + FormatFaultRule(f);
        const uint8_t count = m->PairCountByte();
        s += FormatC("%-9u \"%s\" \"%s\" %s %5d %5s %-6s %-9s %s\n", number, c.type.c_str(), c.version.c_str(),
                     c.fullVersion.c_str(), c.model,
                     (count == 255 ? std::string("none") : FormatC("%u", count)).c_str(),
                     c.writeSwitch ? "on" : "off", RestartModeName(c.restartMode),
                     faults.empty() ? "-" : faults.c_str());
    }
    return s;
}

std::string CSimConsole::Execute(const std::string& line)
{
    std::istringstream in(line);
    std::vector<std::string> w;
    for (std::string x; in >> x;)
        w.push_back(x);
    if (w.empty())
        return "";
    const std::string& cmd = w[0];

    // Meters named by the first argument: a number or "all".
    auto meters = [&](std::vector<CVirtualMeter*>& out) -> std::string {
        if (w.size() < 2)
            return "which meter? (a number or all)";
        if (w[1] == "all") {
            for (uint32_t n : m_rig.Numbers())
                out.push_back(m_rig.Meter(n));
            return "";
        }
        const long long n = StrToIntDef(w[1], -1);
        CVirtualMeter* m = n > 0 ? m_rig.Meter(static_cast<uint32_t>(n)) : nullptr;
        if (!m)
            return "no meter " + w[1] + " on the rig";
        out.push_back(m);
        return "";
    };

    if (cmd == "help" || cmd == "?")
        return Help();
    if (cmd == "quit" || cmd == "exit") {
        m_bQuit = true;
        return "bye";
    }
    if (cmd == "list")
        return Trimmed(MeterList(m_rig));
    if (cmd == "ref")
        return FormatC("last reference flow %.6f m3/h (%u integrations)", m_rig.LastReferenceFlow(),
                       m_rig.ReferenceCount());
    if (cmd == "modbus") {
        if (!m_modbus)
            return "no Modbus rig (start with --modbus HOST:PORT)";
        static const char* names[] = {"ok", "silent", "exception", "stuck"};
        if (w.size() > 1) {
            int i = 0;
            while (i < 4 && w[1] != names[i])
                ++i;
            if (i == 4)
                return "modbus takes ok, silent, exception or stuck";
            m_modbus->SetFault(static_cast<ModbusFault>(i));
        }
        return FormatC("Modbus TCP on %s: %s, reference total %.6f m3, %u requests", m_modbus->Address().c_str(),
                       names[static_cast<int>(m_modbus->Fault())], m_modbus->ReferenceTotal(), m_modbus->Requests());
    }
    if (cmd == "drive") {
        if (w.size() > 1) {
            if (w[1] != "ok" && w[1] != "hunt")
                return "drive takes ok or hunt";
            m_rig.SetHunting(w[1] == "hunt");
        }
        return std::string("drive: ") + (m_rig.Hunting() ? "hunting" : "ok");
    }
    if (cmd == "flow") {
        if (w.size() > 1) {
            double f = 0;
            if (!ParseFloatPoint(w[1], f) || !std::isfinite(f) || std::fabs(f) > 1e6)
                return "flow '" + w[1] + "' is not a number";
            m_rig.SetFlow(f);
        }
        return FormatC("true flow %.6g m3/h", m_rig.Flow());
    }
    if (cmd == "integration") {
        if (w.size() > 1) {
            const long long ms = StrToIntDef(w[1], -1);
            if (ms < 10 || ms > 3600000)
                return "integration length must be 10 to 3600000 ms";
            m_rig.SetIntegrationMs(static_cast<unsigned>(ms));
        }
        return FormatC("integration %u ms", m_rig.IntegrationMs());
    }
    if (cmd == "drop") {
        if (!m_server || !m_server->IsTcp())
            return "no gateway connection to drop (serial port)";
        if (w.size() == 1 || w[1] == "now") {
            m_server->Drop();
            return "connection dropped";
        }
        if (w[1] == "off") {
            m_server->SetDropFault(0, 0);
            return "drop fault off";
        }
        double p = 0;
        const long long n = w.size() > 2 ? StrToIntDef(w[2], -2) : -1;
        if (!ParseFloatPoint(w[1], p) || p < 0 || p > 1 || n < -1)
            return "drop P N: probability 0..1 and a count (-1: unlimited)";
        m_server->SetDropFault(p, static_cast<int>(n));
        return FormatC("gateway drops with probability %g, %lld times", p, n);
    }

    std::vector<CVirtualMeter*> targets;
    if (cmd == "pairs") {
        if (auto e = meters(targets); !e.empty())
            return e;
        std::string s;
        for (CVirtualMeter* m : targets) {
            const auto pairs = m->Pairs();
            s += FormatC("meter %u: count byte %u\n", m->Number(), m->PairCountByte());
            for (size_t i = 0; i < pairs.size(); ++i)
                s += FormatC("  %zu  Gi %.7g  Ge %.7g\n", i, pairs[i].gi, pairs[i].ge);
        }
        if (!s.empty())
            s.pop_back();
        return s;
    }
    if (cmd == "fault") {
        if (auto e = meters(targets); !e.empty())
            return e;
        if (w.size() < 3)
            return "fault NUMBER|all RULE";
        std::string why;
        auto rule = ParseFaultRule(w[2], &why);
        if (!rule)
            return why;
        for (CVirtualMeter* m : targets)
            m->AddFault(*rule);
        return "fault " + FormatFaultRule(*rule) + FormatC(" on %zu meter(s)", targets.size());
    }
    if (cmd == "clear") {
        if (auto e = meters(targets); !e.empty())
            return e;
        for (CVirtualMeter* m : targets)
            m->ClearFaults();
        return "faults cleared";
    }
    if (cmd == "switch") {
        if (auto e = meters(targets); !e.empty())
            return e;
        if (w.size() < 3 || (w[2] != "on" && w[2] != "off"))
            return "switch NUMBER|all on|off";
        for (CVirtualMeter* m : targets)
            m->SetWriteSwitch(w[2] == "on");
        return "write switch " + w[2];
    }
    if (cmd == "restart") {
        if (auto e = meters(targets); !e.empty())
            return e;
        RestartMode mode;
        if (w.size() < 3 || !RestartModeFromName(w[2], mode))
            return "restart NUMBER|all answer0|silent|answer239|answer255 [MS]";
        const long long ms = w.size() > 3 ? StrToIntDef(w[3], -1) : 1500;
        if (ms < 0 || ms > 60000)
            return "silence after a restart must be 0 to 60000 ms";
        for (CVirtualMeter* m : targets)
            m->SetRestartMode(mode, static_cast<unsigned>(ms));
        return std::string("restart answer ") + RestartModeName(mode);
    }
    if (cmd == "delay") {
        if (auto e = meters(targets); !e.empty())
            return e;
        const long long ms = w.size() > 2 ? StrToIntDef(w[2], -1) : -1;
        if (ms < 0 || ms > 10000)
            return "delay NUMBER|all MS (0 to 10000)";
        for (CVirtualMeter* m : targets)
            m->SetResponseDelay(static_cast<unsigned>(ms));
        return FormatC("response delay %lld ms", ms);
    }
    return "unknown command '" + cmd + "' (help lists them)";
}
