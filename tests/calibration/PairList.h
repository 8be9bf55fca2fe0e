#pragma once
// The pairs of a table as (Gi, Ge) values, for comparisons in tests.
#include "calibration/CGiGeArray.h"

#include <utility>
#include <vector>

using PairList = std::vector<std::pair<float, float>>;

inline PairList PairsOf(const CGiGeArray& table)
{
    PairList out;
    for (int i = 0; i < table.GetCount(); ++i) {
        float gi, ge;
        table.GetPair(i, gi, ge);
        out.emplace_back(gi, ge);
    }
    return out;
}
