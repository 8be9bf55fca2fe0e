// The schema, one list of statements per version. Only the row id differs
// between the engines; every query is the same on both.
#include "ResultStore.h"

#include <string>

namespace {
std::string WithId(std::string sql, StoreLocation::Engine engine)
{
    const std::string id = engine == StoreLocation::Engine::SQLite ? "INTEGER PRIMARY KEY" : "BIGSERIAL PRIMARY KEY";
    for (size_t pos; (pos = sql.find("{ID}")) != std::string::npos;)
        sql.replace(pos, 4, id);
    return sql;
}
}

std::vector<std::string> SchemaMigration(int version, StoreLocation::Engine engine)
{
    std::vector<std::string> sql;
    if (version == 1) {
        sql = {
            "CREATE TABLE schema_version (version INTEGER NOT NULL)",
            "INSERT INTO schema_version (version) VALUES (0)",
            "CREATE TABLE series (id {ID}, station TEXT NOT NULL, uid TEXT NOT NULL, kind TEXT NOT NULL,"
            " started TEXT NOT NULL, ended TEXT, operator_name TEXT NOT NULL, reference_used TEXT NOT NULL,"
            " state TEXT NOT NULL, pid BIGINT NOT NULL, UNIQUE (station, uid))",
            "CREATE TABLE series_meter (series_id BIGINT NOT NULL REFERENCES series (id) ON DELETE CASCADE,"
            " slot INTEGER NOT NULL, number BIGINT NOT NULL, model TEXT NOT NULL, version TEXT NOT NULL,"
            " dn TEXT NOT NULL, PRIMARY KEY (series_id, slot))",
            "CREATE TABLE series_point (series_id BIGINT NOT NULL REFERENCES series (id) ON DELETE CASCADE,"
            " point_no INTEGER NOT NULL, set_flow DOUBLE PRECISION, ge DOUBLE PRECISION NOT NULL,"
            " cycle_seconds DOUBLE PRECISION, water_temperature DOUBLE PRECISION, at_time TEXT NOT NULL,"
            " PRIMARY KEY (series_id, point_no))",
            "CREATE TABLE point_reading (series_id BIGINT NOT NULL, point_no INTEGER NOT NULL,"
            " slot INTEGER NOT NULL, number BIGINT NOT NULL, gi DOUBLE PRECISION, gv DOUBLE PRECISION,"
            " error DOUBLE PRECISION, result BIGINT NOT NULL, PRIMARY KEY (series_id, point_no, slot),"
            " FOREIGN KEY (series_id, point_no) REFERENCES series_point (series_id, point_no) ON DELETE CASCADE)",
            "CREATE TABLE formed_pair (series_id BIGINT NOT NULL REFERENCES series (id) ON DELETE CASCADE,"
            " slot INTEGER NOT NULL, pair_no INTEGER NOT NULL, number BIGINT NOT NULL, ge DOUBLE PRECISION NOT NULL,"
            " gi DOUBLE PRECISION, PRIMARY KEY (series_id, slot, pair_no))",
            "CREATE TABLE meter_verdict (series_id BIGINT NOT NULL REFERENCES series (id) ON DELETE CASCADE,"
            " slot INTEGER NOT NULL, number BIGINT NOT NULL, verdict TEXT NOT NULL, worst_error DOUBLE PRECISION,"
            " PRIMARY KEY (series_id, slot))",
            "CREATE TABLE pair_write (id {ID}, station TEXT NOT NULL, uid TEXT NOT NULL,"
            " series_id BIGINT REFERENCES series (id) ON DELETE CASCADE, at_time TEXT NOT NULL, number BIGINT NOT NULL,"
            " model TEXT NOT NULL, operation TEXT NOT NULL, value_before TEXT NOT NULL, value_after TEXT NOT NULL,"
            " readback TEXT NOT NULL, result BIGINT NOT NULL, UNIQUE (station, uid))",
            "CREATE INDEX point_reading_number ON point_reading (number)",
        };
    } else if (version == 2) {
        // As found / as left, and the meter's history by number and date.
        sql = {
            "ALTER TABLE series ADD COLUMN as_found_id BIGINT REFERENCES series (id) ON DELETE SET NULL",
            "CREATE INDEX series_meter_number ON series_meter (number)",
            "CREATE INDEX series_started ON series (started)",
        };
    } else if (version == 3) {
        // The water pressure the rig measured at a point.
        sql = {"ALTER TABLE series_point ADD COLUMN water_pressure DOUBLE PRECISION"};
    }
    for (std::string& s : sql)
        s = WithId(s, engine);
    return sql;
}
