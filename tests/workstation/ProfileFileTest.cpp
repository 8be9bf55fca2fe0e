// profiles.ini and [REFERENCE]: taken whole or refused naming section and key.
#include "workstation/ProfileFile.h"
#include "workstation/ProfileForm.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <sstream>

namespace {
namespace fs = std::filesystem;

class ProfileFileTest : public testing::Test {
protected:
    void SetUp() override
    {
        m_dir = fs::temp_directory_path() / ("vq7-profiles-" + std::to_string(::getpid()) + "-" +
                                             testing::UnitTest::GetInstance()->current_test_info()->name());
        fs::create_directories(m_dir);
    }
    void TearDown() override { fs::remove_all(m_dir); }
    std::string Write(const std::string& name, const std::string& text)
    {
        const fs::path p = m_dir / name;
        std::ofstream(p, std::ios::binary) << text;
        return p.string();
    }
    fs::path m_dir;
};

struct SectionCase {
    const char* name;
    const char* keys;    // lines of the section
    const char* error;   // "" when taken
};

class ReadProfileSectionTest : public ProfileFileTest, public testing::WithParamInterface<SectionCase> {};

TEST_P(ReadProfileSectionTest, TakesOrRefusesNamingTheKey)
{
    const SectionCase& c = GetParam();
    CProfileSet set;
    std::string error;
    ASSERT_TRUE(set.Load(Write("p.ini", std::string("[11000001]\n") + c.keys), 2.0, error)) << error;
    ASSERT_EQ(set.Sections().size(), 1u);
    EXPECT_EQ(set.Sections()[0].error, c.error);
    VerificationProfile p;
    EXPECT_EQ(set.ProfileFor(11000001, p, error), std::string(c.error).empty());
}

INSTANTIATE_TEST_SUITE_P(
    Sections, ReadProfileSectionTest,
    testing::Values(
        SectionCase{"en1434_good", "standard=EN1434\nclass=2\nqp=1.5\nqi=0.015\nqs=3\nrule=guarded\n", ""},
        SectionCase{"case_insensitive", "Standard=en1434\nCLASS=1\nqp=2.5\nqi=0.1\nqs=5\n", ""},
        SectionCase{"no_standard", "class=2\n", "[11000001] standard: missing (tolerance, EN1434 or R49)"},
        SectionCase{"unknown_standard", "standard=MI004\n",
                    "[11000001] standard: unknown standard MI004 (tolerance, EN1434 or R49)"},
        SectionCase{"qi_not_below_qp", "standard=EN1434\nclass=2\nqp=1.5\nqi=1.5\nqs=3\n",
                    "[11000001] qi: qi 1.5 is not below qp 1.5"},
        SectionCase{"qs_not_above_qp", "standard=EN1434\nclass=2\nqp=1.5\nqi=0.015\nqs=1.5\n",
                    "[11000001] qs: qs 1.5 is not above qp 1.5"},
        SectionCase{"ratio_not_standard", "standard=EN1434\nclass=2\nqp=1.5\nqi=0.02\nqs=3\n",
                    "[11000001] qi: qp/qi = 75 is none of 10, 25, 50, 100, 250"},
        SectionCase{"missing_qs", "standard=EN1434\nclass=2\nqp=1.5\nqi=0.015\n", "[11000001] qs: missing"},
        SectionCase{"class_4", "standard=EN1434\nclass=4\nqp=1.5\nqi=0.015\nqs=3\n",
                    "[11000001] class: EN1434 has no class 4 (1..3)"},
        SectionCase{"r49_class_3", "standard=R49\nclass=3\nq1=0.025\nq3=2.5\n",
                    "[11000001] class: R49 has no class 3 (1..2)"},
        SectionCase{"r49_small_R", "standard=R49\nclass=2\nq1=0.5\nq3=2.5\n", "[11000001] q3: R = q3/q1 = 5 is below 10"},
        SectionCase{"r49_good", "standard=R49\nclass=1\nq1=0.025\nq3=2.5\ntemperature=50\n", ""},
        SectionCase{"key_of_other_standard", "standard=R49\nclass=2\nq1=0.025\nq3=2.5\nqp=1.5\n",
                    "[11000001] qp: not a key of R49"},
        SectionCase{"unknown_rule", "standard=tolerance\nrule=strict\n",
                    "[11000001] rule: unknown rule strict (simple or guarded)"},
        SectionCase{"negative_resolution", "standard=tolerance\nresolution=-0.001\n",
                    "[11000001] resolution: -0.001 is outside 0..1000"},
        SectionCase{"tolerance_not_number", "standard=tolerance\ntolerance=2,5\n",
                    "[11000001] tolerance: not a number: 2,5"},
        SectionCase{"tolerance_zero", "standard=tolerance\ntolerance=0\n", "[11000001] tolerance: must be above 0"}),
    [](const testing::TestParamInfo<SectionCase>& info) { return std::string(info.param.name); });

TEST_F(ProfileFileTest, MetersTakeTheirSectionThenDefaultThenTheStationTolerance)
{
    const std::string path = Write("profiles.ini", "[default]\nstandard=R49\nclass=2\nq1=0.025\nq3=2.5\n"
                                                   "[11000002]\nstandard=tolerance\ntolerance=1.5\n"
                                                   "[11000003]\nstandard=EN1434\nclass=9\n[abc]\nstandard=R49\n");
    CProfileSet set;
    std::string error;
    ASSERT_TRUE(set.Load(path, 2.5, error));
    VerificationProfile p;
    ASSERT_TRUE(set.ProfileFor(11000001, p, error));
    EXPECT_EQ(p.standard, EStandard::R49);
    ASSERT_TRUE(set.ProfileFor(11000002, p, error));
    EXPECT_EQ(p.tolerance, 1.5);
    // A refused section is never replaced by [default]: the meter is not judged.
    EXPECT_FALSE(set.ProfileFor(11000003, p, error));
    EXPECT_EQ(error, path + " [11000003] class: EN1434 has no class 9 (1..3)");
    ASSERT_EQ(set.Errors().size(), 2u);
    EXPECT_EQ(set.Errors()[1], path + " [abc]: a section is a meter number (1..99999999) or default");

    // Without a file: the station's own tolerance, as before profiles.
    CProfileSet none;
    ASSERT_TRUE(none.Load((m_dir / "absent.ini").string(), 2.5, error));
    ASSERT_TRUE(none.ProfileFor(11000001, p, error));
    EXPECT_EQ(p.standard, EStandard::Tolerance);
    EXPECT_EQ(p.tolerance, 2.5);
}

TEST_F(ProfileFileTest, SetWritesOnlyAGoodSection)
{
    const std::string path = Write("profiles.ini", "[11000001]\nstandard=EN1434\nclass=2\nqp=1.5\nqi=0.015\nqs=3\n");
    EXPECT_EQ(SetProfileKey(path, "11000001", "qi", "1.5", 2.0),
              "[11000001] qi: qi 1.5 is not below qp 1.5 (nothing written)");
    CProfileSet set;
    std::string error;
    ASSERT_TRUE(set.Load(path, 2.0, error));
    EXPECT_EQ(set.Sections()[0].profile.qi, 0.015);
    EXPECT_EQ(SetProfileKey(path, "11000001", "qi", "0.06", 2.0), "");
    ASSERT_TRUE(set.Load(path, 2.0, error));
    EXPECT_EQ(set.Sections()[0].profile.qi, 0.06);
    EXPECT_EQ(SetProfileKey(path, "default", "standard", "tolerance", 2.0), "");
    ASSERT_TRUE(set.Load(path, 2.0, error));
    EXPECT_EQ(set.Sections().size(), 2u);
}

TEST_F(ProfileFileTest, ReferenceIsReadAndANegativeURefused)
{
    ReferenceInstrument ref;
    EXPECT_EQ(LoadReference(Write("a.ini", "[REFERENCE]\nname=Эталон\nserial=77\ncertificate=С-1\nu=0.15\n"), ref), "");
    EXPECT_EQ(ref.name, "Эталон");
    EXPECT_EQ(ref.certificate, "С-1");
    EXPECT_TRUE(ref.uGiven);
    EXPECT_EQ(ref.u, 0.15);
    EXPECT_EQ(LoadReference(Write("b.ini", "[REFERENCE]\nu=-0.1\n"), ref),
              "config.ini [REFERENCE] u: -0.1 is outside 0..100 (expanded uncertainty, %, k = 2)");
    EXPECT_EQ(LoadReference(Write("c.ini", "[REFERENCE]\nu=x\n"), ref), "config.ini [REFERENCE] u: not a number: x");
    EXPECT_EQ(LoadReference(Write("d.ini", "[CONNECTION]\nport=COM1\n"), ref), "");
    EXPECT_FALSE(ref.uGiven);
}

std::string ReadAll(const std::string& path)
{
    std::ifstream in(path, std::ios::binary);
    std::stringstream s;
    s << in.rdbuf();
    return s.str();
}

// The dialog's save: one section replaced by the fields, the rest of the file kept.
TEST_F(ProfileFileTest, FormSaveChangesOneSectionAndKeepsTheRest)
{
    const std::string path = Write("profiles.ini", "; station profiles\n"
                                                   "[default]\nstandard=tolerance\ntolerance=1.5\n"
                                                   "[11000001]\n; rig 2\nstandard=EN1434\nclass=2\nqp=1.5\nqi=0.015\n"
                                                   "qs=3\ncycle=60\nresolution=0.0001\n"
                                                   "[11000002]\nstandard=R49\nclass=1\nq1=0.1\nq3=2.5\n");
    ProfileFormFields f;
    ASSERT_EQ(LoadProfileForm(path, "11000001", f), "");
    EXPECT_EQ(f.standard, "EN1434");
    EXPECT_EQ(f.qi, "0.015");
    f.standard = "R49";
    f.accuracyClass = "2";
    f.q1 = "0,04";   // typed with the operator's comma
    f.q3 = "2.5";
    f.rule = "guarded";
    f.temperature = "50";
    ASSERT_EQ(SaveProfileForm(path, "11000001", f, 2.0), "");

    std::map<std::string, std::string> keys;
    std::string error;
    ASSERT_TRUE(ReadProfileKeys(path, "11000001", keys, error));
    const std::map<std::string, std::string> expected{{"standard", "R49"}, {"class", "2"},      {"q1", "0.04"},
                                                      {"q3", "2.5"},       {"rule", "guarded"}, {"temperature", "50"},
                                                      {"cycle", "60"},     {"resolution", "0.0001"}};
    EXPECT_EQ(keys, expected);   // qp, qi, qs of the old standard gone; cycle and resolution kept
    ASSERT_TRUE(ReadProfileKeys(path, "default", keys, error));
    EXPECT_EQ(keys, (std::map<std::string, std::string>{{"standard", "tolerance"}, {"tolerance", "1.5"}}));
    ASSERT_TRUE(ReadProfileKeys(path, "11000002", keys, error));
    EXPECT_EQ(keys.at("q1"), "0.1");
    const std::string text = ReadAll(path);
    EXPECT_NE(text.find("; station profiles"), std::string::npos);
    EXPECT_NE(text.find("; rig 2"), std::string::npos);

    CProfileSet set;
    ASSERT_TRUE(set.Load(path, 2.0, error));
    VerificationProfile p;
    ASSERT_TRUE(set.ProfileFor(11000001, p, error)) << error;
    EXPECT_EQ(p.standard, EStandard::R49);
    EXPECT_EQ(p.q1, 0.04);
    EXPECT_EQ(p.rule, EDecisionRule::Guarded);
    EXPECT_EQ(p.cycleSeconds, 60);
}

// A refused form leaves the file as it was, byte for byte, and no temporary file.
TEST_F(ProfileFileTest, RefusedFormWritesNothing)
{
    const std::string before = "[11000001]\nstandard=EN1434\nclass=2\nqp=1.5\nqi=0.015\nqs=3\n";
    const std::string path = Write("profiles.ini", before);
    ProfileFormFields f;
    ASSERT_EQ(LoadProfileForm(path, "11000001", f), "");
    f.qi = "0.1";   // qp/qi = 15
    EXPECT_EQ(SaveProfileForm(path, "11000001", f, 2.0),
              "[11000001] qi: qp/qi = 15 is none of 10, 25, 50, 100, 250 (nothing written)");
    f = ProfileFormFields{};
    f.standard = "EN1434";
    f.accuracyClass = "4";
    EXPECT_EQ(SaveProfileForm(path, "11000001", f, 2.0), "[11000001] class: EN1434 has no class 4 (1..3) (nothing written)");
    f.standard = "tolerance";
    f.tolerance = "abc";
    EXPECT_EQ(SaveProfileForm(path, "default", f, 2.0), "[default] tolerance: not a number: abc (nothing written)");
    EXPECT_EQ(ReadAll(path), before);
    EXPECT_EQ(std::distance(fs::directory_iterator(m_dir), fs::directory_iterator()), 1);
}

TEST_F(ProfileFileTest, FormMakesTheFileAndRefusesOneThatCannotBeRead)
{
    const std::string path = (m_dir / "profiles.ini").string();
    ProfileFormFields f;
    ASSERT_EQ(LoadProfileForm(path, "default", f), "");   // no file yet: the dialog's defaults
    EXPECT_EQ(f.standard, "tolerance");
    EXPECT_EQ(f.tolerance, "");
    f.tolerance = "1";
    ASSERT_EQ(SaveProfileForm(path, "default", f, 2.0), "");
    CProfileSet set;
    std::string error;
    ASSERT_TRUE(set.Load(path, 2.0, error));
    VerificationProfile p;
    ASSERT_TRUE(set.ProfileFor(11000009, p, error));
    EXPECT_EQ(p.tolerance, 1.0);
    EXPECT_EQ(p.rule, EDecisionRule::Simple);

    fs::create_directories(m_dir / "folder.ini");
    EXPECT_NE(LoadProfileForm((m_dir / "folder.ini").string(), "default", f), "");
    EXPECT_NE(SaveProfileForm((m_dir / "folder.ini").string(), "default", f, 2.0), "");
}
}
