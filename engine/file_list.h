// A list of files to take instead of a walk, or beside it (--files-from):
// one path an entry, each entry ended by a line end, or by a NUL byte
// (-0), read as the scan goes, so that the list is never held in memory.
//
// A relative path is taken from the current directory. Each file is taken
// once, however often and under whatever paths it is listed (grouping drops
// the second record of a file), and not at all when a walk of this scan
// read its directory (the walk took it). Its
// directory is kept as a walk keeps a root's: opened by its path, its
// identity recorded, so that every act on the file is checked as for a
// walked one. An entry that is no regular file (a symbolic link is followed
// only with -L), or whose status cannot be read, is counted in numrefused
// and named to the user; -x leaves out a name as in a walk, and -p and the
// size limits test it as a walk tests its files.
#pragma once

#include "engine/state.h"

// Collects the files of st.extra.list; false when the scan was stopped.
bool collect_list(ScanState& st);
