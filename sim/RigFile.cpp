// The default rig and rig files: one meter a line,
//   number type short-version full-version model [key=value ...]
// Types with blanks are written without them ("VQ", "FJ", "ZUT"); '_' in an id text is a blank.
#include "common/NumberText.h"
#include "protocol/vq7prot/Vq7comm.h"
#include "sim/Rig.h"

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <sstream>

namespace {
std::vector<SimPair> IdentityPairs(std::initializer_list<float> flows)
{
    std::vector<SimPair> v;
    for (float f : flows)
        v.push_back({f, f});
    return v;
}

// Pairs whose Ge differ from Gi by the factor: such a meter's Gv is not its Gi.
// Ge is rounded to 7 digits, as the calibration files keep it.
std::vector<SimPair> ScaledPairs(std::initializer_list<float> flows, float factor)
{
    std::vector<SimPair> v;
    for (float f : flows) {
        char text[32];
        std::snprintf(text, sizeof text, "%.6e", static_cast<double>(f) * factor);
        v.push_back({f, std::strtof(text, nullptr)});
    }
    return v;
}

SimMeterConfig MakeMeter(uint32_t number, const char* type, const char* version, const char* full, int model,
                     const char* id, uint32_t features, uint32_t a, uint32_t b, std::vector<SimPair> pairs)
{
    SimMeterConfig c;
    c.number = number;
    c.type = type;
    c.version = version;
    c.fullVersion = full;
    c.model = model;
    c.idText = id;
    c.idFlag = static_cast<uint8_t>(number % 7);
    c.features = features;
    c.devWordA = a;
    c.devWordB = b;
    c.pairs = std::move(pairs);
    return c;
}

bool Fail(std::string* error, int line, const std::string& what)
{
    if (error)
        *error = FormatC("line %d: ", line) + what;
    return false;
}

bool ParsePairs(const std::string& text, std::vector<SimPair>& pairs)
{
    std::istringstream in(text);
    std::string item;
    while (std::getline(in, item, ';')) {
        const auto slash = item.find('/');
        double gi = 0, ge = 0;
        if (slash == std::string::npos || !ParseFloatPoint(item.substr(0, slash), gi) ||
            !ParseFloatPoint(item.substr(slash + 1), ge))
            return false;
        pairs.push_back({static_cast<float>(gi), static_cast<float>(ge)});
    }
    return !pairs.empty() && pairs.size() <= 254;
}
}  // namespace

std::vector<SimMeterConfig> CRig::DefaultMeters()
{
    std::vector<SimMeterConfig> v;
    v.push_back(MakeMeter(11000001, "VQ7I", "4.02 ", "04.02.01", 0, "ВЯ-7П", 0x00000000, 0x11000001, 0x0102, {}));
    v.push_back(MakeMeter(11000002, "VQ  ", "3.10 ", "03.10.05", 70, "ВЯ-7М", 0x005D7E03, 0x0A0B0C0D, 0x0310,
                      ScaledPairs({0.3f, 3.0f, 15.0f, 30.0f}, 0.97f)));
    SimMeterConfig old = MakeMeter(11000003, "VQ  ", "2.95 ", "02.31.00", 3, "ВЯ-7", 0x00001234, 0x00000295, 0x0001,
                               IdentityPairs({0.1f, 0.3f, 1.0f, 3.0f, 10.0f, 30.0f, 60.0f}));
    old.pairCountCommands = false;   // older software: pair count commands unknown
    v.push_back(old);
    v.push_back(MakeMeter(11000004, "FJ  ", "3.20 ", "03.20.01", 0, "ФЖ-7", 0x005D7F11, 0x464A0001, 0x0320,
                      ScaledPairs({0.2f, 1.0f, 5.0f, 20.0f, 40.0f}, 1.03f)));
    v.push_back(MakeMeter(11000005, "DZW3", "3.07 ", "03.07.02", 130, "ДЗВ-3", 0x005D7D01, 0x44000005, 0x0307, {}));
    v.push_back(MakeMeter(11000006, "DZW4", "3.07 ", "03.07.03", 131, "ДЗВ-4", 0x005D7D02, 0x44000006, 0x0307,
                      IdentityPairs({0.5f, 5.0f, 25.0f, 50.0f})));
    v.push_back(MakeMeter(11000007, "DZW4", "3.06 ", "03.06.04", 131, "ДЗВ-4", 0x005D7C00, 0x44000007, 0x0306,
                      IdentityPairs({1.0f, 10.0f})));
    v.push_back(MakeMeter(11000008, "ZUA1", "4.10 ", "04.10.02", 2, "ЗЮ-А", 0x00A10001, 0x5A000008, 0x00000410,
                      IdentityPairs({0.4f, 4.0f, 40.0f})));
    v.push_back(MakeMeter(11000009, "ZUI3", "4.05 ", "04.05.00", 0, "ЗЮ-И", 0x00300003, 0x5A100009, 0x00000405, {}));
    v.push_back(MakeMeter(11000010, "ZUR1", "4.01 ", "04.01.07", 0, "ЗЮ-Р", 0x00200001, 0x5A200010, 0x0401,
                      IdentityPairs({0.25f, 2.5f, 12.5f, 25.0f})));
    return v;
}

