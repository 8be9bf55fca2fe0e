#pragma once
// The command line of vq7ctl through CLI11: the connection and output options
// before the command, then one command of the table with its arguments.
#include "Options.h"

#include <string>

struct CtlCommand;

struct CtlCommandLine {
    enum Outcome { Run, Help, Usage };
    Outcome outcome = Usage;
    const CtlCommand* command = nullptr;   // the command named, also when its arguments are bad
    std::string error;                     // Usage: what is wrong; empty when no command was given
};

// Fills opts and args; on a bad command line opts.json still tells whether
// --json was given.
CtlCommandLine ParseCommandLine(int argc, char** argv, GlobalOptions& opts, CtlArgs& args);
