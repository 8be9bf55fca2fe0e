#include "ConfigValues.h"

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
    if (ini.LoadFile(configPath.c_str()) < 0)
        return std::string();
    return ini.GetValue(section, key, "");
}

bool SaveConfigValue(const std::string& configPath, const char* section, const char* key, const std::string& value)
{
    CSimpleIniA ini;
    ini.SetUnicode(false);
    const SI_Error loaded = ini.LoadFile(configPath.c_str());
    if (loaded < 0 && (loaded != SI_FILE || ::access(configPath.c_str(), F_OK) == 0))
        return false;
    ini.SetValue(section, key, value.c_str());
    std::string text;
    if (ini.Save(text) < 0)
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
