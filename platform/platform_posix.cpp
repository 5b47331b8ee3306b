// The platform layer on Linux and other POSIX systems: POSIX calls stand in
// for the Windows file, thread and drive calls.
#include "platform/platform.h"

#include <cerrno>
#include <cstdlib>
#include <cstdio>
#include <cstring>
#include <ctime>

#include <dirent.h>
#include <fcntl.h>
#include <pthread.h>
#include <strings.h>
#include <sys/resource.h>
#ifdef __linux__
#include <sys/sendfile.h>
#endif
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <sys/utsname.h>
#include <unistd.h>

extern char** environ;

namespace {

// ---------------------------------------------------------------- times

constexpr int64_t EPOCH_GAP = 11644473600LL;   // seconds from 1601 to 1970
constexpr int64_t TICKS_PER_SECOND = 10000000LL;

int64_t to_ticks(int64_t sec, int64_t nsec)
{
    return (sec + EPOCH_GAP) * TICKS_PER_SECOND + nsec / 100;
}

timespec to_timespec(int64_t ticks)
{
    int64_t sec = ticks / TICKS_PER_SECOND;
    int64_t rest = ticks % TICKS_PER_SECOND;
    if (rest < 0) {
        rest += TICKS_PER_SECOND;
        --sec;
    }
    timespec ts{};
    ts.tv_sec = static_cast<time_t>(sec - EPOCH_GAP);
    ts.tv_nsec = static_cast<long>(rest * 100);
    return ts;
}

// ---------------------------------------------------------------- status

FileId id_of(dev_t dev, ino_t ino)
{
    FileId id;
    id.volume = static_cast<uint64_t>(dev);
    id.index = static_cast<uint64_t>(ino);
    id.known = true;
    return id;
}

void fill_from_stat(const struct stat& s, FileStatus* st)
{
    st->is_file = S_ISREG(s.st_mode);
    st->is_directory = S_ISDIR(s.st_mode);
    st->is_link = S_ISLNK(s.st_mode);
    st->size = static_cast<uint64_t>(s.st_size);
    st->id = id_of(s.st_dev, s.st_ino);
    st->times.access = to_ticks(s.st_atim.tv_sec, s.st_atim.tv_nsec);
    st->times.write = to_ticks(s.st_mtim.tv_sec, s.st_mtim.tv_nsec);
    st->times.creation = to_ticks(s.st_ctim.tv_sec, s.st_ctim.tv_nsec);
    st->times.creation_known = false;
}

#ifdef STATX_BTIME
void fill_from_statx(const struct statx& s, FileStatus* st)
{
    st->is_file = S_ISREG(s.stx_mode);
    st->is_directory = S_ISDIR(s.stx_mode);
    st->is_link = S_ISLNK(s.stx_mode);
    st->size = s.stx_size;
    st->id = id_of(makedev(s.stx_dev_major, s.stx_dev_minor), static_cast<ino_t>(s.stx_ino));
    st->times.access = to_ticks(s.stx_atime.tv_sec, s.stx_atime.tv_nsec);
    st->times.write = to_ticks(s.stx_mtime.tv_sec, s.stx_mtime.tv_nsec);
    // The birth time where the file system keeps one, else the status
    // change. A birth time of exactly 0 is one some images carry for every
    // file: not a time the file was made.
    bool birth = (s.stx_mask & STATX_BTIME) != 0;
    const statx_timestamp& c = birth ? s.stx_btime : s.stx_ctime;
    st->times.creation = to_ticks(c.tv_sec, c.tv_nsec);
    st->times.creation_known = birth && (c.tv_sec != 0 || c.tv_nsec != 0);
}
#endif

// Status of `name` relative to the directory `dirfd` (AT_FDCWD for a plain
// path), following symbolic links as stat does unless `flags` holds
// AT_SYMLINK_NOFOLLOW; with an empty name and
// AT_EMPTY_PATH in `flags`, the status of the open file `dirfd` itself.
bool status_at(int dirfd, const char* name, int flags, FileStatus* st)
{
    *st = FileStatus();
#ifdef STATX_BTIME
    struct statx sx;
    if (statx(dirfd, name, flags, STATX_BASIC_STATS | STATX_BTIME, &sx) == 0) {
        fill_from_statx(sx, st);
        return true;
    }
    if (errno != ENOSYS)
        return false;
#endif
    struct stat s;
    if (fstatat(dirfd, name, &s, flags) != 0)
        return false;
    fill_from_stat(s, st);
    return true;
}

// The status of `name` in `dirfd` itself, a link marked is_link: one query
// for anything but a link, which is looked at once more, through, only when
// it is to be followed.
bool link_status(int dirfd, const char* name, bool follow, FileStatus* st)
{
    if (!status_at(dirfd, name, AT_SYMLINK_NOFOLLOW, st))
        return false;
    if (!st->is_link || !follow)
        return true;
    bool ok = status_at(dirfd, name, 0, st);
    st->is_link = true;
    return ok;
}

// ---------------------------------------------------------------- listing

// On Linux the entries are read straight into the listing's own buffer
// (getdents64): making a DIR stream from a descriptor costs three more
// system calls per directory. Elsewhere a DIR stream reads them.
#if defined(__linux__) && defined(__GLIBC__) && (__GLIBC__ > 2 || (__GLIBC__ == 2 && __GLIBC_MINOR__ >= 30))
#define TWINEX_GETDENTS 1
using Entry = struct dirent64;
#else
using Entry = struct dirent;
#endif

class PosixListing : public DirListing {
public:
    // Takes over `fd`, an open directory: null, with errno set and the
    // descriptor closed, when no listing can be made of it.
    static std::unique_ptr<DirListing> over(int fd)
    {
#ifdef TWINEX_GETDENTS
        char* buf = static_cast<char*>(std::malloc(BUF_BYTES));
        if (!buf) {
            close(fd);
            errno = ENOMEM;
            return nullptr;
        }
        return std::unique_ptr<DirListing>(new PosixListing(fd, buf));
#else
        DIR* d = fdopendir(fd);
        if (!d) {
            int err = errno;
            close(fd);
            errno = err;
            return nullptr;
        }
        return std::unique_ptr<DirListing>(new PosixListing(d));
#endif
    }

