#include "AppPaths.h"

#include "CommonUtils.h"

#include <cstdlib>
#include <filesystem>
#include <system_error>
#include <unistd.h>

namespace {
std::string Env(const char* name)
{
    const char* v = std::getenv(name);
    return v ? v : "";
}

AppPathRules CurrentRules()
{
    AppPathRules r;
    r.programDir = GetProgramDir();
    r.programDirWritable = ::access(r.programDir.c_str(), W_OK) == 0;
    r.dataOverride = Env("VQ7_DATA_DIR");
    r.xdgDataHome = Env("XDG_DATA_HOME");
    r.home = Env("HOME");
    return r;
}
}

std::string DataDirFor(const AppPathRules& r)
{
    if (!r.dataOverride.empty())
        return r.dataOverride;
    if (r.programDirWritable)
        return r.programDir;
    // XDG: a relative XDG_DATA_HOME is invalid and ignored.
    if (!r.xdgDataHome.empty() && r.xdgDataHome[0] == '/')
        return r.xdgDataHome + "/vq7station";
    return (r.home.empty() ? std::string("/tmp") : r.home) + "/.local/share/vq7station";
}

std::string ShareDirFor(const AppPathRules& r)
{
    if (r.programDirWritable)
        return r.programDir;
    // <prefix>/bin/vq7station -> <prefix>/share/vq7station
    const std::filesystem::path prefix = std::filesystem::path(r.programDir).parent_path();
    return (prefix / "share" / "vq7station").string();
}

std::string DataDir()
{
    const std::string dir = DataDirFor(CurrentRules());
    std::error_code ec;
    std::filesystem::create_directories(dir, ec);   // a failure shows where the first file is written
    return dir;
}

std::string ShareDir() { return ShareDirFor(CurrentRules()); }
