#include "common/CommonUtils.h"
#include "common/Cp1251.h"
#include "common/DebugOutput.h"
#include "common/DecimalSeparator.h"
#include "common/OperatorInterface.h"
#include "support/RecordingOperator.h"

#include <gtest/gtest.h>

#include <functional>
#include <vector>

namespace {
struct SeparatorGuard {
    char old = DecimalSeparator();
    ~SeparatorGuard() { SetDecimalSeparator(old); }
};
}

TEST(DecimalSeparator, RewritesNumberTextsBothWays)
{
    SeparatorGuard guard;
    SetDecimalSeparator('.');
    EXPECT_EQ(FixDecimalSeparator("1,5"), "1.5");
    EXPECT_EQ(FixDecimalSeparator("1,234,5"), "1.234,5");   // only the first comma
    EXPECT_EQ(FixDecimalSeparator(""), "0");
    EXPECT_EQ(FixDecimalSeparator("1.5"), "1.5");
    SetDecimalSeparator(',');
    EXPECT_EQ(FixDecimalSeparator("1.5"), "1,5");
    EXPECT_EQ(FixDecimalSeparator("1.2.3"), "1,2,3");        // every point
    EXPECT_EQ(FixDecimalSeparator(""), "0");
}

TEST(ExtractToken, TakesTheFirstWordFromAPosition)
{
    EXPECT_EQ(ExtractToken("ttyUSB0 USB serial (FTDI)", 1), "ttyUSB0");
    EXPECT_EQ(ExtractToken("COM3", 1), "COM3");                       // no delimiter: the whole rest
    EXPECT_EQ(ExtractToken("key=value", 1), "key");
    EXPECT_EQ(ExtractToken("a 'quoted'", 3), "");                    // delimiter right at the start
    EXPECT_EQ(ExtractToken("name=\x01x", 6), "\x01x");              // rest unchanged when no delimiter
    EXPECT_EQ(ExtractToken("abc def", 2), "bc");
    EXPECT_EQ(ExtractToken("abc", 10), "");
}

TEST(ProgramDir, FolderWithAndWithoutSlash)
{
    EXPECT_EQ(ProgramDirOf("/opt/vq7/bin/vq7station"), "/opt/vq7/bin");
    EXPECT_EQ(ProgramDirOf("/vq7station"), "/");
    const std::string dir = GetProgramDir();
    ASSERT_FALSE(dir.empty());
    EXPECT_NE(dir.back(), '/');
    EXPECT_EQ(GetProgramPath(), dir + "/");
}

TEST(AppMessage, CaptionIsTheTitleUpToTheFirstDash)
{
    CRecordingOperator op;
    SetApplicationTitle("Name - Part - More");
    ShowAppMessage("text");
    EXPECT_EQ(op.LastCaption(), "Name");
    SetApplicationTitle("Whole title");
    ShowAppMessage("second");
    EXPECT_EQ(op.LastCaption(), "Whole title");
    ASSERT_EQ(op.Texts().size(), 2u);
    EXPECT_EQ(op.Messages()[1].kind, RecordedMessage::App);
    EXPECT_EQ(op.GuiCalls(), 2);
}

TEST(AppMessage, AlarmSoundsThreeTones)
{
    CRecordingOperator op;
    AlarmBeep();
    EXPECT_EQ(op.BeepCount(), 3);
}

TEST(Cp1251, RoundTripAndUnmappable)
{
    const std::string utf8 = "Счетчик № 5";
    const std::string cp = Utf8ToCp1251(utf8);
    EXPECT_EQ(cp.size(), 11u);
    EXPECT_EQ(static_cast<unsigned char>(cp[0]), 0xD1);   // С
    EXPECT_EQ(static_cast<unsigned char>(cp[8]), 0xB9);   // №
    EXPECT_EQ(Cp1251ToUtf8(cp), utf8);
    EXPECT_EQ(Utf8ToCp1251("a\xe4\xb8\xad" "b"), "a?b");   // no CP1251 form
    EXPECT_EQ(Utf8ToCp1251("a\xff" "b"), "a?b");           // broken UTF-8
}

TEST(DebugOutput, ReachesTheSink)
{
    std::vector<std::string> lines;
    SetDebugOutputSink([&](const std::string& s) { lines.push_back(s); });
    DebugOutput("CSystem, test");
    SetDebugOutputSink({});
    DebugOutput("not seen");
    ASSERT_EQ(lines.size(), 1u);
    EXPECT_EQ(lines[0], "CSystem, test");
}

TEST(TerminalOperator, EveryLineNamesTheProgramAndTheKind)
{
    // Off the recording operator: the terminal one a command-line program has.
    SetOperator(nullptr);
    SetProgramName("vq7test");
    SetApplicationTitle("vq7station - the window's title");
    struct Case {
        std::function<void()> say;
        std::string line;
    };
    const std::vector<Case> cases = {
        {[] { Operator().MessageDialog(MsgIcon::Error, "e"); }, "vq7test: Ошибка: e\n"},
        {[] { Operator().MessageDialog(MsgIcon::Warning, "w"); }, "vq7test: Предупреждение: w\n"},
        {[] { Operator().MessageDialog(MsgIcon::Information, "i"); }, "vq7test: Информация: i\n"},
        {[] { ShowAppMessage("a"); }, "vq7test: a\n"},   // not the window's caption
        {[] { EXPECT_FALSE(Operator().Confirm("q?")); }, "vq7test: Подтверждение: q? Нет\n"},
    };
    for (const Case& c : cases) {
        ::testing::internal::CaptureStderr();
        c.say();
        EXPECT_EQ(::testing::internal::GetCapturedStderr(), c.line);
    }
    SetApplicationTitle("vq7station");
    EXPECT_STREQ(MessageKindText(MsgIcon::Error), "Ошибка");   // the window's boxes take the same words
}
