// Grouping: after collection, the names met more than once.
#pragma once

#include "engine/state.h"

// Drops unique names from flist, numbers the members of each group.
void process_files(ScanState& st);
