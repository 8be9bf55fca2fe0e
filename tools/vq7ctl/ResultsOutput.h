#pragma once
// The results store of vq7ctl: --database, else [RESULTS] database of
// config.ini, else results.sqlite in the data folder; the spool beside it.
#include "Context.h"

#include "results/StoreLocation.h"

#include <cstdint>
#include <string>
#include <vector>

class CResultsRecorder;
class CSystem;

// False (reported through ctx) for a location that cannot be taken.
bool CtlStoreLocation(CtlContext& ctx, StoreLocation& out);
// The process's recorder, made on first use; null when the location is bad.
// Every journal entry goes into it too from then on.
CResultsRecorder* CtlRecorder(CtlContext& ctx);
// A recorder message not shown yet, on stderr.
void ShowRecorderMessage(CResultsRecorder& recorder);
// The counted cycle of measure as a series of one point.
void RecordMeasurement(CtlContext& ctx, CSystem& sys, const std::vector<uint32_t>& numbers);
