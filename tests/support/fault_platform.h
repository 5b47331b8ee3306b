// A Platform for tests that passes every call to another one, counts the
// calls of each file operation, and can make a chosen call fail with a
// chosen error number, or run a test's callback just before or after it
// (to change files under a scan's feet).
//
//     FaultPlatform fp(system_platform());
//     fp.fail(FaultOp::CopyToNew, 2, ENOSPC);       // the 2nd copy: disk full
//     fp.before(FaultOp::DeleteFile, 1, [&] { ... });
//     fp.before(FaultOp::OpenDir, 1, [&] { if (fp.last(FaultOp::OpenDir).path == dir) ... }, -1);
//
// Calls are numbered from 1 per operation. A failed call does not reach the
// wrapped platform. While a callback runs, last(op) is the call it runs for.
#pragma once

#include <cerrno>
#include <functional>
#include <map>
#include <memory>
#include <string>
#include <type_traits>
#include <vector>

#include "platform/platform.h"

// EntryStatus: of a listing opened here. OpenForRead, OpenForWrite:
// open_for_times to read the times or to set them. WriteFile, FlushFile,
// CloseFile: of a file made by create_new_file (a failed close still
// closes it); a write's path is the text written.
enum class FaultOp {
    Stat, OpenDir, EntryStatus, Identity, CreateDirectory, CreateNewFile, DeleteFile,
    OpenForRead, OpenForWrite, GetFileTimes, SetFileTimes, WriteFile, FlushFile, CloseFile,
    OpenForReading, ReadBytes,
    // acting through a directory held open; a call's path is the full path
    // of the directory or of the file named in it
    OpenDirPath, OpenDirAt, MakeDirAt, FlushDir, OpenFileAt, HandleStatus, RemoveFileAt, RenameAt, CopyToNew,
    FlushHandle, FlushVolume, SyncStream, PathStatus, Count
};

class FaultPlatform : public Platform {
    using Op = FaultOp;

public:
    // A call: its number (1 for the first of its operation), the path it
    // was given ("" for an open handle or stream), the target of a copy or
    // rename.
    struct Call {
        int n = 0;
        std::string path, to;
    };

    explicit FaultPlatform(Platform& inner) : inner_(inner) {}

    // Fails calls nth .. nth+times-1 of `op` with `err` (times < 0: every
    // call from nth on).
    void fail(Op op, int nth, int err, int times = 1) { add(Rule{op, nth, times, err}); }
    // Fails every call of `op` given exactly `path`.
    void fail_path(Op op, const std::string& path, int err)
    {
        Rule r{op, 1, -1, err};
        r.path = path;
        add(r);
    }
    // Runs `fn` just before the nth call of `op` reaches the platform (and
    // the calls after it, as for fail), or just after it returned.
    void before(Op op, int nth, std::function<void()> fn, int times = 1) { add(Rule{op, nth, times, 0, fn}); }
    void after(Op op, int nth, std::function<void()> fn) { add(Rule{op, nth, 1, 0, std::move(fn), true}); }

    // Everything whose path starts with `prefix` lies on a volume of its
    // own, as another file system would: its identities tell another
    // volume, and a rename into or out of it fails with EXDEV.
    void other_volume(const std::string& prefix) { other_volume_ = prefix; }
    // Identities read through open files are unknown, as where the system
    // cannot tell them.
    bool hide_ids = false;
    // Files tell no creation time of their own, as on file systems that keep none.
    bool no_birth_times = false;

    int calls(Op op) { return last(op).n; }
    Call last(Op op)
    {
        MutexLock hold(lock_);
        return last_[int(op)];
    }

