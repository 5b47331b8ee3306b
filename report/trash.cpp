// The desktop trash of the freedesktop.org standard, for systems whose
// shell keeps no trash of its own. A file on the file system of the home
// trash ($XDG_DATA_HOME/Trash, by default ~/.local/share/Trash) goes there;
// any other file goes to .Trash-UID at the top of its own file system. The
// info file that records its place and deletion date is written first,
// under a name taken exclusively; only then is the file moved, by a rename
// that never replaces anything. Whatever fails leaves the file in place.
#include "report/trash.h"

#include <cerrno>
#include <cstdio>
#include <cstring>

namespace {

std::string parent_of(const std::string& path)
{
    size_t cut = path.find_last_of(PATH_SEP);
    if (cut == std::string::npos)
        return std::string();
    return cut == 0 ? path.substr(0, 1) : path.substr(0, cut);
}

std::string join(const std::string& dir, const std::string& name)
{
    return (!dir.empty() && dir.back() == PATH_SEP) ? dir + name : dir + PATH_SEP + name;
}

std::string home_trash(Platform& sys)
{
    std::string data = sys.get_env("XDG_DATA_HOME");
    if (data.empty() || data[0] != PATH_SEP) {
        std::string home = sys.get_env("HOME");
        if (home.empty())
            return std::string();
        data = join(join(home, ".local"), "share");
    }
    return join(data, "Trash");
}

// The volume of `path`, or of its nearest existing parent.
FileId volume_of(Platform& sys, std::string path)
{
    for (; !path.empty(); path = parent_of(path)) {
        FileId id = sys.identity(path.c_str());
        if (id.known || path.size() == 1)
            return id;
    }
    return FileId();
}

// The top directory of the file system that holds `path`.
std::string top_dir(Platform& sys, const std::string& path, uint64_t volume)
{
    std::string dir = parent_of(path);
    for (;;) {
        std::string up = parent_of(dir);
        if (up.empty() || up == dir)
            return dir;
        FileId id = sys.identity(up.c_str());
        if (!id.known || id.volume != volume)
            return dir;
        dir = up;
    }
}

struct Trash {
    std::string dir;        // the trash directory (holding files/ and info/)
    std::string rel_base;   // Path= is relative to this top directory; empty: absolute
};

int choose_trash(Platform& sys, const Place& place, const char* path, Trash* t)
{
    FileId file = place.status().id;
    if (!file.known)
        return ENOENT;
    std::string home = home_trash(sys);
    FileId home_vol = home.empty() ? FileId() : volume_of(sys, home);
    if (home_vol.known && home_vol.volume == file.volume) {
        t->dir = home;
        return 0;
    }
    std::string top = top_dir(sys, path, file.volume);
    t->dir = join(top, ".Trash-" + std::to_string(sys.user_id()));
    t->rel_base = top;
    return 0;
}

std::string info_text(Platform& sys, const std::string& path, const Trash& t)
{
    std::string shown = path;
    if (!t.rel_base.empty()) {
        size_t skip = t.rel_base.size() + (t.rel_base.back() == PATH_SEP ? 0 : 1);
        shown = path.substr(skip);
    }
    return "[Trash Info]\nPath=" + percent_encoded(shown) + "\nDeletionDate=" +
           iso_time_text(sys.now(), false) + "\n";
}

// The trash directory and its files/ and info/, made for the user alone
// where they are missing (what exists is left as it is).
int make_trash_dirs(Platform& sys, const Trash& t)
{
    int err = make_directories(sys, parent_of(t.dir));
    for (const std::string& d : {t.dir, join(t.dir, "files"), join(t.dir, "info")}) {
        FileStatus st;
        if (err || (sys.stat(d.c_str(), &st) && st.is_directory))
            continue;
        err = sys.create_private_directory(d.c_str());
        if (err == EEXIST)
            err = 0;
    }
    return err;
}

// The name in the trash: the file's own, or with ".2", ".3" ... when taken.
std::string trash_name(const std::string& base, int k)
{
    return k == 1 ? base : base + "." + std::to_string(k);
}

// Writes the info text into the slot's new info file, not yet flushed to
// the disk; 0 or an error number.
int write_info(Platform& sys, TrashSlot* slot, const std::string& text)
{
    int err = sys.write_file(slot->info, text.data(), text.size());
    return err ? err : sys.flush_file(slot->info);
}

// Takes the first free name in files/ and info/ for `base` and writes the
// info file under it.
int take_name(Platform& sys, const std::string& info, const std::string& base, const std::string& text,
              TrashSlot* slot, std::string* why)
{
    for (int k = 1; k <= 1000; ++k) {
        std::string name = trash_name(base, k);
        FileStatus taken;
        int err = 0;
        if (sys.stat(join(slot->files_path, name).c_str(), &taken))
            continue;
        slot->info_path = join(info, name + ".trashinfo");
        slot->info = sys.create_new_file(slot->info_path.c_str(), &err);
        if (!slot->info && err == EEXIST)
            continue;
        slot->made = slot->info != nullptr;
        if (slot->info)
            err = write_info(sys, slot, text);
        if (err) {
            *why = "CAN'T WRITE TRASH INFO: " + error_text(err);
            return err;
        }
        slot->name = name;
        return 0;
    }
    *why = "NO FREE NAME IN TRASH";
    return EEXIST;
}

}  // namespace

