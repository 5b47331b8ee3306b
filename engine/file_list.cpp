// The files of a list (--files-from), taken as a walk takes its own.
#include "engine/file_list.h"

#include <cerrno>
#include <cstring>
#include <memory>
#include <new>
#include <string>
#include <unordered_map>
#include <vector>

#include "engine/collect.h"
#include "engine/exclude.h"
#include "engine/name_index.h"
#include "engine/reference.h"

namespace {

// Directories held open at once, at most.
constexpr size_t MAX_HELD = 64;

bool is_sep(char c)
{
    return c == PATH_SEP || c == '/';
}

// A path that is absolute and already in the form a root is given: no "."
// or ".." step, no doubled or trailing separator (and on Windows a drive and
// backslashes only), so that it needs no more work.
bool plain_absolute(const std::string& p)
{
#ifdef _WIN32
    if (p.size() < 4 || p[1] != ':' || p[2] != '\\' || p.find('/') != std::string::npos)
        return false;
    size_t from = 2;
#else
    if (p.size() < 2 || p[0] != '/')
        return false;
    size_t from = 0;
#endif
    for (size_t i = from; i < p.size(); ++i) {
        if (p[i] != PATH_SEP)
            continue;
        size_t dots = 0;
        while (i + 1 + dots < p.size() && p[i + 1 + dots] == '.')
            ++dots;
        size_t end = i + 1 + dots;
        if (end == p.size() || (p[end] == PATH_SEP && dots <= 2))
            return false;
    }
    return true;
}

// A relative path that the current directory before it makes plain.
bool plain_relative(const std::string& p)
{
    return !is_sep(p[0]) && (PATH_SEP == '/' || p.find(':') == std::string::npos);
}

class FileList : public NamedFiles {
public:
    explicit FileList(ScanState& st) : st_(st), in_(st.extra.list), end_(st.extra.list_nul ? '\0' : '\n')
    {
        cwd_ = console_full_path(".");
    }
    ~FileList() override
    {
        while (!held_.empty())
            let_go();
    }
    FileList(const FileList&) = delete;
    FileList& operator=(const FileList&) = delete;

    bool next(NamedFile* out) override
    {
        while (!st_.abort_flag && read_entry()) {
            if (take(out))
                return true;
        }
        return false;
    }

private:
    // The next entry of the list into entry_; false at its end, or after a
    // read that failed (told as a refused entry).
    bool read_entry()
    {
        entry_.clear();
        for (;;) {
            if (at_ == len_) {
                if (!in_ || std::feof(in_))
                    return !entry_.empty();
                len_ = std::fread(buf_, 1, sizeof buf_, in_);
                at_ = 0;
                if (len_ == 0 && std::ferror(in_)) {
                    refuse(st_.extra.list_name.c_str(), error_text(errno ? errno : EIO).c_str());
                    in_ = nullptr;
                    return false;
                }
                continue;
            }
            const char* from = buf_ + at_;
            const void* stop = std::memchr(from, end_, len_ - at_);
            size_t n = stop ? size_t(static_cast<const char*>(stop) - from) : len_ - at_;
            entry_.append(from, n);
            at_ += n + (stop ? 1 : 0);
            if (stop)
                return true;
        }
    }

    void refuse(const char* path, const char* why)
    {
        ++st_.numrefused;
        st_.ui->walk_error(path, why);
    }

    // The entry as a full path in path_; false when it is empty or too long.
    bool full_path()
    {
        if (PATH_SEP == '\\' && !entry_.empty() && entry_.back() == '\r')
            entry_.pop_back();   // a list with CR LF line ends (a name holds no CR there)
        if (entry_.empty())
            return false;
        if (plain_absolute(entry_))
            path_ = entry_;
        else if (!cwd_.empty() && plain_relative(entry_) && plain_absolute(cwd_ + PATH_SEP + entry_))
            path_ = cwd_ + PATH_SEP + entry_;
        else
            path_ = console_full_path(entry_.c_str());
        if (path_.empty() || path_.size() + 1 > size_t(PATH_BUF)) {
            refuse(entry_.c_str(), error_text(ENAMETOOLONG).c_str());
            return false;
        }
        return true;
    }

    // A directory held open, to look its entries up from there instead of
    // along their whole paths.
    struct Held {
        std::string dir;   // with its separator
        DirHandle handle;
        FileId id;
    };

    void let_go()
    {
        st_.sys->close_dir(held_.back().handle);
        held_.pop_back();
    }

