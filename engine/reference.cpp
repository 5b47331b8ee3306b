// Reference directories the walk did not enter through a reference root.
#include "engine/reference.h"

#include <cerrno>

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

}  // namespace

int below_reference(ScanState& st, const char* path)
{
    if (st.reference_ids.empty())
        return 0;
    FileId id;
    int err = 0;
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
        FileId up;
        DirHandle parent = st.sys->open_dir_at(d, "..", true, &up, &err);
        st.sys->close_dir(d);
        if (parent && up == id) {   // the top of the file system
            st.sys->close_dir(parent);
            return 0;
        }
        d = parent;
        id = up;
    }
    errno = err;
    return err == ENOSYS ? 0 : -1;
}
