#pragma once
// A parameter written into a meter and entered in the write journal: with
// read-back on, the value is read before and after the write.
#include <cstdint>
#include <string>

class connection;

// As WriteParam; RC_READBACK_MISMATCH when the meter gives back another value
// (then *readBack holds it), the read's result when the read-back failed.
unsigned WriteParamJournaled(connection* conn, uint32_t number, const std::string& model, uint8_t param, int kind,
                             const std::string& value, std::string* readBack = nullptr);
unsigned WriteParamJournaled(connection* conn, uint32_t number, const std::string& model, uint8_t param,
                             const std::string& value, std::string* readBack = nullptr);

// "Счетчик № N: параметр P после записи прочитан как R, записано V."
std::string ParamMismatchText(uint32_t number, uint8_t param, const std::string& written, const std::string& read);
