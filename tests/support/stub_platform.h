// A Platform for tests that need no disk: files and directories live in a
// table, the environment in another; everything else fails. Paths are kept
// exactly as given (PATH_SEP separates components).
#pragma once

#include <cerrno>
#include <map>
#include <memory>
#include <set>
#include <string>

#include "engine/state.h"
#include "platform/platform.h"

class StubPlatform : public Platform {
public:
    std::set<std::string> files;
    std::set<std::string> dirs;
    std::map<std::string, std::string> env;   // names as set; looked up ignoring case
    int stat_calls = 0;
    int create_dir_calls = 0;

    // Nothing can be opened: EACCES.
    static std::nullptr_t denied(int* err)
    {
        if (err)
            *err = EACCES;
        return nullptr;
    }

    bool stat(const char* path, FileStatus* st) override
    {
        ++stat_calls;
        *st = FileStatus();
        st->is_file = files.count(path) > 0;
        st->is_directory = dirs.count(path) > 0;
        return st->is_file || st->is_directory;
    }
    std::unique_ptr<DirListing> open_dir(const char*) override { return nullptr; }
    FileId identity(const char*) override { return FileId(); }
    // A directory can be made only where its parent exists (a path without
    // a separator has no parent to check).
    int create_directory(const char* path) override
    {
        ++create_dir_calls;
        std::string p = path;
        size_t cut = p.find_last_of(PATH_SEP);
        if (files.count(p) || dirs.count(p))
            return EEXIST;
        if (cut != std::string::npos && cut != 0 && !dirs.count(p.substr(0, cut)))
            return ENOENT;
        dirs.insert(p);
        return 0;
    }
    FILE* create_new_file(const char*, int* err) override { return denied(err); }
    int write_file(FILE*, const void*, size_t) override { return EIO; }
    int flush_file(FILE*) override { return EIO; }
    int close_file(FILE* f) override { return f && fclose(f) == 0 ? 0 : EIO; }
    int delete_file(const char*) override { return EACCES; }
    FileHandle open_for_times(const char*, bool, int* err) override { return denied(err); }
    bool get_file_times(FileHandle, FileTimes*) override { return false; }
    bool set_file_times(FileHandle, const FileTimes&) override { return false; }
    void close_handle(FileHandle) override {}
    FileHandle open_for_reading(const char*, int* err) override { return denied(err); }
    int read_bytes(FileHandle, char*, uint32_t, uint32_t* got) override
    {
        *got = 0;
        return EBADF;
    }
    int remove_directory(const char*) override { return EACCES; }
    int recycle_file(DirHandle, const char*, FileHandle, const char*) override { return ENOSYS; }
    DirHandle open_dir_path(const char*, FileId*, int* err) override { return denied(err); }
    DirHandle open_dir_at(DirHandle, const char*, bool, FileId*, int* err) override { return denied(err); }
    int make_dir_at(DirHandle, const char*) override { return EACCES; }
    int flush_dir(DirHandle) override { return EIO; }
    void close_dir(DirHandle) override {}
    FileHandle open_file_at(DirHandle, const char*, bool, FileStatus*, int* err) override { return denied(err); }
    bool handle_status(FileHandle, FileStatus*) override { return false; }
    int remove_file_at(DirHandle, const char*, FileHandle) override { return EACCES; }
    int rename_at(DirHandle, const char*, FileHandle, DirHandle, const char*) override { return EACCES; }
    int copy_to_new(DirHandle, const char*, FileHandle, DirHandle, const char*, FileHandle*) override { return EACCES; }
    int flush_handle(FileHandle) override { return EIO; }
    int flush_volume(DirHandle) override { return EIO; }
    int sync_stream(FILE*) override { return EIO; }
    uint32_t user_id() override { return 0; }

    std::string get_env(const char* name) override
    {
        for (const auto& e : env)
            if (same_name(e.first.c_str(), name, 1))
                return e.second;
        return "";
    }
    int64_t now() override { return 0; }

    ThreadHandle start_thread(ThreadProc, void*) override { return nullptr; }
    bool wait_thread(ThreadHandle, unsigned) override { return true; }
    void close_thread(ThreadHandle) override {}
    void sleep_ms(unsigned) override {}

    uint32_t logical_drives() override { return 0; }
    int drive_type(const char*) override { return DRIVE_KIND_UNKNOWN; }
    bool volume_available(const char*) override { return false; }
};

// A path written with backslashes, with this system's separator instead.
inline std::string native_path(std::string p)
{
    for (char& c : p)
        if (c == '\\')
            c = PATH_SEP;
    return p;
}
