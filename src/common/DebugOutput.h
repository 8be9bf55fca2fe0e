#pragma once
// Diagnostic channel for internal misuse: a time-stamped line on stderr with
// the program's name when enabled (VQ7_DEBUG set, or SetDebugOutputEnabled),
// and to a test sink.
#include <functional>
#include <string>

void DebugOutput(const std::string& text);
void SetDebugOutputEnabled(bool enabled);
// Receives every line (tests); empty function removes it.
void SetDebugOutputSink(std::function<void(const std::string&)> sink);
