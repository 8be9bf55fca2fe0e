// Calibration files: the table layout written byte for byte, every layout of
// the family read alike, the limits and the failures of loading and saving.
#include "PairList.h"
#include "calibration/CGiGeArray.h"
#include "calibration/GiGeFile.h"
#include "common/CommonUtils.h"
#include "common/DecimalSeparator.h"
#include "common/NumberText.h"
#include "support/HostilePairFiles.h"
#include "support/RecordingOperator.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <sstream>
#include <unistd.h>
#include <utility>
#include <vector>

namespace fs = std::filesystem;

namespace {

// Title of the table layout in Windows-1251.
const std::string kTitle1251 =
    "\xE3\xF0\xE0\xE4\xF3\xE8\xF0\xEE\xE2\xEE\xF7\xED\xFB\xE5\x20\xEF\xE0\xF0\xFB\x20\xEF\xF0\xEE\xF8\xE8\xF2\xFB"
    "\xE5\x20\xE2\x20\xEF\xF0\xE8\xE1\xEE\xF0";

class GiGeFileTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        SetDecimalSeparator('.');
        dir = fs::temp_directory_path() /
              ("gige_file_" + std::to_string(::getpid()) + "_" +
               ::testing::UnitTest::GetInstance()->current_test_info()->name());
        fs::remove_all(dir);
        fs::create_directories(dir);
    }
    void TearDown() override { fs::remove_all(dir); }

    std::string Path(const std::string& name) const { return (dir / name).string(); }
    void Write(const std::string& name, const std::string& bytes) const
    {
        std::ofstream(Path(name), std::ios::binary) << bytes;
    }
    std::string Read(const std::string& name) const
    {
        std::ifstream in(Path(name), std::ios::binary);
        std::stringstream ss;
        ss << in.rdbuf();
        return ss.str();
    }
    // Lines "N gi ge" in the table layout, LF ends.
    static std::string Lines(const std::vector<float>& gis)
    {
        std::string text = "header\n";
        for (size_t i = 0; i < gis.size(); ++i)
            text += FormatC(" %2d %14.6e %14.6e\n", static_cast<int>(i), gis[i], gis[i] * 2);
        return text;
    }

    CRecordingOperator op;
    fs::path dir;
};

TEST_F(GiGeFileTest, SaveWritesTheTableLayoutByteExact)
{
    CGiGeArray t;
    t.AddPair(10, 10.1f);
    t.AddPair(0.5f, 0.52f);
    EXPECT_EQ(t.SaveToFile(Path("a.dat")), 0);
    EXPECT_EQ(Read("a.dat"), kTitle1251 +
                                 "\r\n N       Gi            Ge"
                                 "\r\n  0   5.000000e-01   5.200000e-01"
                                 "\r\n  1   1.000000e+01   1.010000e+01");
    EXPECT_TRUE(op.Messages().empty());
    // Only the file itself is left in the folder.
    EXPECT_EQ(std::distance(fs::directory_iterator(dir), fs::directory_iterator()), 1);
}

TEST_F(GiGeFileTest, AllLayoutsReadAlike)
{
    const PairList expected = {{0.1f, 0.11f}, {1, 1.02f}, {10, 10.3f}};
    std::string table = kTitle1251 + "\r\n N       Gi            Ge";
    std::string exportLayout = "   \t   Gi    \t   Ge    ";
    std::string editor = " \xB9\t       Gi\t       Ge";
    for (size_t i = 0; i < expected.size(); ++i) {
        const double gi = expected[i].first, ge = expected[i].second;
        table += FormatC("\r\n %2d %14.6e %14.6e", static_cast<int>(i), gi, ge);
        exportLayout += FormatC("\r\n %2d\t% 9E\t% 9E", static_cast<int>(i), gi, ge);
        editor += FormatC("\r\n %s\t% 9E\t% 9E", std::to_string(i + 1).c_str(), gi, ge);
    }
    std::string lfOnly = table, crOnly = table;
    for (size_t p; (p = lfOnly.find('\r')) != std::string::npos;)
        lfOnly.erase(p, 1);
    for (size_t p; (p = crOnly.find('\n')) != std::string::npos;)
        crOnly.erase(p, 1);
    const std::vector<std::pair<std::string, std::string>> files = {
        {"table.dat", table}, {"trailing.dat", table + "\r\n"}, {"export.dat", exportLayout},
        {"editor.dat", editor}, {"lf.dat", lfOnly + "\n"}, {"cr.dat", crOnly + "\r"}};
    for (const auto& [name, bytes] : files) {
        Write(name, bytes);
        CGiGeArray t;
        EXPECT_EQ(t.LoadFromFile(Path(name)), 0) << name;
        EXPECT_EQ(PairsOf(t), expected) << name;
    }
    EXPECT_TRUE(op.Messages().empty());
}

