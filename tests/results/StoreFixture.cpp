#include "StoreFixture.h"

#include <atomic>
#include <unistd.h>

PgServer& SharedPgServer()
{
    static PgServer server;
    return server;
}

std::string EngineName(const ::testing::TestParamInfo<Engine>& info)
{
    return info.param == Engine::SQLite ? "SQLite" : "PostgreSQL";
}

void StoreFixture::SetUp()
{
    if (GetParam() == Engine::PostgreSQL && !SharedPgServer().Available())
        GTEST_SKIP() << "SKIP: PostgreSQL: " << SharedPgServer().Reason();
    const auto* info = ::testing::UnitTest::GetInstance()->current_test_info();
    std::string name = info->name();
    for (char& c : name)
        if (c == '/')
            c = '_';
    m_dir = std::filesystem::temp_directory_path() / ("vq7results-" + name + "-" + std::to_string(getpid()));
    std::filesystem::remove_all(m_dir);
    std::filesystem::create_directories(m_dir);
}

void StoreFixture::TearDown()
{
    if (!m_dir.empty())
        std::filesystem::remove_all(m_dir);
}

std::string StoreFixture::NewLocation()
{
    ++m_databases;
    if (GetParam() == Engine::SQLite)
        return (m_dir / ("results" + std::to_string(m_databases) + ".sqlite")).string();
    static std::atomic<int> counter{0};
    return SharedPgServer().NewDatabase("t" + std::to_string(getpid()) + "_" + std::to_string(++counter));
}

StoreLocation StoreFixture::Parsed(const std::string& text)
{
    StoreLocation loc;
    std::string error;
    EXPECT_TRUE(ParseStoreLocation(text, loc, error)) << error;
    return loc;
}

StoredSeries SampleSeries(const std::string& station, const std::string& uid, const std::string& started)
{
    StoredSeries s;
    s.series.station = station;
    s.series.uid = uid;
    s.series.kind = "verification";
    s.series.started = started;
    s.series.operatorName = "ivanova";
    s.series.reference = "эталон РМ-5 № 17";
    s.series.pid = 4242;
    s.meters = {{0, 11000001, "ВЯ-7-1", "2.14", "15"}, {1, 11000002, "ФЖ-7-1", "2.15", "20"}};
    PointRecord p1;
    p1.pointNo = 1;
    p1.setFlow = 10.0;
    p1.ge = 9.98;
    p1.cycleSeconds = 10.5;
    p1.time = started;
    p1.readings = {{0, 11000001, 1.25, 9.99, 0.1001, 0}, {1, 11000002, std::nullopt, std::nullopt, std::nullopt, 1016}};
    PointRecord p2;
    p2.pointNo = 2;
    p2.ge = 2.5;
    p2.waterTemperature = 21.5;
    p2.waterPressure = 3.25;
    p2.time = started;
    p2.readings = {{0, 11000001, 0.31, 2.52, 0.79, 0}, {1, 11000002, 0.3, 2.6, 3.85, 0}};
    s.points = {p1, p2};
    s.verdicts = {{0, 11000001, "годен", 0.79}, {1, 11000002, "не годен", 3.85}};
    return s;
}
