// The files of a list (--files-from), taken as a walk takes its own.
#include "engine/file_list.h"

#include <cerrno>
#include <cstring>
#include <memory>
#include <new>
#include <string>
#include <unordered_map>

#include "engine/collect.h"
#include "engine/exclude.h"
#include "engine/name_index.h"
#include "engine/reference.h"

namespace {

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
        if (!taken_.init())
            throw std::bad_alloc();
    }
    ~FileList() override { taken_.release(); }
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

    // The record of the directory that holds the file (the first name_pos
    // bytes of path_); null when a walk read it (the walk took its files),
    // or when its identity, or its way up, cannot be told (then refused).
    const DirRec* directory(size_t name_pos)
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
        FileId id = st_.sys->identity(dir.c_str());
        int reference = id.known ? 0 : -1;
        bool walked = id.known && st_.index->walked.contains(id);
        if (id.known && !walked)
            reference = below_reference(st_, dir.c_str());
        if (reference < 0) {   // not kept: each of its files is named
            refuse(path_.c_str(), error_text(errno ? errno : EIO).c_str());
            return nullptr;
        }
        const DirRec* rec = nullptr;
        if (!walked) {
            st_.dirs.push_back(DirRec{nullptr, id, uint32_t(name_pos), false, reference > 0, nullptr});
            rec = &st_.dirs.back();
        }
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
        FileStatus fs;
        if (!st_.sys->path_status(path_.c_str(), st_.follow_links, &fs)) {
            refuse(path_.c_str(), error_text(errno ? errno : EIO).c_str());
            return false;
        }
        if (!fs.is_file) {
            refuse(path_.c_str(), fs.is_link && !st_.follow_links ? "a symbolic link, followed only with -L"
                                                                  : "not a regular file");
            return false;
        }
        if (!fs.id.known)
            fs.id = st_.sys->identity(path_.c_str());
        const DirRec* dir = directory(name_pos);
        if (!dir)
            return false;
        int added = fs.id.known ? taken_.insert(fs.id) : 1;
        if (added < 0)
            throw std::bad_alloc();
        if (added == 0)   // listed before, here or under another path
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
    std::unordered_map<std::string, const DirRec*> dirs_;   // null: read by a walk
    const std::pair<const std::string, const DirRec*>* last_ = nullptr;   // the last one met
    IdSet taken_;
};

}  // namespace

bool collect_list(ScanState& st)
{
    auto list = std::make_unique<FileList>(st);   // its buffer is large for a thread's stack
    return collect_named(st, *list);
}
