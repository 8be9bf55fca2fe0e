// vq7ctl: the command-line tool for the meters of the rig.
#include "CommandLine.h"
#include "Commands.h"
#include "CtlOperator.h"
#include "HelpText.h"

#include "calibration/ConnectionUse.h"
#include "common/AppPaths.h"
#include "common/CommonUtils.h"
#include "common/WriteJournal.h"
#include "links/Trace.h"
#include "protocol/connection.h"

#include <cstdio>
#include <memory>
#include <sys/stat.h>
#include <unistd.h>

namespace {
void ApplyConnectionOptions(const GlobalOptions& opts, connection& conn)
{
    std::lock_guard<std::recursive_mutex> lock(conn.Lock());
    if (!opts.configFile.empty()) {
        conn.LoadSettings(opts.configFile);
        CWriteJournal::LoadSettings(opts.configFile);
    } else if (const std::string shared = DataDir() + "/config.ini"; ::access(shared.c_str(), R_OK) == 0)
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

int Finish(const GlobalOptions& opts, const CtlJson& doc, int exitCode)
{
    if (opts.json)
        std::printf("%s\n", JsonText(doc).c_str());
    std::fflush(stdout);
    return exitCode;
}
}

int main(int argc, char** argv)
{
    SetProgramName("vq7ctl");
    static CCtlOperator op;
    SetOperator(&op);

    GlobalOptions opts;
    CtlArgs args;
    const CtlCommandLine line = ParseCommandLine(argc, argv, opts, args);
    if (line.outcome == CtlCommandLine::Help) {
        std::fputs(HelpText().c_str(), stdout);
        return EXIT_OK;
    }
    if (line.outcome == CtlCommandLine::Usage && line.error.empty()) {
        std::fputs(HelpText().c_str(), stderr);
        return EXIT_USAGE;
    }

    std::unique_ptr<CFileTraceTarget> trace;   // outlives the connection and its link
    connection conn;
    CtlContext ctx(opts, conn);
    if (line.command)
        ctx.doc["command"] = line.command->name;
    if (line.outcome == CtlCommandLine::Usage)
        return Finish(opts, ctx.doc, ctx.Usage(line.error));

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
    if (!line.command->link) {
        exitCode = line.command->run(ctx, args);   // a file only: no link
    } else {
        CConnectionUse use(&conn);   // one link for the whole command
        exitCode = line.command->run(ctx, args);
    }
    return Finish(opts, ctx.doc, exitCode);
}
