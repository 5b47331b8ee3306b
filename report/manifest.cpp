// Writing and reading the sinkhole's manifest (format in manifest.h).
#include "report/manifest.h"

#include <cerrno>
#include <cstdio>
#include <cstdlib>

#include "report/actions.h"
#include "report/visible.h"

const char* const manifest_first_line = "twinex sinkhole manifest 2";
const char* const manifest_first_line_v1 = "twinex sinkhole manifest 1";

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

// Adds the line to the stream; it reaches the disk with sync_manifest.
bool write_line(ScanState& st, const std::string& line)
{
    FILE* f = st.extra.manifest;
    return f && std::fwrite(line.data(), 1, line.size(), f) == line.size() && !std::ferror(f);
}

// The lines before the copies: the version, the roots and the link rule. A
// run that took files from a list records no root: those files lie
// anywhere, and may have been reached through links.
std::string head_lines(const ScanState& st)
{
    std::string text = std::string(manifest_first_line) + "\n";
    for (Node* n = st.extra.list ? nullptr : st.dlist.head; n && n->next; n = n->next) {
        const Dnode* d = reinterpret_cast<const Dnode*>(n);
        if (d->dname)
            text += "root\t" + escaped(d->dname) + "\n";
    }
    return text + (st.follow_links ? "links\tfollowed\n" : "links\tnot followed\n");
}

std::string time_field(int64_t ticks, bool known)
{
    return known ? std::to_string((long long)ticks) : std::string("-");
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
    if (st.extra.manifest && write_line(st, head_lines(st)))
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

bool record_copy(ScanState& st, const char* original, const std::string& savename, uint64_t size,
                 const FileTimes& t, char* msg)
{
    size_t skip = st.sinkholename.size() + 1;
    bool ok = savename.size() > skip;
    if (ok) {
        std::string fields = "\t" + std::to_string((unsigned long long)size) + "\t" +
                             time_field(t.creation, t.creation_known) + "\t" + time_field(t.access, true) + "\t" +
                             time_field(t.write, true) + "\t";
        ok = write_line(st, escaped(savename.substr(skip)) + fields + escaped(original) + "\n");
    }
    if (!ok)
        std::snprintf(msg, PATH_BUF, "ERROR:   can't record the copy of \"%s\" in the sinkhole's manifest", original);
    return ok;
}

int sync_manifest(ScanState& st)
{
    return st.extra.manifest ? st.sys->sync_stream(st.extra.manifest) : EBADF;
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
    long long size, c = 0, a, w;
    bool c_known = field[2] != "-";
    if (!number(field[1], &size) || (c_known && !number(field[2], &c)) || !number(field[3], &a) ||
        !number(field[4], &w) || size < 0)
        return false;
    e->size = uint64_t(size);
    e->times.creation = c;
    e->times.creation_known = c_known;
    e->times.access = a;
    e->times.write = w;
    return unescaped(field[0], &e->copy) && unescaped(field[5], &e->original);
}

bool parse_manifest_head(const std::string& line, ManifestRun* run)
{
    if (line == manifest_first_line || line == manifest_first_line_v1) {
        run->version = line == manifest_first_line ? 2 : 1;
        return run->version != 0;
    }
    if (run->version < 2)
        return false;
    if (line == "links\tfollowed" || line == "links\tnot followed") {
        run->links_followed = line == "links\tfollowed";
        return true;
    }
    std::string root;
    if (line.compare(0, 5, "root\t") != 0 || !unescaped(line.substr(5), &root))
        return false;
    run->roots.push_back(root);
    return true;
}