    // The directory of the entry (the first name_pos bytes of path_), held
    // open with those above it that were held; null where it cannot be
    // opened. A list in the order of a walk comes back to a directory after
    // its sub-directories: it is still held then.
    const Held* hold(size_t name_pos)
    {
        while (!held_.empty() && (held_.back().dir.size() > name_pos ||
                                  path_.compare(0, held_.back().dir.size(), held_.back().dir) != 0))
            let_go();
        if (!held_.empty() && held_.back().dir.size() == name_pos)
            return &held_.back();
        Held h{path_.substr(0, name_pos), nullptr, FileId()};
        int err = 0;
        if (held_.size() == MAX_HELD || !(h.handle = st_.sys->open_dir_path(h.dir.c_str(), &h.id, &err)))
            return nullptr;
        held_.push_back(std::move(h));
        return &held_.back();
    }

    // The status of the entry, looked up from its directory where it is held.
    bool status(const Held* d, size_t name_pos, FileStatus* fs)
    {
        if (d && st_.sys->status_in(d->handle, path_.c_str() + name_pos, st_.follow_links, fs))
            return true;
        if (d && errno != ENOSYS)
            return false;
        return st_.sys->path_status(path_.c_str(), st_.follow_links, fs);
    }

    // The number of the directory that holds the file (the first name_pos
    // bytes of path_); 0 when a walk read it (the walk took its files),
    // or when its identity, or its way up, cannot be told (then refused).
    uint32_t directory(size_t name_pos, const Held* held)
    {
        // Most lists name a directory's files together.
        if (last_ && last_->first.size() == name_pos && path_.compare(0, name_pos, last_->first) == 0)
            return last_->second;
        std::string dir = path_.substr(0, name_pos);
        auto found = dirs_.find(dir);
        if (found != dirs_.end()) {
            last_ = &*found;
            return found->second;
        }
        FileId id = held ? held->id : st_.sys->identity(dir.c_str());
        int reference = id.known ? 0 : -1;
        bool walked = id.known && st_.index->walked.contains(id);
        if (id.known && !walked)
            reference = below_reference(st_, dir.c_str());
        if (reference < 0) {   // not kept: each of its files is named
            refuse(path_.c_str(), error_text(errno ? errno : EIO).c_str());
            return 0;
        }
        uint32_t rec = 0;
        if (!walked && !(rec = keep_dir(st_, DirRec{nullptr, id, uint32_t(name_pos), false, reference > 0, nullptr})))
            throw std::bad_alloc();
        last_ = &*dirs_.emplace(std::move(dir), rec).first;
        return rec;
    }

    // The entry, if it is a regular file to take, into *out.
    bool take(NamedFile* out)
    {
        if (!full_path())
            return false;
        size_t name_pos = path_.size();
        while (name_pos > 0 && !is_sep(path_[name_pos - 1]))
            --name_pos;
        uint32_t p_error = 0;   // a bad exclusion is refused before the scan starts
        if (name_pos == path_.size() || is_excluded(st_, path_.c_str() + name_pos, &p_error))
            return false;
        const Held* held = hold(name_pos);
        FileStatus fs;
        if (!status(held, name_pos, &fs)) {
            refuse(path_.c_str(), error_text(errno ? errno : EIO).c_str());
            return false;
        }
        if (!fs.is_file) {
            refuse(path_.c_str(), fs.is_link && !st_.follow_links ? "a symbolic link, followed only with -L"
                                                                  : "not a regular file");
            return false;
        }
        if (!fs.id.known)   // to tell a file listed twice (engine/group.cpp)
            fs.id = st_.sys->identity(path_.c_str());
        uint32_t dir = directory(name_pos, held);
        if (!dir)
            return false;
        out->path = path_.c_str();
        out->name_pos = name_pos;
        out->status = fs;
        out->dir = dir;
        return true;
    }

    ScanState& st_;
    FILE* in_;
    char end_;
    char buf_[1 << 16];
    size_t at_ = 0, len_ = 0;
    std::string entry_, path_, cwd_;
    std::unordered_map<std::string, uint32_t> dirs_;   // 0: read by a walk
    const std::pair<const std::string, uint32_t>* last_ = nullptr;   // the last one met
    std::vector<Held> held_;   // the outermost first
};

}  // namespace

bool collect_list(ScanState& st)
{
    auto list = std::make_unique<FileList>(st);   // its buffer is large for a thread's stack
    return collect_named(st, *list);
}
