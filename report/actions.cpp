// The actions on the groups: moving every file into the sinkhole, or
// deleting all but the newest file of each name, optionally asking first,
// optionally saving a copy or handing the file to the trash.
//
// A file is reached only through the directory the walk read (its place),
// and it is removed only when everything the user asked to keep of it is on
// the disk; whatever goes wrong leaves it where it is. Copies wait in a
// batch: the batch's copies, their directories and the manifest lines that
// record them are flushed together, then the originals go. A move within
// one volume is a rename, made once the file's manifest line is flushed.
#include "report/actions.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <set>

#include "engine/collect.h"
#include "report/content.h"
#include "report/manifest.h"
#include "report/tfile.h"
#include "report/trash.h"

// How a file leaves its place once its batch is on the disk.
enum class Way { Copy, Rename, Trash };

struct Pending {
    explicit Pending(Platform& s) : sys(s), place(s) {}
    ~Pending()
    {
        sys.close_handle(copy);
        trash_end(sys, &slot, false);
    }
    Pending(const Pending&) = delete;
    Pending& operator=(const Pending&) = delete;

    Platform& sys;
    Act* act = nullptr;
    const Fnode* f = nullptr;
    const Fnode* keep = nullptr;   // the file its group keeps (delete runs)
    Way way = Way::Copy;
    Place place;                 // the original, held open
    FileStatus before;           // the original as it was copied or recorded
    DirHandle dir = nullptr;     // the group's sub-directory (held by the run)
    std::string savename;        // the copy's full path
    std::string copy_name;       // its name in `dir`
    FileHandle copy = nullptr;   // a copy held open until it is flushed
    TrashSlot slot;
};

