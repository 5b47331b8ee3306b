// Names left out of a scan.
#pragma once

#include "engine/state.h"

// True when the entry's own name matches one of the exclusion patterns,
// under the scan's case rule.
bool is_excluded(const ScanState& st, const char* name);
