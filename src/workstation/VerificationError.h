#pragma once
// A meter's error over one verification cycle, in per cent of its own mean flow.
#include <string>

// (gv - ge) / gv × 100 in 32-bit floats; 1000 when gv is 0.
float VerificationError(float ge, float gv);
// "%.3f" in the operator's decimal separator.
std::string VerificationErrorText(float ge, float gv);

// The standards' error (gv - ge) / ge × 100, positive when the meter reads
// high; 1000 when ge is 0 (a flow no standard judges).
float StandardError(float ge, float gv);
std::string StandardErrorText(float ge, float gv);