TEST_F(GiGeFileTest, EqualGiLoadDecreasingGiStops)
{
    Write("eq.dat", Lines({1, 2, 2, 3}));
    CGiGeArray t;
    EXPECT_EQ(t.LoadFromFile(Path("eq.dat")), 0);
    EXPECT_EQ(t.GetCount(), 4);

    Write("dec.dat", Lines({1, 3, 2, 4}));
    EXPECT_EQ(t.LoadFromFile(Path("dec.dat")), -1);
    EXPECT_EQ(PairsOf(t), (PairList{{1, 2}, {3, 6}}));
    ASSERT_EQ(op.Texts(), std::vector<std::string>{"Ошибочное значение коэффициентов: немонотонность Gi"});
    EXPECT_EQ(op.Messages()[0].kind, RecordedMessage::Error);
}

TEST_F(GiGeFileTest, AtMostFiftyPairsAreReadAndTheRestIsCounted)
{
    std::vector<float> gis;
    for (int i = 0; i < 60; ++i)
        gis.push_back(static_cast<float>(i));
    Write("many.dat", Lines(gis));
    CGiGeArray t;
    EXPECT_EQ(t.LoadFromFile(Path("many.dat")), 0);
    EXPECT_EQ(t.GetCount(), 50);
    EXPECT_EQ(t.m_nDroppedPairs, 10);
    EXPECT_EQ(PairsOf(t).back().first, 49.0f);
    ASSERT_EQ(op.Messages().size(), 1u);
    EXPECT_EQ(op.Messages()[0].kind, RecordedMessage::Warning);
    EXPECT_NE(op.Texts()[0].find("10 пар сверх них не прочитаны"), std::string::npos);
}

TEST_F(GiGeFileTest, LinesThatAreNoPairsAreNamedWithWhatTheyLack)
{
    const std::string tail(300, 'x');
    Write("odd.dat", "  0  1.5\n" + tail + " 7 7\n0 1 2 trailing text\nabc 2 3\n1 2.5e0 5\r\n2 1e1\n" +
                         "3 4 8 " + tail + "\n\n4 5 10\n5 nan 11\n6 0x1p3 12");
    CGiGeArray t;
    EXPECT_EQ(t.LoadFromFile(Path("odd.dat")), 0);
    EXPECT_EQ(PairsOf(t), (PairList{{2.5f, 5}, {5, 10}}));
    // Headers before the first pair and blank lines are no loss; a line cut at
    // 255 characters is read like any other.
    EXPECT_EQ(t.m_vSkippedLines, (std::vector<GiGeSkippedLine>{{1, "полей 2 вместо 3"},
                                                               {3, "полей 5 вместо 3"},
                                                               {6, "полей 2 вместо 3"},
                                                               {7, "полей 4 вместо 3"},
                                                               {10, "Gi «nan» не является числом"},
                                                               {11, "Gi «0x1p3» не является числом"}}));
    ASSERT_EQ(op.Texts().size(), 1u);
    EXPECT_NE(op.Texts()[0].find("строки, не являющиеся парами: 1 (полей 2 вместо 3), 3 (полей 5 вместо 3)"),
              std::string::npos);
    EXPECT_EQ(op.Texts()[0].find("немонотонность"), std::string::npos);
}

