// Parts of the platform layer that read the same on every system: time
// conversions, error texts and the `ctime` date form.
#include "platform/platform.h"

#include <cerrno>
#include <cstring>
#include <ctime>

namespace {

// Seconds from 1601-01-01 to 1970-01-01 and ticks per second.
constexpr int64_t EPOCH_GAP = 11644473600LL;
constexpr int64_t TICKS_PER_SECOND = 10000000LL;

// The runtime's strerror shares one buffer between threads; this lock keeps
// two threads from reading each other's text.
Mutex& strerror_lock()
{
    static Mutex m;
    return m;
}

bool local_time(int64_t unix_seconds, std::tm* out)
{
    std::time_t t = static_cast<std::time_t>(unix_seconds);
    if (static_cast<int64_t>(t) != unix_seconds)
        return false;
#ifdef _WIN32
    return localtime_s(out, &t) == 0;
#else
    return localtime_r(&t, out) != nullptr;
#endif
}

bool utc_time(int64_t unix_seconds, std::tm* out)
{
    std::time_t t = static_cast<std::time_t>(unix_seconds);
    if (static_cast<int64_t>(t) != unix_seconds)
        return false;
#ifdef _WIN32
    return gmtime_s(out, &t) == 0;
#else
    return gmtime_r(&t, out) != nullptr;
#endif
}

bool two_digits(int v)
{
    return v >= 0 && v <= 99;
}

// A separator and two digits.
void put_two(char* at, char sep, int v)
{
    at[0] = sep;
    at[1] = static_cast<char>('0' + v / 10);
    at[2] = static_cast<char>('0' + v % 10);
}

}  // namespace

std::string iso_time_text(int64_t unix_seconds, bool utc)
{
    std::tm tm{};
    if (!(utc ? utc_time(unix_seconds, &tm) : local_time(unix_seconds, &tm)))
        return std::string();
    char buf[64];
    std::snprintf(buf, sizeof buf, "%04d-%02d-%02dT%02d:%02d:%02d%s", tm.tm_year + 1900, tm.tm_mon + 1,
                  tm.tm_mday, tm.tm_hour, tm.tm_min, tm.tm_sec, utc ? "Z" : "");
    return buf;
}

int64_t ticks_to_unix(int64_t ticks)
{
    // Rounded down, also before 1970.
    int64_t s = ticks / TICKS_PER_SECOND;
    if (ticks % TICKS_PER_SECOND < 0)
        --s;
    return s - EPOCH_GAP;
}

int64_t unix_to_ticks(int64_t seconds)
{
    return (seconds + EPOCH_GAP) * TICKS_PER_SECOND;
}

std::string error_text(int err)
{
    std::string text;
    {
        MutexLock hold(strerror_lock());
        const char* s = std::strerror(err);
        text = s ? s : "Unknown error";
    }
    while (!text.empty() && (text.back() == '\n' || text.back() == '\r'))
        text.pop_back();
    return text;
}

std::string ctime_text(int64_t unix_seconds)
{
    // English names whatever the locale, as the C library's ctime prints them.
    static const char* const days[] = {"Sun", "Mon", "Tue", "Wed", "Thu", "Fri", "Sat"};
    static const char* const months[] = {"Jan", "Feb", "Mar", "Apr", "May", "Jun",
                                         "Jul", "Aug", "Sep", "Oct", "Nov", "Dec"};
    std::tm tm{};
    // A time the runtime cannot convert gives an empty text, never a made-up date.
    if (!local_time(unix_seconds, &tm) || tm.tm_wday < 0 || tm.tm_wday > 6 || tm.tm_mon < 0 ||
        tm.tm_mon > 11)
        return std::string();
    int year = tm.tm_year + 1900;
    char buf[64];
    if (year < 1000 || year > 9999 || !two_digits(tm.tm_mday) || !two_digits(tm.tm_hour) ||
        !two_digits(tm.tm_min) || !two_digits(tm.tm_sec)) {
        std::snprintf(buf, sizeof buf, "%s %s %02d %02d:%02d:%02d %4d", days[tm.tm_wday], months[tm.tm_mon],
                      tm.tm_mday, tm.tm_hour, tm.tm_min, tm.tm_sec, year);
        return buf;
    }
    // The same text put together digit by digit: a report with datestamps
    // writes three per file.
    std::memcpy(buf, days[tm.tm_wday], 3);
    buf[3] = ' ';
    std::memcpy(buf + 4, months[tm.tm_mon], 3);
    put_two(buf + 7, ' ', tm.tm_mday);
    put_two(buf + 10, ' ', tm.tm_hour);
    put_two(buf + 13, ':', tm.tm_min);
    put_two(buf + 16, ':', tm.tm_sec);
    put_two(buf + 19, ' ', year / 100);
    buf[22] = static_cast<char>('0' + year % 100 / 10);
    buf[23] = static_cast<char>('0' + year % 10);
    return std::string(buf, 24);
}

// Both systems write a created file through the C runtime, which sets errno
// on a failed write, flush or close; a failure without one still counts as
// an input/output error.
bool Platform::path_status(const char* path, bool, FileStatus* st)
{
    return stat(path, st);
}

bool Platform::status_in(DirHandle, const char*, bool, FileStatus*)
{
    errno = ENOSYS;
    return false;
}

FILE* Platform::open_stream(const char* path, int* err)
{
    errno = 0;
    FILE* f = fopen(path, "rb");
    *err = f ? 0 : (errno ? errno : EIO);
    return f;
}

int Platform::write_file(FILE* f, const void* data, size_t len)
{
    errno = 0;
    return len == 0 || fwrite(data, 1, len, f) == len ? 0 : (errno ? errno : EIO);
}

int Platform::flush_file(FILE* f)
{
    errno = 0;
    return fflush(f) == 0 ? 0 : (errno ? errno : EIO);
}

int Platform::close_file(FILE* f)
{
    errno = 0;
    return fclose(f) == 0 ? 0 : (errno ? errno : EIO);
}
