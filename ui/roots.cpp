// Placeholder until the real implementation lands.
#include "ui/roots.h"
AddRootResult add_root(ScanState&, const char*) { return ROOT_NO_MEMORY; }
bool drop_roots_below(ScanState&, const char*) { return false; }
bool remove_root(ScanState&, const char*) { return false; }
