#include "ConfigValues.h"

#include "common/IniText.h"
#include "common/RegularFile.h"
#include "common/SettingsFile.h"

#define SI_NO_CONVERSION   // bytes pass unchanged
#include <SimpleIni.h>

#include <cerrno>
#include <climits>
#include <cstdio>
#include <cstdlib>
#include <unistd.h>

std::string LoadConfigValue(const std::string& configPath, const char* section, const char* key)
{
    CSimpleIniA ini;
    ini.SetUnicode(false);
    std::string text, why;
    if (!ReadRegularFile(configPath, text, why, CSettingsFile::kMaxBytes) || ini.LoadData(text.data(), text.size()) < 0)
        return std::string();
    return ini.GetValue(section, key, "");
}

bool SaveConfigValue(const std::string& configPath, const char* section, const char* key, const std::string& value)
{
    CSimpleIniA ini;
    ini.SetUnicode(false);
    std::string old, why;   // a fifo or folder in its place is refused, never waited on
    if (!ReadRegularFile(configPath, old, why, CSettingsFile::kMaxBytes) && !why.empty())
        return false;
    if (ini.LoadData(old.data(), old.size()) < 0)
        return false;
    ini.SetValue(section, key, value.c_str());
    std::string text;
    if (!IniFileText(ini, text))
        return false;
    const std::string tmp = configPath + ".tmp";
    std::FILE* f = std::fopen(tmp.c_str(), "wb");
    if (!f)
        return false;
    const bool written = std::fwrite(text.data(), 1, text.size(), f) == text.size();
    if (std::fclose(f) != 0 || !written || std::rename(tmp.c_str(), configPath.c_str()) != 0) {
        std::remove(tmp.c_str());
        return false;
    }
    return true;
}

std::vector<int> LoadConfigInts(const std::string& configPath, const char* section, const char* key)
{
    const std::string text = LoadConfigValue(configPath, section, key);
    std::vector<int> values;
    const char* p = text.c_str();
    while (*p) {
        char* end = nullptr;
        errno = 0;
        const long v = std::strtol(p, &end, 10);
        if (end == p || errno != 0 || v < INT_MIN || v > INT_MAX || (*end != ',' && *end != '\0'))
            return {};
        values.push_back(static_cast<int>(v));
        p = *end == ',' ? end + 1 : end;
    }
    return values;
}

bool SaveConfigInts(const std::string& configPath, const char* section, const char* key, const std::vector<int>& values)
{
    std::string text;
    for (int v : values)
        text += (text.empty() ? "" : ",") + std::to_string(v);
    return SaveConfigValue(configPath, section, key, text);
}

namespace {
constexpr const char* kWindows = "WINDOWS";
constexpr int kLargest = 100000;   // pixels; anything beyond is not a placement
}

bool LoadWindowPlacement(const std::string& configPath, const char* name, CWindowPlacement& placement)
{
    const std::vector<int> v = LoadConfigInts(configPath, kWindows, name);
    if (v.size() != 5)
        return false;
    for (int i = 0; i < 4; ++i)
        if (v[i] < -kLargest || v[i] > kLargest)
            return false;
    if (v[2] <= 0 || v[3] <= 0 || (v[4] != 0 && v[4] != 1))
        return false;
    placement = {v[0], v[1], v[2], v[3], v[4] == 1};
    return true;
}

bool SaveWindowPlacement(const std::string& configPath, const char* name, const CWindowPlacement& placement)
{
    return SaveConfigInts(configPath, kWindows, name,
                          {placement.left, placement.top, placement.width, placement.height, placement.maximized ? 1 : 0});
}

std::vector<int> LoadPaneSizes(const std::string& configPath, const char* name)
{
    std::vector<int> sizes = LoadConfigInts(configPath, kWindows, name);
    for (int s : sizes)
        if (s <= 0 || s > kLargest)
            return {};
    return sizes;
}

bool SavePaneSizes(const std::string& configPath, const char* name, const std::vector<int>& sizes)
{
    return SaveConfigInts(configPath, kWindows, name, sizes);
}
