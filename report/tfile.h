// Names that clash with nothing on disk: a prefix, the first free n-digit
// serial number, an extension.
#pragma once

#include <cstdio>
#include <set>
#include <string>

#include "platform/platform.h"

// The first free name; with `fp` the file is also created (never over an
// existing one) and its stream stored there. Null when none is free. Names
// in `promised` (full paths) count as taken too: names given to files that
// are still on their way.
char* tfile(Platform& sys, const char* pathname, const char* ext, FILE** fp, int n,
            const std::set<std::string>* promised = nullptr);
// Creates the first free directory name and returns its path, or null.
char* tdir(Platform& sys, const char* pathname, const char* ext, int n);

// Why the last tfile or tdir call returned null: the first name it could not
// create and the system's error number for it (EEXIST when every name was
// taken, ENAMETOOLONG when not even one digit fits).
struct NameFailure {
    const char* name;
    int err;
};
NameFailure tfile_failure();
