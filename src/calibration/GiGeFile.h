#pragma once
// Line grammar of the calibration files and the crash-safe file replacement.
#include <string>

// Reads a pair line: exactly three fields separated by blanks or tabs, a whole
// number N and two decimal numbers Gi and Ge ('.' as the point, no "inf",
// "nan" or hexadecimal) that a 32-bit float holds; blanks and a CR may end the
// line. False when the line is no pair, with why (when given) saying what it lacks.
bool ParsePairLine(const std::string& line, float& gi, float& ge, std::string* why = nullptr);

// Every "\n" becomes CR LF.
std::string ToCrLf(const std::string& text);

// Writes bytes to a new file beside path and renames it over path, so that
// path holds either its old or its whole new contents. Missing folders are
// created. On failure returns false with the reason in error.
bool ReplaceFileContents(const std::string& path, const std::string& bytes, std::string& error);
