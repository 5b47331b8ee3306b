// Which directories hold reference copies. The walk decides: reference
// roots are walked before every other root, so a directory below one is
// always first reached, and walked, through it (DirRec::reference). What the
// walk reaches only another way (a listed file, or a link followed with -L
// into a part of a reference tree the walk left out) is asked here, by the
// file system and never by the text of its path.
#pragma once

#include "engine/state.h"

// 1 when the directory `path` lies below a reference root, or below a
// directory the walk of one entered through a link: each directory above
// it is reached through "..", from the directory itself (on Windows, where
// paths are resolved as text, the directory above in its path), and its
// identity compared with theirs. 0 when it does not, or where the system cannot open
// directories to act in them at all (the walk alone decides there). -1,
// with errno set, when its way up cannot be followed.
int below_reference(ScanState& st, const char* path);
