// The content check of a delete run: an older copy goes only when its bytes
// are those of the kept file.
#pragma once

#include <cstdint>
#include <string>

#include "platform/platform.h"
#include "engine/place.h"
#include "report/actions.h"

enum class Sameness {
    Equal,     // same size, same bytes, neither file changed while read
    Differ,    // the sizes or some byte differ
    Changed,   // a file changed while it was read (size or last-write time)
    Failed,    // a file could not be opened or read; `why` says why
};

// Compares two files just opened (read from their first bytes): sizes
// first, then every byte, streamed, with no hash standing in for equality.
// `*compared` grows by the bytes compared.
Sameness compare_files(Platform& sys, FileHandle a, FileHandle b, uint64_t* compared, std::string* why);

// Whether `file` may be deleted as a copy of `kept`: Kept when its bytes
// equal the kept file's, else Refused with the reason the report gives.
Act same_content(ScanState& st, Place& file, Place& kept);
