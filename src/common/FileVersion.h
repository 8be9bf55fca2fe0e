#pragma once
// The four-part version stamped into a program file at build time: an ELF note
// of owner "VQ7", type 1, holding four 32-bit numbers (major, minor, release, build).
#include <cstdint>
#include <string>

constexpr uint32_t VQ7_VERSION_NOTE_TYPE = 1;

// false, outputs untouched, for a file that cannot be read, is no ELF file or has no such note.
bool GetFileVersion(const std::string& path, unsigned& major, unsigned& minor, unsigned& release,
                    unsigned& build);
// "a.b.c.d" of the running program, or an empty text when it carries no version.
std::string ProgramVersionText();
