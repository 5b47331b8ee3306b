// The scan state: start values, the protected directories, and the small
// helpers that make and release the scan records.
#include "engine/state.h"

#include <cstdlib>
#include <cstring>
#include <new>

#include "match/fold.h"

const char* const windir_txt = "WINDIR";
const char* const systemroot_txt = "SYSTEMROOT";
const char* const programfiles_txt = "PROGRAMFILES";

const char* const version_banner = "$VER: twinex 1.03 (6.12.2026) by the twinex developers";

const char* banner_text()
{
    return version_banner + 6;  // without "$VER: "
}

ScanState::ScanState(Platform& platform, Feedback& feedback) : sys(&platform), ui(&feedback)
{
    InitListHeader(&flist);
    InitListHeader(&dlist);
}

ScanState::~ScanState()
{
    cleanup(*this);
}

void read_protected_dirs(ScanState& st)
{
    st.windir = st.sys->get_env(windir_txt);
    st.systemroot = st.sys->get_env(systemroot_txt);
    st.programfiles = st.sys->get_env(programfiles_txt);
}

char* makestring(const char* str)
{
    if (!str || !*str)
        return nullptr;
    size_t len = strlen(str) + 1;
    char* copy = static_cast<char*>(malloc(len));
    if (copy)
        memcpy(copy, str, len);
    return copy;
}

Fnode* new_fnode(const char* path, size_t name_pos, const char* key)
{
    size_t len = strlen(path) + 1;
    size_t key_len = key ? strlen(key) + 1 : 0;
    void* block = malloc(sizeof(Fnode) + len + key_len);
    if (!block)
        return nullptr;
    Fnode* f = new (block) Fnode();
    f->pathname = reinterpret_cast<char*>(f + 1);
    memcpy(f->pathname, path, len);
    f->fname = f->pathname + name_pos;
    if (key) {
        memcpy(f->pathname + len, key, key_len);
        f->own_key = true;
    }
    return f;
}

void free_fnode(Fnode* f)
{
    free(f);
}

void keep_status(Fnode* f, const FileStatus& fs)
{
    f->mtime = fs.times.write;
    f->created = fs.times.creation;
    f->accessed = fs.times.access;
    f->creation_known = fs.times.creation_known;
    f->size = fs.size;
    f->id_volume = fs.id.volume;
    f->id_index = fs.id.index;
    f->id_known = fs.id.known;
    f->time_known = true;
}

FileStatus record_status(const Fnode* f)
{
    FileStatus fs;
    fs.is_file = true;
    fs.size = f->size;
    fs.times.write = f->mtime;
    fs.times.creation = f->created;
    fs.times.access = f->accessed;
    fs.times.creation_known = f->creation_known;
    fs.id.volume = f->id_volume;
    fs.id.index = f->id_index;
    fs.id.known = f->id_known;
    return fs;
}

// Unlinks and frees every file record; the successor is read before the
// record goes.
static void free_files(ListHeader* list)
{
    Node* n = list->head;
    while (n && n->next) {
        Node* next = n->next;
        Fnode* f = reinterpret_cast<Fnode*>(n);
        RemoveNode(n);
        free_fnode(f);
        n = next;
    }
}

static void free_roots(ListHeader* list)
{
    Node* n = list->head;
    while (n && n->next) {
        Node* next = n->next;
        Dnode* d = reinterpret_cast<Dnode*>(n);
        RemoveNode(n);
        free(d->dname);
        free(d);
        n = next;
    }
}

// The collection's index goes first: with it the threads still reading
// statuses into the records end, before any record is freed.
void cleanup(ScanState& st)
{
    if (st.index && st.index_free) {
        st.index_free(st.index);
        st.index = nullptr;
    }
    free_files(&st.flist);
    free_roots(&st.dlist);
    std::deque<DirRec>().swap(st.dirs);
    st.reference_ids.clear();
    if (st.pattern) {
        free(st.pattern);
        st.pattern = nullptr;
    }
}

int isfile(ScanState& st, const char* fname)
{
    FileStatus s;
    return fname && st.sys->stat(fname, &s) && s.is_file ? 1 : 0;
}

int isdirectory(ScanState& st, const char* pathname)
{
    FileStatus s;
    return pathname && st.sys->stat(pathname, &s) && s.is_directory ? 1 : 0;
}

bool same_name(const char* a, const char* b, int i_flag)
{
    if (!i_flag)
        return strcmp(a, b) == 0;
    // Equal bytes need no folding: most names compared are copies of one
    // another, byte for byte.
    const unsigned char* p = reinterpret_cast<const unsigned char*>(a);
    const unsigned char* q = reinterpret_cast<const unsigned char*>(b);
    for (;; ++p, ++q) {
        if (*p == *q) {
            if (!*p)
                return true;
        } else if (ascii_upper(*p) != ascii_upper(*q)) {
            return false;
        }
    }
}

int close_report(ScanState& st)
{
    FILE* fp = st.report;
    st.report = nullptr;
    return fp ? st.sys->close_file(fp) : 0;
}

void quit_error(ScanState& st, const char* msg)
{
    st.ui->show_fatal(msg);
    st.abort_flag = 1;
    st.fatal = true;
    st.ui->end_program();
}

void quit_out_of_memory(ScanState& st)
{
    close_report(st);   // the error, if any, is not news next to this one
    quit_error(st, "OUT OF MEMORY");
}
