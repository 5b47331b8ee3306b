// Free names for the files and directories twinex makes by itself: the
// prefix, an n-digit serial number padded with zeros, the extension; the
// first number whose name is free wins, so gaps are reused.
#include "report/tfile.h"

#include <cerrno>
#include <cstdio>
#include <cstring>

#include "engine/state.h"

namespace {

char tfile_buffer[NAME_BUF];  // the last name tfile produced
char tdir_buffer[NAME_BUF];   // the last name tdir produced
char failed_name[PATH_BUF];   // the name tfile_failure tells of
int failed_err = 0;

void forget_failure()
{
    failed_name[0] = 0;
    failed_err = 0;
}

// Keeps the first failure of a search other than a name already taken; a
// taken name counts (the last one) only when nothing else went wrong.
void note_failure(const char* name, int err)
{
    if (failed_err && failed_err != EEXIST)
        return;
    snprintf(failed_name, sizeof failed_name, "%s", name);
    failed_err = err;
}

int power(int base, int n)
{
    int result = 1;
    for (; n > 0; --n)
        result *= base;
    return result;
}

// The digit count to use: clamped to 1..7 and cut so that the whole name
// with its terminator fits the buffer; 0 when not even one digit fits.
int fit_digits(size_t fixed_len, int n)
{
    if (n < 1)
        n = 1;
    if (n > 7)
        n = 7;
    if (fixed_len + size_t(n) + 1 > size_t(NAME_BUF)) {
        long long room = (long long)(NAME_BUF - 1) - (long long)fixed_len;
        if (room < 1)
            return 0;
        n = int(room);
    }
    return n;
}

// Writes the candidate with serial number i after the prefix already in
// `buf` (at `digits`): i padded with zeros to n places, then the extension.
void write_candidate(char* digits, int n, int i, const char* ext, size_t ext_len)
{
    memset(digits, '0', size_t(n));
    for (int pos = n - 1; pos >= 0 && i > 0; --pos, i /= 10)
        digits[pos] = char('0' + i % 10);
    memcpy(digits + n, ext, ext_len + 1);
}

// Sets up `buf` for the search; returns the digit field, or null when the
// name cannot fit. `n` is updated to the digit count used.
char* begin_name(char* buf, const char* pathname, const char* ext, int& n)
{
    size_t path_len = strlen(pathname);
    n = fit_digits(path_len + strlen(ext), n);
    if (n == 0) {
        note_failure(pathname, ENAMETOOLONG);
        return nullptr;
    }
    memcpy(buf, pathname, path_len);
    return buf + path_len;
}

}  // namespace

// The existence test alone is not trusted when a stream is wanted: the file
// is created only if the name is still free at that moment, and a name that
// was taken in between sends the search on to the next number.
char* tfile(Platform& sys, const char* pathname, const char* ext, FILE** fp, int n,
            const std::set<std::string>* promised)
{
    if (!ext)
        ext = "";
    if (fp)
        *fp = nullptr;
    forget_failure();
    char* digits = begin_name(tfile_buffer, pathname, ext, n);
    if (!digits)
        return nullptr;
    size_t ext_len = strlen(ext);
    int count = power(10, n);
    for (int i = 0; i < count; ++i) {
        write_candidate(digits, n, i, ext, ext_len);
        FileStatus st;
        if ((promised && promised->count(tfile_buffer)) || sys.stat(tfile_buffer, &st)) {
            note_failure(tfile_buffer, EEXIST);
            continue;  // a file, a directory or anything else: taken
        }
        if (!fp)
            return tfile_buffer;
        int err = 0;
        *fp = sys.create_new_file(tfile_buffer, &err);
        if (*fp)
            return tfile_buffer;
        note_failure(tfile_buffer, err ? err : EIO);
    }
    return nullptr;
}

char* tdir(Platform& sys, const char* pathname, const char* ext, int n)
{
    if (!ext)
        ext = "";
    forget_failure();
    char* digits = begin_name(tdir_buffer, pathname, ext, n);
    if (!digits)
        return nullptr;
    size_t ext_len = strlen(ext);
    int count = power(10, n);
    for (int i = 0; i < count; ++i) {
        write_candidate(digits, n, i, ext, ext_len);
        int err = sys.create_directory(tdir_buffer);
        if (err == 0)
            return tdir_buffer;
        note_failure(tdir_buffer, err);
    }
    return nullptr;
}

NameFailure tfile_failure()
{
    return NameFailure{failed_name, failed_err};
}
