#pragma once
// The verification before a calibration (as found) that the results store
// links to the verification after it (as left), made into tables again and
// judged by today's profiles, for the certificate of the as left one.
#include "PointVerdicts.h"
#include "ProfileFile.h"

#include <cstdint>
#include <functional>
#include <vector>

class CResultStore;

struct AsFoundJudgement {
    long long asLeftId = 0;
    long long asFoundId = 0;
    std::vector<MeterJudgement> meters;
};

// True for a meter judged by a standard: its error is (Gv - Ge) / Ge.
std::function<bool(uint32_t number)> StandardErrorOf(const CProfileSet& profiles);

// False when series asLeftId is no verification or has no as found (while it
// runs: none the store would link when it completes).
// Throws EStoreError when the store fails.
bool JudgeAsFound(CResultStore& store, long long asLeftId, const CProfileSet& profiles,
                  const ReferenceInstrument& reference, AsFoundJudgement& out);
