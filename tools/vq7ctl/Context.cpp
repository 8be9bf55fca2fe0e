#include "Context.h"

#include "common/NumberText.h"
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
    std::fprintf(stderr, "vq7ctl: %s: result %s\n", what.c_str(), ResultText(code).c_str());
    if (Json()) {
        doc["error"] = what;
        doc["result"] = code;
        doc["meaning"] = code < 0 ? std::string("операция не выполнена")
                                    : ResultCodeText(static_cast<unsigned>(code));
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
    if (!ParseUnsigned(text, 0xFFFFFFFFull, v) || v == 0) {
        ctx.Usage("not a meter number: " + text);
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
