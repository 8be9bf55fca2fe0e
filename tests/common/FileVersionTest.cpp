// The version stamped into a program file, read back; files without one, or with a
// damaged one, give false and leave the outputs alone.
#include "common/FileVersion.h"

#include <gtest/gtest.h>

#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <unistd.h>

namespace {

std::string SelfPath()
{
    return std::filesystem::read_symlink("/proc/self/exe").string();
}

std::vector<char> ReadAll(const std::string& path)
{
    std::ifstream in(path, std::ios::binary);
    return std::vector<char>((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
}

class FileVersionFile : public ::testing::Test {
protected:
    void SetUp() override
    {
        m_dir = std::filesystem::temp_directory_path() / ("vq7ver-" + std::to_string(getpid()));
        std::filesystem::create_directories(m_dir);
    }
    void TearDown() override { std::filesystem::remove_all(m_dir); }
    std::string Write(const std::string& name, const std::vector<char>& bytes)
    {
        const std::string path = (m_dir / name).string();
        std::ofstream(path, std::ios::binary).write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
        return path;
    }
    // Expects false and the outputs untouched.
    void ExpectNoVersion(const std::string& path)
    {
        unsigned a = 7, b = 7, c = 7, d = 7;
        EXPECT_FALSE(GetFileVersion(path, a, b, c, d)) << path;
        EXPECT_EQ(a + b + c + d, 28u);
    }
    std::filesystem::path m_dir;
};

}  // namespace

TEST(FileVersion, OwnProgramCarriesTheProjectVersion)
{
    unsigned a = 0, b = 0, c = 0, d = 0;
    ASSERT_TRUE(GetFileVersion(SelfPath(), a, b, c, d));
    const std::string text = std::to_string(a) + "." + std::to_string(b) + "." + std::to_string(c) + "." +
                             std::to_string(d);
    EXPECT_EQ(text, VQ7_EXPECTED_VERSION);
    EXPECT_EQ(ProgramVersionText(), VQ7_EXPECTED_VERSION);
}

TEST_F(FileVersionFile, FilesWithoutAVersion)
{
    ExpectNoVersion((m_dir / "missing").string());
    ExpectNoVersion(Write("empty", {}));
    ExpectNoVersion(Write("text", {'#', '!', '/', 'b', 'i', 'n', '/', 's', 'h', '\n'}));
    std::vector<char> self = ReadAll(SelfPath());
    ExpectNoVersion(Write("header-only", std::vector<char>(self.begin(), self.begin() + 64)));
    ExpectNoVersion(Write("elf-magic-only", {0x7F, 'E', 'L', 'F'}));
}

TEST_F(FileVersionFile, DamagedNoteIsRefusedWithoutReadingPastTheFile)
{
    std::vector<char> self = ReadAll(SelfPath());
    const char owner[] = "VQ7";
    // Every copy of the note (section and segment views share the bytes).
    std::vector<size_t> notes;
    for (size_t i = 12; i + 4 <= self.size(); ++i)
        if (std::memcmp(&self[i], owner, 4) == 0 && self[i - 12] == 4 && self[i - 8] == 16)
            notes.push_back(i - 12);
    ASSERT_FALSE(notes.empty());

    std::vector<char> hugeName = self;
    for (size_t at : notes)
        std::memcpy(&hugeName[at], "\xff\xff\xff\x7f", 4);
    ExpectNoVersion(Write("huge-name", hugeName));

    std::vector<char> wrongType = self;
    for (size_t at : notes)
        wrongType[at + 8] = 2;
    ExpectNoVersion(Write("wrong-type", wrongType));

    std::vector<char> shortDesc = self;
    for (size_t at : notes)
        shortDesc[at + 4] = 12;
    ExpectNoVersion(Write("short-desc", shortDesc));
}
