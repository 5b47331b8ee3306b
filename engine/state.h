// The state one scan shares between the window (or console) thread and the
// scan thread: the chosen roots and collected files, the option flags, the
// counters, the pattern and the path strings, with their small helpers.
#pragma once

#include <atomic>
#include <cstdint>
#include <cstring>
#include <deque>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "engine/extras.h"
#include "lists/lists.h"
#include "platform/platform.h"
#include "engine/feedback.h"

// One chosen scan root.
struct Dnode {
    Node node;          // must stay first
    char* dname;        // owned; no trailing separator (a drive stays "C:")
    int32_t numfiles;   // regular files met under this root in this scan
    bool reference;     // its files are reference copies: never moved or deleted
};

// One directory the walk read: enough to reach it again from its root, one
// step at a time, and to know it is the very directory the walk read. Its
// path is the first `path_len` bytes of the path of any file found in it.
struct DirRec {
    const DirRec* parent;   // null for a root
    FileId id;              // the identity the walk saw
    uint32_t path_len;      // separator included
    bool via_link;          // its name in the parent is a symbolic link the walk followed (-L)
    bool reference;         // reached through a reference root: its files are reference copies
    const Dnode* root;      // the root it was walked from; null for a listed file's directory
};

// One collected file. Its status comes with the listing where the listing
// tells it; otherwise it is read once, when another file of its name is met.
// The report and the actions take it from here. The identity is kept as two
// numbers and a flag, so that all the flags share one word: every byte of a
// record counts once per file.
struct Fnode {
    Node node;          // must stay first
    char* pathname;     // the full path, kept in the record's own block
    char* fname;        // points into pathname at the file's own name
    int32_t num;        // place in its group: 0 for the first member
    bool time_known;    // the status below (times, size, identity) was read while collecting
    bool via_link;      // its name is a symbolic link the walk followed (-L)
    bool own_key;       // grouped by a key of its own, kept after the path (record_key)
    bool wanted;        // another file of its name was met: its status is needed
    bool creation_known;  // `created` is a creation time the file system keeps
    bool id_known;      // id_volume and id_index are its identity
    uint32_t dir;       // the directory it was found in: 1 + its place in ScanState::dirs (dir_of); 0: none
    int64_t mtime;      // last-write time met while collecting (FileTimes ticks)
    int64_t created;    // creation time (else the status change, as FileTimes has it)
    int64_t accessed;   // last-access time
    uint64_t size;      // size in bytes met while collecting
    uint64_t id_volume; // identity met while collecting, where the status query gives it
    uint64_t id_index;
};

// Keeps the times, size and identity a status query told of the file.
void keep_status(Fnode* f, const FileStatus& fs);
// What collection read of the file, as the status query gave it.
FileStatus record_status(const Fnode* f);
// The file's identity, as collection read it.
inline FileId record_id(const Fnode* f)
{
    FileId id;
    id.volume = f->id_volume;
    id.index = f->id_index;
    id.known = f->id_known;
    return id;
}

// What the report recorded, counted for a summary at the end of a run. The
// report writer fills it; the report itself never reads it.
struct ReportCounts {
    int32_t files = 0;         // files listed in groups
    int32_t done = 0;          // moved or deleted
    int32_t newest_kept = 0;   // delete runs: the newest (or oldest) file of each name, kept
    int32_t reference_kept = 0;   // reference copies, left in place
    int32_t answered_no = 0;   // left in place because the question was answered no
    // Every other file left in place, counted by its mark in the report
    // ("NOT DELETED - FILE CHANGED SINCE SCAN"), in the order first met.
    std::vector<std::pair<std::string, int32_t>> left;
};

class NameIndex;  // the collection's index from a name to its group

constexpr int PATH_BUF = 2048;    // a path in the walk, a report line, a message
constexpr int NAME_BUF = 1024;    // a generated name
constexpr int CHOOSER_PATH = 260; // a path in the chooser

extern const char* const windir_txt;        // "WINDIR"
extern const char* const systemroot_txt;    // "SYSTEMROOT"
extern const char* const programfiles_txt;  // "PROGRAMFILES"

// The version banner; shown without its first six characters "$VER: ".
extern const char* const version_banner;
const char* banner_text();

struct ScanState {
    ScanState(Platform& platform, Feedback& feedback);
    ~ScanState();
    ScanState(const ScanState&) = delete;
    ScanState& operator=(const ScanState&) = delete;

    Platform* sys;
    Feedback* ui;

