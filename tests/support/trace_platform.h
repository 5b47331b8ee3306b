// A Platform for tests that passes every call to another one and keeps a
// trace of the file operations: which call of its kind it was, the path it
// was given (for the times of an open handle: the path that handle was
// opened on), and whether it succeeded. It can also run a test's callback
// just before a call on a chosen path, to change files under a scan's feet
// at a precise moment.
//
//     ScanRun run(tree);
//     TracePlatform trace(run.fp);        // faults are still set on run.fp
//     run.st.sys = &trace;
//     trace.before_path(FaultOp::OpenDir, tree.path("a/b"), [&] { ... });
//
// Call numbers count like FaultPlatform's, so a call seen here as number n
// is the one `fail(op, n, err)` makes fail.
#pragma once

#include <functional>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "platform/platform.h"
#include "tests/support/fault_platform.h"

class TracePlatform : public Platform {
public:
    struct Call {
        FaultOp op;
        int n;              // 1 for the first call of this kind
        std::string path;   // the path given (the source of a copy)
        std::string to;     // the target of a copy
        bool ok;            // the call succeeded
    };

    explicit TracePlatform(Platform& inner) : inner_(inner) {}

    // Runs `fn` once, just before the first call of `op` on `path`.
    void before_path(FaultOp op, const std::string& path, std::function<void()> fn)
    {
        before_match(op, [path](const std::string& p) { return p == path; }, std::move(fn));
    }
    // Runs `fn` once, just before the first call of `op` whose path `when`
    // accepts (`when` sees every such call's path until then).
    void before_match(FaultOp op, std::function<bool(const std::string&)> when, std::function<void()> fn)
    {
        MutexLock hold(lock_);
        hooks_.push_back(Hook{op, std::move(when), std::move(fn)});
    }

    std::vector<Call> calls() const
    {
        MutexLock hold(lock_);
        return calls_;
    }

    bool stat(const char* path, FileStatus* st) override
    {
        hook(FaultOp::Stat, path);
        bool ok = inner_.stat(path, st);
        note(FaultOp::Stat, path, "", ok);
        return ok;
    }
    std::unique_ptr<DirListing> open_dir(const char* path) override
    {
        hook(FaultOp::OpenDir, path);
        std::unique_ptr<DirListing> d = inner_.open_dir(path);
        note(FaultOp::OpenDir, path, "", d != nullptr);
        if (!d)
            return nullptr;
        return std::unique_ptr<DirListing>(new Listing(*this, std::move(d)));
    }
    FileId identity(const char* path) override
    {
        hook(FaultOp::Identity, path);
        FileId id = inner_.identity(path);
        note(FaultOp::Identity, path, "", id.known);
        return id;
    }
    int create_directory(const char* path) override
    {
        hook(FaultOp::CreateDirectory, path);
        int r = inner_.create_directory(path);
        note(FaultOp::CreateDirectory, path, "", r == 0);
        return r;
    }
    FILE* create_new_file(const char* path, int* err) override
    {
        hook(FaultOp::CreateNewFile, path);
        FILE* f = inner_.create_new_file(path, err);
        note(FaultOp::CreateNewFile, path, "", f != nullptr);
        return f;
    }
    // The report's writes pass through untraced.
    int write_file(FILE* f, const void* data, size_t len) override { return inner_.write_file(f, data, len); }
    int flush_file(FILE* f) override { return inner_.flush_file(f); }
    int close_file(FILE* f) override { return inner_.close_file(f); }
    int copy_file_new(const char* from, const char* to) override
    {
        hook(FaultOp::CopyFileNew, from);
        int r = inner_.copy_file_new(from, to);
        note(FaultOp::CopyFileNew, from, to, r == 0);
        return r;
    }
    int delete_file(const char* path) override
    {
        hook(FaultOp::DeleteFile, path);
        int r = inner_.delete_file(path);
        note(FaultOp::DeleteFile, path, "", r == 0);
        return r;
    }
    FileHandle open_for_times(const char* path, bool for_write, int* err) override
    {
        FaultOp op = for_write ? FaultOp::OpenForWrite : FaultOp::OpenForRead;
        hook(op, path);
        FileHandle h = inner_.open_for_times(path, for_write, err);
        note(op, path, "", h != nullptr);
        if (h) {
            MutexLock hold(lock_);
            handles_[h] = path;
        }
        return h;
    }
    bool get_file_times(FileHandle h, FileTimes* t) override
    {
        bool ok = inner_.get_file_times(h, t);
        note(FaultOp::GetFileTimes, handle_path(h), "", ok);
        return ok;
    }
    bool set_file_times(FileHandle h, const FileTimes& t) override
    {
        bool ok = inner_.set_file_times(h, t);
        note(FaultOp::SetFileTimes, handle_path(h), "", ok);
        return ok;
    }
    void close_handle(FileHandle h) override
    {
        {
            MutexLock hold(lock_);
            handles_.erase(h);
        }
        inner_.close_handle(h);
    }

