// Placeholder until the real implementation lands.
#include "engine/scan.h"
void get_names(ScanState&, const char*, Dnode*) {}
const char* is_protected(const ScanState&, const char*) { return nullptr; }
