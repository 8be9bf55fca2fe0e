#pragma once
// Writes a whole file through a temporary file in the same folder and a
// rename; throws EReportError, leaving nothing behind, when it cannot.
#include <string>

void WriteFileAtomically(const std::string& path, const std::string& bytes);
