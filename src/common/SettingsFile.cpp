#include "common/SettingsFile.h"

#include "common/NumberText.h"
#include "common/RegularFile.h"

#define SI_NO_CONVERSION   // bytes pass unchanged; keys compare ASCII case-insensitively
#include <SimpleIni.h>

#include <cctype>
#include <cerrno>
#include <cmath>
#include <cstdlib>
#include <set>

namespace {
std::string Lower(std::string text)
{
    for (char& c : text)
        c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return text;
}

// A value as a message shows it: at most 40 bytes, control bytes as '?'.
std::string Shown(const std::string& value)
{
    std::string out = value.substr(0, 40);
    for (char& c : out)
        if (static_cast<unsigned char>(c) < 0x20)
            c = '?';
    return value.size() > 40 ? out + "..." : out;
}

// The section names of the text in their order, as the ini library finds them.
std::vector<std::string> SectionLines(const std::string& text)
{
    std::vector<std::string> names;
    size_t pos = 0;
    while (pos < text.size()) {
        size_t end = text.find_first_of("\r\n", pos);
        if (end == std::string::npos)
            end = text.size();
        size_t i = pos;
        while (i < end && std::isspace(static_cast<unsigned char>(text[i])))
            ++i;
        if (i < end && text[i] == '[') {
            const size_t close = text.find(']', i);
            if (close != std::string::npos && close < end) {
                std::string name = text.substr(i + 1, close - i - 1);
                while (!name.empty() && std::isspace(static_cast<unsigned char>(name.front())))
                    name.erase(0, 1);
                while (!name.empty() && std::isspace(static_cast<unsigned char>(name.back())))
                    name.pop_back();
                names.push_back(name);
            }
        }
        pos = end + 1;
    }
    return names;
}
}

bool CSettingsFile::Load(const std::string& path)
{
    std::string text, why;
    if (!ReadRegularFile(path, text, why, kMaxBytes)) {
        m_sName = path;
        m_bExists = !why.empty();
        m_values.clear();
        if (!why.empty())
            AddError(path + ": не прочитан (" + why + ")");
        return why.empty();
    }
    LoadText(text, path);
    return true;
}

void CSettingsFile::LoadText(const std::string& text, const std::string& name)
{
    m_sName = name;
    m_bExists = true;
    m_values.clear();

    CSimpleIniA ini;   // the last of a key given twice counts
    ini.SetUnicode(false);
    ini.LoadData(text.data(), text.size());
    CSimpleIniA multi;   // every value of a key given twice
    multi.SetUnicode(false);
    multi.SetMultiKey(true);
    multi.LoadData(text.data(), text.size());

    CSimpleIniA::TNamesDepend sections;
    ini.GetAllSections(sections);
    sections.sort(CSimpleIniA::Entry::LoadOrder());
    for (const auto& s : sections) {
        auto& keys = m_values[Lower(s.pItem)];
        CSimpleIniA::TNamesDepend names;
        ini.GetAllKeys(s.pItem, names);
        names.sort(CSimpleIniA::Entry::LoadOrder());
        for (const auto& k : names) {
            keys[Lower(k.pItem)] = ini.GetValue(s.pItem, k.pItem, "");
            CSimpleIniA::TNamesDepend all;
            multi.GetAllValues(s.pItem, k.pItem, all);
            if (all.size() > 1)
                AddWarning(name + ": [" + std::string(s.pItem) + "] " + k.pItem + " задан " +
                           std::to_string(all.size()) + " раза, взято последнее значение \"" +
                           Shown(keys[Lower(k.pItem)]) + "\"");
        }
    }
    std::set<std::string> seen, told;
    for (const std::string& section : SectionLines(text)) {
        const std::string key = Lower(section);
        if (!seen.insert(key).second && told.insert(key).second)
            AddWarning(name + ": раздел [" + section + "] задан дважды");
    }
}

bool CSettingsFile::HasSection(const std::string& section) const
{
    return m_values.count(Lower(section)) != 0;
}

const std::string* CSettingsFile::Find(const std::string& section, const std::string& key) const
{
    const auto s = m_values.find(Lower(section));
    if (s == m_values.end())
        return nullptr;
    const auto k = s->second.find(Lower(key));
    return k == s->second.end() ? nullptr : &k->second;
}

std::string CSettingsFile::Text(const std::string& section, const std::string& key, const std::string& def) const
{
    const std::string* value = Find(section, key);
    return value ? *value : def;
}

void CSettingsFile::ValueError(const std::string& section, const std::string& key, const std::string& value,
                               const std::string& rule)
{
    AddError(m_sName + ": [" + section + "] " + key + "=" + Shown(value) + ": " + rule);
}

long long CSettingsFile::Whole(const std::string& section, const std::string& key, long long def, long long min,
                               long long max)
{
    const std::string* value = Find(section, key);
    if (!value)
        return def;
    const std::string& v = *value;
    size_t i = v.size() > 0 && (v[0] == '+' || v[0] == '-') ? 1 : 0;
    bool digits = i < v.size();
    for (size_t j = i; j < v.size(); ++j)
        digits = digits && std::isdigit(static_cast<unsigned char>(v[j]));
    errno = 0;
    const long long n = digits ? std::strtoll(v.c_str(), nullptr, 10) : 0;
    if (!digits || errno == ERANGE || n < min || n > max) {
        ValueError(section, key, v, "нужно целое число от " + std::to_string(min) + " до " + std::to_string(max) +
                                        ", взято " + std::to_string(def));
        return def;
    }
    return n;
}

double CSettingsFile::Number(const std::string& section, const std::string& key, double def, double min, double max)
{
    const std::string* value = Find(section, key);
    if (!value)
        return def;
    double n = 0;
    const bool decimal = value->find_first_of("xXpP") == std::string::npos;   // no hexadecimal floats
    if (!decimal || !ParseFloatPoint(*value, n) || !std::isfinite(n) || n < min || n > max) {
        ValueError(section, key, *value,
                   FormatC("нужно число от %g до %g, взято %g", min, max, def));
        return def;
    }
    return n;
}
