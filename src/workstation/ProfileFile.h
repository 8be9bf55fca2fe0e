#pragma once
// Verification profiles in profiles.ini of the data folder: one section per
// meter number, or [default]. Every section is checked whole; a section that
// lacks what its standard needs or holds a value out of range is refused with
// a message naming the section and the key, and no meter is judged by it.
#include "metrology/Profile.h"

#include <cstdint>
#include <map>
#include <string>
#include <vector>

constexpr const char* kProfilesFileName = "profiles.ini";
constexpr const char* kDefaultProfileSection = "default";

struct ProfileSection {
    std::string name;
    VerificationProfile profile;
    std::string error;   // "" when the section was taken
};

class CProfileSet {
public:
    // Reads the file; a missing file is an empty set (every meter the
    // station's tolerance). False when it exists but cannot be read.
    // stationTolerance: δ of a tolerance profile that gives none.
    bool Load(const std::string& path, double stationTolerance, std::string& error);

    const std::string& Path() const { return m_sPath; }
    const std::vector<ProfileSection>& Sections() const { return m_sections; }
    // Every refused section's message.
    std::vector<std::string> Errors() const;
    // The meter's own section, else [default], else the station's tolerance
    // (number 0: [default]).
    // False when that section was refused; error then says why.
    bool ProfileFor(uint32_t number, VerificationProfile& profile, std::string& error) const;
    // The section ProfileFor takes ("" for the built-in default).
    std::string SectionFor(uint32_t number) const;
    double StationTolerance() const { return m_dStationTolerance; }

private:
    const ProfileSection* Find(const std::string& name) const;

    std::string m_sPath;
    double m_dStationTolerance = 2.0;
    std::vector<ProfileSection> m_sections;
};

// One section's keys to a profile: "" when good, else "[section] key: what is wrong".
std::string ReadProfileSection(const std::string& section, const std::map<std::string, std::string>& keys,
                               double stationTolerance, VerificationProfile& profile);

// Sets section.key = value in the file, checks the section with the new value
// and writes the file (temporary file and rename) only when it is good.
// Returns "" or the message; an empty value removes the key.
std::string SetProfileKey(const std::string& path, const std::string& section, const std::string& key,
                          const std::string& value, double stationTolerance);
// The same for several keys of one section at once (an empty value removes
// its key): every other key and section of the file stays as it was.
std::string SetProfileKeys(const std::string& path, const std::string& section,
                           const std::map<std::string, std::string>& values, double stationTolerance);
// The keys of one section as the file has them (names in lower case); none
// for a missing file or section. False when the file cannot be read.
bool ReadProfileKeys(const std::string& path, const std::string& section, std::map<std::string, std::string>& keys,
                     std::string& error);

// The reference instrument of the rig, config.ini [REFERENCE].
struct ReferenceInstrument {
    std::string name, serial, certificate;
    double u = 0;         // expanded uncertainty, %, k = 2
    bool uGiven = false;  // false: not stated, taken as 0 and said so
    std::string geSource; // how Ge was found when the rig's reference gave it ("": typed)
};

// Reads [REFERENCE]; "" or "config.ini [REFERENCE] u: ..." for a bad u.
std::string LoadReference(const std::string& configPath, ReferenceInstrument& ref);
