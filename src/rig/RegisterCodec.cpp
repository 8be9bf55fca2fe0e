#include "rig/RegisterCodec.h"

#include <cmath>
#include <cstring>
#include <limits>

int RegisterCount(RegisterType type)
{
    return type == RegisterType::Int16 || type == RegisterType::UInt16 ? 1 : 2;
}

bool ParseRegisterType(const std::string& text, RegisterType& type)
{
    for (RegisterType t : {RegisterType::Int16, RegisterType::UInt16, RegisterType::Int32, RegisterType::UInt32,
                           RegisterType::Float32})
        if (text == RegisterTypeName(t)) {
            type = t;
            return true;
        }
    return false;
}

const char* RegisterTypeName(RegisterType type)
{
    switch (type) {
    case RegisterType::Int16: return "int16";
    case RegisterType::UInt16: return "uint16";
    case RegisterType::Int32: return "int32";
    case RegisterType::UInt32: return "uint32";
    case RegisterType::Float32: return "float32";
    }
    return "";
}

namespace {
uint32_t Join(const uint16_t* regs, WordOrder order)
{
    const uint32_t first = regs[0], second = regs[1];
    return order == WordOrder::HighFirst ? (first << 16) | second : (second << 16) | first;
}

void Split(uint32_t v, WordOrder order, uint16_t* regs)
{
    const uint16_t high = static_cast<uint16_t>(v >> 16), low = static_cast<uint16_t>(v & 0xFFFF);
    regs[0] = order == WordOrder::HighFirst ? high : low;
    regs[1] = order == WordOrder::HighFirst ? low : high;
}

template <typename T>
bool FitsInteger(double v)
{
    return v >= static_cast<double>(std::numeric_limits<T>::min()) &&
           v <= static_cast<double>(std::numeric_limits<T>::max());
}
}

double DecodeRegisters(const uint16_t* regs, RegisterType type, WordOrder order, double scale)
{
    double raw = 0;
    switch (type) {
    case RegisterType::Int16: raw = static_cast<int16_t>(regs[0]); break;
    case RegisterType::UInt16: raw = regs[0]; break;
    case RegisterType::Int32: raw = static_cast<int32_t>(Join(regs, order)); break;
    case RegisterType::UInt32: raw = Join(regs, order); break;
    case RegisterType::Float32: {
        const uint32_t bits = Join(regs, order);
        float f;
        std::memcpy(&f, &bits, sizeof f);
        raw = f;
        break;
    }
    }
    return raw * scale;
}

bool EncodeRegisters(double value, RegisterType type, WordOrder order, double scale, uint16_t* regs)
{
    if (!std::isfinite(value) || !std::isfinite(scale) || scale == 0)
        return false;
    const double raw = value / scale;
    if (type == RegisterType::Float32) {
        if (std::fabs(raw) > std::numeric_limits<float>::max())
            return false;
        const float f = static_cast<float>(raw);
        uint32_t bits;
        std::memcpy(&bits, &f, sizeof bits);
        Split(bits, order, regs);
        return true;
    }
    const double r = std::round(raw);
    switch (type) {
    case RegisterType::Int16:
        if (!FitsInteger<int16_t>(r))
            return false;
        regs[0] = static_cast<uint16_t>(static_cast<int16_t>(r));
        return true;
    case RegisterType::UInt16:
        if (!FitsInteger<uint16_t>(r))
            return false;
        regs[0] = static_cast<uint16_t>(r);
        return true;
    case RegisterType::Int32:
        if (!FitsInteger<int32_t>(r))
            return false;
        Split(static_cast<uint32_t>(static_cast<int32_t>(r)), order, regs);
        return true;
    case RegisterType::UInt32:
        if (!FitsInteger<uint32_t>(r))
            return false;
        Split(static_cast<uint32_t>(r), order, regs);
        return true;
    case RegisterType::Float32: break;
    }
    return false;
}