    ~PosixListing() override
    {
#ifdef TWINEX_GETDENTS
        close(fd_);
        std::free(buf_);
#else
        closedir(dir_);
#endif
    }
    PosixListing(const PosixListing&) = delete;
    PosixListing& operator=(const PosixListing&) = delete;

    const char* next() override
    {
        entry_ = read_entry();
        name_ = entry_ ? entry_->d_name : nullptr;
        return name_;
    }

    // Asked on the listing's own descriptor by the entry's own name, so the
    // answer is about the entry of this directory even if a parent was
    // renamed meanwhile, and no path is looked up again from its start. A
    // symbolic link is followed and marked; where the entry's type is not
    // known, a first look without following tells whether it is a link.
    bool entry_status(const char*, FileStatus* st) override
    {
        if (!name_) {
            *st = FileStatus();
            return false;
        }
        int fd = descriptor();
        unsigned char type = entry_->d_type;
        if (type == DT_UNKNOWN) {
            if (!status_at(fd, name_, AT_SYMLINK_NOFOLLOW, st))
                return false;
            if (!st->is_link)
                return true;
            type = DT_LNK;
        }
        bool ok = status_at(fd, name_, 0, st);
        st->is_link = type == DT_LNK;
        return ok;
    }

    // The type the directory entry carries; what a symbolic link leads to
    // only a status query tells.
    int entry_kind() override
    {
        if (!entry_)
            return ENTRY_UNKNOWN;
        switch (entry_->d_type) {
        case DT_REG: return ENTRY_FILE;
        case DT_DIR: return ENTRY_DIRECTORY;
        case DT_LNK: return ENTRY_LINK;
        case DT_UNKNOWN: return ENTRY_UNKNOWN;
        default: return ENTRY_OTHER;
        }
    }

