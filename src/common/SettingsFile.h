#pragma once
// config.ini, read once and checked. Every value the station takes from it goes
// through here: a value that does not convert or lies out of range is an error
// naming section, key and value, and the default is taken instead. A section or
// key given twice is a warning (the last value counts, as the ini library reads it).
// Section and key names compare ASCII case-insensitively.
#include <map>
#include <string>
#include <vector>

class CSettingsFile {
public:
    // A missing file reads as empty (true). A file that is there but cannot be read
    // (not a regular file, no access, over 1 MB) is an error naming it (false).
    bool Load(const std::string& path);
    // The same over text (name stands for the file in messages).
    void LoadText(const std::string& text, const std::string& name);

    const std::string& Name() const { return m_sName; }
    bool Exists() const { return m_bExists; }
    bool HasSection(const std::string& section) const;
    bool Has(const std::string& section, const std::string& key) const { return Find(section, key) != nullptr; }
    // The text of a key, or def when it is not there.
    std::string Text(const std::string& section, const std::string& key, const std::string& def) const;
    // A whole decimal number in [min, max]; def when the key is not there.
    long long Whole(const std::string& section, const std::string& key, long long def, long long min, long long max);
    // A finite decimal number ('.') in [min, max]; def when the key is not there.
    double Number(const std::string& section, const std::string& key, double def, double min, double max);

    const std::vector<std::string>& Errors() const { return m_errors; }
    const std::vector<std::string>& Warnings() const { return m_warnings; }
    void AddError(const std::string& text) { m_errors.push_back(text); }
    void AddWarning(const std::string& text) { m_warnings.push_back(text); }

    static constexpr long long kMaxBytes = 1 << 20;

private:
    const std::string* Find(const std::string& section, const std::string& key) const;
    void ValueError(const std::string& section, const std::string& key, const std::string& value,
                    const std::string& rule);

    std::string m_sName;
    bool m_bExists = false;
    // lower-case section -> lower-case key -> value
    std::map<std::string, std::map<std::string, std::string>> m_values;
    std::vector<std::string> m_errors;
    std::vector<std::string> m_warnings;
};
