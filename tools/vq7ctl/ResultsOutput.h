#pragma once
// The results store of vq7ctl: --database, else [RESULTS] database of
// config.ini, else results.sqlite in the data folder; the spool beside it.
#include "Context.h"

#include "results/StoreLocation.h"

#include <string>

class CResultsRecorder;

// False (reported through ctx) for a location that cannot be taken.
bool CtlStoreLocation(CtlContext& ctx, StoreLocation& out);
// The process's recorder, made on first use; null when the location is bad.
// Every journal entry goes into it too from then on.
CResultsRecorder* CtlRecorder(CtlContext& ctx);
// A recorder message not shown yet, on stderr.
void ShowRecorderMessage(CResultsRecorder& recorder);
