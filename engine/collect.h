// Collection: every regular file under the chosen roots, equal names
// together in flist and the most recently modified first.
#pragma once

#include "engine/state.h"

// Walks one root depth-first and collects its files into flist, equal names
// together and the most recently modified first.
void get_names(ScanState& st, const char* dname, Dnode* dnode);

// Collects every root in dlist order; false when the scan was stopped (the
// roots may be gone then: a pattern error releases them).
bool collect_roots(ScanState& st);

// "WINDIR", "SYSTEMROOT" or "PROGRAMFILES" for a path under that directory.
const char* is_protected(const ScanState& st, const char* pathname);
