// The place of a collected file, opened again to act on it: its directory
// reached from the root one step at a time, never through a link the walk
// did not take, each step checked to be the very directory the walk read;
// then the file itself, opened by its name in that directory. Every act on
// the file (its check, reading it, copying, renaming, removing it) goes
// through what is held here, so no path is looked up again in between.
#pragma once

#include "engine/state.h"

class Place {
public:
    explicit Place(Platform& sys) : sys_(sys) {}
    ~Place() { close(); }
    Place(const Place&) = delete;
    Place& operator=(const Place&) = delete;

    // Opens `dir`, the directory of `f` (dir_of), and the file in it. False,
    // with nothing held, when a step cannot be opened, is not the directory
    // the walk read, or the name no longer leads to a regular file; `err`
    // then holds the system's reason (0 for a directory found to be another).
    bool open(const Fnode* f, const DirRec* dir);
    void close();

    bool is_open() const { return file_ != nullptr; }
    // After a failed open: the directory was found, the file in it was not.
    bool dir_found() const { return dir_found_; }
    DirHandle dir() const { return dir_; }
    FileHandle file() const { return file_; }
    const char* name() const { return name_; }
    // The file's status as read from the open file.
    const FileStatus& status() const { return status_; }
    int err() const { return err_; }

private:
    DirHandle open_chain(const DirRec* rec, const char* path);

    Platform& sys_;
    DirHandle dir_ = nullptr;
    FileHandle file_ = nullptr;
    const char* name_ = nullptr;
    FileStatus status_;
    int err_ = 0;
    bool dir_found_ = false;
};

// True when the file as it is now is not the one collected: another
// last-write time, another size, or (where both are known) another identity.
bool differs_from_record(const FileStatus& now, const Fnode* f);
