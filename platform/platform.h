// The one door to the operating system. Everything above this layer is
// portable: it is handed a Platform and asks it for files, directories,
// times, threads and drives. The Windows build answers with the real Win32
// calls; the Linux build stands in for them with POSIX calls; tests may put
// a fault-injecting layer in between.
#pragma once

#include <atomic>
#include <cerrno>
#include <cstdint>
#include <cstdio>
#include <memory>
#include <string>

// Times in 100-nanosecond ticks since 1601-01-01 UTC (the Windows file time).
struct FileTimes {
    int64_t creation = 0;
    int64_t access = 0;
    int64_t write = 0;
    // False where the file system keeps no creation time of its own: then
    // `creation` holds the status-change time instead.
    bool creation_known = true;
};

// Identity of a file or directory on its volume: equal ids, same object.
struct FileId {
    uint64_t volume = 0;
    uint64_t index = 0;
    bool known = false;
    bool operator==(const FileId& o) const { return known && o.known && volume == o.volume && index == o.index; }
};

struct FileStatus {
    bool is_file = false;       // a regular file (a link's target, when it is one)
    bool is_directory = false;
    bool is_link = false;       // the entry itself is a symbolic link (only the walk's queries tell)
    bool is_junction = false;   // a directory entry that is a Windows junction or directory link:
                                // the walk enters it, and an act in it goes through it again
    uint64_t size = 0;
    FileTimes times;            // creation (birth, else status change), access, write
    FileId id;                  // where the query gives it without opening the file
};

int64_t ticks_to_unix(int64_t ticks);   // seconds since 1970, rounded down
int64_t unix_to_ticks(int64_t seconds);

// One open directory listing.
class DirListing {
public:
    virtual ~DirListing() = default;
    // The next entry's name ("." and ".." included where the system gives
    // them), or null at the end. The text stays valid until the next call.
    virtual const char* next() = 0;
    // The status of the entry last returned by next(); false when unknown.
    // A symbolic link is followed, and marked is_link.
    virtual bool entry_status(const char* full_path, FileStatus* st) = 0;
    // What the listing itself tells of that entry without a status query;
    // ENTRY_UNKNOWN when it cannot tell. ENTRY_LINK: a symbolic link, whose
    // target only entry_status can tell.
    enum EntryKind { ENTRY_UNKNOWN = 0, ENTRY_FILE = 1, ENTRY_DIRECTORY = 2, ENTRY_OTHER = 3, ENTRY_LINK = 4 };
    virtual int entry_kind() { return ENTRY_UNKNOWN; }
    // Why next() returned null: 0 at the end of the listing, else the error
    // number of a failed read.
    virtual int error() { return 0; }
    // The identity of the listed directory itself; unknown when the listing
    // cannot tell (Platform::identity answers then).
    virtual FileId id() { return FileId(); }
};

using ThreadProc = unsigned (*)(void*);
using ThreadHandle = void*;
using FileHandle = void*;   // null when an open failed
using DirHandle = void*;    // a directory held open to act in it; null when an open failed

// The error of an act on a file held open whose name, in its directory, no
// longer leads to that file (it was replaced meanwhile).
#ifdef ESTALE
constexpr int ERR_NOT_THE_FILE = ESTALE;
#else
constexpr int ERR_NOT_THE_FILE = 0x7E57;   // a number the Windows runtime gives no error
#endif

class Platform {
public:
    virtual ~Platform() = default;

