#pragma once
// Where the results are kept: an SQLite file (a path, or "sqlite:PATH") or a
// PostgreSQL server ("postgresql://host[:port]/db?user=NAME&sslmode=..."). A
// password is never taken from the location: libpq reads it from ~/.pgpass or
// PGPASSWORD.
#include <string>

struct StoreLocation {
    enum class Engine { SQLite, PostgreSQL };
    Engine engine = Engine::SQLite;
    std::string path;        // SQLite: the file
    std::string conninfo;    // PostgreSQL: libpq keywords, sslmode=prefer unless given
    std::string shown;       // for messages, with any password masked
};

// False with the reason in error for a location it cannot take (a password in
// it, unknown parameters, a malformed address).
bool ParseStoreLocation(const std::string& text, StoreLocation& out, std::string& error);
// The text with a password (user:secret@ or password=...) replaced by "***".
std::string MaskStoreLocation(const std::string& text);
