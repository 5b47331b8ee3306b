// A Platform for tests that passes every call to another one, counts the
// calls of each file operation, and can make a chosen call fail with a
// chosen error number, or run a test's callback just before or after it
// (to change files under a scan's feet).
//
//     FaultPlatform fp(system_platform());
//     fp.fail(FaultOp::CopyFileNew, 2, ENOSPC);     // the 2nd copy: disk full
//     fp.before(FaultOp::DeleteFile, 1, [&] { ... });
//
// Calls are numbered from 1 per operation, counted since construction or
// the last reset(). A failed call does not reach the wrapped platform.
#pragma once

#include <cerrno>
#include <functional>
#include <memory>
#include <vector>

#include "platform/platform.h"

enum class FaultOp {
    Stat,
    OpenDir,
    EntryStatus,   // DirListing::entry_status of a listing opened here
    Identity,
    CreateDirectory,
    CreateNewFile,
    CopyFileNew,
    DeleteFile,
    OpenForRead,    // open_for_times(..., false, ...)
    OpenForWrite,   // open_for_times(..., true, ...)
    GetFileTimes,
    SetFileTimes,
    WriteFile,      // write_file, flush_file and close_file of a file made
    FlushFile,      // by create_new_file; a failed close still closes it
    CloseFile,
    OpenForReading,
    ReadBytes,
    RenameNew,
    RemoveDirectory,
    RecycleFile,
    Count
};

class FaultPlatform : public Platform {
public:
    explicit FaultPlatform(Platform& inner) : inner_(inner) {}

    // Fails calls nth .. nth+times-1 of `op` with `err` (times < 0: every
    // call from nth on).
    void fail(FaultOp op, int nth, int err, int times = 1)
    {
        MutexLock hold(lock_);
        rules_.push_back(Rule{op, nth, times, err, nullptr, false});
    }
    // Runs `fn` just before the nth call of `op` reaches the platform.
    void before(FaultOp op, int nth, std::function<void()> fn)
    {
        MutexLock hold(lock_);
        rules_.push_back(Rule{op, nth, 1, 0, std::move(fn), false});
    }
    // Runs `fn` just after the nth call of `op` returned from the platform.
    void after(FaultOp op, int nth, std::function<void()> fn)
    {
        MutexLock hold(lock_);
        rules_.push_back(Rule{op, nth, 1, 0, std::move(fn), true});
    }
    int calls(FaultOp op)
    {
        MutexLock hold(lock_);
        return counts_[static_cast<int>(op)];
    }
    // How many calls were made to fail so far, all operations together.
    int failures()
    {
        MutexLock hold(lock_);
        return failures_;
    }
    void reset()
    {
        MutexLock hold(lock_);
        rules_.clear();
        for (int& c : counts_)
            c = 0;
        failures_ = 0;
    }

