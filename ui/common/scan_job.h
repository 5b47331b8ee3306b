// The scan job: the thread that collects every chosen root, groups equal
// names and writes the report with its actions, and what the front ends
// need to start it and to end it.
#pragma once

#include "engine/state.h"

// The scan thread's procedure; `param` is the ScanState.
unsigned Scan(void* param);

// Starts the scan thread (hThread); false when it could not be started.
// The handle is also stored through `handle` when given: read it there, not
// from hThread afterwards, since a scan that stops during collection clears
// hThread and may do so before the caller looks.
bool start_scan_thread(ScanState& st, ThreadHandle* handle = nullptr);

// Once the scan thread `thread` has been waited for: releases its handle,
// forgets it in hThread and closes a report it left open (the thread closes
// its own report; this is a last guard).
void end_scan(ScanState& st, ThreadHandle thread);