    int error() override { return error_; }

    FileId id() override
    {
        struct stat s;
        if (fstat(descriptor(), &s) != 0)
            return FileId();
        return id_of(s.st_dev, s.st_ino);
    }

#ifdef TWINEX_GETDENTS
    int descriptor() const { return fd_; }

private:
    static constexpr size_t BUF_BYTES = 32768;

    PosixListing(int fd, char* buf) : fd_(fd), buf_(buf) {}

    // The next entry of the buffer, read anew when used up; null at the end
    // or on an error (kept in error_). As readdir does, entries without an
    // inode (deleted) are passed over, and a directory removed while open
    // simply ends. The buffer goes at the end: a listing read to its end
    // may be kept open a while longer, to read statuses in its directory.
    Entry* read_entry()
    {
        for (;;) {
            if (at_ >= filled_) {
                ssize_t n = buf_ ? getdents64(fd_, buf_, BUF_BYTES) : 0;
                if (n <= 0) {
                    error_ = n < 0 && errno != ENOENT ? errno : 0;
                    at_ = filled_ = 0;
                    std::free(buf_);
                    buf_ = nullptr;
                    return nullptr;
                }
                filled_ = static_cast<size_t>(n);
                at_ = 0;
            }
            Entry* e = reinterpret_cast<Entry*>(buf_ + at_);
            at_ += e->d_reclen;
            if (e->d_ino != 0)
                return e;
        }
    }

    int fd_;
    char* buf_;
    size_t filled_ = 0;
    size_t at_ = 0;
#else
    int descriptor() const { return dirfd(dir_); }

private:
    explicit PosixListing(DIR* d) : dir_(d) {}

    Entry* read_entry()
    {
        errno = 0;
        Entry* e = readdir(dir_);
        if (!e)
            error_ = errno;
        return e;
    }

    DIR* dir_;
#endif
    Entry* entry_ = nullptr;
    const char* name_ = nullptr;
    int error_ = 0;
};

// ---------------------------------------------------------------- handles

// Reading times needs no access to the data: O_PATH never touches it and
// never blocks on a FIFO put in a file's place.
#ifdef O_PATH
constexpr int READ_TIMES_FLAGS = O_PATH | O_CLOEXEC;
#else
constexpr int READ_TIMES_FLAGS = O_RDONLY | O_CLOEXEC | O_NONBLOCK | O_NOCTTY;
#endif

// File handles carry the descriptor plus one, so descriptor 0 is not null.
FileHandle fd_handle(int fd) { return reinterpret_cast<FileHandle>(static_cast<intptr_t>(fd) + 1); }
int handle_fd(FileHandle h) { return static_cast<int>(reinterpret_cast<intptr_t>(h) - 1); }

// Writes all `n` bytes; 0 or the error number.
int write_all(int fd, const char* p, size_t n)
{
    while (n > 0) {
        ssize_t w = write(fd, p, n);
        if (w < 0) {
            if (errno == EINTR)
                continue;
            return errno;
        }
        if (w == 0)
            return EIO;
        p += w;
        n -= static_cast<size_t>(w);
    }
    return 0;
}

// Copies every byte of `in` to `out`; 0 or the error number.
// Copies every byte of `in`, from its first, to `out` inside the kernel
// where it can; false (nothing copied) where it cannot, and the bytes pass
// through here. The position of `in` is left alone.
bool copy_in_kernel(int in, int out, int* err)
{
#ifdef __linux__
    *err = 0;
    off_t at = 0;
    for (bool first = true;; first = false) {
        ssize_t n = sendfile(out, in, &at, size_t(1) << 30);
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0 && first && (errno == EINVAL || errno == ENOSYS))
            return false;
        if (n < 0)
            *err = errno;
        if (n <= 0)
            return true;
    }
#else
    (void)in, (void)out, (void)err;
    return false;
#endif
}

