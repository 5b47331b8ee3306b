// The platform layer on Windows: the Win32 file, thread and drive calls.
#include "platform/platform.h"

#include <cerrno>
#include <cstring>
#include <ctime>
#include <vector>

#include <fcntl.h>
#include <io.h>
#include <windows.h>
#include <shellapi.h>

namespace {

// ---------------------------------------------------------------- errors

// The C runtime's error number for a Win32 error code.
int errno_from(DWORD code)
{
    switch (code) {
    case ERROR_SUCCESS:
        return 0;
    case ERROR_FILE_NOT_FOUND:
    case ERROR_PATH_NOT_FOUND:
    case ERROR_INVALID_DRIVE:
    case ERROR_BAD_NETPATH:
    case ERROR_BAD_NET_NAME:
    case ERROR_INVALID_NAME:
    case ERROR_BAD_PATHNAME:
        return ENOENT;
    case ERROR_DIRECTORY:
        return ENOTDIR;
    case ERROR_ACCESS_DENIED:
    case ERROR_SHARING_VIOLATION:
    case ERROR_LOCK_VIOLATION:
    case ERROR_WRITE_PROTECT:
    case ERROR_CURRENT_DIRECTORY:
    case ERROR_NETWORK_ACCESS_DENIED:
        return EACCES;
    case ERROR_FILE_EXISTS:
    case ERROR_ALREADY_EXISTS:
        return EEXIST;
    case ERROR_DISK_FULL:
    case ERROR_HANDLE_DISK_FULL:
        return ENOSPC;
    case ERROR_NOT_ENOUGH_MEMORY:
    case ERROR_OUTOFMEMORY:
        return ENOMEM;
    case ERROR_TOO_MANY_OPEN_FILES:
        return EMFILE;
    case ERROR_FILENAME_EXCED_RANGE:
    case ERROR_BUFFER_OVERFLOW:
        return ENAMETOOLONG;
    case ERROR_DIR_NOT_EMPTY:
        return ENOTEMPTY;
    case ERROR_NOT_SAME_DEVICE:
        return EXDEV;
    case ERROR_INVALID_PARAMETER:
        return EINVAL;
    default:
        return EIO;
    }
}

int last_errno() { return errno_from(GetLastError()); }

// True when the drive of the full path `full` keeps a Recycle Bin.
bool has_recycle_bin(const char* full)
{
    char root[MAX_PATH + 1];
    if (!GetVolumePathNameA(full, root, sizeof root))
        return false;
    SHQUERYRBINFO info;
    std::memset(&info, 0, sizeof info);
    info.cbSize = sizeof info;
    return SHQueryRecycleBinA(root, &info) == S_OK;
}

// ---------------------------------------------------------------- times

int64_t ticks_of(const FILETIME& ft)
{
    return static_cast<int64_t>((static_cast<uint64_t>(ft.dwHighDateTime) << 32) | ft.dwLowDateTime);
}

FILETIME filetime_of(int64_t ticks)
{
    FILETIME ft;
    uint64_t u = static_cast<uint64_t>(ticks);
    ft.dwLowDateTime = static_cast<DWORD>(u & 0xffffffffu);
    ft.dwHighDateTime = static_cast<DWORD>(u >> 32);
    return ft;
}

void fill_status(DWORD attr, DWORD size_high, DWORD size_low, const FILETIME& c, const FILETIME& a,
                 const FILETIME& w, FileStatus* st)
{
    st->is_directory = (attr & FILE_ATTRIBUTE_DIRECTORY) != 0;
    st->is_file = !st->is_directory && (attr & FILE_ATTRIBUTE_DEVICE) == 0;
    st->size = (static_cast<uint64_t>(size_high) << 32) | size_low;
    st->times.creation = ticks_of(c);
    st->times.access = ticks_of(a);
    st->times.write = ticks_of(w);
}

// ---------------------------------------------------------------- listing

// Every entry, hidden and system ones included, in the order the file
// system gives them; the status comes from the find data itself.
class WinListing : public DirListing {
public:
    WinListing(HANDLE h, const WIN32_FIND_DATAA& first) : find_(h), data_(first) {}
    WinListing() = default;   // a drive root with no entries at all
    ~WinListing() override
    {
        if (find_ != INVALID_HANDLE_VALUE)
            FindClose(find_);
    }
    WinListing(const WinListing&) = delete;
    WinListing& operator=(const WinListing&) = delete;

    const char* next() override
    {
        valid_ = false;
        if (find_ == INVALID_HANDLE_VALUE)
            return nullptr;
        if (!first_ && !FindNextFileA(find_, &data_)) {
            DWORD code = GetLastError();
            error_ = code == ERROR_NO_MORE_FILES ? 0 : errno_from(code);
            return nullptr;
        }
        first_ = false;
        valid_ = true;
        return data_.cFileName;
    }