// Loading shows what a file holds, and names what it loses.
TEST_F(GiGeFileTest, HostileFilesLoadWithTheirLossesNamed)
{
    for (const HostilePairFile& f : HostilePairFiles()) {
        SCOPED_TRACE(f.name);
        op.Clear();
        Write("hostile.dat", f.bytes);
        CGiGeArray t;
        EXPECT_EQ(t.LoadFromFile(Path("hostile.dat")), f.loadResult);
        EXPECT_EQ(t.GetCount(), f.pairsLoaded);
        if (*f.loadText == '\0') {
            EXPECT_TRUE(op.Messages().empty());
            continue;
        }
        ASSERT_EQ(op.Messages().size(), 1u);
        EXPECT_EQ(op.Messages()[0].kind, f.loadResult == 0 ? RecordedMessage::Warning : RecordedMessage::Error);
        EXPECT_NE(op.Texts()[0].find(f.loadText), std::string::npos) << op.Texts()[0];
        if (f.loadResult == 0) {
            EXPECT_NE(op.Texts()[0].find(Path("hostile.dat")), std::string::npos);
        }
    }
}

TEST_F(GiGeFileTest, AWarningNamesTenLinesAndCountsTheRest)
{
    std::string text = Lines({1, 2});
    for (int i = 0; i < 25; ++i)
        text += "9 9\n";
    Write("junk.dat", text);
    CGiGeArray t;
    EXPECT_EQ(t.LoadFromFile(Path("junk.dat")), 0);
    EXPECT_EQ(t.m_vSkippedLines.size(), 25u);
    ASSERT_EQ(op.Texts().size(), 1u);
    EXPECT_NE(op.Texts()[0].find("13 (полей 2 вместо 3) и еще 15"), std::string::npos) << op.Texts()[0];
}

TEST_F(GiGeFileTest, OnlyAMissingDatFallsBackToDarAndTheTypedPathIsNamed)
{
    Write("m.dar", Lines({1, 2}));
    Write("m.dat.dar", Lines({1, 2}));
    Write("mdar", Lines({1, 2}));
    Write("m.txr", Lines({1, 2}));
    CGiGeArray t;
    EXPECT_EQ(t.LoadFromFile(Path("m.dat")), 0);
    EXPECT_EQ(t.GetCount(), 2);
    EXPECT_EQ(t.m_sFileRead, Path("m.dar"));
    EXPECT_TRUE(op.Messages().empty());

    // Any other name is read as typed, or not at all.
    for (const char* name : {"none.dat", "m.txt", "mdat", "m.DAT", ".dat"}) {
        op.Clear();
        t.AddPair(5, 5);
        EXPECT_EQ(t.LoadFromFile(Path(name)), -1) << name;
        EXPECT_EQ(t.GetCount(), 0) << name;
        EXPECT_EQ(t.m_sFileRead, "") << name;
        EXPECT_EQ(op.Texts(), std::vector<std::string>{"Нет файла с заданием параметров: " + Path(name) + " "});
        EXPECT_EQ(op.BeepCount(), 3) << name;   // the alarm
    }
}

TEST_F(GiGeFileTest, DefaultPathsLieUnderTheProgramLogFolder)
{
    const fs::path log = fs::path(GetProgramPath()) / "Log";
    const bool hadLog = fs::exists(log);
    VQ7_INFO info;
    CGiGeArray t(info, 4242);
    t.AddPair(1, 1);
    t.AddPair(2, 2);
    ASSERT_EQ(t.SaveToFile(""), 0);
    EXPECT_TRUE(fs::exists(log / "00004242.dar"));

    CGiGeArray back(info, 4242);   // no .dat: the .dar is read
    EXPECT_EQ(back.LoadFromFile(""), 0);
    EXPECT_EQ(back.GetCount(), 2);
    fs::remove(log / "00004242.dar");
    if (!hadLog)
        fs::remove(log);
}

TEST_F(GiGeFileTest, SaveBelowTwoPairsLeavesTheOldFile)
{
    Write("keep.dat", "old contents");
    CGiGeArray t;
    t.AddPair(1, 1);
    EXPECT_EQ(t.SaveToFile(Path("keep.dat")), -1);
    EXPECT_EQ(Read("keep.dat"), "old contents");
    ASSERT_EQ(op.Messages().size(), 1u);
    EXPECT_EQ(op.Messages()[0].kind, RecordedMessage::Warning);
    EXPECT_EQ(op.Messages()[0].text, "Сохранение отменено т.к.\nГрадуировочных пар должно быть минимум 2!");
}

