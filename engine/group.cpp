// Placeholder until the real implementation lands.
#include "engine/scan.h"
void process_files(ScanState&) {}