bool CRig::ParseRigText(const std::string& text, std::vector<SimMeterConfig>& meters, std::string* error)
{
    std::istringstream in(text);
    std::string line;
    int lineNo = 0;
    std::vector<SimMeterConfig> out;
    while (std::getline(in, line)) {
        ++lineNo;
        if (!line.empty() && line.back() == '\r')
            line.pop_back();
        const auto hash = line.find('#');
        if (hash != std::string::npos)
            line.resize(hash);
        std::istringstream words(line);
        std::vector<std::string> w;
        for (std::string x; words >> x;)
            w.push_back(x);
        if (w.empty())
            continue;
        if (w.size() < 5)
            return Fail(error, lineNo, "expected: number type short-version full-version model [key=value ...]");
        SimMeterConfig c;
        const long long number = StrToIntDef(w[0], -1);
        if (number <= 0 || number > VQ7_MAX_NUMBER)
            return Fail(error, lineNo, "meter number '" + w[0] + "' is not 1..99999999");
        c.number = static_cast<uint32_t>(number);
        if (w[1].size() > 4)
            return Fail(error, lineNo, "type '" + w[1] + "' is longer than 4 characters");
        c.type = w[1];
        if (w[2].size() > 5)
            return Fail(error, lineNo, "short version '" + w[2] + "' is longer than 5 characters");
        c.version = w[2];
        if (w[3].size() != 8)
            return Fail(error, lineNo, "full version '" + w[3] + "' is not NN.NN.NN");
        c.fullVersion = w[3];
        const long long model = StrToIntDef(w[4], -1);
        if (model < 0 || model > 255)
            return Fail(error, lineNo, "model '" + w[4] + "' is not 0..255");
        c.model = static_cast<int>(model);
        for (size_t i = 5; i < w.size(); ++i) {
            const auto eq = w[i].find('=');
            const std::string key = w[i].substr(0, eq);
            const std::string value = eq == std::string::npos ? std::string() : w[i].substr(eq + 1);
            const long long n = StrToIntDef(value, -1);
            if (key == "id") {
                c.idText = value;
                for (char& ch : c.idText)
                    if (ch == '_')
                        ch = ' ';
            } else if (key == "flag" && n >= 0 && n <= 255) {
                c.idFlag = static_cast<uint8_t>(n);
            } else if ((key == "features" || key == "worda" || key == "wordb") && n >= 0 && n <= 0xFFFFFFFFLL) {
                (key == "features" ? c.features : key == "worda" ? c.devWordA : c.devWordB) =
                    static_cast<uint32_t>(n);
            } else if (key == "delay" && n >= 0 && n <= 10000) {
                c.responseDelayMs = static_cast<unsigned>(n);
            } else if (key == "restart" && RestartModeFromName(value, c.restartMode)) {
            } else if (key == "restart-ms" && n >= 0 && n <= 60000) {
                c.restartSilenceMs = static_cast<unsigned>(n);
            } else if (key == "switch" && (value == "on" || value == "off")) {
                c.writeSwitch = value == "on";
            } else if (key == "oldpairs" && value.empty()) {
                c.pairCountCommands = false;
            } else if (key == "capacity" && n >= 1 && n <= 254) {
                c.pairCapacity = static_cast<unsigned>(n);
            } else if (key == "seed" && n >= 0 && n <= 0xFFFFFFFFLL) {
                c.seed = static_cast<uint32_t>(n);
            } else if (key == "pairs" && ParsePairs(value, c.pairs)) {
            } else if (key == "fault") {
                std::string why;
                auto rule = ParseFaultRule(value, &why);
                if (!rule)
                    return Fail(error, lineNo, why);
                c.faults.push_back(*rule);
            } else {
                return Fail(error, lineNo, "bad option '" + w[i] + "'");
            }
        }
        for (const auto& m : out)
            if (m.number == c.number)
                return Fail(error, lineNo, "meter " + w[0] + " is listed twice");
        if (out.size() >= SIM_MAX_METERS)
            return Fail(error, lineNo, "more than ten meters");
        out.push_back(c);
    }
    if (out.empty()) {
        if (error)
            *error = "no meters listed";
        return false;
    }
    meters = std::move(out);
    return true;
}

bool CRig::LoadRigFile(const std::string& path, std::string* error)
{
    std::ifstream in(path, std::ios::binary);
    if (!in) {
        if (error)
            *error = "cannot open the rig file " + path;
        return false;
    }
    std::stringstream text;
    text << in.rdbuf();
    std::vector<SimMeterConfig> meters;
    std::string why;
    if (!ParseRigText(text.str(), meters, &why)) {
        if (error)
            *error = path + ", " + why;
        return false;
    }
    for (const auto& m : meters)
        if (!AddMeter(m)) {
            if (error)
                *error = FormatC("%s: meter %u cannot join the rig (full, or its number is taken)", path.c_str(),
                                 m.number);
            return false;
        }
    return true;
}
