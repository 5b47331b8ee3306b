// Placeholder until the real implementation lands.
#include "report/report.h"
void output_names(ScanState&) {}
