#pragma once
// The profile dialog's fields for one section of profiles.ini: read from the
// section's keys, and back to the keys to set, those the chosen standard does
// not take removed, the keys the dialog does not show left as they are.
#include "ProfileFile.h"

#include <map>
#include <string>

struct ProfileFormFields {
    std::string standard = "tolerance";   // tolerance, EN1434, R49
    std::string accuracyClass;
    std::string qp, qi, qs, q1, q3;
    std::string tolerance;
    std::string rule = "simple";          // simple, guarded
    std::string temperature;
};

// The keys the dialog edits, in the order it shows them.
constexpr const char* kProfileFormKeys[] = {"standard", "class", "qp",   "qi",          "qs",
                                            "q1",       "q3",    "tolerance", "rule", "temperature"};

// True when the standard (by its key) takes this key of the dialog.
bool ProfileFormKeyUsed(const std::string& standard, const std::string& key);

ProfileFormFields ProfileFormFromKeys(const std::map<std::string, std::string>& keys);
// What to set: every key of the dialog, "" (removed) where empty or not taken
// by the standard; numbers typed with a comma get a point.
std::map<std::string, std::string> ProfileFormToKeys(const ProfileFormFields& fields);

// Reads the section; "" or why the file cannot be read.
std::string LoadProfileForm(const std::string& path, const std::string& section, ProfileFormFields& fields);
// Checks the section with the fields and writes the file whole, or nothing:
// "" or the message naming section and key.
std::string SaveProfileForm(const std::string& path, const std::string& section, const ProfileFormFields& fields,
                            double stationTolerance);