namespace {

// A batch ends after this many files or bytes of copies, so that memory,
// open files and the work lost to a power cut stay small. A file to be
// renamed holds two open files and no data: it weighs a quarter of one
// that was copied (three open files), so a batch of renames is longer, and
// fewer flushes write the file system's records again.
constexpr size_t BATCH_WEIGHT = 1024;
constexpr size_t COPY_WEIGHT = 4;
constexpr uint64_t BATCH_BYTES = uint64_t(64) << 20;

Act changed()
{
    return refused("FILE CHANGED SINCE SCAN", true);
}

Act copy_failed(const char* format, const char* path)
{
    Act a;
    a.outcome = Outcome::CopyFailed;
    a.fault = true;
    char msg[PATH_BUF];
    snprintf(msg, sizeof msg, format, path);
    a.msg = msg;
    return a;
}

Act done(ScanState& st)
{
    Act a;
    a.outcome = Outcome::Done;
    ++st.numdeleted;
    return a;
}

bool contains(const std::vector<FileId>& ids, const FileId& id)
{
    for (const FileId& other : ids)
        if (other == id)
            return true;
    return false;
}

bool same_path(const Fnode* a, const Fnode* b)
{
    return a && b && strcmp(a->pathname, b->pathname) == 0;
}

bool moved_before(const ActionRun& run, const Fnode* fnode)
{
    for (const Fnode* m : run.moved_files)
        if (same_path(m, fnode))
            return true;
    return false;
}

// A rule the user chose that keeps the file before anything is opened: a
// reference copy, a group without one, a protected directory, or one path
// met twice. The file a delete run keeps is asked only about the first two.
const char* rule_to_keep(ScanState& st, const ActionRun& run, const Fnode* fnode)
{
    if (is_reference(st, fnode))
        return reference_mark;
    if (run.reference && !run.keep)
        return "NO REFERENCE COPY";
    if (is_kept(run, fnode))
        return nullptr;
    if (const char* dir = is_protected(st, fnode->pathname))
        return dir;
    if (run.del && same_path(fnode, run.keep))
        return "SAME FILE AS KEPT";
    if (run.move && moved_before(run, fnode))
        return "SAME FILE AS MOVED";
    return nullptr;
}

// A delete run removes an older copy only while it is the file collected,
// the kept file is there, and the two are known to be two files: when
// either identity is unknown, the two paths might be one file.
Act check_against_kept(ScanState& st, const ActionRun& run, Pending& p)
{
    const FileStatus& now = p.place.status();
    if (differs_from_record(now, p.f))
        return changed();
    Place kept(*st.sys);
    if (!kept.open(run.keep, dir_of(st, run.keep)))
        return changed();
    if (now.id == kept.status().id)
        return refused("SAME FILE AS KEPT", false);
    if (!now.id.known || !kept.status().id.known)
        return refused("CAN'T TELL IT FROM THE KEPT FILE", true);
    return st.extra.same_content ? same_content(st, p.place, kept) : Act();
}

// Opens the file's place and decides whether it may be acted on. A move
// takes a file as it is now; a file that is gone from its directory is a
// copy that failed, a directory that is not the one the walk read a change.
Act check_file(ScanState& st, const ActionRun& run, Pending& p)
{
    if (!p.place.open(p.f, dir_of(st, p.f))) {
        if (run.move && p.place.dir_found())
            return copy_failed("ERROR:   couldn't open \"%s\" for read", p.f->pathname);
        return changed();
    }
    if (run.move)
        return contains(run.moved, p.place.status().id) ? refused("SAME FILE AS MOVED", false) : Act();
    return check_against_kept(st, run, p);
}

bool user_agrees(ScanState& st, const Fnode* fnode)
{
    char question[64];
    snprintf(question, sizeof question, "Do you want to DELETE%s:-", st.save_flag ? " and SAVE" : "");
    return st.ui->Complain(COMPLAIN_OKCANCEL, "twinex", question, fnode->pathname, nullptr) != 0;
}

bool same_state(const FileStatus& a, const FileStatus& b)
{
    return a.is_file && b.is_file && a.size == b.size && a.times.write == b.times.write;
}

// Checked again just before the file goes: in a delete run it must still be
// the file collected and the kept file must be there; in a move, the file
// as it was copied.
bool still_same(ScanState& st, const ActionRun& run, const Pending& p)
{
    FileStatus now;
    if (!st.sys->handle_status(p.place.file(), &now))
        return false;
    if (!run.del)
        return same_state(now, p.before);
    Place kept(*st.sys);   // of the file's own group: the batch may span several
    return !differs_from_record(now, p.f) && kept.open(p.keep, dir_of(st, p.keep));
}

// The outcome of a removal.
Act removed(ScanState& st, int err)
{
    if (err == 0)
        return done(st);
    if (err == ERR_NOT_THE_FILE)
        return changed();
    Act a;
    a.outcome = Outcome::NotDeleted;
    a.why = error_text(err);
    a.fault = true;
    return a;
}

// A delete run without a copy: the file goes at once.
Act remove_now(ScanState& st, const ActionRun& run, Pending& p)
{
    if (!still_same(st, run, p))
        return changed();
    return removed(st, st.sys->remove_file_at(p.place.dir(), p.place.name(), p.place.file()));
}

// The first free copy name in the group's sub-directory: the file's base,
// three digits, its extension; names promised to files of the batch count
// as taken. Empty when there is none.
std::string copy_name(ScanState& st, ActionRun& run, const char* fname)
{
    const char* ext = get_extension(fname);
    size_t base = ext ? size_t(ext - fname) : strlen(fname);
    if (size_t(run.f - run.sinkhole) + base + 1 > size_t(PATH_BUF))
        return std::string();
    memcpy(run.f, fname, base);
    run.f[base] = 0;
    const char* name = tfile(*st.sys, run.sinkhole, ext, nullptr, 3, &run.promised);
    return name ? std::string(name) : std::string();
}

// Drops a copy made for the batch: the original stays.
void drop_copy(ScanState& st, Pending& p)
{
    if (!p.copy)
        return;
    st.sys->remove_file_at(p.dir, p.copy_name.c_str(), p.copy);   // ours: made exclusively
    st.sys->close_handle(p.copy);
    p.copy = nullptr;
}

// Copies the held original into the sinkhole with its times, and checks
// that the copy holds all of it and the original was not written to
// meanwhile; the copy stays open to be flushed with its batch.
Act copy_now(ScanState& st, Pending& p)
{
    const char* path = p.f->pathname;
    st.ui->set_field(PF_COPYING, "COPYING");
    int err = st.sys->copy_to_new(p.place.dir(), p.place.name(), p.place.file(), p.dir, p.copy_name.c_str(),
                                  &p.copy);
    st.ui->set_field(PF_COPYING, "");
    if (err) {
        p.copy = nullptr;
        if (err != EEXIST)   // a name taken meanwhile belongs to someone else
            st.sys->delete_file(p.savename.c_str());
        return copy_failed("ERROR:   can't copy \"%s\" to sinkhole", path);
    }
    FileStatus now, made;
    Act a;
    if (!st.sys->set_file_times(p.copy, p.before.times))
        a = copy_failed("ERROR:   copying \"%s\" to sinkhole, couldn't write its datestamp", path);
    else if (!st.sys->handle_status(p.place.file(), &now) || !same_state(now, p.before))
        a = copy_failed("ERROR:   \"%s\" changed while it was copied", path);
    else if (!st.sys->handle_status(p.copy, &made) || made.size != p.before.size)
        a = copy_failed("ERROR:   copy of \"%s\" in sinkhole is incomplete", path);
    if (a.outcome != Outcome::Kept)
        drop_copy(st, p);
    return a;
}

// A file that leaves for the sinkhole: renamed there when it is on the
// sinkhole's volume, else copied now; its manifest line is written either
// way, and it waits for its batch.
Act save(ScanState& st, ActionRun& run, Pending& p)
{
    const char* path = p.f->pathname;
    p.before = p.place.status();
    p.savename = copy_name(st, run, p.f->fname);
    if (p.savename.empty())
        return copy_failed("ERROR:   Can't obtain sinkhole name for \"%s\"", path);
    p.dir = run.group_dir;
    p.copy_name = p.savename.substr(size_t(run.f - run.sinkhole));
    bool same_volume = p.before.id.known && run.group_id.known && p.before.id.volume == run.group_id.volume;
    p.way = same_volume ? Way::Rename : Way::Copy;
    if (p.way == Way::Copy) {
        Act a = copy_now(st, p);
        if (a.outcome != Outcome::Kept)
            return a;
    }
    char msg[PATH_BUF];
    if (!record_copy(st, path, p.savename, p.before.size, p.before.times, msg)) {
        drop_copy(st, p);
        Act a = copy_failed("%s", msg);
        return a;
    }
    run.promised.insert(p.savename);
    run.batch_bytes += p.way == Way::Copy ? p.before.size : 0;
    run.batch_weight += p.way == Way::Copy ? COPY_WEIGHT : 1;
    Act a;
    a.outcome = Outcome::Pending;
    return a;
}

// A delete run's file for the trash: the shell's Recycle Bin takes it at
// once; for the desktop trash its info file is written and it waits.
Act to_trash(ScanState& st, ActionRun& run, Pending& p)
{
    if (!still_same(st, run, p))
        return changed();
    Act a;
    int err = recycle(*st.sys, p.place, p.f->pathname, &a.why);
    if (err == ENOSYS)
        err = trash_begin(*st.sys, p.place, p.f->pathname, &p.slot, &a.why);
    else if (err == 0 || err == ERR_NOT_THE_FILE)
        return removed(st, err);
    if (err) {
        a.outcome = Outcome::NotDeleted;
        a.fault = true;
        return a;
    }
    p.way = Way::Trash;
    run.batch_weight += COPY_WEIGHT;
    a.outcome = Outcome::Pending;
    return a;
}

// The directories of the batch's copies (and the sinkhole, when it holds new
// sub-directories) on the disk; 0 or an error number.
int flush_dirs(ScanState& st, ActionRun& run)
{
    int err = 0;
    for (DirHandle d : run.dirs)
        if (!err)
            err = st.sys->flush_dir(d);
    if (!err && run.new_dirs)
        err = st.sys->flush_dir(run.sinkhole_dir);
    run.new_dirs = run.new_dirs && err != 0;
    return err;
}

// The batch's copies and their directories on the disk: with one flush of
// the sinkhole's volume where the system can tell it went well, else one
// flush each.
int flush_sinkhole(ScanState& st, ActionRun& run)
{
    run.volume_flushes = st.sys->flush_volume(run.sinkhole_dir) == 0;
    if (run.volume_flushes) {
        run.new_dirs = false;
        run.renamed = false;
        return 0;
    }
    for (auto& p : run.batch) {
        if (p->way == Way::Copy && p->act->outcome == Outcome::Pending && st.sys->flush_handle(p->copy) != 0) {
            drop_copy(st, *p);
            *p->act = copy_failed("ERROR:   can't bring the copy of \"%s\" to the disk", p->f->pathname);
        }
    }
    return flush_dirs(st, run);
}

// Everything the batch's originals wait for, on the disk: the copies, their
// directories, the manifest, the trash's info files. A file whose part
// could not be flushed stays where it is.
void flush_batch(ScanState& st, ActionRun& run)
{
    bool saving = false;
    for (auto& p : run.batch) {
        saving = saving || p->way != Way::Trash;
        if (p->way == Way::Trash && trash_sync(*st.sys, &p->slot, &p->act->why) != 0) {
            p->act->outcome = Outcome::NotDeleted;
            p->act->fault = true;
        }
    }
    // The manifest's lines are handed to the system first, so that the
    // volume's flush takes them along and its own flush finds nothing left.
    if (!saving || (st.sys->flush_file(st.extra.manifest) == 0 && flush_sinkhole(st, run) == 0 &&
                    sync_manifest(st) == 0))
        return;
    for (auto& p : run.batch) {
        if (p->way != Way::Trash && p->act->outcome == Outcome::Pending) {
            drop_copy(st, *p);
            *p->act = copy_failed("ERROR:   can't bring the sinkhole's record of \"%s\" to the disk", p->f->pathname);
        }
    }
}

// A rename refused across volumes after all (two mounts of one file
// system): the file is copied, and the copy flushed on its own.
Act rename_by_copy(ScanState& st, Pending& p)
{
    Act a = copy_now(st, p);
    if (a.outcome != Outcome::Kept)
        return a;
    if (st.sys->flush_handle(p.copy) != 0 || st.sys->flush_dir(p.dir) != 0) {
        drop_copy(st, p);
        return copy_failed("ERROR:   can't bring the copy of \"%s\" to the disk", p.f->pathname);
    }
    return removed(st, st.sys->remove_file_at(p.place.dir(), p.place.name(), p.place.file()));
}

// The last step of one file of the batch, its copy (or info file) on the disk.
Act finish(ScanState& st, const ActionRun& run, Pending& p)
{
    if (!still_same(st, run, p)) {
        drop_copy(st, p);
        return changed();
    }
    const char* name = p.place.name();
    if (p.way == Way::Trash) {
        Act a;
        int err = trash_move(*st.sys, p.place, &p.slot, &a.why);
        trash_end(*st.sys, &p.slot, err == 0);
        if (err == 0 || err == ERR_NOT_THE_FILE)
            return removed(st, err);
        a.outcome = Outcome::NotDeleted;
        a.fault = true;
        return a;
    }
    if (p.way == Way::Copy) {
        Act a = removed(st, st.sys->remove_file_at(p.place.dir(), name, p.place.file()));
        if (a.outcome == Outcome::Refused)
            drop_copy(st, p);   // not the file copied: the copy goes
        return a;
    }
    int err = st.sys->rename_at(p.place.dir(), name, p.place.file(), p.dir, p.copy_name.c_str());
    if (err == EXDEV)
        return rename_by_copy(st, p);
    if (err == EEXIST)
        return copy_failed("ERROR:   can't copy \"%s\" to sinkhole", p.f->pathname);
    return removed(st, err);
}

const Fnode* next_in_group(const ScanState& st, const Fnode* first, const Fnode* f)
{
    const Node* n = f->node.next;
    const Fnode* next = n && n->next ? reinterpret_cast<const Fnode*>(n) : nullptr;
    return next && same_group(first, next, st.i_flag) ? next : nullptr;
}

// The file of the group starting at `first` that stays in a delete run: the
// newest (the first record); with --keep oldest the earliest last-write
// time; with reference roots the newest reference copy, null when there is
// none. Of equal times, the one that comes first in the report.
const Fnode* file_to_keep(const ScanState& st, const ActionRun& run, const Fnode* first)
{
    if (!run.reference && !st.extra.keep_oldest)
        return first;
    const Fnode* keep = run.reference ? nullptr : first;
    for (const Fnode* f = first; f; f = next_in_group(st, first, f)) {
        if (run.reference && is_reference(st, f) && (!keep || f->mtime > keep->mtime))
            keep = f;
        else if (!run.reference && f->mtime < keep->mtime)
            keep = f;
    }
    return keep;
}

void close_dirs(ScanState& st, ActionRun& run, bool keep_group)
{
    for (DirHandle d : run.dirs)
        if (!keep_group || d != run.group_dir)
            st.sys->close_dir(d);
    run.dirs.clear();
    if (keep_group && run.group_dir)
        run.dirs.push_back(run.group_dir);
    if (!keep_group)
        run.group_dir = nullptr;
}

}  // namespace

