/* Preloaded into twinex-cli by swap.sh (LD_PRELOAD). It wraps the C
 * library's calls that take a path or a name, and counts those that name
 * one file, SWAP_FILE (an absolute path), whether by its whole path or by
 * its name relative to an open directory. Just before call number SWAP_AT
 * it renames the directory SWAP_DIR to SWAP_DIR.away and puts a symbolic
 * link to SWAP_LINK in its place, as another user of a shared tree could.
 * Each counted call appends its function's name to the file SWAP_LOG.
 */
#define _GNU_SOURCE
#include <dlfcn.h>
#include <fcntl.h>
#include <limits.h>
#include <pthread.h>
#include <stdarg.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <sys/stat.h>
#include <sys/syscall.h>
#include <unistd.h>

static pthread_mutex_t lock = PTHREAD_MUTEX_INITIALIZER;
static long calls;

static const char* env(const char* name)
{
    const char* v = getenv(name);
    return v && *v ? v : NULL;
}

/* Drops doubled slashes and "." steps, so that joined paths compare. */
static void tidy(char* p)
{
    char* out = p;
    for (const char* in = p; *in;) {
        if (in[0] == '/' && (in[1] == '/' || (in[1] == '.' && (in[2] == '/' || !in[2])))) {
            in += in[1] == '/' ? 1 : 2;
            continue;
        }
        *out++ = *in++;
    }
    *out = 0;
}

/* The absolute path that (dirfd, name) stands for, as far as names go. */
static int full_path(int dirfd, const char* name, char* out, size_t size)
{
    char base[PATH_MAX];
    if (name[0] == '/') {
        base[0] = 0;
    } else if (dirfd == AT_FDCWD) {
        if (!getcwd(base, sizeof base))
            return 0;
    } else {
        char link[64];
        snprintf(link, sizeof link, "/proc/self/fd/%d", dirfd);
        long n = syscall(SYS_readlinkat, AT_FDCWD, link, base, sizeof base - 1);
        if (n <= 0)
            return 0;
        base[n] = 0;
    }
    if ((size_t)snprintf(out, size, "%s/%s", base, name) >= size)
        return 0;
    tidy(out);
    return 1;
}

static void note(const char* log, const char* fn)
{
    int fd = (int)syscall(SYS_openat, AT_FDCWD, log, O_WRONLY | O_APPEND | O_CREAT | O_CLOEXEC, 0644);
    if (fd < 0)
        return;
    char line[128];
    int n = snprintf(line, sizeof line, "%s\n", fn);
    if (syscall(SYS_write, fd, line, (size_t)n) < 0)
        perror("swap_preload: log");
    syscall(SYS_close, fd);
}

static void swap_now(void)
{
    const char* dir = env("SWAP_DIR");
    const char* to = env("SWAP_LINK");
    char away[PATH_MAX];
    if (!dir || !to || (size_t)snprintf(away, sizeof away, "%s.away", dir) >= sizeof away)
        return;
    if (syscall(SYS_renameat2, AT_FDCWD, dir, AT_FDCWD, away, 0) != 0 ||
        syscall(SYS_symlinkat, to, AT_FDCWD, dir) != 0)
        perror("swap_preload: swap");
}

/* A call counts when it names the target, or (with SWAP_DIRS set to a
 * directory above it) one of the directories between that one and the
 * target: the steps a program takes to reach the target's directory again. */
static int counts(const char* full, const char* target)
{
    const char* top = env("SWAP_DIRS");
    size_t n = strlen(full);
    if (strcmp(full, target) == 0)
        return 1;
    return top && *top && n > strlen(top) && strncmp(full, top, strlen(top)) == 0 &&
           strncmp(target, full, n) == 0 && target[n] == '/';
}

/* Called before every wrapped call with the path or name it takes. */
static void touch(const char* fn, int dirfd, const char* name)
{
    const char* target = env("SWAP_FILE");
    char full[2 * PATH_MAX];
    if (!target || !name || !*name || !full_path(dirfd, name, full, sizeof full) || !counts(full, target))
        return;
    pthread_mutex_lock(&lock);
    long n = ++calls;
    const char* at = env("SWAP_AT");
    if (at && atol(at) == n)
        swap_now();
    if (env("SWAP_LOG"))
        note(env("SWAP_LOG"), fn);
    pthread_mutex_unlock(&lock);
}

