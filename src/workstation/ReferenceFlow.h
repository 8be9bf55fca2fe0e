#pragma once
// What a reference flow Ge may be: a finite number above zero (m³/h).
#include <string>

bool IsValidReferenceFlow(double ge);
// The operator's message for a Ge that is not valid.
std::string InvalidReferenceFlowText(double ge);
