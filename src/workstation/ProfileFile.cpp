#include "ProfileFile.h"

#include "common/NumberText.h"
#include "common/IniText.h"
#include "common/RegularFile.h"
#include "common/SettingsFile.h"

#define SI_NO_CONVERSION   // bytes pass unchanged
#include <SimpleIni.h>

#include <algorithm>
#include <cctype>
#include <cmath>
#include <cstdio>
#include <set>
#include <unistd.h>

namespace {
std::string Lower(std::string s)
{
    for (char& c : s)
        c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return s;
}

std::string Trim(const std::string& s)
{
    const size_t b = s.find_first_not_of(" \t");
    if (b == std::string::npos)
        return "";
    return s.substr(b, s.find_last_not_of(" \t") - b + 1);
}

// The keys each standard takes; anything else is refused (a mistyped key
// would otherwise be dropped without a word).
const std::set<std::string>& KeysOf(EStandard s)
{
    static const std::set<std::string> common{"standard", "rule", "temperature", "ratio", "pooled_s",
                                              "resolution", "cycle",    "timing"};
    static const std::set<std::string> tolerance = [] {
        auto k = common;
        k.insert("tolerance");
        return k;
    }();
    static const std::set<std::string> en1434 = [] {
        auto k = common;
        k.insert({"class", "qp", "qi", "qs"});
        return k;
    }();
    static const std::set<std::string> r49 = [] {
        auto k = common;
        k.insert({"class", "q1", "q3"});
        return k;
    }();
    return s == EStandard::EN1434 ? en1434 : s == EStandard::R49 ? r49 : tolerance;
}

class CSectionReader {
public:
    CSectionReader(const std::string& section, const std::map<std::string, std::string>& keys)
        : m_section(section), m_keys(keys)
    {
    }
    std::string Where(const std::string& key) const { return "[" + m_section + "] " + key + ": "; }
    bool Has(const std::string& key) const { return m_keys.count(key) != 0; }
    const std::string& Text(const std::string& key) const { return m_keys.at(key); }

    // A finite number in [low, high]; missing: def, or an error when required.
    std::string Number(const std::string& key, double low, double high, double& value, bool required) const
    {
        if (!Has(key))
            return required ? Where(key) + "missing" : "";
        double v = 0;
        if (!ParseFloatPoint(Text(key), v) || !std::isfinite(v))
            return Where(key) + "not a number: " + Text(key);
        if (v < low || v > high)
            return Where(key) + FormatC("%s is outside %g..%g", Text(key).c_str(), low, high);
        value = v;
        return "";
    }

private:
    const std::string& m_section;
    const std::map<std::string, std::string>& m_keys;
};

constexpr double kMaxFlow = 1e6;   // m³/h

std::string CheckEn1434(const CSectionReader& r, VerificationProfile& p)
{
    for (const char* key : {"qp", "qi", "qs"}) {
        double& v = key[1] == 'p' ? p.qp : key[1] == 'i' ? p.qi : p.qs;
        if (std::string e = r.Number(key, 0, kMaxFlow, v, true); !e.empty())
            return e;
        if (!(v > 0))
            return r.Where(key) + "must be above 0";
    }
    if (p.qi >= p.qp)
        return r.Where("qi") + FormatC("qi %g is not below qp %g", p.qi, p.qp);
    if (p.qs <= p.qp)
        return r.Where("qs") + FormatC("qs %g is not above qp %g", p.qs, p.qp);
    const double ratio = p.qp / p.qi;
    const double allowed[] = {10, 25, 50, 100, 250};
    if (std::none_of(std::begin(allowed), std::end(allowed), [&](double a) { return std::fabs(ratio - a) <= 1e-6 * a; }))
        return r.Where("qi") + FormatC("qp/qi = %g is none of 10, 25, 50, 100, 250", ratio);
    return "";
}

std::string CheckR49(const CSectionReader& r, VerificationProfile& p)
{
    if (std::string e = r.Number("q1", 0, kMaxFlow, p.q1, true); !e.empty())
        return e;
    if (std::string e = r.Number("q3", 0, kMaxFlow, p.q3, true); !e.empty())
        return e;
    if (!(p.q1 > 0))
        return r.Where("q1") + "must be above 0";
    if (p.q3 < 10 * p.q1)
        return r.Where("q3") + FormatC("R = q3/q1 = %g is below 10", p.q3 / p.q1);
    return "";
}

bool WriteWhole(const std::string& path, const std::string& text)
{
    const std::string tmp = path + ".tmp";
    std::FILE* f = std::fopen(tmp.c_str(), "wb");
    if (!f)
        return false;
    const bool written = std::fwrite(text.data(), 1, text.size(), f) == text.size() && std::fflush(f) == 0 &&
                         ::fsync(fileno(f)) == 0;
    if (std::fclose(f) != 0 || !written || std::rename(tmp.c_str(), path.c_str()) != 0) {
        std::remove(tmp.c_str());
        return false;
    }
    return true;
}

std::map<std::string, std::string> SectionKeys(const CSimpleIniA& ini, const char* section)
{
    std::map<std::string, std::string> keys;
    CSimpleIniA::TNamesDepend names;
    ini.GetAllKeys(section, names);
    for (const auto& n : names)
        keys[Lower(Trim(n.pItem))] = Trim(ini.GetValue(section, n.pItem, ""));
    return keys;
}

// Loads the file; a missing file is empty. False (error set) when it cannot be
// read or is no regular file of at most 1 MB (a folder or a fifo is never opened
// for reading by the ini library).
bool LoadIni(CSimpleIniA& ini, const std::string& path, std::string& error)
{
    ini.SetUnicode(false);
    std::string text, why;
    if (!ReadRegularFile(path, text, why, CSettingsFile::kMaxBytes)) {
        if (why.empty() && ::access(path.c_str(), F_OK) != 0)
            return true;
        error = path + ": cannot be read" + (why.empty() ? "" : " (" + why + ")");
        return false;
    }
    if (ini.LoadData(text) >= 0)
        return true;
    error = path + ": cannot be read";
    return false;
}
}

