#include "Context.h"

#include "common/NumberText.h"
#include "protocol/connection.h"
#include "protocol/vq7prot/vq7cmd.h"

#include <cstdio>

void CtlContext::Print(const std::string& line) const
{
    if (!Json())
        std::printf("%s\n", line.c_str());
}

std::string ResultText(long long code)
{
    if (code < 0)
        return std::to_string(code) + " (операция не выполнена)";
    return std::to_string(code) + " (" + ResultCodeText(static_cast<unsigned>(code)) + ")";
}

int CtlContext::Fail(const std::string& what, long long code)
{
    // A failure of the port or gateway is told by the link, naming the place.
    const std::string place = code > 0 && code <= 0xFFFF ? conn.LinkFaultText(static_cast<int>(code)) : "";
    const std::string meaning = code < 0        ? std::string("операция не выполнена")
                                : place.empty() ? ResultCodeText(static_cast<unsigned>(code))
                                                : place;
    std::fprintf(stderr, "vq7ctl: %s: result %lld (%s)\n", what.c_str(), code, meaning.c_str());
    if (Json()) {
        doc["error"] = what;
        doc["result"] = code;
        doc["meaning"] = meaning;
    }
    return EXIT_FAILED;
}

int CtlContext::Fail(const std::string& what)
{
    std::fprintf(stderr, "vq7ctl: %s\n", what.c_str());
    if (Json())
        doc["error"] = what;
    return EXIT_FAILED;
}

int CtlContext::Usage(const std::string& what)
{
    std::fprintf(stderr, "vq7ctl: %s (see vq7ctl --help)\n", what.c_str());
    if (Json())
        doc["error"] = what;
    return EXIT_USAGE;
}

bool ArgMeterNumber(CtlContext& ctx, const std::string& text, uint32_t& number)
{
    unsigned long long v = 0;
    if (!ParseUnsigned(text, VQ7_MAX_NUMBER, v) || v == 0) {
        ctx.Usage("not a meter number (1..99999999): " + text);
        return false;
    }
    number = static_cast<uint32_t>(v);
    return true;
}

bool ArgMeterNumbers(CtlContext& ctx, const CtlArgs& args, std::vector<uint32_t>& numbers)
{
    for (const auto& text : args.positional) {
        uint32_t n = 0;
        if (!ArgMeterNumber(ctx, text, n))
            return false;
        numbers.push_back(n);
    }
    return true;
}

bool ArgByte(CtlContext& ctx, const std::string& text, const char* what, unsigned& value)
{
    if (!ParseByte(text, value)) {
        ctx.Usage(std::string("not a ") + what + " (0..255): " + text);
        return false;
    }
    return true;
}

std::string MeterFileName(uint32_t number) { return FormatC("%8.8u", number); }
