#include "common/FileVersion.h"

#include <cstring>
#include <elf.h>
#include <fstream>
#include <iterator>
#include <optional>
#include <unistd.h>
#include <vector>

namespace {

constexpr char kOwner[] = "VQ7";   // with its NUL: namesz 4

struct NoteVersion {
    uint32_t parts[4];
};

uint32_t Align4(uint32_t n)
{
    return (n + 3u) & ~3u;
}

// Walks the notes of one SHT_NOTE section or PT_NOTE segment.
std::optional<NoteVersion> FindInNotes(const uint8_t* p, size_t size)
{
    size_t at = 0;
    while (size - at >= 12) {
        uint32_t namesz, descsz, type;
        std::memcpy(&namesz, p + at, 4);
        std::memcpy(&descsz, p + at + 4, 4);
        std::memcpy(&type, p + at + 8, 4);
        at += 12;
        const size_t nameLen = Align4(namesz), descLen = Align4(descsz);
        if (namesz > size || descsz > size || nameLen > size - at || descLen > size - at - nameLen)
            return std::nullopt;
        const bool ours = namesz == sizeof kOwner && std::memcmp(p + at, kOwner, sizeof kOwner) == 0 &&
                          type == VQ7_VERSION_NOTE_TYPE && descsz == sizeof(NoteVersion);
        if (ours) {
            NoteVersion v;
            std::memcpy(v.parts, p + at + nameLen, sizeof v.parts);
            return v;
        }
        at += nameLen + descLen;
    }
    return std::nullopt;
}

template <typename Ehdr, typename Shdr, typename Phdr>
std::optional<NoteVersion> FindInElf(const std::vector<uint8_t>& file)
{
    if (file.size() < sizeof(Ehdr))
        return std::nullopt;
    Ehdr eh;
    std::memcpy(&eh, file.data(), sizeof eh);
    auto inFile = [&](uint64_t off, uint64_t len) { return off <= file.size() && len <= file.size() - off; };
    // Sections first; a file stripped of its section table still has the note segment.
    if (eh.e_shentsize == sizeof(Shdr) && inFile(eh.e_shoff, uint64_t(eh.e_shnum) * sizeof(Shdr))) {
        for (unsigned i = 0; i < eh.e_shnum; ++i) {
            Shdr sh;
            std::memcpy(&sh, file.data() + eh.e_shoff + i * sizeof(Shdr), sizeof sh);
            if (sh.sh_type == SHT_NOTE && inFile(sh.sh_offset, sh.sh_size))
                if (auto v = FindInNotes(file.data() + sh.sh_offset, sh.sh_size))
                    return v;
        }
    }
    if (eh.e_phentsize == sizeof(Phdr) && inFile(eh.e_phoff, uint64_t(eh.e_phnum) * sizeof(Phdr))) {
        for (unsigned i = 0; i < eh.e_phnum; ++i) {
            Phdr ph;
            std::memcpy(&ph, file.data() + eh.e_phoff + i * sizeof(Phdr), sizeof ph);
            if (ph.p_type == PT_NOTE && inFile(ph.p_offset, ph.p_filesz))
                if (auto v = FindInNotes(file.data() + ph.p_offset, ph.p_filesz))
                    return v;
        }
    }
    return std::nullopt;
}

}

bool GetFileVersion(const std::string& path, unsigned& major, unsigned& minor, unsigned& release,
                    unsigned& build)
{
    std::ifstream in(path, std::ios::binary);
    if (!in)
        return false;
    std::vector<uint8_t> file((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    if (file.size() < EI_NIDENT || std::memcmp(file.data(), ELFMAG, SELFMAG) != 0 ||
        file[EI_DATA] != ELFDATA2LSB)
        return false;
    std::optional<NoteVersion> v;
    if (file[EI_CLASS] == ELFCLASS64)
        v = FindInElf<Elf64_Ehdr, Elf64_Shdr, Elf64_Phdr>(file);
    else if (file[EI_CLASS] == ELFCLASS32)
        v = FindInElf<Elf32_Ehdr, Elf32_Shdr, Elf32_Phdr>(file);
    if (!v)
        return false;
    major = v->parts[0];
    minor = v->parts[1];
    release = v->parts[2];
    build = v->parts[3];
    return true;
}

std::string ProgramVersionText()
{
    char self[4096];
    const ssize_t n = readlink("/proc/self/exe", self, sizeof self - 1);
    if (n <= 0)
        return std::string();
    self[n] = '\0';
    unsigned a, b, c, d;
    if (!GetFileVersion(self, a, b, c, d))
        return std::string();
    return std::to_string(a) + "." + std::to_string(b) + "." + std::to_string(c) + "." + std::to_string(d);
}
