// The chosen scan roots in dlist: never two equal roots, never a root
// inside another, with paths compared as the file system compares them:
// ignoring letter case where it does (Windows), byte for byte elsewhere.
// Reference roots follow these rules among themselves; a reference root may
// lie inside a root (that part of its tree is reference), never a root
// inside a reference root or on one: which of its files may go would be
// unclear. The console program refuses those (reference_clash); the window
// never lets them come about.
#include "ui/common/roots.h"

#include <cstdlib>
#include <cstring>

#include "match/fold.h"

namespace {

unsigned char fold(unsigned char c)
{
    return PATHS_IGNORE_CASE ? ascii_upper(c) : c;
}

// The first n bytes of a and b agree, as paths of this system.
bool same_prefix(const char* a, const char* b, size_t n)
{
    for (size_t i = 0; i < n; ++i) {
        if (fold(static_cast<unsigned char>(a[i])) != fold(static_cast<unsigned char>(b[i])))
            return false;
        if (!a[i])
            return true;
    }
    return true;
}

bool ends_with_sep(const char* s)
{
    size_t len = strlen(s);
    return len > 0 && s[len - 1] == PATH_SEP;
}

// `path` lies below `root`: it begins with the root followed by the
// separator. A root that already ends with the separator ("/", or a drive
// root kept as "C:\") is not given a second one.
//
// Letter case counts here as in the duplicate test and in the dropping of
// sub-roots, the file system's way: where names ignore case, C:\Data and
// C:\DATA\OLD are the same tree, and letting both be roots would collect
// every file below C:\DATA\OLD twice, so that a delete run would take a file
// for an older copy of itself; where they do not, /data and /DATA/old are
// two trees, and dropping one would leave its files out of the report.
bool is_below(const char* path, const char* root)
{
    size_t len = strlen(root);
    if (!same_prefix(path, root, len))
        return false;
    if (ends_with_sep(root))
        return path[len] != '\0';
    return path[len] == PATH_SEP;
}

void free_root(Dnode* d)
{
    free(d->dname);
    free(d);
}

// A root that `test` finds in the way of a new root of the kind: a new scan
// root meets every root, a new reference root only the reference roots (it
// may lie inside a scan root).
Dnode* find_root(ScanState& st, bool (*test)(const char*, const char*), const char* path, bool reference)
{
    for (Node* n = st.dlist.head; n && n->next; n = n->next) {
        Dnode* d = reinterpret_cast<Dnode*>(n);
        if ((d->reference || !reference) && test(path, d->dname))
            return d;
    }
    return nullptr;
}

bool same_path(const char* path, const char* dname)
{
    return same_name(path, dname, PATHS_IGNORE_CASE ? 1 : 0);
}

}  // namespace

// An empty path names nothing and is refused without a message.
AddRootResult add_root(ScanState& st, const char* path, bool reference)
{
    AddRootResult r = add_root_quiet(st, path, reference);
    if (r == ROOT_ADDED_REPLACING)
        tell_roots_dropped(st, path);
    return r;
}

void tell_roots_dropped(ScanState& st, const char* path)
{
    st.ui->Complain(COMPLAIN_ERROR, "twinex", "Subdirectories of", path, "have been removed from chosen list.");
}

AddRootResult add_root_quiet(ScanState& st, const char* path, bool reference)
{
    if (!path || !*path)
        return ROOT_REFUSED;
    if (find_root(st, same_path, path, reference))
        return ROOT_ALREADY_CHOSEN;
    if (find_root(st, is_below, path, reference)) {
        st.ui->Complain(COMPLAIN_ERROR, "twinex", path, "Not added to chosen list.",
                        "It is a subdirectory of existing choice.");
        return ROOT_REFUSED;
    }
    Dnode* d = static_cast<Dnode*>(calloc(1, sizeof(Dnode)));
    char* name = makestring(path);
    if (!d || !name) {
        st.ui->Complain(COMPLAIN_ERROR, "twinex", "Can't add to chosen list", path, "Maybe not enough memory.");
        free(d);
        free(name);
        return ROOT_NO_MEMORY;
    }
    d->dname = name;
    d->numfiles = 0;
    d->reference = reference;
    bool dropped = drop_roots_below(st, path, reference);
    AddTailNode(&st.dlist, &d->node);
    return dropped ? ROOT_ADDED_REPLACING : ROOT_ADDED;
}

RootClash reference_clash(const char* root, const char* reference)
{
    if (same_path(root, reference))
        return ROOTS_SAME;
    return is_below(root, reference) ? ROOT_IN_REFERENCE : ROOTS_APART;
}

bool drop_roots_below(ScanState& st, const char* parent, bool reference)
{
    if (!parent || !*parent)
        return false;
    bool dropped = false;
    Node* n = st.dlist.head;
    while (n && n->next) {
        Node* next = n->next;
        Dnode* d = reinterpret_cast<Dnode*>(n);
        if (d->reference == reference && is_below(d->dname, parent)) {
            RemoveNode(n);
            free_root(d);
            dropped = true;
        }
        n = next;
    }
    return dropped;
}

bool remove_root(ScanState& st, const char* dname)
{
    if (!dname)
        return false;
    for (Node* n = st.dlist.head; n && n->next; n = n->next) {
        Dnode* d = reinterpret_cast<Dnode*>(n);
        if (strcmp(d->dname, dname) == 0) {
            RemoveNode(n);
            free_root(d);
            return true;
        }
    }
    return false;
}

// No root lies inside a reference root or on one (add_root holds them off),
// so any root may be marked. A reference root inside a root stays marked:
// unmarked, its files would be collected twice, and a delete run would take
// a file for an older copy of itself.
bool may_switch_reference(ScanState& st, const Dnode* d)
{
    return !d->reference || !find_root(st, is_below, d->dname, false);
}

bool switch_reference(ScanState& st, Dnode* d, bool* dropped)
{
    *dropped = false;
    if (!may_switch_reference(st, d))
        return false;
    d->reference = !d->reference;
    *dropped = d->reference && drop_roots_below(st, d->dname, true);
    return true;
}
