// Comparing two files byte for byte, with sizes first and both files read
// side by side in blocks, so memory stays small whatever their size.
#include "report/content.h"

#include <cerrno>
#include <cstdlib>
#include <cstring>

namespace {

constexpr uint32_t BLOCK = 1 << 16;

// Fills `buf` with up to `want` bytes (fewer only at the end of the file).
int read_block(Platform& sys, FileHandle h, char* buf, uint32_t want, uint32_t* got)
{
    *got = 0;
    while (*got < want) {
        uint32_t n = 0;
        int err = sys.read_bytes(h, buf + *got, want - *got, &n);
        if (err)
            return err;
        if (n == 0)
            break;
        *got += n;
    }
    return 0;
}

bool unchanged(const FileStatus& before, const FileStatus& now)
{
    return now.is_file && now.size == before.size && now.times.write == before.times.write;
}

struct Pair {
    Platform& sys;
    FileHandle a = nullptr;
    FileHandle b = nullptr;
    char* buf = nullptr;   // two blocks
    explicit Pair(Platform& s) : sys(s) {}
    ~Pair()
    {
        sys.close_handle(a);
        sys.close_handle(b);
        std::free(buf);
    }
};

// Reads both open files to their ends; Equal only when every byte matched
// and both ended after exactly `size` bytes.
Sameness compare_open(Pair& p, uint64_t size, uint64_t* compared, std::string* why)
{
    char* x = p.buf;
    char* y = p.buf + BLOCK;
    uint64_t done = 0;
    for (;;) {
        uint32_t nx = 0, ny = 0;
        int err = read_block(p.sys, p.a, x, BLOCK, &nx);
        if (!err)
            err = read_block(p.sys, p.b, y, BLOCK, &ny);
        if (err) {
            *why = error_text(err);
            return Sameness::Failed;
        }
        uint32_t n = nx < ny ? nx : ny;
        bool same = std::memcmp(x, y, n) == 0;
        *compared += n;
        done += n;
        if (!same)
            return Sameness::Differ;
        if (nx != ny || done > size)
            return Sameness::Changed;   // one of them grew or shrank meanwhile
        if (nx < BLOCK)
            return done == size ? Sameness::Equal : Sameness::Changed;
    }
}

}  // namespace

Sameness compare_files(Platform& sys, const char* a, const char* b, uint64_t* compared, std::string* why)
{
    FileStatus sa, sb;
    if (!sys.stat(a, &sa) || !sys.stat(b, &sb) || !sa.is_file || !sb.is_file)
        return Sameness::Changed;
    if (sa.size != sb.size)
        return Sameness::Differ;
    Pair p(sys);
    int err = 0;
    p.a = sys.open_for_reading(a, &err);
    if (p.a)
        p.b = sys.open_for_reading(b, &err);
    if (!p.a || !p.b) {
        *why = error_text(err);
        return Sameness::Failed;
    }
    p.buf = static_cast<char*>(std::malloc(2 * size_t(BLOCK)));
    if (!p.buf) {
        *why = error_text(ENOMEM);
        return Sameness::Failed;
    }
    Sameness r = compare_open(p, sa.size, compared, why);
    // A file written to while it was read may have shown bytes of two states.
    FileStatus na, nb;
    if (r == Sameness::Equal && (!sys.stat(a, &na) || !sys.stat(b, &nb) || !unchanged(sa, na) || !unchanged(sb, nb)))
        return Sameness::Changed;
    return r;
}

bool same_content_as_kept(ScanState& st, ActionRun& run, const Fnode* fnode)
{
    std::string why;
    switch (compare_files(*st.sys, fnode->pathname, run.first->pathname, &st.extra.bytes_compared, &why)) {
    case Sameness::Equal:
        return true;
    case Sameness::Differ:
        run.why = "CONTENT DIFFERS";
        return false;
    case Sameness::Changed:
        run.why = "FILE CHANGED SINCE SCAN";
        return false;
    case Sameness::Failed:
        break;
    }
    run.why = "CAN'T COMPARE CONTENT: " + why;
    return false;
}
