// Directory collection: walks one root depth-first, counts every regular
// file, keeps those whose names fit the pattern, and links a record for each
// into flist so that equal names stand together, the newest first.
//
// The walk itself reads names only. Once a name is met a second time, the
// statuses of its files are wanted, and a pool of threads reads them while
// the walk goes on (engine/status_reads.h). Meanwhile the records stand in
// flist in the order met. When every root is walked and every status read,
// the records are linked into their groups as if each had been linked the
// moment it was met, so the order comes out as if read one at a time.
//
// The walk keeps its own stack of open listings instead of recursing, so no
// depth of the file system can exhaust the scan thread's stack. All levels
// share one path buffer: each level knows where its directory part ends.
//
// A directory is walked at most once per scan, however often it is reached
// (links, junctions, bind mounts, two roots naming one tree). Symbolic links
// met below a root are left alone unless the user asks to follow them; the
// roots themselves are always followed. A directory that cannot be opened or
// read to its end is counted and named to the user.
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "engine/collect.h"
#include "engine/exclude.h"
#include "engine/file_list.h"
#include "engine/name_index.h"
#include "engine/name_key.h"
#include "engine/reference.h"
#include "engine/status_reads.h"
#include "match/match.h"

namespace {

// The files-seen count is shown after every this many files, and exactly
// when a root is done and before any box the walk opens.
constexpr int32_t COUNT_STRIDE = 256;

// While the last statuses are read, ABORT is looked at this often.
constexpr unsigned WAIT_STEP_MS = 50;

struct Level {
    DirListing* dir;     // owned
    size_t pos;          // length of this directory's path, separator included
    const DirRec* rec;   // what the scan keeps of it, for the actions
    uint32_t rec_no;     // its number, as its files' records keep it
};

struct Walk {
    ScanState& st;
    Dnode* dnode;            // null for named files
    int32_t* counted;        // the root's count of files, or the list's
    uint32_t named_dir = 0;  // the directory of the named file being taken (Fnode::dir)
    NameIndex* index;
    char dirname[PATH_BUF];
    Level* levels = nullptr;
    size_t depth = 0;
    size_t room = 0;
    // Per level: its files whose statuses are wanted, handed over when the
    // walk leaves the directory.
    std::vector<std::vector<Fnode*>> wanted;
    bool stopped = false;   // abort, pattern error or no memory: leave at once
    NameRules rules;
    bool keyed;             // names may be grouped by another key than themselves
    std::string key;        // room for a name's key

