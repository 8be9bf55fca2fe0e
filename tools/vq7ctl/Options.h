#pragma once
// Command-line options of vq7ctl: the connection options before the command,
// and the positional arguments and options of the command.
#include <map>
#include <optional>
#include <string>
#include <vector>

struct GlobalOptions {
    std::string configFile;                 // --config: section CONNECTION of this ini file
    std::optional<std::string> port;        // --port NAME|TCP/IP
    std::optional<unsigned> speed;          // --speed N
    std::optional<std::string> ip;          // --ip ADDR
    std::optional<std::string> tcpPort;     // --tcp-port N
    std::optional<int> auxTimeout;          // --aux-timeout MS
    std::string traceFile;                  // --trace FILE
    bool json = false;                      // --json
    bool help = false;                      // --help, -h
};

// The arguments after the command words.
struct CtlArgs {
    std::vector<std::string> positional;
    std::map<std::string, std::string> options;   // "--out FILE" as {"out", "FILE"}

    bool Has(const std::string& name) const { return options.count(name) != 0; }
    std::string Get(const std::string& name, const std::string& def = std::string()) const;
};

// Reads the global options up to the first word that is not one of them;
// *next gets the index of that word. False with a message on a bad option.
bool ParseGlobalOptions(int argc, char** argv, GlobalOptions& opts, int* next, std::string& error);

// Splits the command's arguments; valueOptions lists the options that take a
// value (comma-separated names without "--"; "name!" is a flag without a value). False with a message on an
// unknown option or a missing value.
bool ParseCommandArgs(const std::vector<std::string>& words, const std::string& valueOptions, CtlArgs& args,
                      std::string& error);

// Strict number parsing for arguments: the whole text must be the number.
bool ParseUnsigned(const std::string& text, unsigned long long max, unsigned long long& value);
// Decimal, or hexadecimal with "0x".
bool ParseByte(const std::string& text, unsigned& value);
// "01 A2 ff", "01a2ff" or "01:a2:ff".
bool ParseHexBytes(const std::string& text, std::vector<unsigned char>& bytes);
