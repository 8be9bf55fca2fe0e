#pragma once
// Faults a virtual meter can be told to make, per command, by probability or count.
#include <cstdint>
#include <optional>
#include <string>

enum class FaultKind {
    Silence,       // the request is lost: no answer, nothing executed
    Garbage,       // executed; garbage bytes go out before the answer
    BadChecks,     // executed; the answer's check bytes are wrong
    WrongAddress,  // executed; the answer carries another meter's address
    Truncated,     // executed; only the first part of the answer goes out
    Busy,          // not executed; answered 241
    Refuse,        // not executed; answered 240
    SwitchOff,     // turns the meter's write switch off (a state, not per answer)
    StoreOther,    // a pair or parameter write is answered as usual, but the lowest bit of the value kept differs
    StoreOtherGe,  // a pair write is answered as usual, but the lowest bit of the Ge kept differs
};

constexpr int FAULT_ANY_COMMAND = -1;
constexpr int FAULT_UNLIMITED = -1;

struct FaultRule {
    FaultKind kind = FaultKind::Silence;
    int command = FAULT_ANY_COMMAND;  // command code the rule applies to, or any
    double probability = 1.0;         // chance per matching request
    int count = FAULT_UNLIMITED;      // firings left; the rule is dropped at 0
    unsigned argument = 0;            // Garbage: byte count (0: 1..3); Truncated: bytes kept (0: half)
};

const char* FaultKindName(FaultKind kind);
std::optional<FaultKind> FaultKindFromName(const std::string& name);
// "kind[:cmd=N][:p=P][:n=N][:arg=N]", e.g. "busy:cmd=8:n=3" or "silence:p=0.1".
std::optional<FaultRule> ParseFaultRule(const std::string& text, std::string* error = nullptr);
std::string FormatFaultRule(const FaultRule& rule);