// Copies every byte of `in`, from its first, to `out`; 0 or the error number.
int copy_bytes(int in, int out)
{
    int err = 0;
    if (copy_in_kernel(in, out, &err))
        return err;
    static const size_t BUF = 1 << 16;
    char* buf = static_cast<char*>(std::malloc(BUF));
    if (!buf)
        return ENOMEM;
    for (off_t at = 0;;) {
        ssize_t r = pread(in, buf, BUF, at);
        if (r < 0 && errno == EINTR)
            continue;
        if (r < 0)
            err = errno;
        if (r <= 0)
            break;
        at += r;
        err = write_all(out, buf, static_cast<size_t>(r));
        if (err)
            break;
    }
    std::free(buf);
    return err;
}

// Opens a copy's source: a regular file only (a FIFO or device put in a
// file's place must not hang or feed the copy forever).
int open_source(const char* from, int* fd, mode_t* mode)
{
    *fd = open(from, O_RDONLY | O_CLOEXEC | O_NONBLOCK);
    if (*fd < 0)
        return errno;
    struct stat s;
    int err = 0;
    if (fstat(*fd, &s) != 0)
        err = errno;
    else if (!S_ISREG(s.st_mode))
        err = S_ISDIR(s.st_mode) ? EISDIR : EINVAL;
    if (err) {
        close(*fd);
        return err;
    }
    *mode = s.st_mode & 0777;
    return 0;
}

// ------------------------------------------------- acting in a directory

#ifdef __linux__
// True on a kernel of version 5.8 or later.
bool syncfs_tells_errors()
{
    static int known = -1;
    if (known < 0) {
        struct utsname u;
        int major = 0, minor = 0;
        known = uname(&u) == 0 && std::sscanf(u.release, "%d.%d", &major, &minor) == 2 &&
                (major > 5 || (major == 5 && minor >= 8));
    }
    return known == 1;
}
#endif

int dir_fd(DirHandle d) { return handle_fd(d); }

// Opens a directory by `at` and `name` (at may be AT_FDCWD); its identity
// into *id when asked.
DirHandle open_directory(int at, const char* name, int extra_flags, FileId* id, int* err)
{
    int fd = openat(at, name, O_RDONLY | O_DIRECTORY | O_CLOEXEC | extra_flags);
    struct stat s;
    if (fd >= 0 && fstat(fd, &s) != 0) {
        int e = errno;
        close(fd);
        fd = -1;
        errno = e;
    }
    if (fd < 0) {
        *err = errno;
        return nullptr;
    }
    if (id)
        *id = id_of(s.st_dev, s.st_ino);
    *err = 0;
    return fd_handle(fd);
}

// True when `name` in `dir` still leads to the file open as `fd`.
bool still_names(int dir, const char* name, int fd)
{
    struct stat byname, held;
    return fstatat(dir, name, &byname, 0) == 0 && fstat(fd, &held) == 0 && byname.st_dev == held.st_dev &&
           byname.st_ino == held.st_ino;
}

// A rename that never replaces: where the file system cannot refuse a taken
// name by itself, a second link is made (which fails on a taken name) and
// the old one dropped.
int rename_no_replace(int from_dir, const char* from, int to_dir, const char* to)
{
#ifdef RENAME_NOREPLACE
    if (renameat2(from_dir, from, to_dir, to, RENAME_NOREPLACE) == 0)
        return 0;
    if (errno != EINVAL && errno != ENOSYS)
        return errno;
#endif
    if (linkat(from_dir, from, to_dir, to, 0) != 0)
        return errno;
    if (unlinkat(from_dir, from, 0) != 0) {
        int err = errno;
        unlinkat(to_dir, to, 0);
        return err;
    }
    return 0;
}

// ---------------------------------------------------------------- threads

struct PosixThread {
    pthread_t thread{};
    ThreadProc proc = nullptr;
    void* arg = nullptr;
    pthread_mutex_t lock{};
    pthread_cond_t ended{};
    bool done = false;
    bool closed = false;   // the handle was closed while the thread still ran
};

