#pragma once
// A fresh store per test on SQLite (a file in a temporary folder) or on the
// throwaway PostgreSQL server shared by the test program.
#include "results/ResultRecords.h"
#include "results/StoreLocation.h"
#include "support/PgServer.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <filesystem>
#include <memory>
#include <string>

enum class Engine { SQLite, PostgreSQL };

// The program's one server, started on first use.
PgServer& SharedPgServer();

class StoreFixture : public ::testing::TestWithParam<Engine> {
protected:
    void SetUp() override;
    void TearDown() override;
    // The location of this test's store (a new database on the server).
    std::string NewLocation();
    StoreLocation Parsed(const std::string& text);

    std::filesystem::path m_dir;
    int m_databases = 0;
};

std::string EngineName(const ::testing::TestParamInfo<Engine>& info);

// A small verification series: two meters, two points, verdicts.
StoredSeries SampleSeries(const std::string& station, const std::string& uid, const std::string& started);