    // --- the calls that can fail ---------------------------------------
    bool stat(const char* p, FileStatus* st) override
    {
        *st = FileStatus();
        return shown(call(Op::Stat, p, [&] { return inner_.stat(p, st); }), st);
    }
    bool path_status(const char* p, bool follow, FileStatus* st) override
    {
        *st = FileStatus();
        return shown(call(Op::PathStatus, p, [&] { return inner_.path_status(p, follow, st); }), st);
    }
    bool status_in(DirHandle dir, const char* name, bool follow, FileStatus* st) override
    {
        *st = FileStatus();
        std::string p = below(dir, name);
        return shown(call(Op::PathStatus, p.c_str(), [&] { return inner_.status_in(dir, name, follow, st); }), st);
    }
    std::unique_ptr<DirListing> open_dir(const char* p) override
    {
        std::unique_ptr<DirListing> d = call(Op::OpenDir, p, [&] { return inner_.open_dir(p); });
        return d ? std::unique_ptr<DirListing>(new Listing(*this, std::move(d))) : nullptr;
    }
    FileId identity(const char* p) override { return call(Op::Identity, p, [&] { return inner_.identity(p); }); }
    int create_directory(const char* p) override
    {
        return call(Op::CreateDirectory, p, [&] { return inner_.create_directory(p); });
    }
    FILE* create_new_file(const char* p, int* e) override
    {
        return call(Op::CreateNewFile, p, [&] { return inner_.create_new_file(p, e); }, e);
    }
    int write_file(FILE* f, const void* data, size_t len) override
    {
        std::string text(static_cast<const char*>(data), len);
        return call(Op::WriteFile, text.c_str(), [&] { return inner_.write_file(f, data, len); });
    }
    int flush_file(FILE* f) override { return call(Op::FlushFile, "", [&] { return inner_.flush_file(f); }); }
    int close_file(FILE* f) override
    {
        bool closed = false;
        int err = call(Op::CloseFile, "", [&] { return closed = true, inner_.close_file(f); });
        if (!closed)
            inner_.close_file(f);   // a failed close still closes it
        return err;
    }
    int delete_file(const char* p) override { return call(Op::DeleteFile, p, [&] { return inner_.delete_file(p); }); }
    FileHandle open_for_times(const char* p, bool for_write, int* e) override
    {
        Op op = for_write ? Op::OpenForWrite : Op::OpenForRead;
        return call(op, p, [&] { return inner_.open_for_times(p, for_write, e); }, e);
    }
    bool get_file_times(FileHandle h, FileTimes* t) override
    {
        return call(Op::GetFileTimes, "", [&] { return inner_.get_file_times(h, t); });
    }
    bool set_file_times(FileHandle h, const FileTimes& t) override
    {
        return call(Op::SetFileTimes, "", [&] { return inner_.set_file_times(h, t); });
    }
    FileHandle open_for_reading(const char* p, int* e) override
    {
        return call(Op::OpenForReading, p, [&] { return inner_.open_for_reading(p, e); }, e);
    }
    int read_bytes(FileHandle h, char* buf, uint32_t want, uint32_t* got) override
    {
        *got = 0;
        return call(Op::ReadBytes, "", [&] { return inner_.read_bytes(h, buf, want, got); });
    }
    DirHandle open_dir_path(const char* p, FileId* id, int* e) override
    {
        DirHandle d = held(call(Op::OpenDirPath, p, [&] { return inner_.open_dir_path(p, id, e); }, e), p);
        return place_id(p, id), d;
    }
    DirHandle open_dir_at(DirHandle parent, const char* name, bool follow, FileId* id, int* e) override
    {
        std::string p = below(parent, name);
        DirHandle d =
            held(call(Op::OpenDirAt, p.c_str(), [&] { return inner_.open_dir_at(parent, name, follow, id, e); }, e), p);
        return place_id(p, id), d;
    }
    int make_dir_at(DirHandle parent, const char* name) override
    {
        return call(Op::MakeDirAt, below(parent, name).c_str(), [&] { return inner_.make_dir_at(parent, name); });
    }
    int flush_dir(DirHandle d) override
    {
        return call(Op::FlushDir, below(d, "").c_str(), [&] { return inner_.flush_dir(d); });
    }
    void close_dir(DirHandle d) override
    {
        {
            MutexLock hold(lock_);
            dirs_.erase(d);
        }
        inner_.close_dir(d);
    }
    FileHandle open_file_at(DirHandle dir, const char* name, bool follow, FileStatus* st, int* e) override
    {
        *st = FileStatus();
        std::string p = below(dir, name);
        FileHandle h = call(Op::OpenFileAt, p.c_str(), [&] { return inner_.open_file_at(dir, name, follow, st, e); }, e);
        remember(h, p);
        shown(true, st, &p);
        return h;
    }
    bool handle_status(FileHandle h, FileStatus* st) override
    {
        *st = FileStatus();
        std::string p = path_of(h);
        return shown(call(Op::HandleStatus, p.c_str(), [&] { return inner_.handle_status(h, st); }), st, &p);
    }
    int remove_file_at(DirHandle dir, const char* name, FileHandle h) override
    {
        return call(Op::RemoveFileAt, below(dir, name).c_str(), [&] { return inner_.remove_file_at(dir, name, h); });
    }
    int rename_at(DirHandle from, const char* name, FileHandle h, DirHandle to, const char* to_name) override
    {
        std::string p = below(from, name), q = below(to, to_name);
        bool across = elsewhere(p) != elsewhere(q);
        return call(Op::RenameAt, p.c_str(),
                    [&] { return across ? EXDEV : inner_.rename_at(from, name, h, to, to_name); }, nullptr, q.c_str());
    }
    int copy_to_new(DirHandle dir, const char* name, FileHandle h, DirHandle to, const char* to_name,
                    FileHandle* out) override
    {
        std::string q = below(to, to_name);
        int err = call(Op::CopyToNew, below(dir, name).c_str(),
                       [&] { return inner_.copy_to_new(dir, name, h, to, to_name, out); }, nullptr, q.c_str());
        if (!err)
            remember(*out, q);
        return err;
    }
    void close_handle(FileHandle h) override
    {
        {
            MutexLock hold(lock_);
            files_.erase(h);
        }
        inner_.close_handle(h);
    }
    int flush_handle(FileHandle h) override { return call(Op::FlushHandle, "", [&] { return inner_.flush_handle(h); }); }
    int flush_volume(DirHandle d) override
    {
        return call(Op::FlushVolume, below(d, "").c_str(), [&] { return inner_.flush_volume(d); });
    }
    int sync_stream(FILE* f) override { return call(Op::SyncStream, "", [&] { return inner_.sync_stream(f); }); }

