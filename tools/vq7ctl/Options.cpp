#include "Options.h"

#include "protocol/connection.h"

#include <algorithm>
#include <cctype>
#include <sstream>

std::string CtlArgs::Get(const std::string& name, const std::string& def) const
{
    auto it = options.find(name);
    return it == options.end() ? def : it->second;
}

bool ParseUnsigned(const std::string& text, unsigned long long max, unsigned long long& value)
{
    if (text.empty() || text.size() > 20)
        return false;
    unsigned long long v = 0;
    for (char c : text) {
        if (c < '0' || c > '9')
            return false;
        v = v * 10 + static_cast<unsigned>(c - '0');
        if (v > max)
            return false;
    }
    value = v;
    return true;
}

bool ParseByte(const std::string& text, unsigned& value)
{
    if (text.size() > 2 && text[0] == '0' && (text[1] == 'x' || text[1] == 'X')) {
        unsigned v = 0;
        const std::string digits = text.substr(2);
        if (digits.size() > 2)
            return false;
        for (char c : digits) {
            if (!std::isxdigit(static_cast<unsigned char>(c)))
                return false;
            v = v * 16 + static_cast<unsigned>(std::isdigit(static_cast<unsigned char>(c))
                                                   ? c - '0'
                                                   : std::tolower(static_cast<unsigned char>(c)) - 'a' + 10);
        }
        value = v;
        return true;
    }
    unsigned long long v = 0;
    if (!ParseUnsigned(text, 255, v))
        return false;
    value = static_cast<unsigned>(v);
    return true;
}

bool ParseHexBytes(const std::string& text, std::vector<unsigned char>& bytes)
{
    bytes.clear();
    int high = -1;
    for (char c : text) {
        if (c == ' ' || c == ':' || c == '-' || c == ',') {
            if (high >= 0)
                return false;   // a lone digit
            continue;
        }
        if (!std::isxdigit(static_cast<unsigned char>(c)))
            return false;
        const int d = std::isdigit(static_cast<unsigned char>(c)) ? c - '0'
                                                                 : std::tolower(static_cast<unsigned char>(c)) - 'a' + 10;
        if (high < 0) {
            high = d;
        } else {
            bytes.push_back(static_cast<unsigned char>(high * 16 + d));
            high = -1;
        }
    }
    return high < 0;
}

namespace {
bool SplitOption(const std::string& word, std::string& name, std::optional<std::string>& inlineValue)
{
    if (word.size() < 3 || word.compare(0, 2, "--") != 0)
        return false;
    const auto eq = word.find('=');
    name = word.substr(2, eq == std::string::npos ? std::string::npos : eq - 2);
    inlineValue.reset();
    if (eq != std::string::npos)
        inlineValue = word.substr(eq + 1);
    return true;
}
}

bool ParseGlobalOptions(int argc, char** argv, GlobalOptions& opts, int* next, std::string& error)
{
    int i = 1;
    for (; i < argc; ++i) {
        const std::string word = argv[i];
        if (word == "-h") {
            opts.help = true;
            continue;
        }
        std::string name;
        std::optional<std::string> value;
        if (!SplitOption(word, name, value))
            break;
        if (name == "help" || name == "json") {
            if (value) {
                error = "--" + name + " takes no value";
                return false;
            }
            (name == "help" ? opts.help : opts.json) = true;
            continue;
        }
        static const char* const kValued[] = {"config", "port", "speed", "ip", "tcp-port", "aux-timeout", "trace"};
        bool known = false;
        for (const char* k : kValued)
            known = known || name == k;
        if (!known) {
            error = "unknown option --" + name;
            return false;
        }
        if (!value) {
            if (i + 1 >= argc) {
                error = "--" + name + " needs a value";
                return false;
            }
            value = argv[++i];
        }
        unsigned long long n = 0;
        if (name == "config") {
            opts.configFile = *value;
        } else if (name == "port") {
            opts.port = *value;
        } else if (name == "ip") {
            opts.ip = *value;
        } else if (name == "trace") {
            opts.traceFile = *value;
        } else if (name == "speed") {
            if (!ParseUnsigned(*value, 4000000, n) || n == 0) {
                error = "--speed: not a baud rate: " + *value;
                return false;
            }
            opts.speed = static_cast<unsigned>(n);
        } else if (name == "tcp-port") {
            if (!ParseUnsigned(*value, 65535, n) || n == 0) {
                error = "--tcp-port: not a TCP port: " + *value;
                return false;
            }
            opts.tcpPort = *value;
        } else if (name == "aux-timeout") {
            if (!ParseUnsigned(*value, 0xFFFFFFFFull, n)) {
                error = "--aux-timeout: not a number of milliseconds: " + *value;
                return false;
            }
            opts.auxTimeout = static_cast<int>(std::min<unsigned long long>(n, connection::kMaxAuxTmoutMs));
        }
    }
    *next = i;
    return true;
}

bool ParseCommandArgs(const std::vector<std::string>& words, const std::string& valueOptions, CtlArgs& args,
                      std::string& error)
{
    std::vector<std::string> allowed;
    std::stringstream ss(valueOptions);
    for (std::string item; std::getline(ss, item, ',');)
        if (!item.empty())
            allowed.push_back(item);

    for (size_t i = 0; i < words.size(); ++i) {
        std::string name;
        std::optional<std::string> value;
        if (!SplitOption(words[i], name, value)) {
            args.positional.push_back(words[i]);
            continue;
        }
        bool known = false, flag = false;
        for (const auto& a : allowed) {
            known = known || a == name;
            flag = flag || a == name + "!";   // "name!": an option without a value
        }
        if (flag && !value) {
            args.options[name] = "";
            continue;
        }
        if (!known) {
            error = "unknown option --" + name;
            return false;
        }
        if (!value) {
            if (i + 1 >= words.size()) {
                error = "--" + name + " needs a value";
                return false;
            }
            value = words[++i];
        }
        args.options[name] = *value;
    }
    return true;
}