Act refused(const std::string& why, bool fault)
{
    Act a;
    a.outcome = Outcome::Refused;
    a.why = why;
    a.fault = fault;
    return a;
}

const char* const reference_mark = "REFERENCE";

ActionRun::ActionRun() = default;
ActionRun::~ActionRun() = default;

void begin_run(const ScanState& st, ActionRun& run)
{
    run.move = st.m_flag != 0;
    run.del = !run.move && st.dom_flag == -1;
    run.saving = run.move || (run.del && st.save_flag);
    for (const Node* n = st.dlist.head; n && n->next; n = n->next)
        run.reference = run.reference || reinterpret_cast<const Dnode*>(n)->reference;
}

void end_run(ScanState& st, ActionRun& run)
{
    run.batch.clear();
    close_dirs(st, run, false);
    st.sys->close_dir(run.sinkhole_dir);
    run.sinkhole_dir = nullptr;
}

// The sinkhole and its manifest are made, and their names in the output
// directory brought to the disk, before anything is copied.
bool make_sinkhole(ScanState& st, ActionRun& run, const char* basename)
{
    const char* name = tdir(*st.sys, basename, ".sinkhole", 3);
    st.sinkholename = name ? name : "";
    int err = 0;
    if (!st.sinkholename.empty() && st.sinkholename.size() + 2 <= size_t(PATH_BUF)) {
        snprintf(run.sinkhole, PATH_BUF, "%s%c", st.sinkholename.c_str(), PATH_SEP);
        run.s = run.sinkhole + strlen(run.sinkhole);
        // Held open only once its manifest is made: a sinkhole whose manifest
        // can't be made is removed again, and Windows keeps a held directory.
        if (!start_manifest(st))
            return false;
        run.sinkhole_dir = st.sys->open_dir_path(st.sinkholename.c_str(), nullptr, &err);
        if (!run.sinkhole_dir) {
            close_manifest(st);
            st.sys->delete_file(st.extra.manifest_path.c_str());
        }
    }
    if (!run.sinkhole_dir) {
        if (!st.sinkholename.empty())
            st.sys->remove_directory(st.sinkholename.c_str());
        close_report(st);
        quit_error(st, "Can't create sinkhole");
        return false;
    }
    if (DirHandle out = st.sys->open_dir_path(st.outputname.c_str(), nullptr, &err)) {
        st.sys->flush_dir(out);   // a failure shows again at the first batch's flush
        st.sys->close_dir(out);
    }
    return true;
}

