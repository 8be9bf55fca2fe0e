#pragma once
// The maximum permissible error of a profile at a flow, and the flows its
// standard verifies at.
#include "Profile.h"

#include <string>
#include <vector>

struct FlowLimit {
    bool judged = false;   // false: the flow lies outside the profile's range
    double mpe = 0;        // ± %
    std::string zone;      // "qi..qs", "Q1..Q2", "Q2..Q4", "" for the tolerance
};

// EN 1434 flow sensors: class 1 1 + 0.01·qp/q (at most 3.5), class 2
// 2 + 0.02·qp/q (at most 5), class 3 3 + 0.05·qp/q (at most 5), from qi to qs.
// R 49: class 1 3 % below Q2, 1 % (2 % above 30 °C) from Q2 to Q4; class 2
// 5 %, 2 % (3 %). The tolerance: the same limit at every flow.
FlowLimit LimitAt(const VerificationProfile& p, double q);

struct FlowRange {
    std::string name;   // "qi", "0.1·qp", ...
    double low = 0, high = 0;   // m³/h
};

// The verification flows of the standard (none for the tolerance):
// EN 1434 qi..1.1·qi, 0.1·qp..0.11·qp, 0.9·qp..qp; R 49 Q1..1.1·Q1,
// Q2..1.1·Q2, 0.9·Q3..Q3.
std::vector<FlowRange> RequiredFlows(const VerificationProfile& p);
// The names of the required flows none of the measured flows lies in.
std::vector<std::string> MissingFlows(const VerificationProfile& p, const std::vector<double>& flows);