    // --- files and directories ----------------------------------------
    virtual bool stat(const char* path, FileStatus* st) = 0;
    // Null when the directory cannot be opened, with errno set to the reason.
    virtual std::unique_ptr<DirListing> open_dir(const char* path) = 0;
    virtual FileId identity(const char* path) = 0;
    // The same as open_dir(path) and stat(path) for a path below the
    // directory `dir` has open, whose own path is the first `dir_len` bytes
    // of `path`. Where the system can start from the open directory, the
    // part of the path above it is not looked up again; by default (and for
    // a listing the system did not make) the whole path is.
    virtual std::unique_ptr<DirListing> open_dir_below(DirListing& /*dir*/, const char* path, size_t /*dir_len*/)
    {
        return open_dir(path);
    }
    virtual bool stat_below(DirListing& /*dir*/, const char* path, size_t /*dir_len*/, FileStatus* st)
    {
        return stat(path, st);
    }
    // The status of `path` itself: a symbolic link at its end is followed
    // only when `follow`, and is marked is_link either way. False, with
    // errno set, when it cannot be read. By default (a system that does not
    // tell links apart here) the same as stat.
    virtual bool path_status(const char* path, bool follow, FileStatus* st);
    // The same for the entry `name` of a directory held open (below); false
    // with errno ENOSYS where the system cannot look it up from there.
    virtual bool status_in(DirHandle dir, const char* name, bool follow, FileStatus* st);
    // Opens an existing file to read it as a stream, a pipe included (a
    // list of files); null with the error number in *err.
    virtual FILE* open_stream(const char* path, int* err);
    // Error results are C runtime error numbers (errno values); 0 is success.
    virtual int create_directory(const char* path) = 0;
    // Creates a new file for writing ("wb"); fails with EEXIST when the name
    // is taken, so nothing existing is ever overwritten.
    virtual FILE* create_new_file(const char* path, int* err) = 0;
    // Writes to, flushes and closes a file made by create_new_file. Each
    // returns 0 or the error number of the failure (ENOSPC for a full disk).
    // A write may only fill the stream's buffer: its failure can show at a
    // later write, at the flush or at the close. The close ends the stream
    // either way.
    virtual int write_file(FILE* f, const void* data, size_t len);
    virtual int flush_file(FILE* f);
    virtual int close_file(FILE* f);
    virtual int delete_file(const char* path) = 0;
    // Opens an existing file only to read its times, or (for_write) to set them.
    virtual FileHandle open_for_times(const char* path, bool for_write, int* err) = 0;
    virtual bool get_file_times(FileHandle h, FileTimes* t) = 0;
    virtual bool set_file_times(FileHandle h, const FileTimes& t) = 0;
    virtual void close_handle(FileHandle h) = 0;
    // Opens an existing regular file to read its bytes (closed with close_handle).
    virtual FileHandle open_for_reading(const char* path, int* err) = 0;
    // Reads up to `want` bytes into `buf`; *got is 0 at the end of the file.
    virtual int read_bytes(FileHandle h, char* buf, uint32_t want, uint32_t* got) = 0;
    virtual int remove_directory(const char* path) = 0;   // an empty one only
    // Like create_directory, but only the user may enter or read it.
    virtual int create_private_directory(const char* path) { return create_directory(path); }

    // --- acting on a file through the directory it was found in ---------
    // Every act on a file the scan found goes through its parent directory,
    // held open, so that no path is looked up again between the check and
    // the act. Error results are errno values, 0 is success.
    //
    // Opens the directory `path` to act in it, following links on the way
    // (a root as the user gave it). `id` (may be null) gets its identity.
    virtual DirHandle open_dir_path(const char* path, FileId* id, int* err) = 0;
    // Opens the sub-directory `name` of `parent`. A symbolic link (on
    // Windows any reparse point: a junction too) is followed only when
    // `follow`; otherwise the open fails (ELOOP). While the handle is open
    // the directory cannot be renamed or removed where the system can
    // prevent that (Windows).
    virtual DirHandle open_dir_at(DirHandle parent, const char* name, bool follow, FileId* id, int* err) = 0;
    // Makes the sub-directory `name` of `parent`; EEXIST when the name is taken.
    virtual int make_dir_at(DirHandle parent, const char* name) = 0;
    // The directory's entries to stable storage; 0 where the system keeps
    // them so by itself.
    virtual int flush_dir(DirHandle d) = 0;
    virtual void close_dir(DirHandle d) = 0;
    // Opens the regular file `name` of `dir` to read it and act on it, never
    // through a symbolic link unless `follow`; `st` gets the status of the
    // file opened (its identity included). While the handle is open, the
    // file cannot be written to, renamed or removed by others where the
    // system can prevent that (Windows). Closed with close_handle.
    virtual FileHandle open_file_at(DirHandle dir, const char* name, bool follow, FileStatus* st, int* err) = 0;
    // The status of an open file, read from the handle.
    virtual bool handle_status(FileHandle h, FileStatus* st) = 0;
    // Removes the file `name` of `dir` that `h` holds open (from
    // open_file_at); `h` stays open. ERR_NOT_THE_FILE when the name no
    // longer leads to that file.
    virtual int remove_file_at(DirHandle dir, const char* name, FileHandle h) = 0;
    // Renames the file `name` of `from` (held open as `h`, or null) to
    // `to_name` in `to`, never replacing anything: EEXIST when the name is
    // taken, EXDEV when the two are on different volumes, ERR_NOT_THE_FILE
    // as for remove_file_at.
    virtual int rename_at(DirHandle from, const char* name, FileHandle h, DirHandle to, const char* to_name) = 0;
    // Copies the file that `h` holds open (`name` of `dir`), from its first
    // byte, to the new file `to_name` of `to`: EEXIST when the name is
    // taken, and nothing of a failed copy is left. On success *out holds the
    // copy open to set its times and flush it.
    virtual int copy_to_new(DirHandle dir, const char* name, FileHandle h, DirHandle to, const char* to_name,
                            FileHandle* out) = 0;
    // An open file's data and status to stable storage.
    virtual int flush_handle(FileHandle h) = 0;
    // Everything written to the volume that holds `d` to stable storage at
    // once: 0 only when all of it is there and a failure on the way would
    // have been told, so that no single file or directory of that volume
    // needs a flush of its own. Otherwise an error number (ENOSYS where the
    // system cannot tell), and the single flushes must be made.
    virtual int flush_volume(DirHandle d) = 0;
    // A stream made by create_new_file, written out and on stable storage.
    virtual int sync_stream(FILE* f) = 0;
    // Hands the file `name` of `dir`, held open as `h` and whose full path
    // is `path`, to a trash kept by the system's shell (the Recycle Bin): 0
    // or an error number; ENOSYS where there is none, and the desktop trash
    // in the file system is to be used instead. A file the bin would not
    // keep (too big, a drive without a bin) is never removed outright: it
    // stays, with ENOTSUP. ERR_NOT_THE_FILE as for remove_file_at.
    virtual int recycle_file(DirHandle dir, const char* name, FileHandle h, const char* path) = 0;
    virtual uint32_t user_id() = 0;   // the numeric user id (0 where there is none)

