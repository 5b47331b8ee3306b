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

struct Buffers {
    char* buf = static_cast<char*>(std::malloc(2 * size_t(BLOCK)));   // two blocks
    ~Buffers() { std::free(buf); }
};

// Reads both open files to their ends; Equal only when every byte matched
// and both ended after exactly `size` bytes.
Sameness compare_open(Platform& sys, FileHandle a, FileHandle b, char* buf, uint64_t size, uint64_t* compared,
                      std::string* why)
{
    char* x = buf;
    char* y = buf + BLOCK;
    uint64_t done = 0;
    for (;;) {
        uint32_t nx = 0, ny = 0;
        int err = read_block(sys, a, x, BLOCK, &nx);
        if (!err)
            err = read_block(sys, b, y, BLOCK, &ny);
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

Sameness compare_files(Platform& sys, FileHandle a, FileHandle b, uint64_t* compared, std::string* why)
{
    FileStatus sa, sb;
    if (!sys.handle_status(a, &sa) || !sys.handle_status(b, &sb) || !sa.is_file || !sb.is_file)
        return Sameness::Changed;
    if (sa.size != sb.size)
        return Sameness::Differ;
    Buffers mem;
    if (!mem.buf) {
        *why = error_text(ENOMEM);
        return Sameness::Failed;
    }
    Sameness r = compare_open(sys, a, b, mem.buf, sa.size, compared, why);
    // A file written to while it was read may have shown bytes of two states.
    FileStatus na, nb;
    if (r == Sameness::Equal &&
        (!sys.handle_status(a, &na) || !sys.handle_status(b, &nb) || !unchanged(sa, na) || !unchanged(sb, nb)))
        return Sameness::Changed;
    return r;
}

Act same_content(ScanState& st, Place& file, Place& kept)
{
    Act a;
    std::string why;
    switch (compare_files(*st.sys, file.file(), kept.file(), &st.extra.bytes_compared, &why)) {
    case Sameness::Equal:
        return a;
    case Sameness::Differ:
        return refused("CONTENT DIFFERS", false);
    case Sameness::Changed:
        return refused("FILE CHANGED SINCE SCAN", true);
    case Sameness::Failed:
        break;
    }
    return refused("CAN'T COMPARE CONTENT: " + why, true);
}
