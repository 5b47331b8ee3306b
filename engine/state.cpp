// Placeholder until the real implementation lands.
#include "engine/state.h"
const char* const windir_txt = "WINDIR";
const char* const systemroot_txt = "SYSTEMROOT";
const char* const programfiles_txt = "PROGRAMFILES";
ScanState::ScanState(Platform& platform, Feedback& feedback) : sys(&platform), ui(&feedback)
{
    InitListHeader(&flist);
    InitListHeader(&dlist);
}
ScanState::~ScanState() {}
