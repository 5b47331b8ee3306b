// The rules for chosen scan roots: no duplicates, no root inside another
// root, letter case counting as the file system counts it (ignored on
// Windows, kept on Linux). A reference root may lie inside a root, never the
// other way round.
#pragma once

#include "engine/state.h"

enum AddRootResult {
    ROOT_ADDED,            // linked at the tail of dlist
    ROOT_ADDED_REPLACING,  // linked, after dropping roots below it (view must be rebuilt)
    ROOT_ALREADY_CHOSEN,   // equal to a chosen root: nothing done, no message
    ROOT_REFUSED,          // below a chosen root: refused with a message
    ROOT_NO_MEMORY,        // refused with a message
};

// Makes `path` a scan root (steps of "for SCAN" after the path is built),
// or a reference root. The rules hold among roots of one kind, and a new
// scan root is also held off by the reference roots: one equal to it counts
// as chosen already, and one above it refuses it.
AddRootResult add_root(ScanState& st, const char* path, bool reference = false);
// The same, but dropped roots are not told: the caller tells them with
// tell_roots_dropped once its view shows the new list.
AddRootResult add_root_quiet(ScanState& st, const char* path, bool reference = false);
// "Subdirectories of" / path / "have been removed from chosen list."
void tell_roots_dropped(ScanState& st, const char* path);

// Drops every root of the kind below `parent`; true when any was dropped.
// Shows no message.
bool drop_roots_below(ScanState& st, const char* parent, bool reference = false);

// How a root and a reference root meet: apart (or the reference root inside
// the root, which is allowed), the same directory, or the root inside the
// reference root.
enum RootClash { ROOTS_APART, ROOTS_SAME, ROOT_IN_REFERENCE };
RootClash reference_clash(const char* root, const char* reference);

// Drops the root named exactly `dname`; false when there is none.
bool remove_root(ScanState& st, const char* dname);

// Whether root `d` may be marked as reference, or unmarked, with the rules
// kept: any root may be marked (the reference roots below it go, as it
// covers them); a reference root inside a root may not be unmarked.
bool may_switch_reference(ScanState& st, const Dnode* d);
// Marks `d` as reference or unmarks it, where may_switch_reference allows
// (false otherwise, with nothing done). `*dropped` tells whether reference
// roots below it went.
bool switch_reference(ScanState& st, Dnode* d, bool* dropped);
