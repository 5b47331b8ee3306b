// The content check of a delete run: an older copy goes only when its bytes
// are those of the kept file.
#pragma once

#include <cstdint>
#include <string>

#include "platform/platform.h"
#include "report/actions.h"

enum class Sameness {
    Equal,     // same size, same bytes, neither file changed while read
    Differ,    // the sizes or some byte differ
    Changed,   // a file changed while it was read (size or last-write time)
    Failed,    // a file could not be opened or read; `why` says why
};

// Compares two files: sizes first, then every byte, streamed, with no hash
// standing in for equality. `*compared` grows by the bytes compared.
Sameness compare_files(Platform& sys, const char* a, const char* b, uint64_t* compared, std::string* why);

// True when `fnode` may be deleted: its bytes equal the kept file's. When
// not, run.why holds the reason written in the report.
bool same_content_as_kept(ScanState& st, ActionRun& run, const Fnode* fnode);
