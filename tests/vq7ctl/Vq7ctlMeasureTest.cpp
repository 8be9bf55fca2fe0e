// vq7ctl measure end to end, over a loopback gateway and a pty.
#include "CtlFixture.h"

#include "common/NumberText.h"
#include "sim/Faults.h"

#include <gmock/gmock.h>

#include <fstream>

using ::testing::HasSubstr;

namespace {
class Vq7ctlMeasure : public CtlFixture {
protected:
    void SetUp() override { StartRig(false); }
};

class Vq7ctlPty : public CtlFixture {
protected:
    void SetUp() override { StartRig(true); }
};

// The GiMean of the meter in the text table of measure.
double GiMeanOf(const std::string& out, uint32_t number)
{
    const auto at = out.find(" " + std::to_string(number) + " ");
    if (at == std::string::npos)
        return -1;
    return std::stod(out.substr(at + std::to_string(number).size() + 2));
}

std::string LastLine(const std::filesystem::path& path)
{
    std::ifstream in(path);
    std::string line, last;
    while (std::getline(in, line))
        if (!line.empty())
            last = line;
    return last;
}
}

TEST_F(Vq7ctlMeasure, OneCycleWithGeFromTheCommandLine)
{
    ProcessResult r = Ctl({"measure", "11000004", "11000002", "--ge", "12.5"});
    ASSERT_EQ(0, r.exitCode) << r.err;
    EXPECT_THAT(r.out, HasSubstr("Ge = 12.5\n"));
    EXPECT_NEAR(10.0, GiMeanOf(r.out, 11000004), 2.0) << r.out;
    EXPECT_NEAR(10.0, GiMeanOf(r.out, 11000002), 2.0) << r.out;
    EXPECT_EQ(1u, Meter(11000004).CommandCount(0x7E));

    r = Ctl({"--json", "measure", "11000006", "--ge", "7"});
    ASSERT_EQ(0, r.exitCode) << r.err;
    EXPECT_THAT(r.out, HasSubstr("\"Ge\":7,\"meters\":[{\"slot\":0,\"number\":11000006,\"GiMean\":"));
    EXPECT_THAT(r.out, HasSubstr("\"GvMean\":"));
}

TEST_F(Vq7ctlMeasure, GeFromTheReferenceFileOfTheCycle)
{
    const auto ref = TempDir() / "reference.txt";
    std::ofstream(ref) << "99.000000\n";   // an earlier cycle's line
    m_rig->SetReferenceFile(ref.string());
    ProcessResult r = Ctl({"--json", "measure", "11000010", "--ge-file", ref.string()});
    ASSERT_EQ(0, r.exitCode) << r.err;
    const std::string last = LastLine(ref);
    ASSERT_NE("99.000000", last);
    const auto at = r.out.find("\"Ge\":");
    ASSERT_NE(std::string::npos, at) << r.out;
    EXPECT_DOUBLE_EQ(std::stod(last), std::stod(r.out.substr(at + 5)));
    EXPECT_NEAR(10.0, std::stod(last), 1.0);
    EXPECT_THAT(r.err, ::testing::Not(HasSubstr("warning")));
}

TEST_F(Vq7ctlMeasure, GeAskedOnTheTerminal)
{
    // A text that is no number is asked again; a comma is taken as well as a point.
    ProcessResult r = Ctl({"--json", "measure", "11000004"}, "abc\n12,25\n");
    ASSERT_EQ(0, r.exitCode) << r.err;
    EXPECT_THAT(r.err, HasSubstr("Введите эталонное значение расхода (М3/ч): "));
    EXPECT_THAT(r.err, HasSubstr("'abc' - недопустимое значение"));
    EXPECT_THAT(r.out, HasSubstr("\"Ge\":12.25,"));

    // End of input: nothing entered, nothing counted.
    r = Ctl({"measure", "11000004"});
    EXPECT_EQ(1, r.exitCode);
    EXPECT_THAT(r.err, HasSubstr("no reference flow entered"));
    EXPECT_EQ(1u, Meter(11000004).CommandCount(0x7E));
}

TEST_F(Vq7ctlMeasure, AMeterThatFailsIsReportedWithItsCode)
{
    FaultRule refuse;
    refuse.kind = FaultKind::Refuse;
    refuse.command = 0x0F;
    Meter(11000002).AddFault(refuse);
    ProcessResult r = Ctl({"measure", "11000004", "11000002", "--ge", "1"});
    EXPECT_EQ(1, r.exitCode);
    EXPECT_THAT(r.err, HasSubstr("measure: cycle: result 240"));
    EXPECT_EQ(2, Ctl({"measure", "11000004", "11000004", "--ge", "1"}).exitCode);
}

TEST_F(Vq7ctlPty, IdentifyParametersAndMeasureOverASerialPort)
{
    ProcessResult r = Ctl({"identify", "11000008"});
    ASSERT_EQ(0, r.exitCode) << r.err;
    EXPECT_THAT(r.out, HasSubstr("m_sModel        \"ЗЮ-А-3 (мод. 1)\""));
    ASSERT_EQ(0, Ctl({"param", "set", "11000008", "75", "2.5"}).exitCode);
    EXPECT_EQ(2.5f, Meter(11000008).ParamFloat(75));

    r = Ctl({"measure", "11000008", "11000003", "--ge", "10"});
    ASSERT_EQ(0, r.exitCode) << r.err;
    EXPECT_NEAR(10.0, GiMeanOf(r.out, 11000008), 2.0) << r.out;

    const auto dir = TempDir();
    ASSERT_EQ(0, Ctl({"backup", "11000008", "--dir", dir.string()}).exitCode);
    EXPECT_TRUE(std::filesystem::exists(dir / "11000008.dat"));
}

// Time-outs are short on a serial line.
TEST_F(Vq7ctlPty, AMeterThatStopsAnsweringLeavesTheOthersResults)
{
    m_rig->SetIntegrationMs(4000);   // longer than the passes the silent meter slows down
    for (const char* rule : {"silence:cmd=8", "silence:cmd=126"})
        Meter(11000002).AddFault(*ParseFaultRule(rule));
    ProcessResult r = Ctl({"measure", "11000004", "11000002", "--ge", "10", "--timeout", "60"});
    EXPECT_EQ(1, r.exitCode);
    EXPECT_NEAR(10.0, GiMeanOf(r.out, 11000004), 2.0) << r.out;
    EXPECT_THAT(r.out, HasSubstr("11000002  not read"));
    EXPECT_THAT(r.err, HasSubstr("meter 11000002: no answer in 1 poll pass(es) in a row"));
    EXPECT_THAT(r.err, HasSubstr("счетчик № 11000002"));
}

TEST_F(Vq7ctlPty, AMeterThatDoesNotAnswerIsReportedWithTheTimeOutCode)
{
    ProcessResult r = Ctl({"--json", "identify", "12345678"});
    EXPECT_EQ(1, r.exitCode);
    EXPECT_THAT(r.err, HasSubstr("identify 12345678: result 1016 (нет ответа (тайм-аут))"));
    EXPECT_THAT(r.out, HasSubstr("\"result\":1016,\"meaning\":\"нет ответа (тайм-аут)\""));

    r = Ctl({"measure", "11000004", "12345678", "--ge", "1"});
    EXPECT_EQ(1, r.exitCode);
    EXPECT_THAT(r.err, HasSubstr("measure: identify 12345678: result 1016"));
    EXPECT_EQ(0u, Meter(11000004).CommandCount(0x0F));
}
