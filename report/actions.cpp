// The actions on the groups: moving every file into the sinkhole, or
// deleting all but the newest file of each name, optionally asking first and
// optionally saving a copy. A file is removed only when everything the user
// asked to keep of it is in place; whatever goes wrong leaves it where it is.
#include "report/actions.h"

#include <cerrno>
#include <cstdio>
#include <cstring>

#include "engine/collect.h"
#include "report/content.h"
#include "report/manifest.h"
#include "report/tfile.h"
#include "report/trash.h"

namespace {

bool contains(const std::vector<FileId>& ids, const FileId& id)
{
    for (const FileId& other : ids)
        if (other == id)
            return true;
    return false;
}

// The identity a record had when its group was reached.
FileId id_at(const ActionRun& run, size_t k)
{
    return k < run.ids.size() ? run.ids[k] : FileId();
}

// The file as it is now is not the one collected: another last-write time,
// another size, or (where the status query tells it) another identity. A
// rewrite that keeps both the size and the time goes unseen.
bool differs(const FileStatus& now, const Fnode* fnode)
{
    return !now.is_file || !fnode->time_known || now.times.write != fnode->mtime || now.size != fnode->size ||
           (now.id.known && fnode->id.known && !(now.id == fnode->id));
}

// In a delete run an older copy is removed only while it is still the file
// that was collected and the kept file still exists.
bool changed_since_scan(ScanState& st, const ActionRun& run, const Fnode* fnode)
{
    FileStatus now;
    if (!st.sys->stat(fnode->pathname, &now) || differs(now, fnode))
        return true;
    FileStatus kept;
    return !run.first || !st.sys->stat(run.first->pathname, &kept) || !kept.is_file;
}

bool user_agrees(ScanState& st, const Fnode* fnode)
{
    char question[64];
    snprintf(question, sizeof question, "Do you want to DELETE%s:-", st.save_flag ? " and SAVE" : "");
    return st.ui->Complain(COMPLAIN_OKCANCEL, "twinex", question, fnode->pathname, nullptr) != 0;
}

bool same_path(const Fnode* a, const Fnode* b)
{
    return a && b && strcmp(a->pathname, b->pathname) == 0;
}

bool moved_before(const ActionRun& run, const Fnode* fnode, const FileId& id)
{
    if (contains(run.moved, id))
        return true;
    for (const Fnode* m : run.moved_files)
        if (same_path(m, fnode))
            return true;
    return false;
}

// Why a file must be left alone before anything is asked or copied; null
// when it may be acted on. A delete run removes an older copy only when it
// is known to be another file than the kept one: when either identity is
// unknown, the two paths might be one file, and the copy stays.
const char* reason_to_keep(ScanState& st, const ActionRun& run, const Fnode* fnode, const FileId& id)
{
    if (const char* dir = is_protected(st, fnode->pathname))
        return dir;
    if (run.del && (same_path(fnode, run.first) || id == id_at(run, 0)))
        return "SAME FILE AS KEPT";
    if (run.move && moved_before(run, fnode, id))
        return "SAME FILE AS MOVED";
    if (run.del && changed_since_scan(st, run, fnode))
        return "FILE CHANGED SINCE SCAN";
    if (run.del && (!id.known || !id_at(run, 0).known))
        return "CAN'T TELL IT FROM THE KEPT FILE";
    return nullptr;
}

void remove_copy(ScanState& st, const std::string& savename)
{
    st.sys->delete_file(savename.c_str());   // result not needed: the original is untouched
}

// Reads the three times of the file; false with the text in `msg`.
bool read_times(ScanState& st, const char* path, FileTimes* t, char* msg)
{
    int err = 0;
    FileHandle h = st.sys->open_for_times(path, false, &err);
    if (!h) {
        snprintf(msg, PATH_BUF, "ERROR:   couldn't open \"%s\" for read", path);
        return false;
    }
    bool ok = st.sys->get_file_times(h, t);
    st.sys->close_handle(h);
    if (!ok)
        snprintf(msg, PATH_BUF, "ERROR:   couldn't get datestamps from \"%s\"", path);
    return ok;
}

// The first free copy name in the group's sub-directory: the file's base,
// three digits, its extension. Empty when there is none.
std::string copy_name(ScanState& st, const char* fname, char* sinkhole, char* f)
{
    const char* ext = get_extension(fname);
    size_t base = ext ? size_t(ext - fname) : strlen(fname);
    if (size_t(f - sinkhole) + base + 1 > size_t(PATH_BUF))
        return std::string();
    memcpy(f, fname, base);
    f[base] = 0;
    const char* name = tfile(*st.sys, sinkhole, ext, nullptr, 3);
    return name ? std::string(name) : std::string();
}

// Gives the copy the original's times; false with the text in `msg`.
bool write_times(ScanState& st, const char* path, const std::string& savename, const FileTimes& t, char* msg)
{
    int err = 0;
    FileHandle h = st.sys->open_for_times(savename.c_str(), true, &err);
    if (!h) {
        snprintf(msg, PATH_BUF, "ERROR:   Can't open \"%s\" to write its datestamp", savename.c_str());
        return false;
    }
    bool ok = st.sys->set_file_times(h, t);
    st.sys->close_handle(h);
    if (!ok)
        snprintf(msg, PATH_BUF, "ERROR:   copying \"%s\" to sinkhole, couldn't write its datestamp", path);
    return ok;
}

// The copy must hold every byte of the original as it is now, and the
// original must not have been written to while it was copied.
bool copy_is_complete(ScanState& st, const char* path, const std::string& savename, const FileTimes& t,
                      char* msg)
{
    FileStatus orig, copy;
    if (!st.sys->stat(path, &orig) || !orig.is_file || orig.times.write != t.write) {
        snprintf(msg, PATH_BUF, "ERROR:   \"%s\" changed while it was copied", path);
        return false;
    }
    if (!st.sys->stat(savename.c_str(), &copy) || !copy.is_file || copy.size != orig.size) {
        snprintf(msg, PATH_BUF, "ERROR:   copy of \"%s\" in sinkhole is incomplete", path);
        return false;
    }
    return true;
}

}  // namespace

