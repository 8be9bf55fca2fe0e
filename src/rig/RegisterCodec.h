#pragma once
// Values in Modbus registers: 16- and 32-bit integers and IEEE floats, either
// word order, times a scale.
#include <cstdint>
#include <string>

enum class RegisterType { Int16, UInt16, Int32, UInt32, Float32 };
enum class WordOrder { HighFirst, LowFirst };

// Registers the type takes: 1 or 2.
int RegisterCount(RegisterType type);
// "int16", "uint16", "int32", "uint32", "float32"; false for anything else.
bool ParseRegisterType(const std::string& text, RegisterType& type);
const char* RegisterTypeName(RegisterType type);

// regs holds RegisterCount(type) registers; the result is raw times scale.
double DecodeRegisters(const uint16_t* regs, RegisterType type, WordOrder order, double scale);
// value / scale rounded for integers; false when it does not fit the type.
bool EncodeRegisters(double value, RegisterType type, WordOrder order, double scale, uint16_t* regs);