    // --- files and directories ----------------------------------------
    bool stat(const char* path, FileStatus* st) override
    {
        Call c = enter(FaultOp::Stat);
        if (c.err) {
            *st = FileStatus();
            return false;
        }
        bool ok = inner_.stat(path, st);
        leave(c);
        return ok;
    }
    std::unique_ptr<DirListing> open_dir(const char* path) override
    {
        Call c = enter(FaultOp::OpenDir);
        if (c.err)
            return nullptr;
        std::unique_ptr<DirListing> d = inner_.open_dir(path);
        leave(c);
        if (!d)
            return nullptr;
        return std::unique_ptr<DirListing>(new Listing(*this, std::move(d)));
    }
    FileId identity(const char* path) override
    {
        Call c = enter(FaultOp::Identity);
        if (c.err)
            return FileId();
        FileId id = inner_.identity(path);
        leave(c);
        return id;
    }
    int create_directory(const char* path) override
    {
        Call c = enter(FaultOp::CreateDirectory);
        if (c.err)
            return c.err;
        int r = inner_.create_directory(path);
        leave(c);
        return r;
    }
    FILE* create_new_file(const char* path, int* err) override
    {
        Call c = enter(FaultOp::CreateNewFile);
        if (c.err) {
            *err = c.err;
            return nullptr;
        }
        FILE* f = inner_.create_new_file(path, err);
        leave(c);
        return f;
    }
    int write_file(FILE* f, const void* data, size_t len) override
    {
        Call c = enter(FaultOp::WriteFile);
        if (c.err)
            return c.err;
        int r = inner_.write_file(f, data, len);
        leave(c);
        return r;
    }
    int flush_file(FILE* f) override
    {
        Call c = enter(FaultOp::FlushFile);
        if (c.err)
            return c.err;
        int r = inner_.flush_file(f);
        leave(c);
        return r;
    }
    int close_file(FILE* f) override
    {
        Call c = enter(FaultOp::CloseFile);
        int r = inner_.close_file(f);
        leave(c);
        return c.err ? c.err : r;
    }
    int copy_file_new(const char* from, const char* to) override
    {
        Call c = enter(FaultOp::CopyFileNew);
        if (c.err)
            return c.err;
        int r = inner_.copy_file_new(from, to);
        leave(c);
        return r;
    }
    int delete_file(const char* path) override
    {
        Call c = enter(FaultOp::DeleteFile);
        if (c.err)
            return c.err;
        int r = inner_.delete_file(path);
        leave(c);
        return r;
    }
    FileHandle open_for_times(const char* path, bool for_write, int* err) override
    {
        Call c = enter(for_write ? FaultOp::OpenForWrite : FaultOp::OpenForRead);
        if (c.err) {
            *err = c.err;
            return nullptr;
        }
        FileHandle h = inner_.open_for_times(path, for_write, err);
        leave(c);
        return h;
    }
    bool get_file_times(FileHandle h, FileTimes* t) override
    {
        Call c = enter(FaultOp::GetFileTimes);
        if (c.err)
            return false;
        bool ok = inner_.get_file_times(h, t);
        leave(c);
        return ok;
    }
    bool set_file_times(FileHandle h, const FileTimes& t) override
    {
        Call c = enter(FaultOp::SetFileTimes);
        if (c.err)
            return false;
        bool ok = inner_.set_file_times(h, t);
        leave(c);
        return ok;
    }
    void close_handle(FileHandle h) override { inner_.close_handle(h); }
    FileHandle open_for_reading(const char* path, int* err) override
    {
        Call c = enter(FaultOp::OpenForReading);
        if (c.err) {
            *err = c.err;
            return nullptr;
        }
        FileHandle h = inner_.open_for_reading(path, err);
        leave(c);
        return h;
    }
    int read_bytes(FileHandle h, char* buf, uint32_t want, uint32_t* got) override
    {
        Call c = enter(FaultOp::ReadBytes);
        if (c.err) {
            *got = 0;
            return c.err;
        }
        int r = inner_.read_bytes(h, buf, want, got);
        leave(c);
        return r;
    }
    int rename_new(const char* from, const char* to) override
    {
        return pass(FaultOp::RenameNew, [&] { return inner_.rename_new(from, to); });
    }
    int remove_directory(const char* path) override
    {
        return pass(FaultOp::RemoveDirectory, [&] { return inner_.remove_directory(path); });
    }
    int recycle_file(const char* path) override
    {
        return pass(FaultOp::RecycleFile, [&] { return inner_.recycle_file(path); });
    }
    uint32_t user_id() override { return inner_.user_id(); }

    // --- everything else passes straight through -------------------------
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
        FaultOp op;
        int nth;
        int times;   // < 0: no end
        int err;     // 0: a callback rule
        std::function<void()> fn;
        bool after;
        bool covers(FaultOp o, int n) const { return o == op && n >= nth && (times < 0 || n < nth + times); }
    };
    // What one call was told on the way in.
    struct Call {
        FaultOp op;
        int n;
        int err;
    };

    class Listing : public DirListing {
    public:
        Listing(FaultPlatform& owner, std::unique_ptr<DirListing> inner) : owner_(owner), inner_(std::move(inner)) {}
        const char* next() override { return inner_->next(); }
        bool entry_status(const char* full_path, FileStatus* st) override
        {
            Call c = owner_.enter(FaultOp::EntryStatus);
            if (c.err) {
                *st = FileStatus();
                return false;
            }
            bool ok = inner_->entry_status(full_path, st);
            owner_.leave(c);
            return ok;
        }

        int error() override { return inner_->error(); }

    private:
        FaultPlatform& owner_;
        std::unique_ptr<DirListing> inner_;
    };

    // Counts the call, runs its "before" callbacks, and says whether it fails
    // (setting errno too, for callers that read it).
    Call enter(FaultOp op)
    {
        Call c{op, 0, 0};
        std::vector<std::function<void()>> hooks;
        {
            MutexLock hold(lock_);
            c.n = ++counts_[static_cast<int>(op)];
            for (const Rule& r : rules_) {
                if (!r.covers(op, c.n))
                    continue;
                if (r.fn && !r.after)
                    hooks.push_back(r.fn);
                else if (!r.fn && !c.err)
                    c.err = r.err;
            }
            if (c.err)
                ++failures_;
        }
        for (auto& fn : hooks)
            fn();
        if (c.err)
            errno = c.err;
        return c;
    }

    // An operation whose result is 0 or an error number.
    template <class Fn>
    int pass(FaultOp op, Fn fn)
    {
        Call c = enter(op);
        if (c.err)
            return c.err;
        int r = fn();
        leave(c);
        return r;
    }

    void leave(const Call& c)
    {
        std::vector<std::function<void()>> hooks;
        {
            MutexLock hold(lock_);
            for (const Rule& r : rules_) {
                if (r.fn && r.after && r.covers(c.op, c.n))
                    hooks.push_back(r.fn);
            }
        }
        for (auto& fn : hooks)
            fn();
    }

    Platform& inner_;
    Mutex lock_;
    std::vector<Rule> rules_;
    int counts_[static_cast<int>(FaultOp::Count)] = {};
    int failures_ = 0;
};