void begin_run(const ScanState& st, ActionRun& run)
{
    run.move = st.m_flag != 0;
    run.del = !run.move && st.dom_flag == -1;
    run.saving = run.move || (run.del && st.save_flag);
}

bool make_sinkhole(ScanState& st, ActionRun& run, const char* basename)
{
    const char* name = tdir(*st.sys, basename, ".sinkhole", 3);
    st.sinkholename = name ? name : "";
    if (st.sinkholename.empty() || st.sinkholename.size() + 2 > size_t(PATH_BUF)) {
        close_report(st);
        quit_error(st, "Can't create sinkhole");
        return false;
    }
    snprintf(run.sinkhole, PATH_BUF, "%s%c", st.sinkholename.c_str(), PATH_SEP);
    run.s = run.sinkhole + strlen(run.sinkhole);
    return start_manifest(st);
}

bool make_groupdir(ScanState& st, ActionRun& run, const char* group)
{
    size_t len = strlen(group);
    bool fits = size_t(run.s - run.sinkhole) + len + 2 <= size_t(PATH_BUF);
    std::string dir(run.sinkhole, size_t(run.s - run.sinkhole));
    dir += group;
    if (!fits || st.sys->create_directory(dir.c_str()) != 0) {
        close_report(st);
        std::string text = "Can't create sinkhole sub-directory \"" + dir + "\"";
        quit_error(st, text.c_str());
        return false;
    }
    memcpy(run.s, group, len);
    run.s[len] = PATH_SEP;
    run.s[len + 1] = 0;
    run.f = run.s + len + 1;
    return true;
}

void begin_group(ScanState& st, ActionRun& run, const Fnode* first)
{
    run.first = first;
    run.ids.clear();
    run.moved.clear();
    run.moved_files.clear();
    if (!run.move && !run.del)
        return;
    for (const Node* n = &first->node; n && n->next; n = n->next) {
        const Fnode* f = reinterpret_cast<const Fnode*>(n);
        if (!same_group(first, f, st.i_flag))
            break;
        run.ids.push_back(st.sys->identity(f->pathname));
    }
}

Outcome act_on_file(ScanState& st, ActionRun& run, const Fnode* fnode, int matches)
{
    run.why.clear();
    if ((!run.move && !run.del) || matches == 0)
        return Outcome::Kept;
    FileId id = id_at(run, size_t(run.move ? matches - 1 : matches));
    if (const char* why = reason_to_keep(st, run, fnode, id)) {
        run.why = why;
        return Outcome::Refused;
    }
    if (run.del && st.extra.same_content && !same_content_as_kept(st, run, fnode))
        return Outcome::Refused;
    if (st.request_flag && !user_agrees(st, fnode))
        return Outcome::Kept;
    if (run.saving) {
        if (!move2sinkhole(st, fnode, run.sinkhole, run.f, run.msg))
            return Outcome::CopyFailed;
        if (run.move) {
            run.moved.push_back(id);
            run.moved_files.push_back(fnode);
        }
    }
    if (run.del && changed_since_scan(st, run, fnode)) {   // the user may have taken a while
        run.why = "FILE CHANGED SINCE SCAN";
        return Outcome::Refused;
    }
    int err = run.del && st.extra.trash ? trash_file(*st.sys, fnode->pathname, &run.why)
                                        : st.sys->delete_file(fnode->pathname);
    if (err) {
        if (run.why.empty())
            run.why = error_text(err);
        return Outcome::NotDeleted;
    }
    ++st.numdeleted;
    return Outcome::Done;
}

int move2sinkhole(ScanState& st, const Fnode* fnode, char* sinkhole, char* f, char* msg)
{
    const char* path = fnode->pathname;
    FileTimes t;
    if (!read_times(st, path, &t, msg))
        return 0;
    std::string savename = copy_name(st, fnode->fname, sinkhole, f);
    if (savename.empty()) {
        snprintf(msg, PATH_BUF, "ERROR:   Can't obtain sinkhole name for \"%s\"", path);
        return 0;
    }
    st.ui->set_field(PF_COPYING, "COPYING");
    int err = st.sys->copy_file_new(path, savename.c_str());
    st.ui->set_field(PF_COPYING, "");
    if (err) {
        snprintf(msg, PATH_BUF, "ERROR:   can't copy \"%s\" to sinkhole", path);
        if (err != EEXIST)   // a name taken meanwhile belongs to someone else
            remove_copy(st, savename);
        return 0;
    }
    if (!write_times(st, path, savename, t, msg) || !copy_is_complete(st, path, savename, t, msg) ||
        !record_copy(st, path, savename, t, msg)) {
        remove_copy(st, savename);
        return 0;
    }
    return 1;
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
