#pragma once
// Where `measure` takes the reference flow Ge from: a fixed value, the last
// line a reference file got during the cycle, or the operator on the terminal.
#include "measurement/CSystem.h"

#include <cstdio>
#include <string>

// Ge given on the command line.
ReferenceFlowPrompt FixedGe(double ge);

// The last line of the file. Lines written after this call count as the
// cycle's; when none comes within waitMs of the prompt, the last line there is
// is taken with a warning. No number: cancelled, with a message on stderr.
ReferenceFlowPrompt GeFromFile(const std::string& path, unsigned waitMs = 3000);

// Asks on stderr and reads lines from `in` until one is a number (either
// decimal separator); end of input: cancelled.
ReferenceFlowPrompt GeFromTerminal(std::FILE* in);

// A number written with '.' or with the operator's separator; false otherwise.
bool ParseGe(const std::string& text, double& ge);
