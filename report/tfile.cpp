// Placeholder until the real implementation lands.
#include "report/tfile.h"
char* tfile(Platform&, const char*, const char*, FILE**, int) { return nullptr; }
char* tdir(Platform&, const char*, const char*, int) { return nullptr; }
