#pragma once
// Single values of config.ini, read and written without touching the rest of
// the file (written whole through a temporary file, or not at all).
#include <string>
#include <vector>

// The key's text ("" when the file, the section or the key is missing).
std::string LoadConfigValue(const std::string& configPath, const char* section, const char* key);
// Sets the key; false when the file exists but cannot be read, or cannot be written.
bool SaveConfigValue(const std::string& configPath, const char* section, const char* key, const std::string& value);

// A list of integers "1,2,3"; empty when the key is missing or any part is not an integer.
std::vector<int> LoadConfigInts(const std::string& configPath, const char* section, const char* key);
bool SaveConfigInts(const std::string& configPath, const char* section, const char* key, const std::vector<int>& values);

// Where a window stood (its client area in screen coordinates), kept in the
// section WINDOWS under the window's name.
struct CWindowPlacement {
    int left = 0, top = 0, width = 0, height = 0;
    bool maximized = false;
};
// None when the key is missing or does not hold a sensible placement.
bool LoadWindowPlacement(const std::string& configPath, const char* name, CWindowPlacement& placement);
bool SaveWindowPlacement(const std::string& configPath, const char* name, const CWindowPlacement& placement);
// Sizes of a splitter's panes; empty when missing or not all positive.
std::vector<int> LoadPaneSizes(const std::string& configPath, const char* name);
bool SavePaneSizes(const std::string& configPath, const char* name, const std::vector<int>& sizes);
