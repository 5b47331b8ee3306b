// Reference directories the walk did not enter through a reference root.
#include "engine/reference.h"

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

bool below_reference(ScanState& st, const char* path)
{
    if (st.reference_ids.empty())
        return false;
    FileId id;
    int err = 0;
    DirHandle d = st.sys->open_dir_path(path, &id, &err);
    for (int steps = 0; d; ++steps) {
        if (steps == MAX_DEPTH) {   // no top in sight: nothing below is touched
            st.sys->close_dir(d);
            return true;
        }
        if (is_reference_id(st, id)) {
            st.sys->close_dir(d);
            return true;
        }
        FileId up;
        DirHandle parent = st.sys->open_dir_at(d, "..", true, &up, &err);
        st.sys->close_dir(d);
        if (parent && up == id) {   // the top of the file system
            st.sys->close_dir(parent);
            return false;
        }
        d = parent;
        id = up;
    }
    return err != ENOSYS;
}
