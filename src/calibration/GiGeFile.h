#pragma once
// Line grammar of the calibration files and the crash-safe file replacement.
#include <string>

// Reads "N Gi Ge" like scanf "%d %g %g" with '.' as the decimal point;
// text after the third number is ignored. False when a field is missing.
bool ParsePairLine(const std::string& line, float& gi, float& ge);

// Every "\n" becomes CR LF.
std::string ToCrLf(const std::string& text);

// Writes bytes to a new file beside path and renames it over path, so that
// path holds either its old or its whole new contents. Missing folders are
// created. On failure returns false with the reason in error.
bool ReplaceFileContents(const std::string& path, const std::string& bytes, std::string& error);
