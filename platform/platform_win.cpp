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
#include <winternl.h>

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

// The error number of a native call's status (0 for success).
int errno_of(NTSTATUS status)
{
    return NT_SUCCESS(status) ? 0 : errno_from(RtlNtStatusToDosError(status));
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

FileId id_of(const BY_HANDLE_FILE_INFORMATION& info)
{
    FileId id;
    id.volume = info.dwVolumeSerialNumber;
    id.index = (static_cast<uint64_t>(info.nFileIndexHigh) << 32) | info.nFileIndexLow;
    id.known = true;
    return id;
}

// The status of an open file or directory, read from its handle.
bool status_of(HANDLE h, FileStatus* st)
{
    *st = FileStatus();
    BY_HANDLE_FILE_INFORMATION info;
    if (h == INVALID_HANDLE_VALUE || !GetFileInformationByHandle(h, &info))
        return false;
    fill_status(info.dwFileAttributes, info.nFileSizeHigh, info.nFileSizeLow, info.ftCreationTime,
                info.ftLastAccessTime, info.ftLastWriteTime, st);
    st->id = id_of(info);
    return true;
}

FileId id_of(HANDLE h)
{
    FileStatus st;
    return status_of(h, &st) ? st.id : FileId();
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
        // The tag of a reparse point is in dwReserved0.
        st->is_junction = st->is_directory && (data_.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT) &&
                          (data_.dwReserved0 == IO_REPARSE_TAG_MOUNT_POINT || data_.dwReserved0 == IO_REPARSE_TAG_SYMLINK);
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

// ---------------------------------------------------------------- handles

// A file held open. Callers keep this record rather than the system's
// handle, so that the handle can be exchanged while they hold it (the
// Recycle Bin needs that).
struct OpenFile {
    HANDLE h;
    bool copy;                   // a copy this layer made
    DWORD attributes_at_close;   // its read-only attribute, given back when it is closed
};

FileHandle file_handle(HANDLE h, bool copy = false, DWORD attributes_at_close = 0)
{
    return new OpenFile{h, copy, attributes_at_close};
}

HANDLE os_handle(FileHandle f)
{
    return f ? static_cast<OpenFile*>(f)->h : INVALID_HANDLE_VALUE;
}

// A directory held open to act in it, and the path it was reached by.
struct OpenDir {
    HANDLE h;
    std::string path;
};

OpenDir& dir_of(DirHandle d)
{
    return *static_cast<OpenDir*>(d);
}

std::string join(const std::string& dir, const char* name)
{
    bool sep = !dir.empty() && (dir.back() == '\\' || dir.back() == '/' || dir.back() == ':');
    return sep ? dir + name : dir + '\\' + name;
}

// ------------------------------------------------- acting in a directory

// A directory is held so that others may read and write in it, but never
// rename or remove it; its own listing right makes the system keep to that.
constexpr ACCESS_MASK DIR_ACCESS = FILE_LIST_DIRECTORY | FILE_TRAVERSE | FILE_READ_ATTRIBUTES;
constexpr ULONG DIR_SHARE = FILE_SHARE_READ | FILE_SHARE_WRITE;
constexpr ULONG SHARE_ALL = FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE;

std::wstring wide(const char* s)
{
    int n = MultiByteToWideChar(CP_ACP, 0, s, -1, nullptr, 0);
    if (n <= 1)
        return std::wstring();
    std::wstring w(static_cast<size_t>(n), L'\0');
    MultiByteToWideChar(CP_ACP, 0, s, -1, &w[0], n);
    w.resize(static_cast<size_t>(n - 1));
    return w;
}

// Opens (or makes, by `disposition`) the entry `name` of the directory
// held as `dir`, relative to its handle: no part of the path above it is
// looked up again.
int open_in(HANDLE dir, const char* name, ACCESS_MASK access, ULONG share, ULONG disposition, ULONG options,
            HANDLE* out)
{
    *out = INVALID_HANDLE_VALUE;
    std::wstring w = wide(name);
    if (w.empty() || w.size() > 32000)
        return w.empty() ? ENOENT : ENAMETOOLONG;
    UNICODE_STRING text;
    text.Buffer = &w[0];
    text.Length = text.MaximumLength = static_cast<USHORT>(w.size() * sizeof(wchar_t));
    OBJECT_ATTRIBUTES where;
    InitializeObjectAttributes(&where, &text, OBJ_CASE_INSENSITIVE, dir, nullptr);
    IO_STATUS_BLOCK io;
    HANDLE h = nullptr;
    NTSTATUS status = NtCreateFile(&h, access | SYNCHRONIZE, &where, &io, nullptr, FILE_ATTRIBUTE_NORMAL, share,
                                   disposition, options | FILE_SYNCHRONOUS_IO_NONALERT, nullptr, 0);
    if (NT_SUCCESS(status))
        *out = h;
    return errno_of(status);
}

// Opens the existing entry `name` of `dir` as open_in does. Unless
// `follow`, a name that stands for another place (a symbolic link, a
// junction) is refused with ELOOP; any other reparse point (a file kept in
// the cloud, a deduplicated one) is opened once more through its filter,
// and must still be the same object.
int open_entry(HANDLE dir, const char* name, ACCESS_MASK access, ULONG share, ULONG options, bool follow,
               HANDLE* out)
{
    if (follow)
        return open_in(dir, name, access, share, FILE_OPEN, options, out);
    HANDLE h;
    int err = open_in(dir, name, access, share, FILE_OPEN, options | FILE_OPEN_REPARSE_POINT, &h);
    if (err)
        return err;
    FILE_ATTRIBUTE_TAG_INFO tag{};
    if (!GetFileInformationByHandleEx(h, FileAttributeTagInfo, &tag, sizeof tag) ||
        !(tag.FileAttributes & FILE_ATTRIBUTE_REPARSE_POINT)) {
        *out = h;
        return 0;
    }
    FileId first = id_of(h);
    CloseHandle(h);
    if (IsReparseTagNameSurrogate(tag.ReparseTag))
        return ELOOP;
    err = open_in(dir, name, access, share, FILE_OPEN, options, out);
    if (!err && !(id_of(*out) == first)) {
        CloseHandle(*out);
        *out = INVALID_HANDLE_VALUE;
        err = ENOENT;
    }
    return err;
}

// True when `other`, opened to compare (closed here), holds the file `h`
// holds; false when its open failed.
bool same_file(HANDLE other, HANDLE h)
{
    if (other == INVALID_HANDLE_VALUE)
        return false;
    bool same = id_of(other) == id_of(h);
    CloseHandle(other);
    return same;
}

// True when `name` of `dir` still leads to the file open as `h`.
bool still_names(HANDLE dir, const char* name, HANDLE h)
{
    HANDLE now;
    open_in(dir, name, FILE_READ_ATTRIBUTES, SHARE_ALL, FILE_OPEN, FILE_OPEN_REPARSE_POINT, &now);
    return same_file(now, h);
}

// True when the path leads to the file open as `h`.
bool path_leads_to(const std::string& path, HANDLE h)
{
    return same_file(CreateFileA(path.c_str(), FILE_READ_ATTRIBUTES, SHARE_ALL, nullptr, OPEN_EXISTING,
                                 FILE_FLAG_OPEN_REPARSE_POINT | FILE_FLAG_BACKUP_SEMANTICS, nullptr),
                     h);
}

// Holds the directory open as `h` (or fails with *err set): its status and
// identity are read from the handle.
DirHandle held_dir(int open_err, HANDLE h, std::string path, FileId* id, int* err)
{
    FileStatus st;
    *err = open_err ? open_err : !status_of(h, &st) ? last_errno() : st.is_directory ? 0 : ENOTDIR;
    if (*err) {
        if (h != INVALID_HANDLE_VALUE)
            CloseHandle(h);
        return nullptr;
    }
    if (id)
        *id = st.id;
    return new OpenDir{h, std::move(path)};
}

// Removes the file open as `h`, which the handle's right to remove allows.
// Where the file system can (Windows 10), the name goes at once, as on
// POSIX; elsewhere when the last handle to it is closed.
int dispose(HANDLE h)
{
    constexpr auto DISPOSITION_EX = static_cast<FILE_INFO_BY_HANDLE_CLASS>(21);   // FileDispositionInfoEx
    DWORD flags = 0x1 | 0x2;   // FILE_DISPOSITION_FLAG_DELETE | FILE_DISPOSITION_FLAG_POSIX_SEMANTICS
    if (SetFileInformationByHandle(h, DISPOSITION_EX, &flags, sizeof flags))
        return 0;
    DWORD code = GetLastError();
    if (code != ERROR_INVALID_PARAMETER && code != ERROR_NOT_SUPPORTED && code != ERROR_INVALID_FUNCTION)
        return errno_from(code);
    FILE_DISPOSITION_INFO remove = {TRUE};
    return SetFileInformationByHandle(h, FileDispositionInfo, &remove, sizeof remove) ? 0 : last_errno();
}

// Removes `name` of `dir`, which must be the file open as `held`, through
// a handle of its own.
int dispose_named(HANDLE dir, const char* name, HANDLE held)
{
    HANDLE h;
    int err = open_in(dir, name, DELETE | FILE_READ_ATTRIBUTES, SHARE_ALL, FILE_OPEN, FILE_OPEN_REPARSE_POINT, &h);
    if (err)
        return err;
    err = id_of(h) == id_of(held) ? dispose(h) : ERR_NOT_THE_FILE;
    CloseHandle(h);
    return err;
}

// Gives the file open as `h` the name `name` in the directory held as
// `dir`, through the handle itself, never replacing anything.
int rename_handle(HANDLE h, HANDLE dir, const char* name)
{
    std::wstring w = wide(name);
    if (w.empty())
        return ENOENT;
    std::vector<char> buf(sizeof(FILE_RENAME_INFO) + w.size() * sizeof(wchar_t));
    auto* info = reinterpret_cast<FILE_RENAME_INFO*>(buf.data());
    info->ReplaceIfExists = FALSE;
    info->RootDirectory = dir;
    info->FileNameLength = static_cast<DWORD>(w.size() * sizeof(wchar_t));
    std::memcpy(info->FileName, w.data(), info->FileNameLength);
    IO_STATUS_BLOCK io;
    return errno_of(NtSetInformationFile(h, &io, info, static_cast<ULONG>(buf.size()), FileRenameInformation));
}

// Opens a copy just made, `name` of `dir` (whose path is `path`), to set its
// times and flush it. A read-only copy is made writable for that, and gets
// its attribute back when it is closed. As on POSIX, others may open the
// copy meanwhile (its size is checked once it is made); a right to remove
// it held here would shut out every program that does not share that.
int open_copy(HANDLE dir, const char* name, const std::string& path, HANDLE* out, DWORD* attributes_at_close)
{
    constexpr ACCESS_MASK ACCESS = GENERIC_WRITE | FILE_READ_ATTRIBUTES;
    constexpr ULONG OPTIONS = FILE_NON_DIRECTORY_FILE | FILE_OPEN_REPARSE_POINT;
    *attributes_at_close = 0;
    int err = open_in(dir, name, ACCESS, SHARE_ALL, FILE_OPEN, OPTIONS, out);
    DWORD attr = GetFileAttributesA(path.c_str());
    if (err != EACCES || attr == INVALID_FILE_ATTRIBUTES || !(attr & FILE_ATTRIBUTE_READONLY) ||
        !SetFileAttributesA(path.c_str(), attr & ~DWORD(FILE_ATTRIBUTE_READONLY)))
        return err;
    *attributes_at_close = attr;
    return open_in(dir, name, ACCESS, SHARE_ALL, FILE_OPEN, OPTIONS, out);
}

// ---------------------------------------------------------------- Recycle Bin

// Exchanges the hold on `file` (`name` of `dir`) for one that lets others
// rename and remove it, once that one is known to hold the same file.
bool watch_only(HANDLE dir, const char* name, OpenFile* file)
{
    HANDLE watch;
    if (open_in(dir, name, FILE_READ_ATTRIBUTES, SHARE_ALL, FILE_OPEN, FILE_OPEN_REPARSE_POINT, &watch) != 0)
        return false;
    if (!(id_of(watch) == id_of(file->h))) {
        CloseHandle(watch);
        return false;
    }
    CloseHandle(file->h);
    file->h = watch;
    return true;
}

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

// The directory of Wine's Recycle Bin: the desktop trash of the Unix side,
// in $XDG_DATA_HOME where that is a Unix path, else in the home directory.
// Empty outside Wine.
std::string wine_bin()
{
    if (!GetProcAddress(GetModuleHandleA("ntdll.dll"), "wine_get_version"))
        return std::string();
    char buf[MAX_PATH];
    DWORD n = GetEnvironmentVariableA("XDG_DATA_HOME", buf, sizeof buf);
    std::string dir = n > 0 && n < sizeof buf && buf[0] == '/' ? "\\\\?\\unix" + std::string(buf) : std::string();
    n = dir.empty() ? GetEnvironmentVariableA("WINEHOMEDIR", buf, sizeof buf) : 0;   // \??\Z:\home\me
    if (n > 4 && n < sizeof buf)
        dir = "\\\\?\\" + std::string(buf + 4) + "/.local/share";
    for (char& c : dir)
        c = c == '/' ? '\\' : c;
    return dir.empty() ? dir : dir + "\\Trash";
}

// Under Wine the bin takes a file of another Unix file system than its own
// only by a copy that is not brought to the disk before the file goes: such
// a file is left to stay. True elsewhere, and where the bin's volume cannot
// be told (that of its nearest existing parent counts).
bool bin_takes(HANDLE file)
{
    std::string dir = wine_bin();
    FileId bin;
    while (!dir.empty() && !bin.known) {
        HANDLE h = CreateFileA(dir.c_str(), 0, SHARE_ALL, nullptr, OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr);
        bin = id_of(h);
        if (h != INVALID_HANDLE_VALUE)
            CloseHandle(h);
        size_t cut = dir.find_last_of('\\');
        dir.resize(cut == std::string::npos ? 0 : cut);
    }
    return !bin.known || bin.volume == id_of(file).volume;
}

// While the shell acts for this thread, each question it puts is answered
// "no". Asked to warn before it removes a file outright (a file its bin
// will not take), the shell asks first; so such a file stays.
LRESULT CALLBACK answer_no(int code, WPARAM wparam, LPARAM lparam)
{
    if (code == HCBT_ACTIVATE) {
        HWND box = reinterpret_cast<HWND>(wparam);
        char kind[16] = "";
        if (GetClassNameA(box, kind, sizeof kind) && std::strcmp(kind, "#32770") == 0)
            EndDialog(box, IDNO);
    }
    return CallNextHookEx(nullptr, code, wparam, lparam);
}

// The shell's delete of the full path `full` with undo allowed, no
// dialog of its own, and never a file removed outright: 0 once the file is
// in the bin, ENOTSUP when the bin would not take it.
int shell_recycle(const char* full)
{
    std::string from(full);
    from.append(2, '\0');   // the list of names ends in two zeros
    SHFILEOPSTRUCTA op;
    std::memset(&op, 0, sizeof op);
    op.wFunc = FO_DELETE;
    op.pFrom = from.c_str();
    op.fFlags = FOF_ALLOWUNDO | FOF_NOCONFIRMATION | FOF_WANTNUKEWARNING | FOF_SILENT | FOF_NOERRORUI;
    HHOOK hook = SetWindowsHookExA(WH_CBT, answer_no, nullptr, GetCurrentThreadId());
    if (!hook)
        return last_errno();
    int r = SHFileOperationA(&op);
    UnhookWindowsHookEx(hook);
    if (op.fAnyOperationsAborted)
        return ENOTSUP;
    if (r != 0)
        return r == ERROR_FILE_NOT_FOUND || r == 0x7C ? ENOENT : EACCES;
    return GetFileAttributesA(full) == INVALID_FILE_ATTRIBUTES ? 0 : EACCES;
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
        HANDLE h = CreateFileA(path, 0, SHARE_ALL, nullptr, OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr);
        if (h == INVALID_HANDLE_VALUE)
            return FileId();
        FileId id = id_of(h);
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

    int delete_file(const char* path) override { return DeleteFileA(path) ? 0 : last_errno(); }

    // Reading times needs no data access; setting them needs only the right
    // to write attributes, which a read-only file (and so a copy of one)
    // still grants.
    FileHandle open_for_times(const char* path, bool for_write, int* err) override
    {
        DWORD access = for_write ? FILE_WRITE_ATTRIBUTES : 0;
        DWORD share = for_write ? 0 : SHARE_ALL;
        HANDLE h = CreateFileA(path, access, share, nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
        *err = h == INVALID_HANDLE_VALUE ? last_errno() : 0;
        return *err ? nullptr : file_handle(h);
    }

    bool get_file_times(FileHandle h, FileTimes* t) override
    {
        FILETIME c, a, w;
        if (!h || !GetFileTime(os_handle(h), &c, &a, &w))
            return false;
        t->creation = ticks_of(c);
        t->access = ticks_of(a);
        t->write = ticks_of(w);
        return true;
    }

    // A creation time that is not known is left as the file has it.
    bool set_file_times(FileHandle h, const FileTimes& t) override
    {
        FILETIME c = filetime_of(t.creation), a = filetime_of(t.access), w = filetime_of(t.write);
        return h && SetFileTime(os_handle(h), t.creation_known ? &c : nullptr, &a, &w);
    }

    void close_handle(FileHandle h) override
    {
        if (!h)
            return;
        auto* f = static_cast<OpenFile*>(h);
        if (f->attributes_at_close) {
            FILE_BASIC_INFO basic{};   // times of 0: left as they are
            basic.FileAttributes = f->attributes_at_close;
            SetFileInformationByHandle(f->h, FileBasicInfo, &basic, sizeof basic);
        }
        CloseHandle(f->h);
        delete f;
    }

    FileHandle open_for_reading(const char* path, int* err) override
    {
        HANDLE h = CreateFileA(path, GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING,
                               FILE_ATTRIBUTE_NORMAL | FILE_FLAG_SEQUENTIAL_SCAN, nullptr);
        *err = h == INVALID_HANDLE_VALUE ? last_errno() : 0;
        return *err ? nullptr : file_handle(h);
    }

    int read_bytes(FileHandle h, char* buf, uint32_t want, uint32_t* got) override
    {
        DWORD n = 0;
        *got = 0;
        if (!h || !ReadFile(os_handle(h), buf, want, &n, nullptr))
            return h ? last_errno() : EBADF;
        *got = n;
        return 0;
    }

    int remove_directory(const char* path) override { return RemoveDirectoryA(path) ? 0 : last_errno(); }

    // A root as the user gave it: links on the way are followed.
    DirHandle open_dir_path(const char* path, FileId* id, int* err) override
    {
        HANDLE h = CreateFileA(path, DIR_ACCESS, DIR_SHARE, nullptr, OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS,
                               nullptr);
        return held_dir(h == INVALID_HANDLE_VALUE ? last_errno() : 0, h, path, id, err);
    }

    DirHandle open_dir_at(DirHandle parent, const char* name, bool follow, FileId* id, int* err) override
    {
        HANDLE h;
        int e = open_entry(dir_of(parent).h, name, DIR_ACCESS, DIR_SHARE,
                           FILE_DIRECTORY_FILE | FILE_OPEN_FOR_BACKUP_INTENT, follow, &h);
        return held_dir(e, h, join(dir_of(parent).path, name), id, err);
    }

    int make_dir_at(DirHandle parent, const char* name) override
    {
        HANDLE h;
        int err = open_in(dir_of(parent).h, name, DIR_ACCESS, DIR_SHARE, FILE_CREATE, FILE_DIRECTORY_FILE, &h);
        if (!err)
            CloseHandle(h);
        return err;
    }

    // The file system keeps its directories' entries by itself.
    int flush_dir(DirHandle) override { return 0; }

    void close_dir(DirHandle d) override
    {
        if (!d)
            return;
        CloseHandle(dir_of(d).h);
        delete &dir_of(d);
    }

    // Held with the right to read and to remove it, shared only for
    // reading: no one else can write to, rename or remove it meanwhile.
    // Where the user lacks a right, or another hold (this program's own too:
    // one file met under two names) shuts these out, it is held only to
    // read its status; the acts that need more then fail with the reason.
    FileHandle open_file_at(DirHandle dir, const char* name, bool follow, FileStatus* st, int* err) override
    {
        HANDLE h;
        for (ACCESS_MASK access : {GENERIC_READ | DELETE, GENERIC_READ, ACCESS_MASK(FILE_READ_ATTRIBUTES)}) {
            *err = open_entry(dir_of(dir).h, name, access, FILE_SHARE_READ, FILE_NON_DIRECTORY_FILE, follow, &h);
            if (*err != EACCES)
                break;
        }
        if (!*err)
            *err = !status_of(h, st) ? last_errno() : st->is_file ? 0 : EINVAL;
        if (*err && h != INVALID_HANDLE_VALUE)
            CloseHandle(h);
        return *err ? nullptr : file_handle(h);
    }

    bool handle_status(FileHandle h, FileStatus* st) override { return status_of(os_handle(h), st); }

    // Through the held handle; a copy this layer made (held without the
    // right to remove it) through a second handle to the same file.
    int remove_file_at(DirHandle dir, const char* name, FileHandle h) override
    {
        HANDLE held = os_handle(h);
        if (!still_names(dir_of(dir).h, name, held))
            return ERR_NOT_THE_FILE;
        int err = dispose(held);
        return err == EACCES && static_cast<OpenFile*>(h)->copy ? dispose_named(dir_of(dir).h, name, held) : err;
    }

    // Through the held file's own handle: the rename moves that very file.
    int rename_at(DirHandle from, const char* name, FileHandle h, DirHandle to, const char* to_name) override
    {
        if (h && !still_names(dir_of(from).h, name, os_handle(h)))
            return ERR_NOT_THE_FILE;
        if (h)
            return rename_handle(os_handle(h), dir_of(to).h, to_name);
        HANDLE own;
        int err = open_in(dir_of(from).h, name, DELETE | FILE_READ_ATTRIBUTES, SHARE_ALL, FILE_OPEN,
                          FILE_OPEN_REPARSE_POINT, &own);
        if (err)
            return err;
        err = rename_handle(own, dir_of(to).h, to_name);
        CloseHandle(own);
        return err;
    }

    // The system's copy keeps the file's streams and attributes. It goes by
    // the file's path, which the held file and directory keep leading to:
    // neither can be renamed or removed while held. A failed copy removes
    // what it made.
    int copy_to_new(DirHandle dir, const char* name, FileHandle h, DirHandle to, const char* to_name,
                    FileHandle* out) override
    {
        std::string from = join(dir_of(dir).path, name), dest = join(dir_of(to).path, to_name);
        if (!path_leads_to(from, os_handle(h)))
            return ERR_NOT_THE_FILE;
        if (!CopyFileA(from.c_str(), dest.c_str(), TRUE))
            return last_errno();
        HANDLE made;
        DWORD attributes_at_close = 0;
        int err = open_copy(dir_of(to).h, to_name, dest, &made, &attributes_at_close);
        if (err) {
            SetFileAttributesA(dest.c_str(), FILE_ATTRIBUTE_NORMAL);
            DeleteFileA(dest.c_str());   // made by the copy above: ours
            return err;
        }
        *out = file_handle(made, true, attributes_at_close);
        return 0;
    }

    int flush_handle(FileHandle h) override { return h && FlushFileBuffers(os_handle(h)) ? 0 : last_errno(); }

    // Flushing a whole volume takes an administrator's rights on Windows:
    // each copy is flushed on its own.
    int flush_volume(DirHandle) override { return ENOSYS; }

    int sync_stream(FILE* f) override
    {
        if (std::fflush(f) != 0)
            return errno ? errno : EIO;
        HANDLE h = reinterpret_cast<HANDLE>(_get_osfhandle(_fileno(f)));
        return FlushFileBuffers(h) ? 0 : last_errno();
    }

    // The shell's delete with undo allowed, by the file's path. The shell
    // must be able to take the file away, so the hold that keeps others
    // from renaming or removing it is given up for one that lets them,
    // once that one is known to hold the same file. What stays open
    // meanwhile: another program with the right to remove files in that
    // directory could put another file under the name, which would then go
    // to the bin; the directory itself stays held.
    int recycle_file(DirHandle dir, const char* name, FileHandle h, const char* path) override
    {
        char full[MAX_PATH + 1];
        DWORD n = GetFullPathNameA(path, MAX_PATH, full, nullptr);
        if (n == 0 || n >= MAX_PATH)
            return ENAMETOOLONG;
        if (!has_recycle_bin(full) || !bin_takes(os_handle(h)))
            return ENOTSUP;
        if (!watch_only(dir_of(dir).h, name, static_cast<OpenFile*>(h)))
            return ERR_NOT_THE_FILE;
        return shell_recycle(full);
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
