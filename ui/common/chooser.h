// The drive-and-directory chooser: CHOOSE_W browses the drives and then one
// directory at a time (its path stands in the PATH box); CHOSEN_W shows the
// chosen scan roots of dlist, a reference root marked; "for OUTPUT" fills
// the OUTPUT box.
#pragma once

#include <string>

#include "engine/state.h"
#include "ui/common/controls.h"

enum ChooserMode {
    CHOOSE_DRIVES = 0,      // CHOOSE_W lists the drives, the PATH box is empty
    CHOOSE_DIRECTORY = 1,   // CHOOSE_W lists the subdirectories of the PATH box
};

struct Chooser {
    Chooser(ScanState& state, WindowControls& window) : st(state), w(window) {}
    ScanState& st;
    WindowControls& w;
    int type = CHOOSE_DRIVES;
    // The PATH box text when it carries the unreadable mark after the
    // directory's path; empty otherwise.
    std::string marked;
};

// Put after the PATH box's directory when its listing cannot be read.
extern const char* const unreadable_mark;
// Put before a reference root's path in CHOSEN_W.
extern const char* const chosen_reference_mark;

// The text of a drive kind ("FIXED DRIVE" ...).
const char* drive_kind_text(int kind);
// The CHOOSE_W row of drive `letter`: "C:  [ FIXED DRIVE ]", perhaps with
// " <UNAVAILABLE>" after it.
std::string drive_row(Platform& sys, char letter);
// Nonzero when the volume of the root `drive` ("C:\" style) can be read.
int drive_isavailable(ScanState& st, const char* drive);

// Refills CHOOSE_W for the current mode: 1 on success, else 0.
int SetChooseData(Chooser& c);
// The selected row of list view `w_num` (MC_CHOOSE or MC_CHOSEN) into
// `item`: nonzero on success, 0 when no row is selected.
int GetSelectedItem(Chooser& c, int w_num, std::string* item);
// The path of the row selected in CHOOSE_W: a drive as "C:", a listed
// directory as the PATH box, a separator and its name. False (nothing to
// do) without a selection and for an unavailable drive; for a path too long
// also, after a box that ends with the line `refusal`.
bool selected_path(Chooser& c, std::string* out, const char* refusal);
// Opens the drive or directory selected in CHOOSE_W (its double click).
void HandleMouseClick(Chooser& c);
// Goes up one level (PARENT); from a drive's root back to the drives.
void GetParentDirectory(Chooser& c);
// Makes the selected CHOOSE_W row a scan root ("for SCAN").
void SelectForScan(Chooser& c);
// Writes the selected CHOOSE_W row's path into box `w_num` ("for OUTPUT").
void SelectForOutput(Chooser& c, int w_num);
// Drops the root selected in CHOSEN_W (its double click).
void DeleteItem(Chooser& c);
// Lists every root of dlist in CHOSEN_W again: 1 on success, else 0.
int RebuildChosenList(Chooser& c);
// The root selected in CHOSEN_W; null when none is.
Dnode* selected_root(Chooser& c);
// Marks the root selected in CHOSEN_W as reference, or unmarks it, where
// the rules of the roots allow ("REFERENCE on/off").
void SwitchReference(Chooser& c);
