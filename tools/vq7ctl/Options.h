#pragma once
// Command-line options of vq7ctl (read by CommandLine.cpp): the connection
// options before the command, and the positional arguments and options of the
// command; and the checks of argument values the commands share.
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
    std::string database;                   // --database URL|FILE: the results store
    bool json = false;                      // --json
};

// The arguments after the command words.
struct CtlArgs {
    std::vector<std::string> positional;
    std::map<std::string, std::string> options;   // "--out FILE" as {"out", "FILE"}

    bool Has(const std::string& name) const { return options.count(name) != 0; }
    std::string Get(const std::string& name, const std::string& def = std::string()) const;
};

// Strict number parsing for arguments: the whole text must be the number.
bool ParseUnsigned(const std::string& text, unsigned long long max, unsigned long long& value);
// Decimal, or hexadecimal with "0x".
bool ParseByte(const std::string& text, unsigned& value);
// "01 A2 ff", "01a2ff" or "01:a2:ff".
bool ParseHexBytes(const std::string& text, std::vector<unsigned char>& bytes);