std::string percent_encoded(const std::string& path)
{
    static const char hex[] = "0123456789ABCDEF";
    std::string out;
    for (unsigned char c : path) {
        bool plain = (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') || c == '-' ||
                     c == '.' || c == '_' || c == '~' || c == '/';
        if (plain) {
            out += char(c);
        } else {
            out += '%';
            out += hex[c >> 4];
            out += hex[c & 15];
        }
    }
    return out;
}

int make_directories(Platform& sys, const std::string& dir)
{
    FileStatus st;
    if (dir.empty() || (sys.stat(dir.c_str(), &st) && st.is_directory))
        return 0;
    size_t cut = dir.find_last_of(PATH_SEP);
    int err = cut == std::string::npos || cut == 0 ? 0 : make_directories(sys, dir.substr(0, cut));
    if (err)
        return err;
    err = sys.create_directory(dir.c_str());
    return err == EEXIST ? 0 : err;
}

int recycle(Platform& sys, const Place& place, const char* path, std::string* why)
{
    int err = sys.recycle_file(place.dir(), place.name(), place.file(), path);
    if (err && err != ENOSYS)
        *why = err == ENOTSUP ? "NO RECYCLE BIN ON THIS DRIVE" : "CAN'T MOVE TO TRASH: " + error_text(err);
    return err;
}

int trash_begin(Platform& sys, const Place& place, const char* path, TrashSlot* slot, std::string* why)
{
    Trash t;
    int err = choose_trash(sys, place, path, &t);
    if (err) {
        *why = "CAN'T MOVE TO TRASH: " + error_text(err);
        return err;
    }
    std::string info = join(t.dir, "info");
    slot->files_path = join(t.dir, "files");
    err = make_trash_dirs(sys, t);
    if (!err)
        slot->info_dir = sys.open_dir_path(info.c_str(), nullptr, &err);
    if (!err)
        slot->files = sys.open_dir_path(slot->files_path.c_str(), nullptr, &err);
    if (err) {
        *why = "CAN'T MAKE TRASH " + t.dir + ": " + error_text(err);
    } else {
        std::string base = path;
        base = base.substr(base.find_last_of(PATH_SEP) + 1);
        err = take_name(sys, info, base, info_text(sys, path, t), slot, why);
    }
    if (err)
        trash_end(sys, slot, false);
    return err;
}

int trash_sync(Platform& sys, TrashSlot* slot, std::string* why)
{
    int err = sys.sync_stream(slot->info);
    int cerr = sys.close_file(slot->info);
    slot->info = nullptr;
    if (!err)
        err = cerr;
    if (!err)
        err = sys.flush_dir(slot->info_dir);
    if (err)
        *why = "CAN'T WRITE TRASH INFO: " + error_text(err);
    return err;
}

int trash_move(Platform& sys, const Place& place, TrashSlot* slot, std::string* why)
{
    int err = sys.rename_at(place.dir(), place.name(), place.file(), slot->files, slot->name.c_str());
    if (err)
        *why = err == EEXIST ? "NO FREE NAME IN TRASH" : "CAN'T MOVE TO TRASH: " + error_text(err);
    return err;
}

void trash_end(Platform& sys, TrashSlot* slot, bool moved)
{
    if (slot->info)
        sys.close_file(slot->info);
    if (!moved && slot->made)
        sys.delete_file(slot->info_path.c_str());   // made exclusively: ours
    sys.close_dir(slot->info_dir);
    sys.close_dir(slot->files);
    *slot = TrashSlot();
}
