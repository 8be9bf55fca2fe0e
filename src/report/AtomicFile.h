#pragma once
// Writes a whole file through a temporary file in the same folder and a
// rename; throws EReportError, leaving nothing behind, when it cannot.
#include <string>

void WriteFileAtomically(const std::string& path, const std::string& bytes);

// A new file of mode 0644 beside path, named in temp; its descriptor. Throws
// EReportError naming the folder when none can be made.
int CreateTempBeside(const std::string& path, std::string& temp);