    Walk(ScanState& s, Dnode* d, NameIndex* ix)
        : st(s), dnode(d), counted(d ? &d->numfiles : &s.numlisted), index(ix), rules(name_rules(s)),
          keyed(rules.unicode || rules.copies)
    {
        dirname[0] = 0;
    }
    // Every listing still open is closed, however the walk ends (running
    // out of memory included).
    ~Walk()
    {
        while (depth > 0)
            delete levels[--depth].dir;
        free(levels);
    }
    Walk(const Walk&) = delete;
    Walk& operator=(const Walk&) = delete;
};

void show_count(ScanState& st)
{
    char text[32];
    snprintf(text, sizeof text, "%ld", long(st.numfiles));
    st.ui->set_field(PF_COLLECT_COUNT, text);
}

// A box from the walk: the count is brought up to date first, so that the
// panel behind the box shows where the walk stands.
void tell(ScanState& st, const char* msg1, const char* msg2, const char* msg3)
{
    show_count(st);
    st.ui->Complain(COMPLAIN_ERROR, "twinex", msg1, msg2, msg3);
}

void free_index(NameIndex* ix)
{
    NameIndex::destroy(ix);
}

// The scan's index, made on the first root; null when memory is short.
NameIndex* scan_index(ScanState& st)
{
    if (!st.index) {
        st.index = NameIndex::create(st.i_flag);
        st.index_free = free_index;
        normalise_patterns(st);
    }
    return st.index;
}

void out_of_memory(Walk& w)
{
    w.stopped = true;
    show_count(w.st);
    quit_error(w.st, "OUT OF MEMORY");
}

Fnode* as_file(Node* n)
{
    return (n && n->next) ? reinterpret_cast<Fnode*>(n) : nullptr;
}

// The scan's pool of status reads, made when the first status is wanted.
StatusReads& status_reads(Walk& w)
{
    if (!w.index->reads)
        w.index->reads = new StatusReads(*w.st.sys, w.st.abort_flag);
    return *w.index->reads;
}

// One warning for each status that could not be read, as the reads end.
void tell_failures(ScanState& st, StatusReads* reads)
{
    if (!reads)
        return;
    std::vector<Fnode*> failed;
    reads->take_failed(&failed);
    for (Fnode* f : failed) {
        if (st.abort_flag)
            return;
        tell(st, "WARNING: Can't get datestamp of file", f->pathname, nullptr);
    }
}

// A directory that could not be opened or read to its end, or an entry
// whose kind could not be told: counted and named, with the system's
// reason, and the walk goes on with the rest. `pos` is the length of its
// path in dirname (a directory's with its separator).
void unreadable(Walk& w, size_t pos, int err)
{
    ++w.st.numunread;
    char path[PATH_BUF];
    memcpy(path, w.dirname, pos);
    // "/" and a drive root "C:\" keep their separator; other paths lose it.
    if (pos > 1 && path[pos - 1] == PATH_SEP && path[pos - 2] != ':')
        --pos;
    path[pos] = 0;
    w.st.ui->walk_error(path, error_text(err ? err : EIO).c_str());
}

// True the first time the directory is met in this scan, with its identity
// in *id. A directory whose identity cannot be told is walked every time it
// is met.
bool first_visit(Walk& w, DirListing* dir, FileId* id)
{
    // The open listing knows which directory it reads (no second lookup of
    // the path); a listing that cannot tell leaves it to the platform.
    *id = dir->id();
    if (!id->known)
        *id = w.st.sys->identity(w.dirname);
    if (!id->known)
        return true;
    int added = w.index->walked.insert(*id);
    if (added < 0)
        out_of_memory(w);
    return added > 0;
}

// The record of a directory entered: its parent, its identity, where its
// path ends, and whether it holds reference copies: so does every directory
// entered through a reference root; one entered through a link otherwise
// is asked of the file system. A reference root, and a link its walk
// follows, mark the tops of reference trees.
// Its number, 0 when no more can be numbered.
uint32_t keep_directory(Walk& w, size_t pos, const FileId& id, bool via_link)
{
    const DirRec* parent = w.depth > 0 ? w.levels[w.depth - 1].rec : nullptr;
    bool reference = parent ? parent->reference : w.dnode->reference;
    if (!reference && via_link)   // one whose way up cannot be followed is never acted in
        reference = below_reference(w.st, std::string(w.dirname, pos).c_str()) != 0;
    if (reference && (via_link || !parent))
        w.st.reference_ids.push_back(id);
    return keep_dir(w.st, DirRec{parent, id, uint32_t(pos), via_link, reference, w.dnode});
}

// Opens the directory whose path is in dirname up to `pos` and makes it the
// deepest level, unless this scan has walked it already. A sub-directory is
// opened from its parent's listing, so its path is not looked up again
// from the root. `via_link`: its name is a symbolic link.
void enter_directory(Walk& w, size_t pos, bool via_link)
{
    std::unique_ptr<DirListing> dir;
    if (w.depth > 0) {
        const Level& parent = w.levels[w.depth - 1];
        dir = w.st.sys->open_dir_below(*parent.dir, w.dirname, parent.pos);
    } else {
        dir = w.st.sys->open_dir(w.dirname);
    }
    if (!dir) {
        unreadable(w, pos, errno);
        return;
    }
    FileId id;
    if (!first_visit(w, dir.get(), &id))
        return;
    if (w.depth == w.room) {
        size_t room = w.room ? w.room * 2 : 16;
        Level* more = static_cast<Level*>(realloc(w.levels, room * sizeof(Level)));
        if (!more) {
            out_of_memory(w);
            return;
        }
        w.levels = more;
        w.room = room;
    }
    uint32_t rec_no = keep_directory(w, pos, id, via_link);
    if (!rec_no) {
        out_of_memory(w);
        return;
    }
    if (w.wanted.size() <= w.depth)
        w.wanted.resize(w.depth + 1);
    w.levels[w.depth++] = Level{dir.release(), pos, &w.st.dirs.back(), rec_no};
}

// The listing, read to its end, is closed, or handed to the pool with the
// files whose statuses are wanted so far, to read them in it.
void leave_directory(Walk& w)
{
    Level& top = w.levels[--w.depth];
    std::unique_ptr<DirListing> dir(top.dir);
    std::vector<Fnode*> files;
    files.swap(w.wanted[w.depth]);
    if (!files.empty()) {
        StatusReads& reads = status_reads(w);
        if (!reads.may_hold())
            dir.reset();   // these are read by path
        reads.read(std::move(dir), top.pos, std::move(files));
    }
    tell_failures(w.st, w.index->reads);
}


// A path that does not fit the buffer is skipped, never cut; the first one
// of the scan is shown to the user.
void skip_long_path(Walk& w, size_t pos, const char* name)
{
    if (w.index->long_path_warned)
        return;
    w.index->long_path_warned = true;
    std::string path(w.dirname, pos);
    path += name;
    tell(w.st, "WARNING: Path too long, not scanned", path.c_str(),
         "Other paths too long are skipped without a message.");
}

void pattern_failure(Walk& w, uint32_t code)
{
    char text[512];
    const char* what = code < 11 ? pattern_errTXT[code] : "";
    snprintf(text, sizeof text, "PATTERN ERROR: %s", what ? what : "");
    tell(w.st, text, "aborting...", nullptr);
    w.st.abort_flag = 1;
    w.stopped = true;
    cleanup(w.st);   // also releases the index and the roots, dnode included
}

// A record whose status is now wanted: read with the other files of its
// directory while the walk still has that directory open, else by its path.
void want_status(Walk& w, Fnode* f)
{
    if (f->wanted)
        return;
    f->wanted = true;
    if (f->time_known)   // the listing told it
        return;
    const DirRec* dir = dir_of(w.st, f);
    for (size_t d = dir ? w.depth : 0; d > 0 && w.levels[d - 1].pos >= dir->path_len; --d) {
        if (w.levels[d - 1].rec == dir) {
            w.wanted[d - 1].push_back(f);
            return;
        }
    }
    status_reads(w).read_by_path(f);
}

// Links a record met after the first of its group into flist. The group's
// first record is the newest file of the name; of equal times the one met
// last leads. A newcomer that is not newer goes directly after the first
// record. Times are compared at full resolution, so of two copies saved
// within the same second the later one leads. A file whose status could not
// be read is dropped, never ranked: as a group's first record it would be
// kept while every older copy was refused as changed.
void link_record(ScanState& st, NameIndex::Slot* slot, Fnode* f)
{
    Fnode* first = slot->first;
    if (st.dom_flag) {
        if (!f->time_known) {
            free_fnode(f);
            return;
        }
        if (!first->time_known) {   // alone so far: the newcomer takes its place
            InsertNodeAfter(&f->node, &first->node);
            RemoveNode(&first->node);
            free_fnode(first);
            slot->first = f;
            return;
        }
        if (!(first->mtime > f->mtime)) {
            InsertNodeBefore(&f->node, &first->node);
            slot->first = f;
            return;
        }
    }
    InsertNodeAfter(&f->node, &first->node);
}

// The record of the file whose path is in dirname, its name at `pos`,
// with its key when that is not its name. `fs`: the file's status when the
// walk has read it already, else null.
Fnode* make_record(Walk& w, size_t pos, const FileStatus* fs)
{
    const char* name = w.dirname + pos;
    const char* key = w.keyed ? name_key(name, w.rules, &w.key) : name;
    Fnode* f = new_fnode(w.dirname, pos, key != name ? key : nullptr);
    if (f && fs) {
        keep_status(f, *fs);
        f->via_link = fs->is_link;
    }
    return f;
}

// Whether the file's size lies within --min-size and --max-size; its status
// is read for it when the listing told only the kind of the entry (and then
// kept in *fs). A file whose status cannot be read is left out, warned of.
bool size_fits(Walk& w, const FileStatus** fs, FileStatus* own)
{
    const ExtraOptions& x = w.st.extra;
    if (!x.min_given && !x.max_given)
        return true;
    if (!*fs) {
        if (!w.levels[w.depth - 1].dir->entry_status(w.dirname, own)) {
            tell(w.st, "WARNING: Can't get datestamp of file", w.dirname, nullptr);
            return false;
        }
        *fs = own;
    }
    return (*fs)->size >= x.min_size && (*fs)->size <= x.max_size;
}

// A regular file: counted, tested against the pattern and the size limits,
// collected.
void take_file(Walk& w, size_t pos, const FileStatus* fs)
{
    ScanState& st = w.st;
    const char* name = w.dirname + pos;
    ++st.numfiles;
    ++*w.counted;
    if (st.numfiles % COUNT_STRIDE == 0)
        show_count(st);
    uint32_t p_error = 0;
    if (st.pattern && !match_name(name, st.pattern, st.i_flag, st.extra.unicode, &p_error)) {
        if (p_error)
            pattern_failure(w, p_error);
        return;
    }
    FileStatus own;
    if (!size_fits(w, &fs, &own))
        return;
    if (st.pattern)
        ++st.numpats;
    Fnode* f = make_record(w, pos, fs);
    if (f)
        f->dir = w.depth > 0 ? w.levels[w.depth - 1].rec_no : w.named_dir;
    if (!f || !w.index->reserve_one()) {
        if (f)
            free_fnode(f);
        out_of_memory(w);
        return;
    }
    if (st.abort_flag) {   // the record is dropped, never half linked
        free_fnode(f);
        w.stopped = true;
        return;
    }
    // Every record stands in flist in the order met until the groups are
    // ranked; the first of each name is the one the index knows.
    uint32_t h = NameIndex::hash(record_key(f), w.index->i_flag());
    NameIndex::Slot* slot = w.index->find(f, h);
    AddTailNode(&st.flist, &f->node);
    if (!slot->first) {
        w.index->claim(slot, h, f);
        return;
    }
    want_status(w, f);
    want_status(w, slot->first);
}

// A sub-directory: entered unless it lies on the current path already or
// its entries could not have a path that fits.
void take_directory(Walk& w, size_t pos, size_t len, bool via_link)
{
    if (pos + len + 2 > size_t(PATH_BUF)) {
        skip_long_path(w, pos, w.dirname + pos);
        return;
    }
    w.dirname[pos + len] = PATH_SEP;
    w.dirname[pos + len + 1] = 0;
    enter_directory(w, pos + len + 1, via_link);
}

bool is_dot_entry(const char* name)
{
    return name[0] == '.' && (name[1] == 0 || (name[1] == '.' && name[2] == 0));
}

// One step of the walk: the next entry of the deepest directory.
void step(Walk& w)
{
    Level& top = w.levels[w.depth - 1];
    const char* name = top.dir->next();
    if (!name) {
        if (int err = top.dir->error())
            unreadable(w, top.pos, err);
        leave_directory(w);
        return;
    }
    uint32_t p_error = 0;
    if (is_dot_entry(name) || is_excluded(w.st, name, &p_error))
        return;
    if (p_error) {   // a bad exclusion stops the scan as a bad pattern does
        pattern_failure(w, p_error);
        return;
    }
    size_t pos = top.pos;
    size_t len = strlen(name);
    if (pos + len + 1 > size_t(PATH_BUF)) {
        skip_long_path(w, pos, name);
        return;
    }
    memcpy(w.dirname + pos, name, len + 1);
    // Where the listing tells the kind of the entry, no status is read now.
    int kind = top.dir->entry_kind();
    if (kind == DirListing::ENTRY_LINK && !w.st.follow_links)
        return;
    if (kind == DirListing::ENTRY_UNKNOWN || kind == DirListing::ENTRY_LINK) {
        FileStatus fs;
        if (!top.dir->entry_status(w.dirname, &fs)) {
            // A link that leads nowhere, or an entry gone since it was
            // listed, is no fault; one whose kind cannot be told at all is
            // counted and named.
            int err = errno;
            if (!fs.is_link && kind == DirListing::ENTRY_UNKNOWN && err != ENOENT)
                unreadable(w, pos + len, err);
            return;
        }
        if (fs.is_link && !w.st.follow_links)
            return;
        if (fs.is_file)
            take_file(w, pos, &fs);
        else if (fs.is_directory)
            take_directory(w, pos, len, fs.is_link || fs.is_junction);
    } else if (kind == DirListing::ENTRY_FILE) {
        take_file(w, pos, nullptr);
    } else if (kind == DirListing::ENTRY_DIRECTORY) {
        take_directory(w, pos, len, false);
    }
}

// Puts the root into the path buffer with one separator at its end.
bool start_root(Walk& w, const char* dname)
{
    size_t len = strlen(dname);
    bool has_sep = len > 0 && dname[len - 1] == PATH_SEP;
    size_t pos = len + (has_sep ? 0 : 1);
    if (pos + 2 > size_t(PATH_BUF)) {
        skip_long_path(w, 0, dname);
        return false;
    }
    memcpy(w.dirname, dname, len);
    if (!has_sep)
        w.dirname[len] = PATH_SEP;
    w.dirname[pos] = 0;
    enter_directory(w, pos, false);
    return !w.stopped;
}

}  // namespace

