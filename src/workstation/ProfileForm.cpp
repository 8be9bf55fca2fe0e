#include "ProfileForm.h"

#include "common/CommonUtils.h"

namespace {
std::string* Field(ProfileFormFields& f, const std::string& key)
{
    if (key == "standard") return &f.standard;
    if (key == "class") return &f.accuracyClass;
    if (key == "qp") return &f.qp;
    if (key == "qi") return &f.qi;
    if (key == "qs") return &f.qs;
    if (key == "q1") return &f.q1;
    if (key == "q3") return &f.q3;
    if (key == "tolerance") return &f.tolerance;
    if (key == "rule") return &f.rule;
    if (key == "temperature") return &f.temperature;
    return nullptr;
}

bool IsNumberKey(const std::string& key) { return key != "standard" && key != "rule"; }
}

bool ProfileFormKeyUsed(const std::string& standard, const std::string& key)
{
    EStandard s = EStandard::Tolerance;
    StandardFromKey(standard, s);
    if (key == "class")
        return s != EStandard::Tolerance;
    if (key == "qp" || key == "qi" || key == "qs")
        return s == EStandard::EN1434;
    if (key == "q1" || key == "q3")
        return s == EStandard::R49;
    if (key == "tolerance")
        return s == EStandard::Tolerance;
    return true;
}

ProfileFormFields ProfileFormFromKeys(const std::map<std::string, std::string>& keys)
{
    ProfileFormFields f;
    for (const auto& [key, value] : keys)
        if (std::string* field = Field(f, key))
            *field = value;
    return f;
}

std::map<std::string, std::string> ProfileFormToKeys(const ProfileFormFields& fields)
{
    ProfileFormFields f = fields;
    std::map<std::string, std::string> keys;
    for (const char* key : kProfileFormKeys) {
        const std::string value = *Field(f, key);
        if (!ProfileFormKeyUsed(f.standard, key))
            keys[key] = "";
        else
            keys[key] = IsNumberKey(key) && !value.empty() ? CommaToPoint(value) : value;
    }
    return keys;
}

std::string LoadProfileForm(const std::string& path, const std::string& section, ProfileFormFields& fields)
{
    std::map<std::string, std::string> keys;
    std::string error;
    if (!ReadProfileKeys(path, section, keys, error))
        return error;
    fields = ProfileFormFromKeys(keys);
    return "";
}

std::string SaveProfileForm(const std::string& path, const std::string& section, const ProfileFormFields& fields,
                            double stationTolerance)
{
    return SetProfileKeys(path, section, ProfileFormToKeys(fields), stationTolerance);
}