void free_thread(PosixThread* t)
{
    pthread_cond_destroy(&t->ended);
    pthread_mutex_destroy(&t->lock);
    delete t;
}

void* thread_main(void* p)
{
    auto* t = static_cast<PosixThread*>(p);
    t->proc(t->arg);
    pthread_mutex_lock(&t->lock);
    t->done = true;
    bool orphan = t->closed;
    pthread_cond_broadcast(&t->ended);
    pthread_mutex_unlock(&t->lock);
    if (orphan)
        free_thread(t);   // detached: nobody else holds the record
    return nullptr;
}

bool init_condvar(pthread_cond_t* c)
{
    pthread_condattr_t a;
    if (pthread_condattr_init(&a) != 0)
        return false;
    pthread_condattr_setclock(&a, CLOCK_MONOTONIC);
    bool ok = pthread_cond_init(c, &a) == 0;
    pthread_condattr_destroy(&a);
    return ok;
}

timespec deadline_after(unsigned ms)
{
    timespec ts{};
    clock_gettime(CLOCK_MONOTONIC, &ts);
    ts.tv_sec += ms / 1000;
    ts.tv_nsec += static_cast<long>(ms % 1000) * 1000000L;
    if (ts.tv_nsec >= 1000000000L) {
        ts.tv_nsec -= 1000000000L;
        ++ts.tv_sec;
    }
    return ts;
}

// Deep walks keep one listing open per directory level: allow as many open
// files as the system lets this process have.
void raise_open_file_limit()
{
    rlimit r{};
    if (getrlimit(RLIMIT_NOFILE, &r) == 0 && r.rlim_cur < r.rlim_max) {
        r.rlim_cur = r.rlim_max;
        setrlimit(RLIMIT_NOFILE, &r);
    }
}

// An environment entry "NAME=value" whose name is `name` up to letter case.
// The program never leaves the C locale, where strncasecmp folds only the
// ASCII letters.
bool same_name_nocase(const char* entry, const char* name, size_t len)
{
    return strncasecmp(entry, name, len) == 0 && entry[len] == '=';
}

// ---------------------------------------------------------------- platform

// How a directory is opened for listing (as opendir opens it).
constexpr int DIR_FLAGS = O_RDONLY | O_DIRECTORY | O_NONBLOCK | O_CLOEXEC;

// The descriptor to look `path` up from: that of the listing `dir` when this
// layer made it and a name follows its part of the path; else -1 (a listing
// wrapped by another layer, or the directory itself).
int descriptor_of(DirListing& dir, const char* path, size_t dir_len)
{
    auto* own = dynamic_cast<PosixListing*>(&dir);
    return own && path[dir_len] != 0 ? own->descriptor() : -1;
}

class PosixPlatform : public Platform {
public:
    PosixPlatform() { raise_open_file_limit(); }

    bool stat(const char* path, FileStatus* st) override { return path && status_at(AT_FDCWD, path, 0, st); }

    bool path_status(const char* path, bool follow, FileStatus* st) override
    {
        return path && link_status(AT_FDCWD, path, follow, st);
    }

    bool status_in(DirHandle dir, const char* name, bool follow, FileStatus* st) override
    {
        return link_status(dir_fd(dir), name, follow, st);
    }

    std::unique_ptr<DirListing> open_dir(const char* path) override
    {
        int fd = open(path, DIR_FLAGS);
        return fd < 0 ? nullptr : PosixListing::over(fd);
    }

    // Looked up from the open directory's descriptor: only the names below
    // it are walked, not the whole path from its start.
    std::unique_ptr<DirListing> open_dir_below(DirListing& dir, const char* path, size_t dir_len) override
    {
        int at = descriptor_of(dir, path, dir_len);
        if (at < 0)
            return open_dir(path);
        int fd = openat(at, path + dir_len, DIR_FLAGS);
        return fd < 0 ? nullptr : PosixListing::over(fd);
    }

