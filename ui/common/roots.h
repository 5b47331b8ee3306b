// The rules for chosen scan roots: no duplicates, no root inside another
// root, letter case counting as the file system counts it (ignored on
// Windows, kept on Linux).
#pragma once

#include "engine/state.h"

enum AddRootResult {
    ROOT_ADDED,            // linked at the tail of dlist
    ROOT_ADDED_REPLACING,  // linked, after dropping roots below it (view must be rebuilt)
    ROOT_ALREADY_CHOSEN,   // equal to a chosen root: nothing done, no message
    ROOT_REFUSED,          // below a chosen root: refused with a message
    ROOT_NO_MEMORY,        // refused with a message
};

// Makes `path` a scan root (steps of "for SCAN" after the path is built).
AddRootResult add_root(ScanState& st, const char* path);
// The same, but dropped roots are not told: the caller tells them with
// tell_roots_dropped once its view shows the new list.
AddRootResult add_root_quiet(ScanState& st, const char* path);
// "Subdirectories of" / path / "have been removed from chosen list."
void tell_roots_dropped(ScanState& st, const char* path);

// Drops every root below `parent`; true when any was dropped. Shows no message.
bool drop_roots_below(ScanState& st, const char* parent);

// Drops the root named exactly `dname`; false when there is none.
bool remove_root(ScanState& st, const char* dname);
