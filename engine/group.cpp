// Same-name grouping: after collection every name stands together in flist,
// its newest file first. This pass drops the names met only once, numbers
// the members of each remaining group and counts the groups. It also drops
// a group made only of reference copies (there is nothing to act on), and
// with --across-roots one whose files all lie under one root.
#include <cstdio>
#include <cstdlib>
#include <new>

#include "engine/group.h"
#include "engine/name_index.h"

namespace {

// The same-name count is shown after every this many groups, and exactly
// at the end of the pass.
constexpr int32_t COUNT_STRIDE = 64;

// Records of a group compared one with another, up to this many followers.
constexpr int32_t SMALL_GROUP = 32;

void show_groups(ScanState& st)
{
    char text[32];
    snprintf(text, sizeof text, "%ld", long(st.numdups));
    st.ui->set_field(PF_PROCESS_COUNT, text);
}

Fnode* as_file(Node* n)
{
    return (n && n->next) ? reinterpret_cast<Fnode*>(n) : nullptr;
}

// Numbers the followers of `first` in its group; returns how many
// there are, or -1 when the scan was aborted. `*after` gets the node after
// the group.
int32_t number_followers(ScanState& st, Fnode* first, Node** after)
{
    int32_t matches = 0;
    *after = first->node.next;
    for (Fnode* f = as_file(first->node.next); f; f = as_file(f->node.next)) {
        if (st.abort_flag)
            return -1;
        if (!same_group(first, f, st.i_flag))
            break;
        f->num = ++matches;
        *after = f->node.next;
    }
    return matches;
}

// The root a record was found under (null: in a list).
const Dnode* root_of(const ScanState& st, const Fnode* f)
{
    const DirRec* d = dir_of(st, f);
    return d ? d->root : nullptr;
}

// A group the report leaves out: all its files are reference copies, or,
// with --across-roots, they lie under one root.
bool left_out(const ScanState& st, Fnode* first, Node* after)
{
    bool all_reference = true, one_root = true;
    for (Node* n = &first->node; n != after; n = n->next) {
        const Fnode* f = reinterpret_cast<const Fnode*>(n);
        all_reference = all_reference && is_reference(st, f);
        one_root = one_root && root_of(st, f) == root_of(st, first);
    }
    return all_reference || (st.extra.across_roots && one_root);
}

// A listed record (--files-from) whose file a record before it in the group
// is: listed twice, or under two paths. Only records of one name can be one
// file, so only a group's records are compared: one with another in a small
// group, through a set of identities in a large one.
bool listed_twice(const ScanState& st, const Fnode* first, const Fnode* f, IdSet* seen)
{
    if (!f->id_known)
        return false;
    if (seen->slots) {
        int added = seen->insert(record_id(f));
        if (added < 0)
            throw std::bad_alloc();
        return added == 0 && !root_of(st, f);
    }
    if (root_of(st, f))
        return false;
    for (const Node* n = &first->node; n != &f->node; n = n->next)
        if (record_id(reinterpret_cast<const Fnode*>(n)) == record_id(f))
            return true;
    return false;
}

// Takes each file of the group once: a file listed twice goes, uncounted.
// True when any went.
bool drop_listed_twice(ScanState& st, Fnode* first, Node* after, int32_t followers)
{
    IdSet seen{};
    if (followers > SMALL_GROUP && !seen.init())
        throw std::bad_alloc();
    bool dropped = false;
    for (Node* n = &first->node; n != after;) {
        Node* next = n->next;
        Fnode* f = reinterpret_cast<Fnode*>(n);
        if (listed_twice(st, first, f, &seen)) {
            RemoveNode(n);
            free_fnode(f);
            --st.numlisted;
            --st.numfiles;
            st.numpats -= st.pattern ? 1 : 0;
            dropped = true;
        }
        n = next;
    }
    seen.release();
    return dropped;
}

// Unlinks and frees the records from `first` up to `after`.
void drop(Fnode* first, Node* after)
{
    for (Node* n = &first->node; n != after;) {
        Node* next = n->next;
        RemoveNode(n);
        free_fnode(reinterpret_cast<Fnode*>(n));
        n = next;
    }
}

}  // namespace

void process_files(ScanState& st)
{
    free_name_index(st);   // the groups are final; the index only served collection
    bool shown = true;
    for (Fnode* f = as_file(FirstNode(&st.flist)); f;) {
        if (st.abort_flag)
            break;
        Node* after = nullptr;
        int32_t matches = number_followers(st, f, &after);
        if (matches > 0 && st.extra.list && drop_listed_twice(st, f, after, matches))
            matches = number_followers(st, f, &after);
        if (matches < 0)
            break;
        if (matches > 0 && !left_out(st, f, after)) {
            ++st.numdups;
            shown = st.numdups % COUNT_STRIDE == 0;
            if (shown)
                show_groups(st);
        } else {
            drop(f, after);
        }
        f = as_file(after);
    }
    if (!shown)
        show_groups(st);
}