    bool stat_below(DirListing& dir, const char* path, size_t dir_len, FileStatus* st) override
    {
        int at = descriptor_of(dir, path, dir_len);
        if (at < 0)
            return stat(path, st);
        return status_at(at, path + dir_len, 0, st);
    }

    FileId identity(const char* path) override
    {
        struct stat s;
        if (::stat(path, &s) != 0)
            return FileId();
        return id_of(s.st_dev, s.st_ino);
    }

    int create_directory(const char* path) override { return mkdir(path, 0777) == 0 ? 0 : errno; }

    FILE* create_new_file(const char* path, int* err) override
    {
        int fd = open(path, O_CREAT | O_EXCL | O_WRONLY | O_CLOEXEC, 0666);
        if (fd < 0) {
            *err = errno;
            return nullptr;
        }
        FILE* f = fdopen(fd, "wb");
        if (!f) {
            *err = errno;
            close(fd);
            unlink(path);   // made by this call a moment ago, still empty
            return nullptr;
        }
        *err = 0;
        return f;
    }

    int delete_file(const char* path) override { return unlink(path) == 0 ? 0 : errno; }

    FileHandle open_for_times(const char* path, bool for_write, int* err) override
    {
        int fd = for_write ? open(path, O_WRONLY | O_CLOEXEC | O_NONBLOCK | O_NOCTTY)
                           : open(path, READ_TIMES_FLAGS);
        // Setting times needs ownership, not write permission: a read-only
        // copy of a read-only file still gets its times through a read handle.
        if (fd < 0 && for_write && errno == EACCES)
            fd = open(path, O_RDONLY | O_CLOEXEC | O_NONBLOCK | O_NOCTTY);
        if (fd < 0) {
            *err = errno;
            return nullptr;
        }
        *err = 0;
        return fd_handle(fd);
    }

    bool get_file_times(FileHandle h, FileTimes* t) override
    {
        FileStatus st;
        if (!h || !status_at(handle_fd(h), "", AT_EMPTY_PATH, &st))
            return false;
        *t = st.times;
        return true;
    }

    // The creation time cannot be set on Linux; access and write times are.
    bool set_file_times(FileHandle h, const FileTimes& t) override
    {
        if (!h)
            return false;
        timespec ts[2] = {to_timespec(t.access), to_timespec(t.write)};
        return futimens(handle_fd(h), ts) == 0;
    }

    void close_handle(FileHandle h) override
    {
        if (h)
            close(handle_fd(h));
    }

    FileHandle open_for_reading(const char* path, int* err) override
    {
        int fd = -1;
        mode_t mode = 0;
        *err = open_source(path, &fd, &mode);
        return *err ? nullptr : fd_handle(fd);
    }

    int read_bytes(FileHandle h, char* buf, uint32_t want, uint32_t* got) override
    {
        *got = 0;
        if (!h)
            return EBADF;
        for (;;) {
            ssize_t r = read(handle_fd(h), buf, want);
            if (r < 0 && errno == EINTR)
                continue;
            if (r < 0)
                return errno;
            *got = static_cast<uint32_t>(r);
            return 0;
        }
    }

    int remove_directory(const char* path) override { return rmdir(path) == 0 ? 0 : errno; }

    int create_private_directory(const char* path) override { return mkdir(path, 0700) == 0 ? 0 : errno; }

    DirHandle open_dir_path(const char* path, FileId* id, int* err) override
    {
        return open_directory(AT_FDCWD, path, 0, id, err);
    }

    DirHandle open_dir_at(DirHandle parent, const char* name, bool follow, FileId* id, int* err) override
    {
        return open_directory(dir_fd(parent), name, follow ? 0 : O_NOFOLLOW, id, err);
    }

    int make_dir_at(DirHandle parent, const char* name) override
    {
        return mkdirat(dir_fd(parent), name, 0777) == 0 ? 0 : errno;
    }

    int flush_dir(DirHandle d) override { return fsync(dir_fd(d)) == 0 ? 0 : errno; }

