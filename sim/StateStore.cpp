// Meter state as text: the EEPROM pairs, the parameters and the write switch.
#include "common/NumberText.h"
#include "sim/VirtualMeter.h"

#include <cstring>
#include <sstream>

namespace {
uint32_t Bits(float f)
{
    uint32_t u;
    std::memcpy(&u, &f, 4);
    return u;
}
float FromBits(uint32_t u)
{
    float f;
    std::memcpy(&f, &u, 4);
    return f;
}
bool Hex(const std::string& text, unsigned long long max, unsigned long long& value)
{
    if (text.empty() || text.size() > 8)
        return false;
    char* end = nullptr;
    value = std::strtoull(text.c_str(), &end, 16);
    return *end == 0 && value <= max;
}
}  // namespace

std::string CVirtualMeter::SaveState() const
{
    std::lock_guard lock(m_lock);
    std::string s = FormatC("# vq7sim meter %u\ncount %u\nswitch %d\n", m_cfg.number, m_bPairCount,
                            m_cfg.writeSwitch ? 1 : 0);
    for (size_t i = 0; i < m_eeprom.size(); ++i) {
        const uint32_t gi = Bits(m_eeprom[i].gi), ge = Bits(m_eeprom[i].ge);
        if (gi != 0xFFFFFFFFu || ge != 0xFFFFFFFFu)
            s += FormatC("pair %zu %08x %08x\n", i, gi, ge);
    }
    for (const auto& [number, v] : m_params)
        s += FormatC("param %u %02x %02x %02x %02x\n", number, v[0], v[1], v[2], v[3]);
    return s;
}

bool CVirtualMeter::LoadState(const std::string& text, std::string* error)
{
    std::lock_guard lock(m_lock);
    auto fail = [&](int line, const std::string& what) {
        if (error)
            *error = FormatC("line %d: ", line) + what;
        return false;
    };
    // Parse everything first; apply only a file that is whole.
    auto eeprom = m_eeprom;
    auto params = m_params;
    uint8_t count = m_bPairCount;
    bool writeSwitch = m_cfg.writeSwitch;
    std::istringstream in(text);
    std::string line;
    int lineNo = 0;
    while (std::getline(in, line)) {
        ++lineNo;
        if (!line.empty() && line.back() == '\r')
            line.pop_back();
        std::istringstream words(line);
        std::string key;
        if (!(words >> key) || key[0] == '#')
            continue;
        std::vector<std::string> w;
        for (std::string x; words >> x;)
            w.push_back(x);
        unsigned long long a = 0, b = 0, c = 0;
        if (key == "count" && w.size() == 1) {
            const long long n = StrToIntDef(w[0], -1);
            // 255: none; otherwise no more than the pair slots it can be read from
            if (n < 0 || (n > static_cast<long long>(m_eeprom.size()) && n != 255))
                return fail(lineNo, "bad pair count");
            count = static_cast<uint8_t>(n);
        } else if (key == "switch" && w.size() == 1) {
            writeSwitch = w[0] != "0";
        } else if (key == "pair" && w.size() == 3) {
            const long long i = StrToIntDef(w[0], -1);
            if (i < 0 || static_cast<size_t>(i) >= eeprom.size() || !Hex(w[1], 0xFFFFFFFFu, a) ||
                !Hex(w[2], 0xFFFFFFFFu, b))
                return fail(lineNo, "bad pair");
            eeprom[static_cast<size_t>(i)] = {FromBits(static_cast<uint32_t>(a)), FromBits(static_cast<uint32_t>(b))};
        } else if (key == "param" && w.size() == 5) {
            const long long i = StrToIntDef(w[0], -1);
            std::array<uint8_t, 4> v{};
            if (i < 0 || i > 255)
                return fail(lineNo, "bad parameter number");
            for (int k = 0; k < 4; ++k) {
                if (!Hex(w[static_cast<size_t>(k) + 1], 255, c))
                    return fail(lineNo, "bad parameter byte");
                v[static_cast<size_t>(k)] = static_cast<uint8_t>(c);
            }
            params[static_cast<uint8_t>(i)] = v;
        } else {
            return fail(lineNo, "unknown line '" + line + "'");
        }
    }
    m_eeprom = eeprom;
    m_params = params;
    if (m_cfg.pairCountCommands)
        m_bPairCount = count;
    m_cfg.writeSwitch = writeSwitch;
    m_flash = PairsLocked();   // power-up: the converter copies EEPROM to flash
    return true;
}
