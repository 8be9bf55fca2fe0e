#pragma once
// Nullable values bound to SOCI statements: a value and its indicator.
#include "Soci.h"

#include <optional>
#include <string>

struct OptDouble {
    double value = 0;
    soci::indicator ind = soci::i_null;
    OptDouble() = default;
    explicit OptDouble(const std::optional<double>& v) : value(v.value_or(0)), ind(v ? soci::i_ok : soci::i_null) {}
    std::optional<double> Get() const { return ind == soci::i_ok ? std::optional<double>(value) : std::nullopt; }
};

// An empty text is stored as NULL.
struct OptText {
    std::string value;
    soci::indicator ind = soci::i_null;
    OptText() = default;
    explicit OptText(const std::string& v) : value(v), ind(v.empty() ? soci::i_null : soci::i_ok) {}
    std::string Get() const { return ind == soci::i_ok ? value : std::string(); }
};
