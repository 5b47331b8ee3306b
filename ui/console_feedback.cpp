// Placeholder until the real implementation lands.
#include "ui/feedback.h"