    bool entry_status(const char*, FileStatus* st) override
    {
        *st = FileStatus();
        if (!valid_)
            return false;
        fill_status(data_.dwFileAttributes, data_.nFileSizeHigh, data_.nFileSizeLow, data_.ftCreationTime,
                    data_.ftLastAccessTime, data_.ftLastWriteTime, st);
        return true;
    }

    int error() override { return error_; }

private:
    HANDLE find_ = INVALID_HANDLE_VALUE;
    WIN32_FIND_DATAA data_{};
    bool first_ = true;
    bool valid_ = false;
    int error_ = 0;
};

// The search pattern for every entry of `path`: "path\*".
std::string all_entries(const char* path)
{
    std::string s(path);
    if (!s.empty() && s.back() != '\\' && s.back() != '/' && s.back() != ':')
        s += '\\';
    return s + '*';
}

// ---------------------------------------------------------------- threads

struct ThreadStart {
    ThreadProc proc;
    void* arg;
};

DWORD WINAPI thread_main(LPVOID p)
{
    ThreadStart start = *static_cast<ThreadStart*>(p);
    delete static_cast<ThreadStart*>(p);
    return start.proc(start.arg);
}

// Volume queries on an empty floppy or CD drive must answer "no" rather
// than put a system dialog in front of the user.
class NoCriticalErrorBoxes {
public:
    NoCriticalErrorBoxes() : old_(SetErrorMode(SEM_FAILCRITICALERRORS | SEM_NOOPENFILEERRORBOX)) {}
    ~NoCriticalErrorBoxes() { SetErrorMode(old_); }

private:
    UINT old_;
};

// ---------------------------------------------------------------- platform

class WinPlatform : public Platform {
public:
    bool stat(const char* path, FileStatus* st) override
    {
        *st = FileStatus();
        WIN32_FILE_ATTRIBUTE_DATA d;
        if (!path || !GetFileAttributesExA(path, GetFileExInfoStandard, &d)) {
            errno = last_errno();
            return false;
        }
        fill_status(d.dwFileAttributes, d.nFileSizeHigh, d.nFileSizeLow, d.ftCreationTime, d.ftLastAccessTime,
                     d.ftLastWriteTime, st);
        return true;
    }

    std::unique_ptr<DirListing> open_dir(const char* path) override
    {
        WIN32_FIND_DATAA first;
        HANDLE h = FindFirstFileA(all_entries(path).c_str(), &first);
        if (h != INVALID_HANDLE_VALUE)
            return std::unique_ptr<DirListing>(new WinListing(h, first));
        // An empty drive root has not even "." and "..": an empty listing,
        // as long as the path really is a directory.
        DWORD code = GetLastError();
        if (code == ERROR_FILE_NOT_FOUND) {
            DWORD attr = GetFileAttributesA(path);
            if (attr != INVALID_FILE_ATTRIBUTES && (attr & FILE_ATTRIBUTE_DIRECTORY))
                return std::unique_ptr<DirListing>(new WinListing());
        }
        errno = errno_from(code);
        return nullptr;
    }

    FileId identity(const char* path) override
    {
        FileId id;
        HANDLE h = CreateFileA(path, 0, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                               OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr);
        if (h == INVALID_HANDLE_VALUE)
            return id;
        BY_HANDLE_FILE_INFORMATION info;
        if (GetFileInformationByHandle(h, &info)) {
            id.volume = info.dwVolumeSerialNumber;
            id.index = (static_cast<uint64_t>(info.nFileIndexHigh) << 32) | info.nFileIndexLow;
            id.known = true;
        }
        CloseHandle(h);
        return id;
    }

    int create_directory(const char* path) override { return CreateDirectoryA(path, nullptr) ? 0 : last_errno(); }

    FILE* create_new_file(const char* path, int* err) override
    {
        HANDLE h = CreateFileA(path, GENERIC_WRITE, FILE_SHARE_READ, nullptr, CREATE_NEW, FILE_ATTRIBUTE_NORMAL,
                               nullptr);
        if (h == INVALID_HANDLE_VALUE) {
            *err = last_errno();
            return nullptr;
        }
        int fd = _open_osfhandle(reinterpret_cast<intptr_t>(h), _O_WRONLY | _O_BINARY);
        if (fd < 0) {
            *err = EMFILE;
            CloseHandle(h);
            DeleteFileA(path);   // made by this call a moment ago, still empty
            return nullptr;
        }
        FILE* f = _fdopen(fd, "wb");
        if (!f) {
            *err = errno ? errno : EMFILE;
            _close(fd);
            DeleteFileA(path);
            return nullptr;
        }
        *err = 0;
        return f;
    }

