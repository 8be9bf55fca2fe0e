// config.ini on arbitrary bytes: loading never crashes, and saving the
// connection settings back keeps them and every key of the other sections as
// the ini library reads them after its own rewrite of the file (the library
// reshapes some broken lines, e.g. a section header without ']', on any save).
#include "protocol/connection.h"

#define SI_NO_CONVERSION
#include <SimpleIni.h>

#include <cstdio>
#include <cstdlib>
#include <map>
#include <string>
#include <tuple>
#include <unistd.h>

namespace {
// A folder of its own (the save renames inside it); in memory when /dev/shm is there.
struct TempDir {
    std::string path;
    TempDir()
    {
        for (const char* base : {"/dev/shm", "/tmp"}) {
            std::string name = std::string(base) + "/config_fuzz_XXXXXX";
            if (mkdtemp(name.data())) {
                path = name;
                return;
            }
        }
        std::abort();
    }
    ~TempDir()
    {
        for (const char* f : {"/config.ini", "/config.ini.tmp"})
            unlink((path + f).c_str());
        rmdir(path.c_str());
    }
};

void WriteFile(const std::string& path, const uint8_t* data, size_t size)
{
    std::FILE* f = std::fopen(path.c_str(), "wb");
    if (!f || (size && std::fwrite(data, 1, size, f) != size))
        std::abort();
    std::fclose(f);
}

using Fields = std::tuple<std::string, std::string, std::string, unsigned, int>;
Fields Of(const connection& c) { return {c.m_sPort, c.m_sIp, c.m_sTcpIpPort, c.m_nSpeed, c.m_nAuxTmout}; }

// Every key outside the connection section, as the library reads the text.
std::map<std::string, std::string> OtherKeys(const std::string& text)
{
    CSimpleIniA ini;
    ini.SetUnicode(false);
    std::map<std::string, std::string> out;
    if (ini.LoadData(text.data(), text.size()) < 0)
        return out;
    CSimpleIniA::TNamesDepend sections;
    ini.GetAllSections(sections);
    for (const auto& s : sections) {
        if (strcasecmp(s.pItem, "CONNECTION") == 0)
            continue;
        CSimpleIniA::TNamesDepend keys;
        ini.GetAllKeys(s.pItem, keys);
        for (const auto& k : keys)
            out[std::string(s.pItem) + "\n" + k.pItem] = ini.GetValue(s.pItem, k.pItem, "");
    }
    return out;
}

// The text as the library alone writes it back (its LoadFile reads the file
// whole and parses it like this; the comparison needs no file of its own),
// with a signature ahead so that reading it takes the text as it stands.
std::string LibraryRewrite(const uint8_t* data, size_t size)
{
    CSimpleIniA ini;
    ini.SetUnicode(false);
    ini.LoadData(reinterpret_cast<const char*>(data), size);
    std::string text;
    ini.Save(text);
    return SI_UTF8_SIGNATURE + text;
}

std::string ReadFile(const std::string& path)
{
    std::string text;
    std::FILE* f = std::fopen(path.c_str(), "rb");
    if (!f)
        std::abort();
    char buf[4096];
    for (size_t n; (n = std::fread(buf, 1, sizeof buf, f)) > 0;)
        text.append(buf, n);
    std::fclose(f);
    return text;
}
}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    static const TempDir dir;
    const std::string path = dir.path + "/config.ini";
    WriteFile(path, data, size);

    connection loaded;
    loaded.LoadSettings(path);
    for (const std::string* s : {&loaded.m_sPort, &loaded.m_sIp, &loaded.m_sTcpIpPort})
        if (s->size() > 254)
            std::abort();

    // The save goes over the file the settings came from, as it does over config.ini.
    if (!loaded.SaveSettings(path))
        return 0;   // an unreadable file is left alone
    connection again;
    again.LoadSettings(path);
    if (Of(again) != Of(loaded) || again.m_nDevNom != loaded.m_nDevNom)
        std::abort();
    if (OtherKeys(ReadFile(path)) != OtherKeys(LibraryRewrite(data, size)))
        std::abort();
    return 0;
}
