// vq7ctl: the command-line tool for the meters of the rig.
#include "CommandLine.h"
#include "Commands.h"
#include "CtlOperator.h"
#include "HelpText.h"

#include "calibration/ConnectionUse.h"
#include "common/AppPaths.h"
#include "common/CommonUtils.h"
#include "common/SettingsFile.h"
#include "common/WriteJournal.h"
#include "links/Trace.h"
#include "protocol/connection.h"

#include <cstdio>
#include <memory>
#include <sys/stat.h>
#include <unistd.h>

namespace {
// The settings file and the options over it; false when a value of the file is wrong
// (each told on stderr).
bool ApplyConnectionOptions(const GlobalOptions& opts, connection& conn)
{
    std::lock_guard<std::recursive_mutex> lock(conn.Lock());
    CSettingsFile file;
    bool hasSection = true;
    const std::string shared = DataDir() + "/config.ini";
    if (!opts.configFile.empty() || ::access(shared.c_str(), F_OK) == 0) {
        file.Load(opts.configFile.empty() ? shared : opts.configFile);   // the station's own settings, when none given
        hasSection = conn.LoadSettings(file);
        CWriteJournal::LoadSettings(file);
    }
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
    for (const std::string& warning : file.Warnings())
        std::fprintf(stderr, "vq7ctl: %s\n", warning.c_str());
    if (file.Exists() && file.Errors().empty() && !hasSection && !opts.port && !opts.ip && !opts.tcpPort)
        std::fprintf(stderr, "vq7ctl: %s\n", conn.MissingSectionText(file.Name()).c_str());
    for (const std::string& error : file.Errors())
        std::fprintf(stderr, "vq7ctl: %s\n", error.c_str());
    return file.Errors().empty();
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
    if (!ApplyConnectionOptions(opts, conn)) {
        if (opts.json)
            ctx.doc["error"] = "bad settings file";
        return Finish(opts, ctx.doc, EXIT_USAGE);
    }
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
