// journal.csv: its lines, its header, its settings and appends that a kill -9 never cuts.
#include "common/WriteJournal.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <csignal>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

namespace fs = std::filesystem;

namespace {
class WriteJournalTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        dir = fs::temp_directory_path() / ("vq7-journal-" + std::to_string(::getpid()));
        fs::remove_all(dir);
        fs::create_directories(dir);
        path = (dir / "journal.csv").string();
    }
    void TearDown() override
    {
        CWriteJournal::SetPath("");
        fs::remove_all(dir);
    }
    std::string Contents() const
    {
        std::ifstream in(path, std::ios::binary);
        std::stringstream ss;
        ss << in.rdbuf();
        return ss.str();
    }
    WriteJournalEntry Entry(uint32_t number, const std::string& op) const
    {
        return {"2026-12-09 10:00:00", number, "ВЯ-7", op, "1.5/2", "1.25/2", "совпадает", 0};
    }
    fs::path dir;
    std::string path;
};
}

TEST_F(WriteJournalTest, LinesCarryEveryFieldAndKeepOneLinePerWrite)
{
    WriteJournalEntry e{"2026-12-09 10:00:00", 12345678, "ВЯ-7;М", "параметр 70", "0", "1,5\r\n2", "", 1060};
    EXPECT_EQ(CWriteJournal::FormatLine(e),
              "2026-12-09 10:00:00;12345678;ВЯ-7,М;параметр 70;0;1,5  2;;1060\n");
    WriteJournalEntry back;
    ASSERT_TRUE(CWriteJournal::ParseLine(CWriteJournal::FormatLine(e), back));
    EXPECT_EQ(back.number, 12345678u);
    EXPECT_EQ(back.model, "ВЯ-7,М");
    EXPECT_EQ(back.after, "1,5  2");
    EXPECT_EQ(back.result, 1060);

    for (const char* bad : {"время;номер;модель;операция;было;стало;проверка;результат", "", "a;b;c",
                            "t;12x;m;o;b;a;r;0", "t;1;m;o;b;a;r;", "t;1;m;o;b;a;r;0;extra", "t;99999999999;m;o;b;a;r;0"})
        EXPECT_FALSE(CWriteJournal::ParseLine(bad, back)) << bad;
}

TEST_F(WriteJournalTest, HeaderOnlyInFrontOfTheFirstLineAndReadFiltersByMeter)
{
    std::string error;
    ASSERT_TRUE(CWriteJournal::AppendTo(path, Entry(1, "запись пар"), error)) << error;
    ASSERT_TRUE(CWriteJournal::AppendTo(path, Entry(2, "параметр 0"), error));
    ASSERT_TRUE(CWriteJournal::AppendTo(path, Entry(1, "восстановление пар"), error));
    const std::string text = Contents();
    EXPECT_EQ(text.rfind(CWriteJournal::Header(), 0), 0u);
    EXPECT_EQ(text.find("время", 1), std::string::npos);
    EXPECT_EQ(std::count(text.begin(), text.end(), '\n'), 4);

    std::vector<WriteJournalEntry> entries;
    ASSERT_TRUE(CWriteJournal::Read(path, 1, entries, error));
    ASSERT_EQ(entries.size(), 2u);
    EXPECT_EQ(entries[1].operation, "восстановление пар");
    entries.clear();
    ASSERT_TRUE(CWriteJournal::Read(path, 0, entries, error));
    EXPECT_EQ(entries.size(), 3u);

    // A file left empty (killed between create and write) still gets its header.
    std::ofstream(dir / "empty.csv").close();
    ASSERT_TRUE(CWriteJournal::AppendTo((dir / "empty.csv").string(), Entry(3, "x"), error));
    std::ifstream in(dir / "empty.csv");
    std::string first;
    std::getline(in, first);
    EXPECT_EQ(first + "\n", CWriteJournal::Header());

    EXPECT_FALSE(CWriteJournal::AppendTo((dir / "no" / "such.csv").string(), Entry(3, "x"), error));
    EXPECT_NE(error.find("no/such.csv"), std::string::npos);
}

