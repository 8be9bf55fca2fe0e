#pragma once
// Helpers shared by the command functions: one command with a short or long
// answer, and the number texts of answers.
#include "protocol/vq7prot/vq7cmd.h"

#include <string>

namespace vq7 {

// ExecCmd with one 32-byte answer slot.
unsigned ExecShort(connection* conn, uint32_t number, uint8_t cmd, const uint8_t* data, unsigned dataLen,
                   VQ7_SHORT_ANSWER& answer, unsigned attempts);
// ExecCmd with one 72-byte answer slot.
unsigned ExecLong(connection* conn, uint32_t number, uint8_t cmd, const uint8_t* data, unsigned dataLen,
                  VQ7_LONG_ANSWER& answer, unsigned attempts);

// "%.7g" with '.', optionally with a not-a-number replaced by 1e30.
std::string FloatText(float value, bool nanAs1e30);
// Float of an argument text (after FixDecimalSeparator); throws EConvertError.
float ArgumentFloat(const std::string& text);
// Float of a version text; 0 when the text is not a number.
float VersionNumber(const std::string& text);
// The number at the start of a text after leading blanks (either separator); 0 when there is none.
float LeadingNumber(const std::string& text);

}  // namespace vq7
