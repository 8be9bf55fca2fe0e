#pragma once
// Where the programs keep their files. A program in a folder it can write (the build
// tree, a portable copy) keeps everything beside itself; an installed one (read-only
// prefix) writes under $XDG_DATA_HOME/vq7station and reads Matrix/ and DOC/ from
// <prefix>/share/vq7station. VQ7_DATA_DIR overrides the data folder.
#include <string>

// config.ini, Log/, BACKUP/, Reports/, journal.csv live here (no final '/').
std::string DataDir();
// Matrix/ and DOC/ are read from here (no final '/').
std::string ShareDir();

// The rules behind both, for a given program folder and environment.
struct AppPathRules {
    std::string programDir;
    bool programDirWritable = true;
    std::string dataOverride;   // VQ7_DATA_DIR
    std::string xdgDataHome;    // XDG_DATA_HOME
    std::string home;           // HOME
};
std::string DataDirFor(const AppPathRules& rules);
std::string ShareDirFor(const AppPathRules& rules);