TEST_F(GiGeFileTest, SaveThatCannotWriteReportsAndReplacesNothing)
{
    fs::create_directories(dir / "adir");
    CGiGeArray t;
    t.AddPair(1, 1);
    t.AddPair(2, 2);
    EXPECT_EQ(t.SaveToFile(Path("adir")), -1);   // a folder cannot become the file
    ASSERT_EQ(op.Messages().size(), 1u);
    EXPECT_EQ(op.Messages()[0].kind, RecordedMessage::Error);
    EXPECT_NE(op.Messages()[0].text.find(Path("adir")), std::string::npos);
    EXPECT_TRUE(fs::is_directory(dir / "adir"));
    EXPECT_EQ(std::distance(fs::directory_iterator(dir), fs::directory_iterator()), 1);   // no temp left

    Write("old.dat", "old");
    EXPECT_EQ(t.SaveToFile(Path("old.dat")), 0);   // replaced whole, into a new folder too
    EXPECT_EQ(t.SaveToFile(Path("sub/new.dat")), 0);
    CGiGeArray back;
    EXPECT_EQ(back.LoadFromFile(Path("old.dat")), 0);
    EXPECT_EQ(PairsOf(back), PairsOf(t));
    EXPECT_TRUE(fs::exists(dir / "sub" / "new.dat"));
}

TEST_F(GiGeFileTest, OnlyRegularFilesUpToOneMebibyteAreRead)
{
    Write("big.dat", Lines({1, 2}) + std::string(1 << 20, ' '));
    for (const std::string& path : {dir.string(), std::string("/dev/zero"), Path("big.dat")}) {
        op.Clear();
        CGiGeArray t;
        EXPECT_EQ(t.LoadFromFile(path), -1) << path;
        EXPECT_EQ(t.GetCount(), 0) << path;
        EXPECT_EQ(op.Messages().size(), 1u) << path;
    }
}

TEST(GiGeLineTest, APairLineIsAWholeNumberAndTwoDecimalNumbers)
{
    struct Case {
        const char* line;
        bool pair;
        float gi, ge;
        const char* why;
    };
    const Case cases[] = {
        {"\t3\t-1.5E+00\t 2e-3\r", true, -1.5f, 0.002f, ""},
        {"  0   5.000000e-01   5.200000e-01", true, 0.5f, 0.52f, ""},
        {" 1\t 1.000000E+01\t 1.010000E+01 \t", true, 10, 10.1f, ""},
        {"+2 .5 5.", true, 0.5f, 5, ""},
        {"1.5 2.0", false, 0, 0, "полей 2 вместо 3"},   // not N 1, Gi .5, Ge 2
        {"1.5 2.0 3.0", false, 0, 0, "номер «1.5» не целое число"},
        {"1 2", false, 0, 0, "полей 2 вместо 3"},
        {"1 2 3 4", false, 0, 0, "полей 4 вместо 3"},
        {" N       Gi            Ge", false, 0, 0, "номер «N» не целое число"},
        {"1 2,5 3", false, 0, 0, "Gi «2,5» не является числом"},   // ',' is no decimal point in files
        {"1 0x1p3 3", false, 0, 0, "Gi «0x1p3» не является числом"},
        {"1 2 0X10", false, 0, 0, "Ge «0X10» не является числом"},
        {"1 nan 3", false, 0, 0, "Gi «nan» не является числом"},
        {"1 2 -inf", false, 0, 0, "Ge «-inf» не является числом"},
        {"1 1e39 3", false, 0, 0, "Gi «1e39» вне диапазона 32-разрядного числа"},
        {"1 2 1e-40", false, 0, 0, "Ge «1e-40» вне диапазона 32-разрядного числа"},
        {"1 2 3e", false, 0, 0, "Ge «3e» не является числом"},
    };
    for (const Case& c : cases) {
        float gi = 0, ge = 0;
        std::string why;
        EXPECT_EQ(ParsePairLine(c.line, gi, ge, &why), c.pair) << c.line;
        EXPECT_EQ(why, c.why) << c.line;
        if (c.pair) {
            EXPECT_EQ(gi, c.gi) << c.line;
            EXPECT_EQ(ge, c.ge) << c.line;
        }
    }
    float gi = 0, ge = 0;
    EXPECT_FALSE(ParsePairLine(std::string("1 2\0 3", 6), gi, ge));   // a NUL ends the line
}

}  // namespace
