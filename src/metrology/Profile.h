#pragma once
// A verification profile: the standard a meter is judged by, its class and
// flows, the decision rule and what the uncertainty of a point needs.
#include <limits>
#include <string>

enum class EStandard { Tolerance, EN1434, R49 };
enum class EDecisionRule { Simple, Guarded };

struct VerificationProfile {
    EStandard standard = EStandard::Tolerance;
    int accuracyClass = 0;
    double qp = 0, qi = 0, qs = 0;   // EN 1434: permanent, lowest, highest flow, m³/h
    double q1 = 0, q3 = 0;           // R 49: minimum and permanent flow, m³/h
    double tolerance = 2.0;          // the station's own limit, ± %
    EDecisionRule rule = EDecisionRule::Simple;
    // Water temperature, °C; NaN when not stated (then taken as not above 30 °C).
    double temperature = std::numeric_limits<double>::quiet_NaN();
    // Largest share of the limit the uncertainty may take; 0: the standard's.
    double ratio = 0;
    double pooledS = 0;        // %, one cycle's standard deviation, for points of one cycle; 0: none
    double resolution = 0;     // m³, the meter's volume digit; 0: not counted
    double cycleSeconds = 0;   // s, length of one cycle (volume and time shares)
    double timing = 0;         // s, half-width of the start/stop matching and time base
};

// R 49's derived flows.
inline double R49Q2(const VerificationProfile& p) { return 1.6 * p.q1; }
inline double R49Q4(const VerificationProfile& p) { return 1.25 * p.q3; }

// "tolerance", "EN1434", "R49" and back (false for an unknown name; case-insensitive).
const char* StandardKey(EStandard s);
bool StandardFromKey(const std::string& key, EStandard& s);
// "simple", "guarded" and back.
const char* RuleKey(EDecisionRule r);
bool RuleFromKey(const std::string& key, EDecisionRule& r);

// The names the certificate gives them.
std::string StandardTitle(const VerificationProfile& p);
std::string RuleTitle(EDecisionRule r);

// The share of the limit the reference (EN 1434) or the point's U (others)
// may take: the profile's ratio, else 1/5 for EN 1434 and 1/3 for R 49 and
// the station's tolerance.
double UncertaintyRatio(const VerificationProfile& p);
