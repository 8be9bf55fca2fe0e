#include "JsonValues.h"

#include <charconv>
#include <cmath>

namespace {
// Below this a whole double is an exact integer of the same text.
constexpr double kWholeLimit = 1e15;
}

CtlJson JsonReal(double value)
{
    if (!std::isfinite(value))
        return nullptr;
    if (value == std::trunc(value) && std::fabs(value) < kWholeLimit)
        return static_cast<long long>(value);
    return value;
}

CtlJson JsonReal(float value)
{
    if (!std::isfinite(value))
        return nullptr;
    char text[32];
    const auto written = std::to_chars(text, text + sizeof text, value);
    double shortest = value;
    std::from_chars(text, written.ptr, shortest);
    return JsonReal(shortest);
}

std::string JsonText(const CtlJson& doc)
{
    return doc.dump(-1, ' ', false, nlohmann::json::error_handler_t::replace);
}
