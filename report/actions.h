// The actions on the groups while the report is written: the sinkhole with
// one sub-directory per name, the copy of a file with its times, and the
// per-file decision of a move or delete run.
#pragma once

#include <string>
#include <vector>

#include "engine/state.h"

// What happened to one file; the report writes it in front of the path.
enum class Outcome {
    Kept,        // nothing done
    Done,        // removed from its place (after its copy was saved, when saving)
    NotDeleted,  // removing failed; `why` holds the runtime's text
    Refused,     // left alone on purpose; `why` says why (a protected directory,
                 // the same file as the kept or moved one, not known to be
                 // another file than the kept one, changed since the scan)
    CopyFailed,  // the copy into the sinkhole failed; `msg` holds the text
};

// Working data of one run of the report writer.
struct ActionRun {
    bool move = false;     // a move run
    bool del = false;      // a delete run
    bool saving = false;   // files are copied into the sinkhole first

    char sinkhole[PATH_BUF] = {};   // sinkholename, separator, group name, separator
    char* s = nullptr;              // where the group name goes
    char* f = nullptr;              // where a copy's base name goes
    char msg[PATH_BUF] = {};        // the text of a failed copy

    std::string why;                // the text of a NotDeleted or Refused outcome

    // The group being written: its first record, the identity of each of its
    // records (taken before anything in the group is touched), and the
    // identities and records of the files moved so far.
    const Fnode* first = nullptr;
    std::vector<FileId> ids;
    std::vector<FileId> moved;
    std::vector<const Fnode*> moved_files;
};

// Sets the run kinds from the option flags.
void begin_run(const ScanState& st, ActionRun& run);
// Makes the run's sinkhole directory; false after a fatal error.
bool make_sinkhole(ScanState& st, ActionRun& run, const char* basename);
// Makes the group's sub-directory; false after a fatal error (the report is
// closed by then).
bool make_groupdir(ScanState& st, ActionRun& run, const char* group);
// Notes the identities of the group starting at `first`, before any action.
void begin_group(ScanState& st, ActionRun& run, const Fnode* first);
// Acts on one record; `matches` counts from 1 in a move run and from 0 in a
// delete run (0: the group's first record, the one kept).
Outcome act_on_file(ScanState& st, ActionRun& run, const Fnode* fnode, int matches);
// Copies the file into the group's sub-directory with its times; 1 when the
// complete copy is there, 0 with a one-line text in `msg`.
int move2sinkhole(ScanState& st, const Fnode* fnode, char* sinkhole, char* f, char* msg);
// The last "." in `fname`, or null.
const char* get_extension(const char* fname);
