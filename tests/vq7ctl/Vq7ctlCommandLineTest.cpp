// vq7ctl's command line and JSON document: bad command lines end with status 2
// before the bus, the forms of options that are taken, and a document that a
// JSON parser reads whatever the command met.
#include "CtlFixture.h"

#include <gmock/gmock.h>
#include <nlohmann/json.hpp>

using ::testing::HasSubstr;

namespace {
class Vq7ctlCommandLine : public CtlFixture {
protected:
    void SetUp() override { StartRig(false); }
};

std::string Joined(const std::vector<std::string>& args)
{
    std::string text;
    for (const auto& a : args)
        text += a + " ";
    return text;
}

nlohmann::json Document(const ProcessResult& r)
{
    const nlohmann::json doc = nlohmann::json::parse(r.out, nullptr, false);
    EXPECT_TRUE(doc.is_object()) << r.out << r.err;
    return doc;
}
}

TEST_F(Vq7ctlCommandLine, BadCommandLinesEndWithStatusTwoBeforeTheBus)
{
    struct Case {
        std::vector<std::string> args;
        std::string message;   // the whole message between "vq7ctl: " and " (see"
    };
    const Case cases[] = {
        {{"frobnicate"}, "unknown command: frobnicate"},
        {{"pairs"}, "unknown command: pairs"},
        {{"identify", "11000004", "--foo"}, "identify: unknown option --foo"},
        {{"identify", "11000004", "--json"}, "identify: unknown option --json"},
        {{"identify", "11000004", "--help"}, "identify: unknown option --help"},
        {{"pairs", "read", "11000004", "--out"}, "pairs read: --out needs a value"},
        {{"status", "11000004", "--port"}, "status: unknown option --port"},
        {{"--port"}, "--port needs a value"},
        {{"--speed", "0", "status", "11000004"}, "--speed: not a baud rate: 0"},
        {{"--tcp-port", "65536", "status", "11000004"}, "--tcp-port: not a TCP port: 65536"},
        {{"--aux-timeout", "-1", "status", "11000004"}, "--aux-timeout: not a number of milliseconds: -1"},
        {{"measure", "11000004", "--ge", "inf"}, "measure: --ge: not a finite number: inf"},
        {{"measure", "11000004", "--ge=nan"}, "measure: --ge: not a finite number: nan"},
        {{"calibrate", "--meters", "11000004", "--points", "1", "--write=yes"}, "calibrate: --write takes no value"},
        {{"--json=yes", "status", "11000004"}, "--json takes no value"},
    };
    for (const Case& c : cases) {
        const ProcessResult r = Ctl(c.args);
        EXPECT_EQ(2, r.exitCode) << Joined(c.args) << r.err;
        EXPECT_THAT(r.err, HasSubstr("vq7ctl: " + c.message)) << Joined(c.args);
        EXPECT_THAT(r.err, HasSubstr("(see vq7ctl --help)")) << Joined(c.args);
    }
    EXPECT_EQ(0u, Meter(11000004).RequestCount());

    // With --json the document says it too.
    nlohmann::json doc = Document(Ctl({"--json", "identify", "11000004", "--foo"}));
    EXPECT_EQ("identify", doc.value("command", ""));
    EXPECT_EQ("identify: unknown option --foo", doc.value("error", ""));
    doc = Document(Ctl({"--json", "frobnicate"}));
    EXPECT_EQ("unknown command: frobnicate", doc.value("error", ""));
    EXPECT_FALSE(doc.contains("command"));

    // No command: the help on stderr.
    const ProcessResult r = RunProcess({VQ7CTL_PATH});
    EXPECT_EQ(2, r.exitCode);
    EXPECT_THAT(r.err, HasSubstr("\n  measure NUMBER... [--ge VALUE | --ge-file PATH] [--timeout S]\n"
                                 "      Runs one measurement cycle"));
    EXPECT_TRUE(r.out.empty());
}

TEST_F(Vq7ctlCommandLine, FormsOfOptionsAndArgumentsThatAreTaken)
{
    const auto dir = TempDir();
    // A value after "=", and the last of a repeated option.
    ProcessResult r = Ctl({"backup", "11000004", "--dir=" + (dir / "a").string(), "--dir", (dir / "b").string()});
    ASSERT_EQ(0, r.exitCode) << r.err;
    EXPECT_TRUE(std::filesystem::exists(dir / "b" / "11000004.dat"));
    EXPECT_FALSE(std::filesystem::exists(dir / "a"));

    // A negative number is an argument, not an option.
    r = Ctl({"param", "set", "11000004", "70", "-1.5"});
    ASSERT_EQ(0, r.exitCode) << r.err;
    EXPECT_EQ(-1.5f, Meter(11000004).ParamFloat(70));

    // A longer extra time for first answers is taken as 10 s, not refused.
    r = Ctl({"--aux-timeout", "600001", "status", "11000004"});
    EXPECT_EQ(0, r.exitCode) << r.err;
}

TEST_F(Vq7ctlCommandLine, TheDocumentIsValidJsonWhateverTheCommandMet)
{
    // The first meter fails (a VQ7I holds no pairs), the second is saved:
    // both are in the document, and so is the failure.
    const auto dir = TempDir();
    nlohmann::json doc =
        Document(Ctl({"--json", "backup", "11000001", "11000004", "11000002", "--dir", dir.string()}));
    ASSERT_EQ(3u, doc["meters"].size()) << doc.dump();
    EXPECT_EQ(-1, doc["meters"][0].value("result", 0));
    EXPECT_FALSE(doc["meters"][0].contains("file"));
    EXPECT_EQ((dir / "11000004.dat").string(), doc["meters"][1].value("file", ""));
    EXPECT_EQ((dir / "11000002.dat").string(), doc["meters"][2].value("file", ""));
    EXPECT_EQ(-1, doc.value("result", 0));

    // A file name that is not UTF-8 does not break the document.
    const auto file = dir / "\xff\xfe.dat";
    const ProcessResult r = Ctl({"--json", "pairs", "read", "11000004", "--out", file.string()});
    EXPECT_EQ(0, r.exitCode) << r.err;
    EXPECT_TRUE(std::filesystem::exists(file));
    doc = Document(r);
    EXPECT_EQ(11000004, doc.value("number", 0));
    EXPECT_EQ(Meter(11000004).Pairs().size(), doc["pairs"].size());
}
