#pragma once
// A zip package held in memory: its entries in their order, read from a file
// and written to one through a temporary file in the same folder.
#include <string>
#include <utility>
#include <vector>

class CZipPackage {
public:
    // Reads every entry; throws EReportError naming the file when it is
    // missing, not a zip, damaged or too large. Entries that would point
    // outside the package when unpacked (a ".." segment, an absolute name, a
    // symbolic link) are left out and listed in LeftOut().
    static CZipPackage Load(const std::string& path);

    bool Has(const std::string& name) const;
    // Throws EReportError when the entry does not exist.
    const std::string& Get(const std::string& name) const;
    // Replaces the entry or appends it.
    void Set(const std::string& name, std::string bytes);
    std::vector<std::string> Names() const;
    // The entries Load left out, each "«name» (why)".
    const std::vector<std::string>& LeftOut() const { return m_leftOut; }

    // Writes the package to a temporary file beside path and renames it;
    // on failure nothing is left at path or beside it. Throws EReportError.
    void Save(const std::string& path) const;

private:
    std::vector<std::pair<std::string, std::string>> m_entries;
    std::vector<std::string> m_leftOut;
};
