// Names left out of a scan.
#pragma once

#include "engine/state.h"

// True when the entry's own name matches one of the exclusion patterns,
// under the scan's case rule. A badly formed pattern met on the way gives
// its error code in *p_error (a PATTERNS error code), and false.
bool is_excluded(const ScanState& st, const char* name, uint32_t* p_error);
