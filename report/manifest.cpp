// Writing and reading the sinkhole's manifest (format in manifest.h).
#include "report/manifest.h"

#include <cerrno>
#include <cstdio>
#include <cstdlib>

#include "report/actions.h"
#include "report/visible.h"

const char* const manifest_first_line = "twinex sinkhole manifest 1";

namespace {

std::string escaped(const std::string& path)
{
    static const char hex[] = "0123456789ABCDEF";
    std::string out;
    for (unsigned char c : path) {
        if (is_control_byte(c) || c == '%') {
            out += '%';
            out += hex[c >> 4];
            out += hex[c & 15];
        } else {
            out += char(c);
        }
    }
    return out;
}

int hex_value(char c)
{
    if (c >= '0' && c <= '9')
        return c - '0';
    if (c >= 'A' && c <= 'F')
        return c - 'A' + 10;
    if (c >= 'a' && c <= 'f')
        return c - 'a' + 10;
    return -1;
}

bool unescaped(const std::string& text, std::string* out)
{
    out->clear();
    for (size_t i = 0; i < text.size(); ++i) {
        if (text[i] != '%') {
            *out += text[i];
            continue;
        }
        int hi = i + 2 < text.size() ? hex_value(text[i + 1]) : -1;
        int lo = hi >= 0 ? hex_value(text[i + 2]) : -1;
        if (lo < 0)
            return false;
        *out += char(hi * 16 + lo);
        i += 2;
    }
    return !out->empty();
}

bool number(const std::string& text, long long* out)
{
    if (text.empty())
        return false;
    char* end = nullptr;
    errno = 0;
    *out = std::strtoll(text.c_str(), &end, 10);
    return errno == 0 && end && *end == 0;
}

bool write_line(ScanState& st, const std::string& line)
{
    FILE* f = st.extra.manifest;
    if (!f)
        return false;
    bool ok = std::fwrite(line.data(), 1, line.size(), f) == line.size();
    return std::fflush(f) == 0 && ok;
}

}  // namespace

std::string manifest_path(const std::string& sinkhole)
{
    std::string p = sinkhole;
    while (p.size() > 1 && p.back() == PATH_SEP)
        p.pop_back();
    return p + ".manifest";
}

bool start_manifest(ScanState& st)
{
    st.extra.manifest_path = manifest_path(st.sinkholename);
    int err = 0;
    st.extra.manifest = st.sys->create_new_file(st.extra.manifest_path.c_str(), &err);
    if (st.extra.manifest && write_line(st, std::string(manifest_first_line) + "\n"))
        return true;
    close_manifest(st);
    if (err != EEXIST)
        st.sys->delete_file(st.extra.manifest_path.c_str());
    st.sys->remove_directory(st.sinkholename.c_str());   // still empty
    close_report(st);
    std::string text = "Can't create sinkhole manifest \"" + st.extra.manifest_path + "\"";
    quit_error(st, text.c_str());
    return false;
}

bool record_copy(ScanState& st, const char* original, const std::string& savename, const FileTimes& t, char* msg)
{
    // The copy was just found complete: as large as the original is now.
    FileStatus orig;
    size_t skip = st.sinkholename.size() + 1;
    bool ok = st.sys->stat(original, &orig) && savename.size() > skip;
    if (ok) {
        char fields[128];
        std::snprintf(fields, sizeof fields, "\t%llu\t%lld\t%lld\t%lld\t", (unsigned long long)orig.size,
                      (long long)t.creation, (long long)t.access, (long long)t.write);
        ok = write_line(st, escaped(savename.substr(skip)) + fields + escaped(original) + "\n");
    }
    if (!ok)
        std::snprintf(msg, PATH_BUF, "ERROR:   can't record the copy of \"%s\" in the sinkhole's manifest", original);
    return ok;
}

void close_manifest(ScanState& st)
{
    FILE* f = st.extra.manifest;
    st.extra.manifest = nullptr;
    if (f)
        std::fclose(f);
}

bool parse_manifest_line(const std::string& line, ManifestEntry* e)
{
    std::string field[6];
    size_t start = 0;
    for (int i = 0; i < 6; ++i) {
        size_t tab = i < 5 ? line.find('\t', start) : line.size();
        if (tab == std::string::npos)
            return false;
        field[i] = line.substr(start, tab - start);
        start = tab + 1;
    }
    if (field[5].find('\t') != std::string::npos)
        return false;
    long long size, c, a, w;
    if (!number(field[1], &size) || !number(field[2], &c) || !number(field[3], &a) || !number(field[4], &w) ||
        size < 0)
        return false;
    e->size = uint64_t(size);
    e->times.creation = c;
    e->times.access = a;
    e->times.write = w;
    return unescaped(field[0], &e->copy) && unescaped(field[5], &e->original);
}
