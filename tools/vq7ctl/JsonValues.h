#pragma once
// The JSON document of vq7ctl (nlohmann-json, members kept in the order set)
// and how its numbers are written.
#include <nlohmann/json.hpp>

#include <string>

using CtlJson = nlohmann::ordered_json;

// A measured value: null when not finite, a whole number without ".0", and a
// float as its shortest text (0.52f is written 0.52, not 0.5199999809265137).
CtlJson JsonReal(double value);
CtlJson JsonReal(float value);

// Compact text on one line; bytes that are not UTF-8 are replaced, never thrown on.
std::string JsonText(const CtlJson& doc);
