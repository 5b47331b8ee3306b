// The trash of the desktop, for delete runs that may be taken back.
#pragma once

#include <string>

#include "platform/platform.h"

// Moves the file to the trash: the Recycle Bin where the system keeps one,
// else the desktop trash of the freedesktop.org standard. 0 on success;
// otherwise an error number, the file stays where it is and `why` says why.
int trash_file(Platform& sys, const char* path, std::string* why);

// Path= of a trash info file: every byte outside A-Z a-z 0-9 - . _ ~ and
// the separator written as %XX.
std::string percent_encoded(const std::string& path);

// Makes `dir` and every missing parent; 0 or an error number.
int make_directories(Platform& sys, const std::string& dir);