bool make_groupdir(ScanState& st, ActionRun& run, const char* group)
{
    if (run.batch.empty())
        close_dirs(st, run, false);   // earlier groups' directories hold nothing waiting
    size_t len = strlen(group);
    if (size_t(run.s - run.sinkhole) + len + 2 > size_t(PATH_BUF))
        return false;
    memcpy(run.s, group, len);
    run.s[len] = 0;
    int err = st.sys->create_directory(run.sinkhole);
    DirHandle d = err ? nullptr : st.sys->open_dir_path(run.sinkhole, &run.group_id, &err);
    if (!d)
        return false;
    run.group_dir = d;
    run.dirs.push_back(d);
    run.new_dirs = true;
    run.s[len] = PATH_SEP;
    run.s[len + 1] = 0;
    run.f = run.s + len + 1;
    return true;
}

void fail_groupdir(ScanState& st, ActionRun& run, const char* group)
{
    close_report(st);
    std::string dir(run.sinkhole, size_t(run.s - run.sinkhole));
    std::string text = "Can't create sinkhole sub-directory \"" + dir + group + "\"";
    quit_error(st, text.c_str());
}

void begin_group(ScanState& st, ActionRun& run, const Fnode* first)
{
    run.keep = file_to_keep(st, run, first);
    run.moved.clear();
    run.moved_files.clear();
}

