// vq7sim: the rig simulator program.
#include "common/CommonUtils.h"
#include "common/NumberText.h"
#include "sim/Console.h"
#include "sim/ModbusRig.h"
#include "rig/RigConfig.h"
#include "sim/Rig.h"
#include "sim/SimServer.h"

#include <atomic>
#include <cmath>
#include <csignal>
#include <cstdio>
#include <cstring>
#include <poll.h>
#include <string>
#include <unistd.h>

namespace {
std::atomic<bool> g_stop{false};

void OnSignal(int) { g_stop = true; }

const char* kUsage =
    "usage: vq7sim [--tcp HOST:PORT | --pty [LINK]] [--rig FILE] [--state DIR]\n"
    "              [--baud N] [--integration-ms N] [--flow M3H] [--reference-file PATH]\n"
    "              [--noise METER,RIG] [--no-console]\n"
    "              [--modbus HOST:PORT [--rig-config FILE] [--settle-s S]]\n"
    "Without --tcp or --pty the gateway listens on 127.0.0.1:10001.\n"
    "--modbus serves the reference meter and the pump drive as a Modbus TCP slave (port 0: any free one);\n"
    "--rig-config writes the config.ini [RIG] section that points at it; --settle-s is the flow's\n"
    "time constant after a new set-point (default 1 s).\n";

int Usage(const std::string& problem)
{
    std::fprintf(stderr, "vq7sim: %s\n%s", problem.c_str(), kUsage);
    return 2;
}

// One call per line: the server thread prints reference lines beside the console.
void Print(std::string text)
{
    if (text.empty())
        return;
    if (text.back() != '\n')
        text += '\n';
    std::fputs(text.c_str(), stdout);
    std::fflush(stdout);
}
}  // namespace