TEST_F(WriteJournalTest, ReadBackSettingFromConfigIni)
{
    const struct {
        const char* ini;
        bool enabled;
    } cases[] = {
        {"", true},
        {"[JOURNAL]\nreadback=0\n", false},
        {"[journal]\nReadBack=0\n", false},
        {"[JOURNAL]\nreadback=1\n", true},
        {"[CONNECTION]\nreadback=0\n", true},
    };
    for (const auto& c : cases) {
        std::ofstream((dir / "config.ini").string(), std::ios::binary) << c.ini;
        CWriteJournal::LoadSettings((dir / "config.ini").string());
        EXPECT_EQ(CWriteJournal::ReadBackEnabled(), c.enabled) << c.ini;
    }
    CWriteJournal::LoadSettings((dir / "missing.ini").string());
    EXPECT_TRUE(CWriteJournal::ReadBackEnabled());
}

// A child appends as fast as it can and is killed at an arbitrary moment: the
// reader never takes a cut line, and the next append leaves only whole ones.
TEST_F(WriteJournalTest, KillNineNeverLeavesAPartLine)
{
    CWriteJournal::SetPath(path);
    // Long lines make a cut inside a line likely if appends were not single writes.
    WriteJournalEntry e = Entry(7, "запись пар");
    e.before = std::string(3000, '1');
    const std::string expected = CWriteJournal::FormatLine(e);
    for (int round = 0; round < 5; ++round) {
        const pid_t child = ::fork();
        ASSERT_GE(child, 0);
        if (child == 0) {
            for (;;)
                CWriteJournal::Append(e);
        }
        // Kill once the file has grown (no sleeps: wait for the condition).
        const auto start = fs::exists(path) ? fs::file_size(path) : 0;
        while (!fs::exists(path) || fs::file_size(path) < start + 20 * expected.size())
            ;
        ::kill(child, SIGKILL);
        int status = 0;
        ::waitpid(child, &status, 0);
        EXPECT_TRUE(WIFSIGNALED(status));
    }
    // Before any repair the reader takes whole lines only.
    std::vector<WriteJournalEntry> entries;
    std::string error;
    ASSERT_TRUE(CWriteJournal::Read(path, 7, entries, error));
    for (const auto& read : entries)
        ASSERT_EQ(CWriteJournal::FormatLine(read), expected);
    ASSERT_TRUE(CWriteJournal::AppendTo(path, e, error));
    std::istringstream in(Contents());
    std::string line;
    std::getline(in, line);
    EXPECT_EQ(line + "\n", CWriteJournal::Header());
    int lines = 0;
    while (std::getline(in, line)) {
        ASSERT_EQ(line + "\n", expected) << "line " << lines;
        ++lines;
    }
    EXPECT_GE(lines, 100);
}

// Before a write into a meter: can a line go in? Never waits on a fifo, never
// writes anything, and names the file when the answer is no.
TEST_F(WriteJournalTest, CanAppendOnlyToARegularFileThatOpensForAppend)
{
    struct Case {
        const char* name;
        void (*make)(const fs::path&);
        bool can;
    };
    const Case cases[] = {
        {"missing", [](const fs::path&) {}, true},
        {"regular", [](const fs::path& p) { std::ofstream(p) << "x\n"; }, true},
        {"folder", [](const fs::path& p) { fs::create_directories(p); }, false},
        {"fifo", [](const fs::path& p) { ASSERT_EQ(0, ::mkfifo(p.c_str(), 0600)); }, false},
        {"under a file", [](const fs::path& p) { std::ofstream(p.parent_path()) << "x"; }, false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const fs::path sub = dir / c.name;
        fs::remove_all(sub);
        if (std::string(c.name) != "under a file")
            fs::create_directories(sub);
        const fs::path journal = sub / "journal.csv";
        c.make(journal);
        const auto before = fs::exists(journal) && fs::is_regular_file(journal) ? fs::file_size(journal) : 0;
        std::string error;
        EXPECT_EQ(c.can, CWriteJournal::CanAppendTo(journal.string(), error));
        if (c.can) {
            EXPECT_EQ(before, fs::file_size(journal));   // nothing written
        } else {
            EXPECT_NE(std::string::npos, error.find(journal.string())) << error;
            EXPECT_FALSE(CWriteJournal::AppendTo(journal.string(), Entry(1, "запись пар"), error));
        }
        fs::remove_all(sub);
    }
}
