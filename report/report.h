// The report file and the actions on the groups.
#pragma once

#include "engine/state.h"

// Writes the report of a grouped flist and acts on every group.
void output_names(ScanState& st);
