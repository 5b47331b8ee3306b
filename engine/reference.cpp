// Reference directories the walk did not enter through a reference root.
#include "engine/reference.h"

#include <cerrno>
#include <string>

namespace {

// Deeper than any path a scan can hold (PATH_BUF bytes, two per step).
constexpr int MAX_DEPTH = PATH_BUF / 2;

bool is_reference_id(const ScanState& st, const FileId& id)
{
    for (const FileId& r : st.reference_ids)
        if (r == id)
            return true;
    return false;
}

// One step up from `d`, whose path is `*path`: through "..", from the
// directory itself, where the file system keeps it so; where paths are
// resolved as text (Windows), to the directory above in the path.
DirHandle up(ScanState& st, DirHandle d, std::string* path, FileId* id, int* err)
{
    if (PATH_SEP == '/')
        return st.sys->open_dir_at(d, "..", true, id, err);
    size_t end = path->size();
    while (end > 0 && (*path)[end - 1] == PATH_SEP)
        --end;
    size_t cut = path->find_last_of(PATH_SEP, end ? end - 1 : 0);
    if (cut != std::string::npos)   // the top ("C:\") stays itself
        path->resize(cut + 1);
    return st.sys->open_dir_path(path->c_str(), id, err);
}

}  // namespace

int below_reference(ScanState& st, const char* path)
{
    if (st.reference_ids.empty())
        return 0;
    FileId id;
    int err = 0;
    std::string where = path;
    DirHandle d = st.sys->open_dir_path(path, &id, &err);
    for (int steps = 0; d; ++steps) {
        if (steps == MAX_DEPTH) {   // no top in sight
            st.sys->close_dir(d);
            errno = ELOOP;
            return -1;
        }
        if (is_reference_id(st, id)) {
            st.sys->close_dir(d);
            return 1;
        }
        FileId above;
        DirHandle parent = up(st, d, &where, &above, &err);
        st.sys->close_dir(d);
        if (parent && above == id) {   // the top of the file system
            st.sys->close_dir(parent);
            return 0;
        }
        d = parent;
        id = above;
    }
    errno = err;
    return err == ENOSYS ? 0 : -1;
}