int main(int argc, char** argv)
{
    SetProgramName("vq7sim");
    std::string tcp, pty, rigFile, stateDir, referenceFile, modbusAt, rigConfig;
    double settleSeconds = 1.0;
    bool usePty = false, console = true;
    long long baud = 0, integrationMs = 3000;
    double flow = 10.0, meterNoise = -1, rigNoise = -1;

    for (int i = 1; i < argc; ++i) {
        const std::string a = argv[i];
        auto value = [&](std::string& out) {
            if (i + 1 >= argc)
                return false;
            out = argv[++i];
            return true;
        };
        std::string v;
        if (a == "--help" || a == "-h") {
            std::fputs(kUsage, stdout);
            return 0;
        } else if (a == "--tcp") {
            if (!value(tcp))
                return Usage("--tcp needs HOST:PORT");
        } else if (a == "--pty") {
            usePty = true;
            if (i + 1 < argc && std::strncmp(argv[i + 1], "--", 2) != 0)
                pty = argv[++i];
        } else if (a == "--rig") {
            if (!value(rigFile))
                return Usage("--rig needs a file");
        } else if (a == "--state") {
            if (!value(stateDir))
                return Usage("--state needs a folder");
        } else if (a == "--reference-file") {
            if (!value(referenceFile))
                return Usage("--reference-file needs a path");
        } else if (a == "--baud") {
            if (!value(v) || (baud = StrToIntDef(v, -1)) < 0 || baud > 4000000)
                return Usage("--baud needs a rate (0: no wire timing)");
        } else if (a == "--integration-ms") {
            if (!value(v) || (integrationMs = StrToIntDef(v, -1)) < 10 || integrationMs > 3600000)
                return Usage("--integration-ms needs 10 to 3600000");
        } else if (a == "--flow") {
            if (!value(v) || !ParseFloatPoint(v, flow) || !std::isfinite(flow))
                return Usage("--flow needs a number (m3/h)");
        } else if (a == "--noise") {
            if (!value(v) || v.find(',') == std::string::npos ||
                !ParseFloatPoint(v.substr(0, v.find(',')), meterNoise) ||
                !ParseFloatPoint(v.substr(v.find(',') + 1), rigNoise) || meterNoise < 0 || rigNoise < 0)
                return Usage("--noise needs METER,RIG relative deviations, e.g. 0.001,0.0005");
        } else if (a == "--modbus") {
            if (!value(modbusAt) || modbusAt.rfind(':') == std::string::npos)
                return Usage("--modbus needs HOST:PORT");
        } else if (a == "--rig-config") {
            if (!value(rigConfig))
                return Usage("--rig-config needs a file");
        } else if (a == "--settle-s") {
            if (!value(v) || !ParseFloatPoint(v, settleSeconds) || !(settleSeconds >= 0 && settleSeconds <= 600))
                return Usage("--settle-s needs 0 to 600 seconds");
        } else if (a == "--no-console") {
            console = false;
        } else {
            return Usage("unknown option " + a);
        }
    }
    if (usePty && !tcp.empty())
        return Usage("--tcp and --pty exclude each other");

    CRig rig;
    std::string error;
    if (!rigFile.empty()) {
        if (!rig.LoadRigFile(rigFile, &error)) {
            std::fprintf(stderr, "vq7sim: %s\n", error.c_str());
            return 1;
        }
    } else {
        for (const auto& m : CRig::DefaultMeters())
            rig.AddMeter(m);
    }
    if (!stateDir.empty() && !rig.SetStateDir(stateDir, &error)) {
        std::fprintf(stderr, "vq7sim: %s\n", error.c_str());
        return 1;
    }
    rig.SetBaud(static_cast<unsigned>(baud));
    rig.SetIntegrationMs(static_cast<unsigned>(integrationMs));
    rig.SetFlow(flow);
    if (meterNoise >= 0)
        rig.SetNoise(meterNoise, rigNoise);
    rig.SetReferenceFile(referenceFile);
    rig.SetReferenceListener([](double reference, unsigned ms) {
        Print(FormatC("reference flow %.6f m3/h over %u ms", reference, ms));
    });

    std::unique_ptr<CSimServer> server;
    if (usePty) {
        server = CSimServer::StartPty(rig, pty, &error);
    } else {
        std::string host = "127.0.0.1";
        long long port = 10001;
        if (!tcp.empty()) {
            const auto colon = tcp.rfind(':');
            if (colon == std::string::npos)
                return Usage("--tcp needs HOST:PORT");
            host = tcp.substr(0, colon);
            port = StrToIntDef(tcp.substr(colon + 1), -1);
            if (port < 0 || port > 65535)
                return Usage("bad TCP port in " + tcp);
        }
        server = CSimServer::StartTcp(rig, host, static_cast<uint16_t>(port), &error);
    }
    if (!server) {
        std::fprintf(stderr, "vq7sim: %s\n", error.c_str());
        return 1;
    }

    std::unique_ptr<CSimModbus> modbus;
    if (!modbusAt.empty()) {
        const auto colon = modbusAt.rfind(':');
        const long long port = StrToIntDef(modbusAt.substr(colon + 1), -1);
        if (port < 0 || port > 65535)
            return Usage("bad Modbus port in " + modbusAt);
        rig.SetSettleSeconds(settleSeconds);
        modbus = CSimModbus::Start(rig, modbusAt.substr(0, colon), static_cast<uint16_t>(port), &error);
        if (!modbus) {
            std::fprintf(stderr, "vq7sim: %s\n", error.c_str());
            return 1;
        }
        if (!rigConfig.empty()) {
            FILE* f = std::fopen(rigConfig.c_str(), "w");
            const std::string text = RigSectionText(modbus->Host(), modbus->Port());
            if (!f || std::fputs(text.c_str(), f) < 0 || std::fclose(f) != 0) {
                std::fprintf(stderr, "vq7sim: cannot write %s\n", rigConfig.c_str());
                return 1;
            }
        }
    } else if (!rigConfig.empty()) {
        return Usage("--rig-config needs --modbus");
    }

    std::signal(SIGINT, OnSignal);
    std::signal(SIGTERM, OnSignal);
    std::signal(SIGPIPE, SIG_IGN);

    if (server->IsTcp())
        Print("vq7sim: TCP gateway on " + server->Address());
    else
        Print("vq7sim: serial port " + server->SlavePath() +
              (server->LinkPath().empty() ? "" : " (link " + server->LinkPath() + ")"));
    Print(FormatC("vq7sim: %zu meters, flow %.6g m3/h, integration %u ms, baud %s", rig.MeterCount(), rig.Flow(),
                  rig.IntegrationMs(), baud ? FormatC("%lld", baud).c_str() : "untimed"));
    Print(CSimConsole::MeterList(rig));
    if (modbus)
        Print("Modbus TCP on " + modbus->Address());
    if (console)
        Print("type help for the console commands");

    CSimConsole con(rig, server.get());
    con.SetModbus(modbus.get());
    std::string pending;
    bool stdinOpen = console;
    while (!g_stop && !con.QuitRequested()) {
        pollfd p{0, POLLIN, 0};
        if (!stdinOpen) {
            ::poll(nullptr, 0, 200);
            continue;
        }
        if (::poll(&p, 1, 200) <= 0)
            continue;
        char buf[1024];
        const ssize_t n = ::read(0, buf, sizeof buf);
        if (n <= 0) {
            stdinOpen = false;   // keep serving without a console
            continue;
        }
        pending.append(buf, static_cast<size_t>(n));
        if (pending.size() > 4096 && pending.find('\n') == std::string::npos) {
            pending.clear();
            Print("console line too long, ignored");
            continue;
        }
        size_t eol;
        while ((eol = pending.find('\n')) != std::string::npos) {
            std::string line = pending.substr(0, eol);
            pending.erase(0, eol + 1);
            if (!line.empty() && line.back() == '\r')
                line.pop_back();
            const std::string reply = con.Execute(line);
            if (!reply.empty())
                Print(reply);
        }
    }
    if (modbus)
        modbus->Stop();
    server->Stop();
    return 0;
}
