// The verification before a calibration, found through the link of a real
// SQLite store and judged again by the profiles, each meter by its formula.
#include "results/ResultStore.h"
#include "workstation/AsFoundJudgement.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <unistd.h>

namespace {
namespace fs = std::filesystem;

class AsFoundJudgementTest : public testing::Test {
protected:
    void SetUp() override
    {
        m_dir = fs::temp_directory_path() / ("vq7-asfound-" + std::to_string(::getpid()) + "-" +
                                             testing::UnitTest::GetInstance()->current_test_info()->name());
        fs::remove_all(m_dir);
        fs::create_directories(m_dir);
        const std::string db = (m_dir / "results.sqlite").string();
        m_store = std::make_unique<CResultStore>(StoreLocation{StoreLocation::Engine::SQLite, db, "", db});
        std::ofstream(m_dir / "profiles.ini") << "[11000002]\nstandard=R49\nclass=2\nq1=0.1\nq3=10\n";
        std::string error;
        ASSERT_TRUE(m_profiles.Load((m_dir / "profiles.ini").string(), 2.0, error)) << error;
    }
    void TearDown() override
    {
        m_store.reset();
        fs::remove_all(m_dir);
    }
    // Meters 11000002 (R 49) and 11000004 (station's ±2 %), one point at 5 m3/h.
    long long Put(const std::string& uid, const std::string& kind, const std::string& started, double gv2, double gv4)
    {
        SeriesRecord s;
        s.station = "rig";
        s.uid = uid;
        s.kind = kind;
        s.started = started;
        s.ended = started;
        s.state = SeriesState::Complete;
        m_store->PutMeters(s, {MeterRecord{0, 11000002, "ВЯ-7П", "1", "20"}, MeterRecord{1, 11000004, "ВЯ-7П", "1", "20"}});
        PointRecord p;
        p.pointNo = 1;
        p.ge = 5;
        p.time = started;
        p.readings = {ReadingRecord{0, 11000002, std::nullopt, gv2, std::nullopt, 0},
                      ReadingRecord{1, 11000004, std::nullopt, gv4, std::nullopt, 0}};
        m_store->PutPoint(s, p);
        return m_store->PutSeries(s);
    }
    fs::path m_dir;
    std::unique_ptr<CResultStore> m_store;
    CProfileSet m_profiles;
    ReferenceInstrument m_reference;
};

TEST_F(AsFoundJudgementTest, TheLinkedVerificationIsJudgedWithEachMetersFormula)
{
    const long long found = Put("a", "verification", "2026-12-10 08:00:00", 5.2, 5.2);
    Put("b", "calibration", "2026-12-10 08:30:00", 5.0, 5.0);
    const long long left = Put("c", "verification", "2026-12-10 09:00:00", 5.01, 5.01);
    AsFoundJudgement j;
    ASSERT_TRUE(JudgeAsFound(*m_store, left, m_profiles, m_reference, j));
    EXPECT_EQ(j.asFoundId, found);
    EXPECT_EQ(j.asLeftId, left);
    ASSERT_EQ(j.meters.size(), 2u);
    ASSERT_EQ(j.meters[0].points.size(), 1u);
    // R 49: (5.2 - 5) / 5 = +4 %; the station's: (5.2 - 5) / 5.2 = +3.846 %.
    EXPECT_NEAR(j.meters[0].points[0].error, 4.0, 1e-3);
    EXPECT_EQ(j.meters[0].profile.standard, EStandard::R49);
    EXPECT_EQ(j.meters[0].verdict, EPointVerdict::Fail);
    EXPECT_NEAR(j.meters[1].points[0].error, 3.846, 1e-3);
    EXPECT_EQ(j.meters[1].VerdictText(), "не годен");

    // The as found itself, a calibration and a series that is not there have none.
    EXPECT_FALSE(JudgeAsFound(*m_store, found, m_profiles, m_reference, j));
    EXPECT_FALSE(JudgeAsFound(*m_store, found + 1, m_profiles, m_reference, j));
    EXPECT_FALSE(JudgeAsFound(*m_store, 999, m_profiles, m_reference, j));
    EXPECT_TRUE(j.meters.empty());
}

// Without a calibration between them two verifications are not as found and as left.
TEST_F(AsFoundJudgementTest, NoCalibrationBetweenNoAsFound)
{
    Put("a", "verification", "2026-12-10 08:00:00", 5.2, 5.2);
    const long long second = Put("c", "verification", "2026-12-10 09:00:00", 5.01, 5.01);
    AsFoundJudgement j;
    EXPECT_FALSE(JudgeAsFound(*m_store, second, m_profiles, m_reference, j));
}
}