    void close_dir(DirHandle d) override
    {
        if (d)
            close(dir_fd(d));
    }

    FileHandle open_file_at(DirHandle dir, const char* name, bool follow, FileStatus* st, int* err) override
    {
        int flags = O_RDONLY | O_CLOEXEC | O_NONBLOCK | O_NOCTTY | (follow ? 0 : O_NOFOLLOW);
        int fd = openat(dir_fd(dir), name, flags);
        if (fd < 0) {
            *err = errno;
            return nullptr;
        }
        *err = status_at(fd, "", AT_EMPTY_PATH, st) ? (st->is_file ? 0 : EINVAL) : errno;
        if (*err) {
            close(fd);
            return nullptr;
        }
        return fd_handle(fd);
    }

    bool handle_status(FileHandle h, FileStatus* st) override
    {
        return h && status_at(handle_fd(h), "", AT_EMPTY_PATH, st);
    }

    int remove_file_at(DirHandle dir, const char* name, FileHandle h) override
    {
        if (!still_names(dir_fd(dir), name, handle_fd(h)))
            return ERR_NOT_THE_FILE;
        return unlinkat(dir_fd(dir), name, 0) == 0 ? 0 : errno;
    }

    int rename_at(DirHandle from, const char* name, FileHandle h, DirHandle to, const char* to_name) override
    {
        if (h && !still_names(dir_fd(from), name, handle_fd(h)))
            return ERR_NOT_THE_FILE;
        return rename_no_replace(dir_fd(from), name, dir_fd(to), to_name);
    }

    int copy_to_new(DirHandle, const char*, FileHandle h, DirHandle to, const char* to_name,
                    FileHandle* out) override
    {
        int in = handle_fd(h);
        struct stat s;
        if (fstat(in, &s) != 0)
            return errno;
        int fd = openat(dir_fd(to), to_name, O_CREAT | O_EXCL | O_WRONLY | O_CLOEXEC | O_NOFOLLOW, s.st_mode & 0777);
        if (fd < 0)
            return errno;   // nothing of ours to remove: the name may belong to another file
        int err = copy_bytes(in, fd);
        if (err) {
            close(fd);
            unlinkat(dir_fd(to), to_name, 0);   // created exclusively above: only our partial copy goes
            return err;
        }
        *out = fd_handle(fd);
        return 0;
    }

    int flush_handle(FileHandle h) override { return h && fsync(handle_fd(h)) == 0 ? 0 : errno; }

    // One flush of the whole file system costs one journal commit, where a
    // flush per file may cost one each. Linux tells the errors of all the
    // file system's writes to syncfs from 5.8 on; before, it told none.
    int flush_volume(DirHandle d) override
    {
#ifdef __linux__
        if (!syncfs_tells_errors())
            return ENOSYS;
        return syncfs(dir_fd(d)) == 0 ? 0 : errno;
#else
        (void)d;
        return ENOSYS;
#endif
    }

    int sync_stream(FILE* f) override
    {
        if (std::fflush(f) != 0)
            return errno ? errno : EIO;
        return fsync(fileno(f)) == 0 ? 0 : errno;
    }

    int recycle_file(DirHandle, const char*, FileHandle, const char*) override { return ENOSYS; }

    uint32_t user_id() override { return static_cast<uint32_t>(getuid()); }

    // An exact match wins over one that differs only in letter case (Linux
    // may hold both PATH and Path); otherwise the first match in the block.
    std::string get_env(const char* name) override
    {
        if (!name || !*name)
            return std::string();
        if (const char* exact = getenv(name))
            return exact;
        size_t len = std::strlen(name);
        for (char** e = environ; e && *e; ++e) {
            if (same_name_nocase(*e, name, len))
                return *e + len + 1;
        }
        return std::string();
    }

    int64_t now() override { return static_cast<int64_t>(time(nullptr)); }

