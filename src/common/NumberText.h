#pragma once
// Number <-> text in a fixed notation, independent of the process locale.
#include <stdexcept>
#include <string>

// printf-style formatting in the C locale (always '.').
std::string FormatC(const char* fmt, ...) __attribute__((format(printf, 1, 2)));

// A text that is not a number.
class EConvertError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

// Float written with the operator's decimal separator; throws EConvertError naming the text.
double StrToFloat(const std::string& text);
// Float written with '.' (files); false when the whole text is not a number.
bool ParseFloatPoint(const std::string& text, double& value);
// Whole-text integer (decimal, or hexadecimal after "0x" or "$"); def when not a number.
long long StrToIntDef(const std::string& text, long long def);
// Value of the leading decimal digits; 0 when the text does not start with one.
unsigned long LeadingDigits(const std::string& text);