    // --- environment, clock ---------------------------------------------
    // The value of an environment variable, its name matched without regard
    // to letter case; empty when not set.
    virtual std::string get_env(const char* name) = 0;
    virtual int64_t now() = 0;   // seconds since 1970

    // --- threads ----------------------------------------------------------
    virtual ThreadHandle start_thread(ThreadProc proc, void* arg) = 0;  // null on failure
    virtual bool wait_thread(ThreadHandle h, unsigned ms) = 0;          // true once it has ended
    virtual void close_thread(ThreadHandle h) = 0;
    virtual void sleep_ms(unsigned ms) = 0;

    // --- drives (the chooser's first list) ------------------------------
    virtual uint32_t logical_drives() = 0;                // bit d set: drive 'A' + d exists
    virtual int drive_type(const char* root) = 0;         // DriveType below
    virtual bool volume_available(const char* root) = 0;
};

enum DriveType {
    DRIVE_KIND_UNKNOWN = 0,
    DRIVE_KIND_NO_ROOT_DIR = 1,
    DRIVE_KIND_REMOVABLE = 2,
    DRIVE_KIND_FIXED = 3,
    DRIVE_KIND_REMOTE = 4,
    DRIVE_KIND_CDROM = 5,
    DRIVE_KIND_RAMDISK = 6,
};

// The real operating system.
Platform& system_platform();

// The runtime's message for an error number, without a trailing line break.
std::string error_text(int err);

// `ctime` form of a time in local time: "Tue Jun 14 14:05:09 2005" (24 chars).
std::string ctime_text(int64_t unix_seconds);

// ISO 8601 form "2005-06-14T14:05:09", in UTC with a trailing "Z", or in
// local time without a zone; empty when the time cannot be converted.
std::string iso_time_text(int64_t unix_seconds, bool utc);

// The path separator of this system: '\\' on Windows, '/' elsewhere; and
// whether its paths ignore letter case (C:\Data and C:\DATA are one
// directory on Windows, /data and /DATA two on Linux).
#ifdef _WIN32
constexpr char PATH_SEP = '\\';
constexpr bool PATHS_IGNORE_CASE = true;
#else
constexpr char PATH_SEP = '/';
constexpr bool PATHS_IGNORE_CASE = false;
#endif

// A plain lock (the Windows runtime here has no std::mutex).
class Mutex {
public:
    Mutex();
    ~Mutex();
    Mutex(const Mutex&) = delete;
    Mutex& operator=(const Mutex&) = delete;
    void lock();
    void unlock();
private:
    friend class Condition;
    void* impl_;
};

// What threads wait for under a Mutex, woken by the thread that changes it.
class Condition {
public:
    Condition();
    ~Condition();
    Condition(const Condition&) = delete;
    Condition& operator=(const Condition&) = delete;
    // Releases `m`, which the caller holds, until woken or until `ms` have
    // passed, then holds it again. A wait may also end without a cause: the
    // caller looks again at what it waits for.
    void wait(Mutex& m, unsigned ms);
    void wake_one();
    void wake_all();
private:
    void* impl_;
};

class MutexLock {
public:
    explicit MutexLock(Mutex& m) : m_(m) { m_.lock(); }
    ~MutexLock() { m_.unlock(); }
    MutexLock(const MutexLock&) = delete;
    MutexLock& operator=(const MutexLock&) = delete;
private:
    Mutex& m_;
};

// --- console programs (platform/console_*.cpp) ----------------------------
// From now on the first Ctrl-C (or Ctrl-Break) sets *flag to 1; a second one
// ends the program the usual way, so a scan stuck at a question can still be
// left.
void console_catch_interrupt(std::atomic<int>* flag);
// True when the stream is an interactive terminal (a console on Windows).
bool console_is_terminal(FILE* f);
// `path` made absolute against the current directory, with "." and ".."
// steps resolved as text; empty when it cannot be made. On Windows a bare
// drive "C:" (or "C:\") stands for that drive's root.
std::string console_full_path(const char* path);
