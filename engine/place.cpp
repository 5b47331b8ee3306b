// Reaching a collected file again through the directories the walk read.
#include "engine/place.h"

#include <string>
#include <vector>

namespace {

// A directory opened again is the one the walk read only when both
// identities are known and equal: one the walk could not identify cannot be
// told from another put in its place.
bool same_directory(const FileId& now, const DirRec* rec)
{
    return now == rec->id;
}

}  // namespace

// The root is opened by its path as the user gave it, links followed; each
// directory below it by its own name in its parent, a link followed only
// where the walk followed one. Every step is checked against the walk's
// record; the directories above the last are closed on the way.
DirHandle Place::open_chain(const DirRec* rec, const char* path)
{
    std::vector<const DirRec*> steps;   // the root first
    for (const DirRec* r = rec; r; r = r->parent)
        steps.push_back(r);
    DirHandle d = nullptr;
    for (size_t k = steps.size(); k-- > 0;) {
        const DirRec* r = steps[k];
        FileId id;
        DirHandle next;
        if (!r->parent) {
            next = sys_.open_dir_path(std::string(path, r->path_len).c_str(), &id, &err_);
        } else {
            uint32_t from = r->parent->path_len;
            std::string name(path + from, r->path_len - from - 1);   // without its separator
            next = sys_.open_dir_at(d, name.c_str(), r->via_link, &id, &err_);
            sys_.close_dir(d);
        }
        d = next;
        if (d && !same_directory(id, r)) {
            sys_.close_dir(d);
            d = nullptr;
            err_ = 0;
        }
        if (!d)
            return nullptr;
    }
    return d;
}

bool Place::open(const Fnode* f, const DirRec* dir)
{
    close();
    err_ = 0;
    dir_found_ = false;
    if (!dir)
        return false;
    dir_ = open_chain(dir, f->pathname);
    if (!dir_)
        return false;
    dir_found_ = true;
    name_ = f->fname;
    file_ = sys_.open_file_at(dir_, name_, f->via_link, &status_, &err_);
    if (!file_) {
        close();
        return false;
    }
    return true;
}

void Place::close()
{
    if (file_)
        sys_.close_handle(file_);
    if (dir_)
        sys_.close_dir(dir_);
    file_ = nullptr;
    dir_ = nullptr;
    name_ = nullptr;
}

bool differs_from_record(const FileStatus& now, const Fnode* f)
{
    FileId id = record_id(f);
    return !now.is_file || !f->time_known || now.times.write != f->mtime || now.size != f->size ||
           (now.id.known && id.known && !(now.id == id));
}