    ThreadHandle start_thread(ThreadProc proc, void* arg) override
    {
        auto* t = new PosixThread;
        t->proc = proc;
        t->arg = arg;
        if (pthread_mutex_init(&t->lock, nullptr) != 0) {
            delete t;
            return nullptr;
        }
        if (!init_condvar(&t->ended)) {
            pthread_mutex_destroy(&t->lock);
            delete t;
            return nullptr;
        }
        if (pthread_create(&t->thread, nullptr, thread_main, t) != 0) {
            free_thread(t);
            return nullptr;
        }
        return t;
    }

    bool wait_thread(ThreadHandle h, unsigned ms) override
    {
        auto* t = static_cast<PosixThread*>(h);
        timespec deadline = deadline_after(ms);
        pthread_mutex_lock(&t->lock);
        while (!t->done) {
            if (pthread_cond_timedwait(&t->ended, &t->lock, &deadline) == ETIMEDOUT)
                break;
        }
        bool done = t->done;
        pthread_mutex_unlock(&t->lock);
        return done;
    }

    // Closing the handle of a running thread lets it run on, as on Windows;
    // the thread then frees its own record when it ends.
    void close_thread(ThreadHandle h) override
    {
        auto* t = static_cast<PosixThread*>(h);
        if (!t)
            return;
        pthread_t thread = t->thread;
        pthread_mutex_lock(&t->lock);
        bool done = t->done;
        t->closed = !done;
        pthread_mutex_unlock(&t->lock);
        if (done) {
            pthread_join(thread, nullptr);
            free_thread(t);
        } else {
            pthread_detach(thread);
        }
    }

    void sleep_ms(unsigned ms) override
    {
        timespec ts{static_cast<time_t>(ms / 1000), static_cast<long>(ms % 1000) * 1000000L};
        while (nanosleep(&ts, &ts) != 0 && errno == EINTR) {
        }
    }

    // No drive letters here: the chooser lists mount points instead.
    uint32_t logical_drives() override { return 0; }

    int drive_type(const char* root) override
    {
        FileStatus st;
        if (!root || !stat(root, &st) || !st.is_directory)
            return DRIVE_KIND_NO_ROOT_DIR;
        return DRIVE_KIND_FIXED;
    }

    bool volume_available(const char* root) override
    {
        FileStatus st;
        return root && stat(root, &st) && st.is_directory && access(root, R_OK | X_OK) == 0;
    }
};

}  // namespace

Platform& system_platform()
{
    static PosixPlatform platform;
    return platform;
}

// ---------------------------------------------------------------- Mutex

Mutex::Mutex() : impl_(new pthread_mutex_t)
{
    pthread_mutex_init(static_cast<pthread_mutex_t*>(impl_), nullptr);
}

Mutex::~Mutex()
{
    pthread_mutex_destroy(static_cast<pthread_mutex_t*>(impl_));
    delete static_cast<pthread_mutex_t*>(impl_);
}

void Mutex::lock() { pthread_mutex_lock(static_cast<pthread_mutex_t*>(impl_)); }

void Mutex::unlock() { pthread_mutex_unlock(static_cast<pthread_mutex_t*>(impl_)); }

// ---------------------------------------------------------------- Condition

Condition::Condition() : impl_(new pthread_cond_t)
{
    init_condvar(static_cast<pthread_cond_t*>(impl_));
}

Condition::~Condition()
{
    pthread_cond_destroy(static_cast<pthread_cond_t*>(impl_));
    delete static_cast<pthread_cond_t*>(impl_);
}

void Condition::wait(Mutex& m, unsigned ms)
{
    timespec deadline = deadline_after(ms);
    pthread_cond_timedwait(static_cast<pthread_cond_t*>(impl_), static_cast<pthread_mutex_t*>(m.impl_), &deadline);
}

void Condition::wake_one() { pthread_cond_signal(static_cast<pthread_cond_t*>(impl_)); }

void Condition::wake_all() { pthread_cond_broadcast(static_cast<pthread_cond_t*>(impl_)); }