    ListHeader flist;
    ListHeader dlist;
    std::deque<DirRec> dirs;   // every directory the walk read, in the order entered

    int request_flag = 1;
    int r_flag = 0;
    int i_flag = 1;
    int t_flag = 1;
    signed char dom_flag = 0;
    int m_flag = 1;
    int save_flag = 1;
    std::atomic<int> abort_flag{0};
    bool follow_links = false;   // walk into symbolic links met below the roots

    int32_t numfiles = 0;
    int32_t numdups = 0;
    int32_t numdeleted = 0;
    int32_t numpats = 0;
    int32_t numunread = 0;   // directories that could not be opened or read to the end
    int32_t numfaults = 0;   // files left in place by a failure, not by a rule the user chose
    int32_t numrefused = 0;  // entries of a file list that are no regular file, or could not be read
    int32_t numlisted = 0;   // files taken from a file list (counted in numfiles too)

    ReportCounts counts;

    char* pattern = nullptr;

    std::string windir;
    std::string systemroot;
    std::string programfiles;
    std::string outputname;
    std::string filename;
    std::string sinkholename;

    ThreadHandle hThread = nullptr;
    NameIndex* index = nullptr;   // exists only while collecting
    void (*index_free)(NameIndex*) = nullptr;  // set by whoever makes `index`; cleanup calls it
    bool fatal = false;           // quit_error was called
    FILE* report = nullptr;       // the report being written (owned by the scan thread)
    std::unique_ptr<char[]> report_buffer;   // the report stream's buffer, which outlives it

    ExtraOptions extra;           // the console program's further choices
    // The identities of the reference roots, and of the directories their
    // walk entered through a link: every directory below one of them holds
    // reference copies (engine/file_list.h).
    std::vector<FileId> reference_ids;
};

// Reads WINDIR, SYSTEMROOT and PROGRAMFILES into their strings.
void read_protected_dirs(ScanState& st);

char* makestring(const char* str);
// A file record holding a copy of `path`, whose own name starts at
// `name_pos`, and of `key` when it is grouped by another text than its name
// (null: by its name); the rest zero. One block: free_fnode releases record,
// path and key together. Null when memory is short.
Fnode* new_fnode(const char* path, size_t name_pos, const char* key = nullptr);
void free_fnode(Fnode* f);
void cleanup(ScanState& st);
int isfile(ScanState& st, const char* fname);
int isdirectory(ScanState& st, const char* pathname);

// Equal names under the comparison rule: byte for byte, or with only the
// ASCII letters a to z folded onto A to Z when i_flag is set.
bool same_name(const char* a, const char* b, int i_flag);

// The directory a record was found in; null for none.
inline const DirRec* dir_of(const ScanState& st, const Fnode* f)
{
    return f->dir ? &st.dirs[f->dir - 1] : nullptr;
}

// Keeps a directory's record; its number for Fnode::dir, 0 when there are
// too many to number (then nothing is kept).
inline uint32_t keep_dir(ScanState& st, const DirRec& rec)
{
    if (st.dirs.size() >= UINT32_MAX)
        return 0;
    st.dirs.push_back(rec);
    return uint32_t(st.dirs.size());
}

// A reference copy: a file found through a reference root. The walk
// decides it, never the path's text (DirRec::reference).
inline bool is_reference(const ScanState& st, const Fnode* f)
{
    const DirRec* d = dir_of(st, f);
    return d && d->reference;
}

// The text a record is grouped by: its own name, or the key the scan's name
// rules made of it (engine/name_key.h), kept in the record's block.
inline const char* record_key(const Fnode* f)
{
    return f->own_key ? f->fname + strlen(f->fname) + 1 : f->fname;
}

// Two records of one group: their keys are equal names. Collection,
// grouping, the report and the actions all ask this, so none can draw a
// group's bounds differently.
inline bool same_group(const Fnode* a, const Fnode* b, int i_flag)
{
    return same_name(record_key(a), record_key(b), i_flag);
}

// Closes the report stream of the scan, if open: 0, or the error number of
// a failure to write what was still buffered.
int close_report(ScanState& st);

// Shows the message with "QUITTING...", stops the scan and ends the program.
// Allocates nothing, so it serves when memory is exhausted.
void quit_error(ScanState& st, const char* msg);
// A scan thread's way out when memory is exhausted: the report is closed as
// far as written and the program ends with "OUT OF MEMORY".
void quit_out_of_memory(ScanState& st);
