// Collection: every regular file under the chosen roots, equal names
// together in flist and the most recently modified first.
#pragma once

#include "engine/state.h"

// Walks one root depth-first and collects its files into flist, in the
// order met; the statuses of the files whose names were met before are
// read meanwhile.
void get_names(ScanState& st, const char* dname, Dnode* dnode);

// After the last root: waits for the statuses still being read, warning of
// each that could not be read, then links every record into its group,
// equal names together and the most recently modified first. False when
// the scan was stopped.
bool rank_groups(ScanState& st);

// Collects every root in dlist order and ranks the groups; false when the
// scan was stopped (the roots may be gone then: a pattern error releases
// them). Every status read has ended when it returns.
bool collect_roots(ScanState& st);

// "WINDIR", "SYSTEMROOT" or "PROGRAMFILES" for a path under that directory.
const char* is_protected(const ScanState& st, const char* pathname);
