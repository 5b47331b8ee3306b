// Collection: every regular file under the chosen roots, equal names
// together in flist and the most recently modified first.
#pragma once

#include "engine/state.h"

// Walks one root depth-first and collects its files into flist, in the
// order met; the statuses of the files whose names were met before are
// read meanwhile.
void get_names(ScanState& st, const char* dname, Dnode* dnode);

// After the last root and the list: waits for the statuses still being
// read, warning of each that could not be read, then links every record
// into its group, equal names together and the most recently modified
// first. False when the scan was stopped.
bool rank_groups(ScanState& st);

// Collects every root, the reference roots first, each group in dlist
// order, then the files of the list (--files-from), and ranks the groups;
// false when the scan was stopped (the roots may be gone then: a pattern
// error releases them). Every status read has ended when it returns.
bool collect_roots(ScanState& st);

// A file named outside the walk (by a list), its status read and its
// directory kept: a path of fewer than PATH_BUF bytes, its own name at
// `name_pos`.
struct NamedFile {
    const char* path = nullptr;
    size_t name_pos = 0;
    FileStatus status;
    uint32_t dir = 0;   // its directory's number (Fnode::dir)
};

class NamedFiles {
public:
    virtual ~NamedFiles() = default;
    // The next file to take; false when there is none left.
    virtual bool next(NamedFile* out) = 0;
};

// Counts (in numlisted), tests and collects each named file as the walk
// takes its own; false when the scan was stopped.
bool collect_named(ScanState& st, NamedFiles& source);

// "WINDIR", "SYSTEMROOT" or "PROGRAMFILES" for a path under that directory.
const char* is_protected(const ScanState& st, const char* pathname);
