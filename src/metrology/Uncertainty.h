#pragma once
// The expanded uncertainty of one point's error (GUM, k = 2): relative
// standard uncertainties of the reference, the repeatability, the meter's
// resolution and the timing, combined as the root of the sum of squares.
#include <vector>

struct UncertaintyInputs {
    double referenceU = 0;        // %, the reference's expanded uncertainty (k = 2) from its certificate
    std::vector<double> errors;   // %, the error of every cycle at the point
    double pooledS = 0;           // %, one cycle's standard deviation for a point of one cycle; 0: none
    double resolution = 0;        // m³, the meter's volume digit; 0: not counted
    double volume = 0;            // m³, the volume of one cycle
    double timing = 0;            // s, half-width of the start/stop matching and time base; 0: not counted
    double duration = 0;          // s, the length of one cycle
};

// Each share as a relative standard uncertainty, %.
struct UncertaintyBudget {
    double reference = 0;       // U_ref / 2
    double repeatability = 0;   // s / √n
    double resolution = 0;      // d / √6 / V
    double timing = 0;          // half-width / √3 / Δt
    double combined = 0;        // u_c
    double expanded = 0;        // U = 2·u_c
    // False when a share could not be estimated (one cycle and no pooled s,
    // a resolution without a volume, a timing without a duration): U is then
    // a lower bound, never shown as complete.
    bool complete = true;
    int cycles = 0;
    // False for one cycle without a pooled s: the repeatability share is then
    // not evaluated (0 in the sum), and the report says so.
    bool repeatabilityEvaluated = false;
    bool repeatabilityPooled = false;   // one cycle, the profile's pooled s taken
    double meanError = 0;       // %, the mean of the cycles' errors
    double s = 0;               // %, their standard deviation (n − 1); 0 for one cycle
};

UncertaintyBudget PointUncertainty(const UncertaintyInputs& in);
