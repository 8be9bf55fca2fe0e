// Model names by the meter's parameter 0.
#include "protocol/vq7prot/vq7cmd.h"

#include "common/NumberText.h"

namespace {

// Heat meters, their modifications and the converters.
std::string MainModelName(int code)
{
    if (code >= 0 && code <= 5)
        return FormatC("ВЯ-7-%d", code + 1);
    if (code >= 64 && code <= 95)
        return FormatC("ВЯ-7М-%d-%d", (code - 64) / 8 + 1, (code - 64) % 8 + 1);
    if (code >= 129 && code <= 133)
        return FormatC("ДЗВ-7-%d", code - 127);
    return std::string();
}

std::string Zua1ModelName(int code)
{
    if (code >= 0 && code <= 4)
        return FormatC("ЗЮ-А-%d", code + 1);
    return std::string();
}

}  // namespace

std::string LookupModelName(const std::string& type, int code)
{
    return type == "ZUA1" ? Zua1ModelName(code) : MainModelName(code);
}