    // CopyFileA removes its own partial target when a copy breaks off; a
    // target that existed before is never touched.
    int copy_file_new(const char* from, const char* to) override
    {
        return CopyFileA(from, to, TRUE) ? 0 : last_errno();
    }

    int delete_file(const char* path) override { return DeleteFileA(path) ? 0 : last_errno(); }

    // Reading times needs no data access; setting them needs only the right
    // to write attributes, which a read-only file (and so a copy of one)
    // still grants.
    FileHandle open_for_times(const char* path, bool for_write, int* err) override
    {
        DWORD access = for_write ? FILE_WRITE_ATTRIBUTES : 0;
        DWORD share = for_write ? 0 : FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE;
        HANDLE h = CreateFileA(path, access, share, nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
        if (h == INVALID_HANDLE_VALUE) {
            *err = last_errno();
            return nullptr;
        }
        *err = 0;
        return h;
    }

    bool get_file_times(FileHandle h, FileTimes* t) override
    {
        FILETIME c, a, w;
        if (!h || !GetFileTime(static_cast<HANDLE>(h), &c, &a, &w))
            return false;
        t->creation = ticks_of(c);
        t->access = ticks_of(a);
        t->write = ticks_of(w);
        return true;
    }

    bool set_file_times(FileHandle h, const FileTimes& t) override
    {
        FILETIME c = filetime_of(t.creation), a = filetime_of(t.access), w = filetime_of(t.write);
        return h && SetFileTime(static_cast<HANDLE>(h), &c, &a, &w);
    }

    void close_handle(FileHandle h) override
    {
        if (h)
            CloseHandle(static_cast<HANDLE>(h));
    }

    FileHandle open_for_reading(const char* path, int* err) override
    {
        HANDLE h = CreateFileA(path, GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING,
                               FILE_ATTRIBUTE_NORMAL | FILE_FLAG_SEQUENTIAL_SCAN, nullptr);
        if (h == INVALID_HANDLE_VALUE) {
            *err = last_errno();
            return nullptr;
        }
        *err = 0;
        return h;
    }

    int read_bytes(FileHandle h, char* buf, uint32_t want, uint32_t* got) override
    {
        DWORD n = 0;
        *got = 0;
        if (!h || !ReadFile(static_cast<HANDLE>(h), buf, want, &n, nullptr))
            return h ? last_errno() : EBADF;
        *got = n;
        return 0;
    }

    int rename_new(const char* from, const char* to) override
    {
        return MoveFileExA(from, to, 0) ? 0 : last_errno();
    }

    int remove_directory(const char* path) override { return RemoveDirectoryA(path) ? 0 : last_errno(); }

    // Not yet reached through handles on Windows.
    DirHandle open_dir_path(const char*, FileId*, int* err) override { return *err = ENOSYS, nullptr; }
    DirHandle open_dir_at(DirHandle, const char*, bool, FileId*, int* err) override { return *err = ENOSYS, nullptr; }
    int make_dir_at(DirHandle, const char*) override { return ENOSYS; }
    int flush_dir(DirHandle) override { return 0; }
    void close_dir(DirHandle) override {}
    FileHandle open_file_at(DirHandle, const char*, bool, FileStatus*, int* err) override
    {
        return *err = ENOSYS, nullptr;
    }
    bool handle_status(FileHandle, FileStatus*) override { return false; }
    int remove_file_at(DirHandle, const char*, FileHandle) override { return ENOSYS; }
    int rename_at(DirHandle, const char*, FileHandle, DirHandle, const char*) override { return ENOSYS; }
    int copy_to_new(DirHandle, const char*, FileHandle, DirHandle, const char*, FileHandle*) override
    {
        return ENOSYS;
    }
    int flush_handle(FileHandle) override { return ENOSYS; }
    int flush_volume(DirHandle) override { return ENOSYS; }
    int sync_stream(FILE* f) override { return std::fflush(f) == 0 ? 0 : EIO; }

    // The shell's delete with undo allowed and no dialog of any kind. A drive
    // without a Recycle Bin would have the shell remove the file outright:
    // such a file is refused instead.
    int recycle_file(DirHandle, const char*, FileHandle, const char* path) override
    {
        char full[MAX_PATH + 2];
        DWORD n = GetFullPathNameA(path, MAX_PATH, full, nullptr);
        if (n == 0 || n >= MAX_PATH)
            return ENAMETOOLONG;
        full[n] = 0;
        full[n + 1] = 0;   // the list of names ends in two zeros
        if (!has_recycle_bin(full))
            return ENOTSUP;
        SHFILEOPSTRUCTA op;
        std::memset(&op, 0, sizeof op);
        op.wFunc = FO_DELETE;
        op.pFrom = full;
        op.fFlags = FOF_ALLOWUNDO | FOF_NOCONFIRMATION | FOF_SILENT | FOF_NOERRORUI;
        int r = SHFileOperationA(&op);
        if (r != 0)
            return r == ERROR_FILE_NOT_FOUND || r == 0x7C ? ENOENT : EACCES;
        if (op.fAnyOperationsAborted)
            return ECANCELED;
        return GetFileAttributesA(full) == INVALID_FILE_ATTRIBUTES ? 0 : EACCES;
    }

    uint32_t user_id() override { return 0; }

    // The system matches environment names without regard to letter case.
    std::string get_env(const char* name) override
    {
        if (!name || !*name)
            return std::string();
        std::vector<char> buf(256);
        for (;;) {
            DWORD n = GetEnvironmentVariableA(name, buf.data(), static_cast<DWORD>(buf.size()));
            if (n == 0)
                return std::string();
            if (n < buf.size())
                return std::string(buf.data(), n);
            buf.resize(n);
        }
    }

    int64_t now() override { return static_cast<int64_t>(time(nullptr)); }

    ThreadHandle start_thread(ThreadProc proc, void* arg) override
    {
        auto* start = new ThreadStart{proc, arg};
        HANDLE h = CreateThread(nullptr, 0, thread_main, start, 0, nullptr);
        if (!h)
            delete start;
        return h;
    }

    bool wait_thread(ThreadHandle h, unsigned ms) override
    {
        return WaitForSingleObject(static_cast<HANDLE>(h), ms) == WAIT_OBJECT_0;
    }

    void close_thread(ThreadHandle h) override
    {
        if (h)
            CloseHandle(static_cast<HANDLE>(h));
    }

    void sleep_ms(unsigned ms) override { Sleep(ms); }

    uint32_t logical_drives() override { return GetLogicalDrives(); }

    int drive_type(const char* root) override
    {
        switch (GetDriveTypeA(root)) {
        case DRIVE_REMOVABLE: return DRIVE_KIND_REMOVABLE;
        case DRIVE_FIXED: return DRIVE_KIND_FIXED;
        case DRIVE_REMOTE: return DRIVE_KIND_REMOTE;
        case DRIVE_CDROM: return DRIVE_KIND_CDROM;
        case DRIVE_RAMDISK: return DRIVE_KIND_RAMDISK;
        case DRIVE_NO_ROOT_DIR: return DRIVE_KIND_NO_ROOT_DIR;
        default: return DRIVE_KIND_UNKNOWN;
        }
    }

    bool volume_available(const char* root) override
    {
        NoCriticalErrorBoxes quiet;
        char label[128];
        DWORD max_component = 0, flags = 0;
        return GetVolumeInformationA(root, label, sizeof label, nullptr, &max_component, &flags, nullptr, 0) != 0;
    }
};

}  // namespace

Platform& system_platform()
{
    static WinPlatform platform;
    return platform;
}

// ---------------------------------------------------------------- Mutex

Mutex::Mutex() : impl_(new CRITICAL_SECTION)
{
    InitializeCriticalSection(static_cast<CRITICAL_SECTION*>(impl_));
}

Mutex::~Mutex()
{
    DeleteCriticalSection(static_cast<CRITICAL_SECTION*>(impl_));
    delete static_cast<CRITICAL_SECTION*>(impl_);
}

void Mutex::lock() { EnterCriticalSection(static_cast<CRITICAL_SECTION*>(impl_)); }

void Mutex::unlock() { LeaveCriticalSection(static_cast<CRITICAL_SECTION*>(impl_)); }

// ---------------------------------------------------------------- Condition

Condition::Condition() : impl_(new CONDITION_VARIABLE)
{
    InitializeConditionVariable(static_cast<CONDITION_VARIABLE*>(impl_));
}

Condition::~Condition() { delete static_cast<CONDITION_VARIABLE*>(impl_); }

void Condition::wait(Mutex& m, unsigned ms)
{
    SleepConditionVariableCS(static_cast<CONDITION_VARIABLE*>(impl_), static_cast<CRITICAL_SECTION*>(m.impl_), ms);
}

void Condition::wake_one() { WakeConditionVariable(static_cast<CONDITION_VARIABLE*>(impl_)); }

void Condition::wake_all() { WakeAllConditionVariable(static_cast<CONDITION_VARIABLE*>(impl_)); }
