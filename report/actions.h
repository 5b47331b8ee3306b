// The actions on the groups while the report is written: the sinkhole with
// one sub-directory per name, the copy or move of a file with its times,
// and the per-file decision of a move or delete run.
//
// What leaves its place goes only once what the user asked to keep of it
// is on the disk. Copies are made in batches: a batch of copies is flushed
// to the disk (data, directories, the manifest lines that record them)
// before the originals of the batch are removed. A file that moves within
// its volume is renamed instead, after its manifest line is on the disk.
#pragma once

#include <memory>
#include <set>
#include <string>
#include <vector>

#include "engine/place.h"
#include "engine/state.h"

// What happened to one file; the report writes it in front of the path.
enum class Outcome {
    Kept,        // nothing done
    Done,        // removed from its place (after its copy was saved, when saving)
    NotDeleted,  // removing failed; `why` holds the runtime's text
    Refused,     // left alone; `why` says why (a protected directory, the same
                 // file as the kept or moved one, not known to be another file
                 // than the kept one, changed since the scan, content differs)
    CopyFailed,  // the copy into the sinkhole failed; `msg` holds the text
    Pending,     // copied or about to move: the batch decides
};

// The outcome of one file, with the texts the report gives it.
struct Act {
    Outcome outcome = Outcome::Kept;
    std::string why;      // NotDeleted, Refused
    std::string msg;      // CopyFailed
    bool fault = false;   // left in place by a failure, not by a rule the user chose
};

Act refused(const std::string& why, bool fault);

// The mark of a reference copy in a move or delete run ("NOT MOVED - REFERENCE").
extern const char* const reference_mark;

// One file whose act waits for its batch to reach the disk.
struct Pending;

// Working data of one run of the report writer.
struct ActionRun {
    ActionRun();
    ~ActionRun();
    ActionRun(const ActionRun&) = delete;
    ActionRun& operator=(const ActionRun&) = delete;

    bool move = false;     // a move run
    bool del = false;      // a delete run
    bool saving = false;   // files are copied into the sinkhole first
    bool reference = false;   // reference roots were given: only groups with a reference copy are acted on

    char sinkhole[PATH_BUF] = {};   // sinkholename, separator, group name, separator
    char* s = nullptr;              // where the group name goes
    char* f = nullptr;              // where a copy's base name goes

    // The texts of the file being written (from its Act).
    std::string why;
    std::string msg;

    // The group being written: the file a delete run keeps (with reference
    // roots, the newest reference copy, null when there is none), and the
    // identities and records of the files moved so far.
    const Fnode* keep = nullptr;
    std::vector<FileId> moved;
    std::vector<const Fnode*> moved_files;

    // The sinkhole directory and the group's sub-directory, held open; the
    // sub-directories made since the last batch reached the disk.
    DirHandle sinkhole_dir = nullptr;
    DirHandle group_dir = nullptr;
    FileId group_id;
    std::vector<DirHandle> dirs;   // to flush at the batch's end (group_dir among them)
    bool new_dirs = false;         // sub-directories made since the sinkhole was last flushed

    std::vector<std::unique_ptr<Pending>> batch;
    uint64_t batch_bytes = 0;
    size_t batch_weight = 0;
    bool renamed = false;             // files renamed since the sinkhole was last flushed
    bool volume_flushes = false;      // the sinkhole's volume is flushed at once (not file by file)
    std::set<std::string> promised;   // copy names given to files of the batch
};

// Sets the run kinds from the option flags.
void begin_run(const ScanState& st, ActionRun& run);
// Lets go of the directories the run held open (its batch complete or abandoned).
void end_run(ScanState& st, ActionRun& run);
// Makes the run's sinkhole directory; false after a fatal error.
bool make_sinkhole(ScanState& st, ActionRun& run, const char* basename);
// Makes the group's sub-directory; false when it cannot be made (then
// fail_groupdir, once the batch is complete).
bool make_groupdir(ScanState& st, ActionRun& run, const char* group);
// Ends the program: the group's sub-directory could not be made.
void fail_groupdir(ScanState& st, ActionRun& run, const char* group);
// The group starting at `first` is next.
void begin_group(ScanState& st, ActionRun& run, const Fnode* first);
// The file of the group a delete run keeps, written without a mark.
bool is_kept(const ActionRun& run, const Fnode* fnode);
// Acts on one record of the group begun. `act` must stay where it is until
// the batch is complete: a Pending outcome is decided then.
void act_on_file(ScanState& st, ActionRun& run, const Fnode* fnode, Act* act);
// True when the batch is full and should be completed before the next file.
bool batch_full(const ActionRun& run);
// Brings the batch to the disk and completes the acts waiting on it.
void complete_batch(ScanState& st, ActionRun& run);
// Brings to the disk what the last batch left (the names of renamed files).
void settle_run(ScanState& st, ActionRun& run);
// Leaves the batch's originals where they are (the report can no longer be
// written): their copies stay, recorded in the manifest.
void abandon_batch(ScanState& st, ActionRun& run);
// The last "." in `fname`, or null.
const char* get_extension(const char* fname);
