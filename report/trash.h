// The trash of the desktop, for delete runs that may be taken back.
#pragma once

#include <string>

#include "engine/place.h"
#include "platform/platform.h"

// The Recycle Bin where the system keeps one: the file goes at once. 0 on
// success; ENOSYS where there is none (the desktop trash is used then);
// otherwise an error number, the file stays and `why` says why.
int recycle(Platform& sys, const Place& place, const char* path, std::string* why);

// A file on its way to the desktop trash of the freedesktop.org standard:
// the info file that records its place and deletion date is written first,
// then brought to the disk, and only then is the file moved by a rename
// that never replaces anything.
struct TrashSlot {
    FILE* info = nullptr;          // written, not yet on the disk
    std::string info_path;
    bool made = false;             // the info file was made by this slot
    DirHandle info_dir = nullptr;
    DirHandle files = nullptr;     // the trash's files/
    std::string files_path;
    std::string name;              // the file's name in files/
};

// Writes the info file of the file held by `place` (full path `path`); 0,
// or an error number with `why` and nothing left of the slot.
int trash_begin(Platform& sys, const Place& place, const char* path, TrashSlot* slot, std::string* why);
// The info file and its directory on the disk; 0 or an error number.
int trash_sync(Platform& sys, TrashSlot* slot, std::string* why);
// Moves the file into the trash; on failure its info file goes again.
int trash_move(Platform& sys, const Place& place, TrashSlot* slot, std::string* why);
// Releases the slot, its info file removed unless the file was moved.
void trash_end(Platform& sys, TrashSlot* slot, bool moved);

// Path= of a trash info file: every byte outside A-Z a-z 0-9 - . _ ~ and
// the separator written as %XX.
std::string percent_encoded(const std::string& path);

// Makes `dir` and every missing parent; 0 or an error number.
int make_directories(Platform& sys, const std::string& dir);
