#include "Uncertainty.h"

#include <cmath>

UncertaintyBudget PointUncertainty(const UncertaintyInputs& in)
{
    UncertaintyBudget b;
    b.reference = std::fabs(in.referenceU) / 2.0;

    const size_t n = in.errors.size();
    b.cycles = static_cast<int>(n);
    if (n == 0) {
        b.complete = false;
    } else {
        double sum = 0;
        for (double e : in.errors)
            sum += e;
        b.meanError = sum / static_cast<double>(n);
        if (n >= 2) {
            double sq = 0;
            for (double e : in.errors)
                sq += (e - b.meanError) * (e - b.meanError);
            b.s = std::sqrt(sq / static_cast<double>(n - 1));
            b.repeatability = b.s / std::sqrt(static_cast<double>(n));
            b.repeatabilityEvaluated = true;
        } else if (in.pooledS > 0) {
            b.repeatability = in.pooledS;
            b.repeatabilityEvaluated = true;
            b.repeatabilityPooled = true;
        } else {
            b.complete = false;
        }
    }

    if (in.resolution > 0) {
        if (in.volume > 0)
            b.resolution = in.resolution / std::sqrt(6.0) / in.volume * 100.0;
        else
            b.complete = false;
    }
    if (in.timing > 0) {
        if (in.duration > 0)
            b.timing = in.timing / std::sqrt(3.0) / in.duration * 100.0;
        else
            b.complete = false;
    }
    b.combined = std::sqrt(b.reference * b.reference + b.repeatability * b.repeatability +
                           b.resolution * b.resolution + b.timing * b.timing);
    b.expanded = 2.0 * b.combined;
    return b;
}