std::string ReadProfileSection(const std::string& section, const std::map<std::string, std::string>& keys,
                               double stationTolerance, VerificationProfile& out)
{
    const CSectionReader r(section, keys);
    VerificationProfile p;
    p.tolerance = stationTolerance;
    if (!r.Has("standard"))
        return r.Where("standard") + "missing (tolerance, EN1434 or R49)";
    if (!StandardFromKey(r.Text("standard"), p.standard))
        return r.Where("standard") + "unknown standard " + r.Text("standard") + " (tolerance, EN1434 or R49)";
    for (const auto& [key, value] : keys)
        if (!KeysOf(p.standard).count(key))
            return r.Where(key) + "not a key of " + StandardKey(p.standard);
    if (r.Has("rule") && !RuleFromKey(r.Text("rule"), p.rule))
        return r.Where("rule") + "unknown rule " + r.Text("rule") + " (simple or guarded)";
    if (std::string e = r.Number("temperature", -10, 150, p.temperature, false); !e.empty())
        return e;
    if (std::string e = r.Number("ratio", 0, 1, p.ratio, false); !e.empty())
        return e;
    if (r.Has("ratio") && !(p.ratio > 0))
        return r.Where("ratio") + "must be above 0";
    if (std::string e = r.Number("pooled_s", 0, 100, p.pooledS, false); !e.empty())
        return e;
    if (std::string e = r.Number("resolution", 0, 1e3, p.resolution, false); !e.empty())
        return e;
    if (std::string e = r.Number("cycle", 0, 1e6, p.cycleSeconds, false); !e.empty())
        return e;
    if (std::string e = r.Number("timing", 0, 1e3, p.timing, false); !e.empty())
        return e;

    std::string error;
    switch (p.standard) {
    case EStandard::Tolerance:
        error = r.Number("tolerance", 0, 100, p.tolerance, false);
        if (error.empty() && !(p.tolerance > 0))
            error = r.Where("tolerance") + "must be above 0";
        break;
    case EStandard::EN1434:
    case EStandard::R49: {
        double cls = 0;
        error = r.Number("class", 0, 1e9, cls, true);
        const int maxClass = p.standard == EStandard::EN1434 ? 3 : 2;
        if (error.empty() && (cls != std::floor(cls) || cls < 1 || cls > maxClass))
            error = r.Where("class") + FormatC("%s has no class %s (1..%d)", StandardKey(p.standard),
                                               r.Text("class").c_str(), maxClass);
        p.accuracyClass = static_cast<int>(cls);
        if (error.empty())
            error = p.standard == EStandard::EN1434 ? CheckEn1434(r, p) : CheckR49(r, p);
        break;
    }
    }
    if (error.empty())
        out = p;
    return error;
}

