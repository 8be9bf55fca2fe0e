#include "common/DecimalSeparator.h"
#include "common/NumberText.h"

#include <gtest/gtest.h>

#include <clocale>
#include <locale.h>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>

namespace {
struct SeparatorGuard {
    char old = DecimalSeparator();
    ~SeparatorGuard() { SetDecimalSeparator(old); }
};
}

TEST(StrToFloat, FollowsTheOperatorsSeparator)
{
    SeparatorGuard guard;
    SetDecimalSeparator(',');
    EXPECT_DOUBLE_EQ(StrToFloat("1,5"), 1.5);
    EXPECT_DOUBLE_EQ(StrToFloat(" -2,25e1 "), -22.5);
    EXPECT_THROW(StrToFloat("1.5"), EConvertError);
    SetDecimalSeparator('.');
    EXPECT_DOUBLE_EQ(StrToFloat("1.5"), 1.5);
    EXPECT_DOUBLE_EQ(StrToFloat("7"), 7.0);
    EXPECT_DOUBLE_EQ(StrToFloat(".5"), 0.5);
    for (const char* bad : {"", "abc", "1,5", "1e", "nan", "inf", "0x10", "1.5.2", "--1", "1 2"})
        EXPECT_THROW(StrToFloat(bad), EConvertError) << bad;
}

TEST(StrToFloat, ErrorNamesTheText)
{
    try {
        StrToFloat("12abc");
        FAIL();
    } catch (const EConvertError& e) {
        EXPECT_NE(std::string(e.what()).find("'12abc'"), std::string::npos);
        EXPECT_NE(std::string(e.what()).find("недопустимое"), std::string::npos);
    }
}

TEST(ParseFloatPoint, FilesAlwaysUsePoint)
{
    SeparatorGuard guard;
    SetDecimalSeparator(',');
    double v = 0;
    ASSERT_TRUE(ParseFloatPoint("0.52", v));
    EXPECT_DOUBLE_EQ(v, 0.52);
    EXPECT_FALSE(ParseFloatPoint("0,52", v));
    EXPECT_FALSE(ParseFloatPoint("", v));
}

TEST(StrToIntDef, WholeTextIntegers)
{
    EXPECT_EQ(StrToIntDef("42", 0), 42);
    EXPECT_EQ(StrToIntDef(" -7 ", 0), -7);
    EXPECT_EQ(StrToIntDef("0x1A", 0), 0x1A);
    EXPECT_EQ(StrToIntDef("$ff", 0), 255);
    EXPECT_EQ(StrToIntDef("0xFFFFFFFF", 0), 0xFFFFFFFFll);
    EXPECT_EQ(StrToIntDef("0x100000000", -1), -1);
    EXPECT_EQ(StrToIntDef("12a", -1), -1);
    EXPECT_EQ(StrToIntDef("1A", -1), -1);
    EXPECT_EQ(StrToIntDef("", -1), -1);
    EXPECT_EQ(StrToIntDef("0x", -1), -1);
}

TEST(LeadingDigits, StopsAtTheFirstNonDigit)
{
    EXPECT_EQ(LeadingDigits("115200"), 115200u);
    EXPECT_EQ(LeadingDigits("500ms"), 500u);
    EXPECT_EQ(LeadingDigits("fast"), 0u);
    EXPECT_EQ(LeadingDigits(" 12"), 0u);
}

// Under a process locale with a comma, printf writes commas; FormatC must not,
// and the operator's separator must come from that locale.
TEST(FormatC, PointWhateverTheProcessLocale)
{
    SeparatorGuard guard;
    const auto dir = std::filesystem::temp_directory_path() / "vq7-locale-test";
    std::filesystem::create_directories(dir);
    const std::string cmd = "localedef -i ru_RU -f UTF-8 " + (dir / "ru_RU.UTF-8").string() + " >/dev/null 2>&1";
    if (std::system(cmd.c_str()) != 0 && !std::filesystem::exists(dir / "ru_RU.UTF-8"))
        GTEST_SKIP() << "localedef cannot make a comma locale here";
    setenv("LOCPATH", dir.c_str(), 1);
    setenv("LC_ALL", "ru_RU.UTF-8", 1);
    // This thread takes the comma locale, as a toolkit's setlocale would give it.
    locale_t comma = newlocale(LC_ALL_MASK, "ru_RU.UTF-8", static_cast<locale_t>(nullptr));
    ASSERT_NE(comma, static_cast<locale_t>(nullptr));
    uselocale(comma);
    char buf[32];
    std::snprintf(buf, sizeof buf, "%.1f", 1.5);
    const std::string printed = buf;
    const std::string formatted = FormatC("%.1f|%.7g", 1.5, 0.25);
    uselocale(LC_GLOBAL_LOCALE);
    freelocale(comma);
    EXPECT_EQ(printed, "1,5");
    EXPECT_EQ(formatted, "1.5|0.25");
    ResetDecimalSeparatorFromLocale();
    EXPECT_EQ(DecimalSeparator(), ',');
    unsetenv("LC_ALL");
    unsetenv("LOCPATH");
    std::filesystem::remove_all(dir);
}