    // --- everything else passes straight through -------------------------
    int remove_directory(const char* p) override { return inner_.remove_directory(p); }
    int create_private_directory(const char* p) override
    {
        return call(Op::CreateDirectory, p, [&] { return inner_.create_private_directory(p); });
    }
    int recycle_file(DirHandle d, const char* name, FileHandle h, const char* p) override
    {
        return inner_.recycle_file(d, name, h, p);
    }
    uint32_t user_id() override { return inner_.user_id(); }
    std::string get_env(const char* name) override { return inner_.get_env(name); }
    int64_t now() override { return inner_.now(); }
    ThreadHandle start_thread(ThreadProc proc, void* arg) override { return inner_.start_thread(proc, arg); }
    bool wait_thread(ThreadHandle h, unsigned ms) override { return inner_.wait_thread(h, ms); }
    void close_thread(ThreadHandle h) override { inner_.close_thread(h); }
    void sleep_ms(unsigned ms) override { inner_.sleep_ms(ms); }
    uint32_t logical_drives() override { return inner_.logical_drives(); }
    int drive_type(const char* root) override { return inner_.drive_type(root); }
    bool volume_available(const char* root) override { return inner_.volume_available(root); }

private:
    struct Rule {
        Op op;
        int nth;
        int times;   // < 0: no end
        int err;     // 0: a callback rule
        std::function<void()> fn = nullptr;
        bool after = false;
        std::string path = std::string();   // when set, only calls given this path

        bool covers(Op o, int n, const std::string& p) const
        {
            return o == op && n >= nth && (times < 0 || n < nth + times) && (path.empty() || path == p);
        }
    };