void get_names(ScanState& st, const char* dname, Dnode* dnode)
{
    if (!dname || st.abort_flag)
        return;
    NameIndex* index = scan_index(st);
    if (!index) {
        quit_error(st, "OUT OF MEMORY");
        return;
    }
    Walk w(st, dnode, index);
    if (start_root(w, dname)) {
        while (w.depth > 0 && !w.stopped && !st.abort_flag)
            step(w);
    }
    show_count(st);
}

// Reference roots are walked first, so that every directory below one is
// first reached through it, whichever other root or link leads there too.
bool collect_roots(ScanState& st)
{
    bool whole = true;
    for (bool reference : {true, false}) {
        for (Node* n = FirstNode(&st.dlist); n && n->next && whole;) {
            Dnode* d = reinterpret_cast<Dnode*>(n);
            if (d->reference == reference)
                get_names(st, d->dname, d);
            whole = !st.abort_flag;   // d may be gone: a pattern error releases the roots
            n = whole ? n->next : nullptr;
        }
    }
    if (whole && st.extra.list)
        whole = collect_list(st);
    if (whole)
        whole = rank_groups(st);
    free_name_index(st);   // the statuses still being read are dropped
    return whole;
}

bool rank_groups(ScanState& st)
{
    NameIndex* index = st.index;
    if (!index)
        return !st.abort_flag;
    if (StatusReads* reads = index->reads) {
        for (bool done = false; !done;) {
            done = reads->wait(WAIT_STEP_MS);
            tell_failures(st, reads);
            if (st.abort_flag)
                return false;
        }
    }
    // Replayed in the order met: each record after the first of its name is
    // linked as it would have been the moment it was met.
    for (Fnode* f = as_file(FirstNode(&st.flist)); f;) {
        Fnode* next = as_file(f->node.next);
        if (f->wanted) {
            if (st.abort_flag)
                return false;
            NameIndex::Slot* slot = index->find(f, NameIndex::hash(record_key(f), index->i_flag()));
            if (slot->first != f) {
                RemoveNode(&f->node);
                link_record(st, slot, f);
            }
        }
        f = next;
    }
    return true;
}

bool collect_named(ScanState& st, NamedFiles& source)
{
    NameIndex* index = scan_index(st);
    if (!index) {
        quit_error(st, "OUT OF MEMORY");
        return false;
    }
    Walk w(st, nullptr, index);
    NamedFile file;
    while (!w.stopped && !st.abort_flag && source.next(&file)) {
        size_t len = strlen(file.path);
        memcpy(w.dirname, file.path, len + 1);   // the source keeps it within PATH_BUF
        w.named_dir = file.dir;
        take_file(w, file.name_pos, &file.status);
    }
    show_count(st);
    return !w.stopped && !st.abort_flag;
}

const char* is_protected(const ScanState& st, const char* pathname)
{
    const std::string* dirs[] = {&st.windir, &st.systemroot, &st.programfiles};
    const char* names[] = {windir_txt, systemroot_txt, programfiles_txt};
    for (int i = 0; i < 3; ++i) {
        const std::string& d = *dirs[i];
        if (!d.empty() && strncmp(pathname, d.c_str(), d.size()) == 0)
            return names[i];
    }
    return nullptr;
}
