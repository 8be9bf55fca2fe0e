#pragma once
// What every command of vq7ctl works with: the options, the connection, the
// JSON document and the way results and failures are reported.
#include "JsonValues.h"
#include "Options.h"

#include <cstdint>
#include <string>
#include <vector>

class connection;

// Exit codes.
constexpr int EXIT_OK = 0;
constexpr int EXIT_FAILED = 1;   // a transaction or an operation failed
constexpr int EXIT_USAGE = 2;    // bad command line
constexpr int EXIT_INCOMPLETE = 3;   // a meter holds an incomplete characteristic (a write was cut)

struct CtlContext {
    CtlContext(const GlobalOptions& options, connection& conn) : opts(options), conn(conn) {}

    const GlobalOptions& opts;
    connection& conn;
    CtlJson doc = CtlJson::object();   // written on stdout at the end with --json

    bool Json() const { return opts.json; }
    // A line on stdout (text mode only).
    void Print(const std::string& line) const;
    // "vq7ctl: what: result N (meaning)" on stderr; with --json also
    // "result", "meaning" and "error" in the document. Returns EXIT_FAILED.
    int Fail(const std::string& what, long long code);
    // A failure that has no result code. Returns EXIT_FAILED.
    int Fail(const std::string& what);
    // A bad argument of the command. Returns EXIT_USAGE.
    int Usage(const std::string& what);
};

// Argument parsers that report a bad value through ctx.Usage.
bool ArgMeterNumber(CtlContext& ctx, const std::string& text, uint32_t& number);
// Every positional argument as a meter number.
bool ArgMeterNumbers(CtlContext& ctx, const CtlArgs& args, std::vector<uint32_t>& numbers);
bool ArgByte(CtlContext& ctx, const std::string& text, const char* what, unsigned& value);

// The text of a result code with its meaning: "1016 (нет ответа (тайм-аут))".
std::string ResultText(long long code);
// "%8.8u": the meter's number as it appears in file names.
std::string MeterFileName(uint32_t number);