bool CProfileSet::Load(const std::string& path, double stationTolerance, std::string& error)
{
    m_sPath = path;
    m_dStationTolerance = stationTolerance;
    m_sections.clear();
    CSimpleIniA ini;
    if (!LoadIni(ini, path, error))
        return false;
    CSimpleIniA::TNamesDepend sections;
    ini.GetAllSections(sections);
    sections.sort(CSimpleIniA::Entry::LoadOrder());
    for (const auto& s : sections) {
        ProfileSection entry;
        entry.name = Trim(s.pItem);
        if (entry.name.empty())
            continue;   // keys before the first section
        const std::string lower = Lower(entry.name);
        if (lower != kDefaultProfileSection) {
            unsigned long long n = 0;
            if (entry.name.find_first_not_of("0123456789") != std::string::npos || entry.name.size() > 8 ||
                (n = std::stoull(entry.name)) == 0)
                entry.error = "[" + entry.name + "]: a section is a meter number (1..99999999) or default";
        }
        if (entry.error.empty()) {
            const std::string name = lower == kDefaultProfileSection ? std::string(kDefaultProfileSection)
                                                                      : std::to_string(std::stoull(entry.name));
            entry.error = ReadProfileSection(name, SectionKeys(ini, s.pItem), stationTolerance, entry.profile);
            entry.name = name;
        }
        m_sections.push_back(entry);
    }
    return true;
}

std::vector<std::string> CProfileSet::Errors() const
{
    std::vector<std::string> errors;
    for (const ProfileSection& s : m_sections)
        if (!s.error.empty())
            errors.push_back(m_sPath + " " + s.error);
    return errors;
}

const ProfileSection* CProfileSet::Find(const std::string& name) const
{
    for (const ProfileSection& s : m_sections)
        if (s.name == name)
            return &s;
    return nullptr;
}

std::string CProfileSet::SectionFor(uint32_t number) const
{
    if (number != 0 && Find(std::to_string(number)))
        return std::to_string(number);
    return Find(kDefaultProfileSection) ? kDefaultProfileSection : "";
}

bool CProfileSet::ProfileFor(uint32_t number, VerificationProfile& profile, std::string& error) const
{
    const ProfileSection* s = Find(SectionFor(number));
    if (!s) {
        profile = VerificationProfile{};
        profile.tolerance = m_dStationTolerance;
        return true;
    }
    if (!s->error.empty()) {
        error = m_sPath + " " + s->error;
        return false;
    }
    profile = s->profile;
    return true;
}

std::string SetProfileKey(const std::string& path, const std::string& section, const std::string& key,
                          const std::string& value, double stationTolerance)
{
    return SetProfileKeys(path, section, {{key, value}}, stationTolerance);
}

std::string SetProfileKeys(const std::string& path, const std::string& section,
                           const std::map<std::string, std::string>& values, double stationTolerance)
{
    CSimpleIniA ini;
    std::string error;
    if (!LoadIni(ini, path, error))
        return error;
    for (const auto& [key, value] : values) {
        const std::string k = Lower(Trim(key));
        const std::string v = Trim(value);
        if (k.empty())
            continue;
        if (v.empty())
            ini.Delete(section.c_str(), k.c_str(), true);
        else
            ini.SetValue(section.c_str(), k.c_str(), v.c_str());
    }
    VerificationProfile p;
    if (std::string e = ReadProfileSection(section, SectionKeys(ini, section.c_str()), stationTolerance, p);
        !e.empty())
        return e + " (nothing written)";
    std::string text;
    if (!IniFileText(ini, text) || !WriteWhole(path, text))
        return path + ": cannot be written";
    return "";
}

bool ReadProfileKeys(const std::string& path, const std::string& section, std::map<std::string, std::string>& keys,
                     std::string& error)
{
    CSimpleIniA ini;
    keys.clear();
    if (!LoadIni(ini, path, error))
        return false;
    keys = SectionKeys(ini, section.c_str());
    return true;
}

std::string LoadReference(const std::string& configPath, ReferenceInstrument& ref)
{
    CSimpleIniA ini;
    std::string error;
    if (!LoadIni(ini, configPath, error))
        return error;
    const char* kSection = "REFERENCE";
    ref = ReferenceInstrument{};
    ref.name = Trim(ini.GetValue(kSection, "name", ""));
    ref.serial = Trim(ini.GetValue(kSection, "serial", ""));
    ref.certificate = Trim(ini.GetValue(kSection, "certificate", ""));
    const std::string u = Trim(ini.GetValue(kSection, "u", ""));
    if (u.empty())
        return "";
    double v = 0;
    if (!ParseFloatPoint(u, v) || !std::isfinite(v))
        return "config.ini [REFERENCE] u: not a number: " + u;
    if (v < 0 || v > 100)
        return "config.ini [REFERENCE] u: " + u + " is outside 0..100 (expanded uncertainty, %, k = 2)";
    ref.u = v;
    ref.uGiven = true;
    return "";
}
