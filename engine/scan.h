// The scan: collection of every regular file under the chosen roots,
// grouping of equal names, and the thread that runs the phases and the report.
#pragma once

#include "engine/state.h"

// Walks one root depth-first and collects its files into flist, equal names
// together and the most recently modified first.
void get_names(ScanState& st, const char* dname, Dnode* dnode);

// "WINDIR", "SYSTEMROOT" or "PROGRAMFILES" for a path under that directory.
const char* is_protected(const ScanState& st, const char* pathname);

// Drops unique names from flist, numbers the members of each group.
void process_files(ScanState& st);

// The scan thread's procedure; `param` is the ScanState.
unsigned Scan(void* param);

// Starts the scan thread (hThread); false when it could not be started.
// The handle is also stored through `handle` when given: read it there, not
// from hThread afterwards, since a scan that stops during collection clears
// hThread and may do so before the caller looks.
bool start_scan_thread(ScanState& st, ThreadHandle* handle = nullptr);