bool is_kept(const ActionRun& run, const Fnode* fnode)
{
    return run.del && fnode == run.keep;
}

void act_on_file(ScanState& st, ActionRun& run, const Fnode* fnode, Act* act)
{
    *act = Act();
    if (!run.move && !run.del)
        return;
    if (const char* why = rule_to_keep(st, run, fnode)) {
        *act = refused(why, false);
        return;
    }
    if (is_kept(run, fnode))
        return;
    auto p = std::make_unique<Pending>(*st.sys);
    p->act = act;
    p->f = fnode;
    p->keep = run.keep;
    *act = check_file(st, run, *p);
    if (act->outcome != Outcome::Kept || (st.request_flag && !user_agrees(st, fnode)))
        return;
    if (run.saving)
        *act = save(st, run, *p);
    else if (st.extra.trash)
        *act = to_trash(st, run, *p);
    else
        *act = remove_now(st, run, *p);
    if (act->outcome != Outcome::Pending)
        return;
    if (run.move) {
        run.moved.push_back(p->before.id);
        run.moved_files.push_back(fnode);
    }
    run.batch.push_back(std::move(p));
}

bool batch_full(const ActionRun& run)
{
    return run.batch_weight >= BATCH_WEIGHT || run.batch_bytes >= BATCH_BYTES;
}

