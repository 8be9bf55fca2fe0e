// vq7ctl: the command-line tool for the meters of the rig.
#include "Commands.h"
#include "CtlOperator.h"
#include "Help.h"

#include "calibration/ConnectionUse.h"
#include "common/AppPaths.h"
#include "common/WriteJournal.h"
#include "links/Trace.h"
#include "protocol/connection.h"

#include <cstdio>
#include <cstring>
#include <memory>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

namespace {
// The command whose words begin `words` (the longest match); null if none.
const CtlCommand* FindCommand(const std::vector<std::string>& words, size_t& used)
{
    const CtlCommand* best = nullptr;
    used = 0;
    for (const CtlCommand& c : kCommands) {
        std::vector<std::string> name;
        for (const char *p = c.name, *q; *p; p = *q ? q + 1 : q) {
            q = std::strchr(p, ' ');
            if (!q)
                q = p + std::strlen(p);
            name.emplace_back(p, q);
        }
        if (name.size() > words.size() || name.size() <= used)
            continue;
        if (std::equal(name.begin(), name.end(), words.begin())) {
            best = &c;
            used = name.size();
        }
    }
    return best;
}

void ApplyConnectionOptions(const GlobalOptions& opts, connection& conn)
{
    std::lock_guard<std::recursive_mutex> lock(conn.Lock());
    if (!opts.configFile.empty()) {
        conn.LoadSettings(opts.configFile);
        CWriteJournal::LoadSettings(opts.configFile);
    }
    else if (const std::string shared = DataDir() + "/config.ini"; ::access(shared.c_str(), R_OK) == 0)
        conn.LoadSettings(shared);   // the station's own settings, when there are any
    if (opts.port)
        conn.m_sPort = *opts.port;
    else if (opts.ip || opts.tcpPort)
        conn.m_sPort = "TCP/IP";
    if (opts.speed)
        conn.m_nSpeed = *opts.speed;
    if (opts.ip)
        conn.m_sIp = *opts.ip;
    if (opts.tcpPort)
        conn.m_sTcpIpPort = *opts.tcpPort;
    if (opts.auxTimeout)
        conn.m_nAuxTmout = *opts.auxTimeout;
}

int Finish(const GlobalOptions& opts, const CJson& doc, int exitCode)
{
    if (opts.json)
        std::printf("%s\n", doc.Dump().c_str());
    std::fflush(stdout);
    return exitCode;
}
}

int main(int argc, char** argv)
{
    static CCtlOperator op;
    SetOperator(&op);

    GlobalOptions opts;
    int next = 1;
    std::string error;
    if (!ParseGlobalOptions(argc, argv, opts, &next, error)) {
        std::fprintf(stderr, "vq7ctl: %s (see vq7ctl --help)\n", error.c_str());
        return EXIT_USAGE;
    }
    if (opts.help) {
        PrintHelp(stdout);
        return EXIT_OK;
    }
    std::vector<std::string> words(argv + next, argv + argc);
    if (words.empty()) {
        PrintHelp(stderr);
        return EXIT_USAGE;
    }

    std::unique_ptr<CFileTraceTarget> trace;   // outlives the connection and its link
    connection conn;
    CtlContext ctx(opts, conn);

    size_t used = 0;
    const CtlCommand* command = FindCommand(words, used);
    if (!command)
        return Finish(opts, ctx.doc, ctx.Usage("unknown command: " + words[0]));
    ctx.doc.Set("command", command->name);
    CtlArgs args;
    if (!ParseCommandArgs(std::vector<std::string>(words.begin() + static_cast<long>(used), words.end()),
                          command->options, args, error))
        return Finish(opts, ctx.doc, ctx.Usage(std::string(command->name) + ": " + error));

    struct stat st {};
    if (!opts.configFile.empty() && stat(opts.configFile.c_str(), &st) != 0)
        return Finish(opts, ctx.doc, ctx.Usage("no such settings file: " + opts.configFile));
    ApplyConnectionOptions(opts, conn);
    if (!opts.traceFile.empty()) {
        trace = std::make_unique<CFileTraceTarget>(opts.traceFile);
        if (!trace->IsOpen())
            return Finish(opts, ctx.doc, ctx.Usage("cannot write the trace file " + opts.traceFile));
        conn.SetTraceTarget(trace.get());
    }

    int exitCode;
    if (command->run == CmdJournal) {
        exitCode = command->run(ctx, args);   // a file only: no link
    } else {
        CConnectionUse use(&conn);   // one link for the whole command
        exitCode = command->run(ctx, args);
    }
    return Finish(opts, ctx.doc, exitCode);
}
