// Placeholder until the real implementation lands.
#include "ui/scan_setup.h"
PrepareResult scan_prepare(ScanState&, ScanChoices&, Feedback&) { return PREPARE_CANCELLED; }
const char* action_summary(const ScanState&) { return ""; }
