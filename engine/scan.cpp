// Placeholder until the real implementation lands.
#include "engine/scan.h"
unsigned Scan(void*) { return 0; }
bool start_scan_thread(ScanState&) { return false; }