    FileHandle open_for_reading(const char* path, int* err) override
    {
        hook(FaultOp::OpenForReading, path);
        FileHandle h = inner_.open_for_reading(path, err);
        note(FaultOp::OpenForReading, path, "", h != nullptr);
        if (h) {
            MutexLock hold(lock_);
            handles_[h] = path;
        }
        return h;
    }
    int read_bytes(FileHandle h, char* buf, uint32_t want, uint32_t* got) override
    {
        int r = inner_.read_bytes(h, buf, want, got);
        note(FaultOp::ReadBytes, handle_path(h), "", r == 0);
        return r;
    }
    int rename_new(const char* from, const char* to) override
    {
        hook(FaultOp::RenameNew, from);
        int r = inner_.rename_new(from, to);
        note(FaultOp::RenameNew, from, to, r == 0);
        return r;
    }
    int remove_directory(const char* path) override
    {
        hook(FaultOp::RemoveDirectory, path);
        int r = inner_.remove_directory(path);
        note(FaultOp::RemoveDirectory, path, "", r == 0);
        return r;
    }
    int recycle_file(const char* path) override
    {
        hook(FaultOp::RecycleFile, path);
        int r = inner_.recycle_file(path);
        note(FaultOp::RecycleFile, path, "", r == 0);
        return r;
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
    struct Hook {
        FaultOp op;
        std::function<bool(const std::string&)> when;
        std::function<void()> fn;
    };

    class Listing : public DirListing {
    public:
        Listing(TracePlatform& owner, std::unique_ptr<DirListing> inner) : owner_(owner), inner_(std::move(inner)) {}
        const char* next() override { return inner_->next(); }
        bool entry_status(const char* full_path, FileStatus* st) override
        {
            owner_.hook(FaultOp::EntryStatus, full_path);
            bool ok = inner_->entry_status(full_path, st);
            owner_.note(FaultOp::EntryStatus, full_path, "", ok);
            return ok;
        }

        int error() override { return inner_->error(); }

    private:
        TracePlatform& owner_;
        std::unique_ptr<DirListing> inner_;
    };

    void hook(FaultOp op, const char* path)
    {
        std::function<void()> fn;
        {
            MutexLock hold(lock_);
            for (Hook& h : hooks_) {
                if (h.fn && h.op == op && h.when(path)) {
                    fn = std::move(h.fn);
                    h.fn = nullptr;
                    break;
                }
            }
        }
        if (fn)
            fn();
    }

    void note(FaultOp op, const std::string& path, const std::string& to, bool ok)
    {
        MutexLock hold(lock_);
        int n = ++counts_[static_cast<int>(op)];
        calls_.push_back(Call{op, n, path, to, ok});
    }

    std::string handle_path(FileHandle h)
    {
        MutexLock hold(lock_);
        auto it = handles_.find(h);
        return it == handles_.end() ? std::string() : it->second;
    }

    Platform& inner_;
    mutable Mutex lock_;
    std::vector<Hook> hooks_;
    std::vector<Call> calls_;
    std::map<FileHandle, std::string> handles_;
    int counts_[static_cast<int>(FaultOp::Count)] = {};
};
