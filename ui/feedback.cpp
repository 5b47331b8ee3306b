// Placeholder until the real implementation lands.
#include "ui/feedback.h"
std::string complain_text(const char*, const char*, const char*) { return {}; }