void complete_batch(ScanState& st, ActionRun& run)
{
    if (!run.batch.empty()) {
        flush_batch(st, run);
        bool renamed = false;
        for (auto& p : run.batch) {
            if (p->act->outcome != Outcome::Pending)
                continue;
            *p->act = finish(st, run, *p);
            renamed = renamed || (p->way == Way::Rename && p->act->outcome == Outcome::Done);
        }
        // The renamed names reach the disk with the next flush of the
        // volume (the next batch's, or the run's last), else now.
        if (renamed && !run.volume_flushes)
            flush_dirs(st, run);
        run.renamed = run.renamed || (renamed && run.volume_flushes);
    }
    run.batch.clear();
    run.batch_bytes = 0;
    run.batch_weight = 0;
    run.promised.clear();
    close_dirs(st, run, true);
}

void settle_run(ScanState& st, ActionRun& run)
{
    if (run.renamed && st.sys->flush_volume(run.sinkhole_dir) != 0)
        flush_dirs(st, run);
    run.renamed = false;
}

void abandon_batch(ScanState& st, ActionRun& run)
{
    for (auto& p : run.batch)
        if (p->act->outcome == Outcome::Pending)
            *p->act = Act();
    run.batch.clear();
    run.batch_bytes = 0;
    run.batch_weight = 0;
    run.promised.clear();
    (void)st;
}

const char* get_extension(const char* fname)
{
    if (!fname)
        return nullptr;
    for (const char* p = fname + strlen(fname); p > fname;) {
        --p;
        if (*p == '.')
            return p;
    }
    return nullptr;
}
