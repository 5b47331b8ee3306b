// Placeholder until the real implementation lands.
#include "platform/platform.h"
