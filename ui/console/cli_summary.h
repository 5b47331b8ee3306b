// The few lines twinex-cli shows on the error stream when a run has
// finished: what was scanned and found, what was done to the files, and
// where the report is.
#pragma once

#include <string>

#include "engine/state.h"

// The summary of a finished scan that took `seconds`, one "twinex: " line
// each:
//   twinex: 2 roots, 1234 names checked, 3 groups, 7 files
//   twinex: 3 deleted, 3 newest kept, 1 NOT DELETED - FILE CHANGED SINCE SCAN
//   twinex: 2 directories could not be read
//   twinex: done in 0.4 s; report: /out/twinfiles000.txt
std::string run_summary(const ScanState& st, double seconds);