    class Listing : public DirListing {
    public:
        Listing(FaultPlatform& owner, std::unique_ptr<DirListing> inner) : owner_(owner), inner_(std::move(inner)) {}
        const char* next() override { return inner_->next(); }
        bool entry_status(const char* p, FileStatus* st) override
        {
            *st = FileStatus();
            return owner_.shown(owner_.call(Op::EntryStatus, p, [&] { return inner_->entry_status(p, st); }), st);
        }
        int error() override { return inner_->error(); }

    private:
        FaultPlatform& owner_;
        std::unique_ptr<DirListing> inner_;
    };

    // The full path of `name` in a directory opened here ("" for the
    // directory itself).
    std::string below(DirHandle d, const char* name)
    {
        MutexLock hold(lock_);
        auto it = dirs_.find(d);
        std::string p = it == dirs_.end() ? std::string() : it->second;
        if (*name)
            p += (p.empty() || p.back() == PATH_SEP ? "" : std::string(1, PATH_SEP)) + name;
        return p;
    }
    bool elsewhere(const std::string& p) const
    {
        return !other_volume_.empty() && p.compare(0, other_volume_.size(), other_volume_) == 0;
    }
    void place_id(const std::string& p, FileId* id)
    {
        if (id && elsewhere(p))
            id->volume ^= 0x5A5A5A5A;
    }
    // A status as the caller sees it: no creation time where the file
    // system keeps none; for a file held at `held`, its identity placed on
    // its volume, or hidden.
    bool shown(bool ok, FileStatus* st, const std::string* held = nullptr)
    {
        st->times.creation_known = st->times.creation_known && !no_birth_times;
        if (held)
            place_id(*held, &st->id), st->id.known = st->id.known && !hide_ids;
        return ok;
    }
    void remember(FileHandle h, const std::string& p)
    {
        if (h) {
            MutexLock hold(lock_);
            files_[h] = p;
        }
    }
    std::string path_of(FileHandle h)
    {
        MutexLock hold(lock_);
        auto it = files_.find(h);
        return it == files_.end() ? std::string() : it->second;
    }
    DirHandle held(DirHandle d, const std::string& path)
    {
        if (d) {
            MutexLock hold(lock_);
            dirs_[d] = path;
        }
        return d;
    }

    void add(Rule r)
    {
        MutexLock hold(lock_);
        rules_.push_back(std::move(r));
    }

    // Counts one call and runs the callbacks before it; then either `fn`
    // passes it on, or it fails: with its error number for a call that
    // returns one, else with a null or false result and the error number in
    // errno (and *err_out when given). Then the callbacks after it run.
    template <class Fn>
    auto call(Op op, const char* path, Fn fn, int* err_out = nullptr, const char* to = "") -> decltype(fn())
    {
        int err = 0, n = count(op, path, to);
        for (auto& hook : hooks(op, n, path, false, &err))
            hook();
        decltype(fn()) result{};
        if (!err)
            result = fn();
        else if constexpr (std::is_same<decltype(fn()), int>::value)
            result = err;
        if (err && err_out)
            *err_out = err;
        errno = err ? err : errno;
        for (auto& hook : hooks(op, n, path, true, &err))
            hook();
        return result;
    }

    int count(Op op, const char* path, const char* to)
    {
        MutexLock hold(lock_);
        Call& c = last_[int(op)];
        c = Call{c.n + 1, path, to};
        return c.n;
    }

    // The callbacks to run before (or after) call n of `op`; the error
    // number of the first rule that makes it fail goes to *err.
    std::vector<std::function<void()>> hooks(Op op, int n, const char* path, bool after, int* err)
    {
        std::vector<std::function<void()>> out;
        MutexLock hold(lock_);
        for (const Rule& r : rules_) {
            if (r.after != after || !r.covers(op, n, path))
                continue;
            if (r.fn)
                out.push_back(r.fn);
            else if (!*err)
                *err = r.err;
        }
        return out;
    }

    Platform& inner_;
    Mutex lock_;
    std::vector<Rule> rules_;
    Call last_[int(Op::Count)];
    std::map<DirHandle, std::string> dirs_;   // the path of each directory held open
    std::map<FileHandle, std::string> files_;  // and of each file
    std::string other_volume_;
};