#define REAL(ret, fn, params) \
    static ret(*real) params; \
    if (!real) \
        real = (ret(*) params)dlsym(RTLD_NEXT, #fn)

/* A call that takes (dirfd, name): D is the descriptor argument. */
#define WRAP_AT(ret, fn, params, args, D, P) \
    ret fn params \
    { \
        REAL(ret, fn, params); \
        touch(#fn, D, P); \
        return real args; \
    }
#define WRAP(ret, fn, params, args, P) WRAP_AT(ret, fn, params, args, AT_FDCWD, P)

/* The open family: the mode is there only when a file may be made. */
static mode_t mode_of(int flags, va_list ap)
{
    return (flags & O_CREAT) || (flags & O_TMPFILE) == O_TMPFILE ? va_arg(ap, mode_t) : 0;
}
#define WRAP_OPEN(fn) \
    int fn(const char* p, int flags, ...) \
    { \
        REAL(int, fn, (const char*, int, ...)); \
        va_list ap; \
        va_start(ap, flags); \
        mode_t m = mode_of(flags, ap); \
        va_end(ap); \
        touch(#fn, AT_FDCWD, p); \
        return real(p, flags, m); \
    }
#define WRAP_OPENAT(fn) \
    int fn(int d, const char* p, int flags, ...) \
    { \
        REAL(int, fn, (int, const char*, int, ...)); \
        va_list ap; \
        va_start(ap, flags); \
        mode_t m = mode_of(flags, ap); \
        va_end(ap); \
        touch(#fn, d, p); \
        return real(d, p, flags, m); \
    }

WRAP_OPEN(open)
WRAP_OPEN(open64)
WRAP_OPENAT(openat)
WRAP_OPENAT(openat64)
WRAP(int, __open_2, (const char* p, int f), (p, f), p)
WRAP(int, __open64_2, (const char* p, int f), (p, f), p)
WRAP_AT(int, __openat_2, (int d, const char* p, int f), (d, p, f), d, p)
WRAP_AT(int, __openat64_2, (int d, const char* p, int f), (d, p, f), d, p)
WRAP(int, creat, (const char* p, mode_t m), (p, m), p)
WRAP(FILE*, fopen, (const char* p, const char* m), (p, m), p)
WRAP(FILE*, fopen64, (const char* p, const char* m), (p, m), p)

WRAP(int, stat, (const char* p, struct stat* s), (p, s), p)
WRAP(int, stat64, (const char* p, struct stat64* s), (p, s), p)
WRAP(int, lstat, (const char* p, struct stat* s), (p, s), p)
WRAP(int, lstat64, (const char* p, struct stat64* s), (p, s), p)
WRAP_AT(int, fstatat, (int d, const char* p, struct stat* s, int f), (d, p, s, f), d, p)
WRAP_AT(int, fstatat64, (int d, const char* p, struct stat64* s, int f), (d, p, s, f), d, p)
WRAP_AT(int, statx, (int d, const char* p, int f, unsigned m, struct statx* s), (d, p, f, m, s), d, p)
WRAP(int, access, (const char* p, int m), (p, m), p)
WRAP_AT(int, faccessat, (int d, const char* p, int m, int f), (d, p, m, f), d, p)
WRAP(char*, realpath, (const char* p, char* r), (p, r), p)

WRAP(int, unlink, (const char* p), (p), p)
WRAP_AT(int, unlinkat, (int d, const char* p, int f), (d, p, f), d, p)
WRAP(int, remove, (const char* p), (p), p)
WRAP(int, rename, (const char* a, const char* b), (a, b), a)
WRAP_AT(int, renameat, (int d, const char* a, int e, const char* b), (d, a, e, b), d, a)
WRAP_AT(int, renameat2, (int d, const char* a, int e, const char* b, unsigned f), (d, a, e, b, f), d, a)
WRAP(int, link, (const char* a, const char* b), (a, b), a)
WRAP_AT(int, linkat, (int d, const char* a, int e, const char* b, int f), (d, a, e, b, f), d, a)
WRAP(int, truncate, (const char* p, off_t n), (p, n), p)
WRAP(int, chmod, (const char* p, mode_t m), (p, m), p)
WRAP_AT(int, fchmodat, (int d, const char* p, mode_t m, int f), (d, p, m, f), d, p)
WRAP_AT(int, utimensat, (int d, const char* p, const struct timespec t[2], int f), (d, p, t, f), d, p)
