// The JSON copy of the report (the form is described in json.h).
#include "report/json.h"

#include <cstring>

#include "match/unicode.h"
#include "report/visible.h"

namespace {

void escape_ascii(unsigned char c, std::string* out)
{
    static const char hex[] = "0123456789abcdef";
    switch (c) {
    case '"': *out += "\\\""; return;
    case '\\': *out += "\\\\"; return;
    case '\n': *out += "\\n"; return;
    case '\r': *out += "\\r"; return;
    case '\t': *out += "\\t"; return;
    default: break;
    }
    if (is_control_byte(c)) {
        *out += "\\u00";
        *out += hex[c >> 4];
        *out += hex[c & 15];
    } else {
        *out += char(c);
    }
}

std::string time_text(bool known, int64_t ticks)
{
    if (!known)
        return "null";
    std::string t = iso_time_text(ticks_to_unix(ticks), true);
    return t.empty() ? "null" : "\"" + t + "\"";
}

std::string number(long long n)
{
    return std::to_string(n);
}

const char* action_name(const ActionRun& run)
{
    return run.move ? "move" : run.del ? "delete" : "list";
}

// The outcome of a file in an action run, and the reason when there is one.
const char* outcome_name(const ScanState& st, const ActionRun& run, Outcome o, std::string* reason)
{
    switch (o) {
    case Outcome::Kept:
    case Outcome::Pending: return "kept";
    case Outcome::Done: return run.move ? "moved" : st.extra.trash ? "trashed" : "deleted";
    case Outcome::NotDeleted: *reason = run.why; return "not_deleted";
    case Outcome::Refused: *reason = run.why; return run.move ? "not_moved" : "not_deleted";
    case Outcome::CopyFailed: *reason = run.msg; return "copy_failed";
    }
    return "kept";
}

}  // namespace

std::string json_string(const char* text, bool* valid)
{
    std::string out = "\"";
    *valid = true;
    const unsigned char* p = reinterpret_cast<const unsigned char*>(text ? text : "");
    while (*p) {
        size_t n = utf8_length(p);
        if (n == 0) {
            *valid = false;
            out += "\\ufffd";
            ++p;
        } else if (n == 1) {
            escape_ascii(*p++, &out);
        } else {
            out.append(reinterpret_cast<const char*>(p), n);
            p += n;
        }
    }
    return out + "\"";
}

std::string hex_bytes(const char* text)
{
    static const char hex[] = "0123456789abcdef";
    std::string out;
    for (const unsigned char* p = reinterpret_cast<const unsigned char*>(text); *p; ++p) {
        out += hex[*p >> 4];
        out += hex[*p & 15];
    }
    return out;
}

JsonOut::~JsonOut()
{
    if (fp_)
        close(false);
}

bool JsonOut::open()
{
    const std::string& path = st_.extra.json_path;
    if (path.empty())
        return true;
    int err = 0;
    fp_ = st_.sys->create_new_file(path.c_str(), &err);
    if (fp_)
        return true;
    close_report(st_);
    std::string text = "Can't create JSON file \"" + path + "\": " + error_text(err);
    quit_error(st_, text.c_str());
    return false;
}

void JsonOut::put(const std::string& text)
{
    std::fwrite(text.data(), 1, text.size(), fp_);
}

void JsonOut::name_field(const char* key, const char* value)
{
    bool valid = true;
    put(std::string("\"") + key + "\": " + json_string(value, &valid));
    if (!valid)
        put(std::string(", \"") + key + "_bytes\": \"" + hex_bytes(value) + "\"");
}

void JsonOut::header(const ActionRun& run, int64_t now)
{
    if (!fp_)
        return;
    put("{");
    name_field("created_by", banner_text());
    put(",\n");
    name_field("report", st_.filename.c_str());
    put(",\n\"created\": \"" + iso_time_text(now, true) + "\",\n\"roots\": [");
    bool first = true;
    for (Node* n = FirstNode(&st_.dlist); n && n->next; n = n->next, first = false) {
        const Dnode* d = reinterpret_cast<const Dnode*>(n);
        put(first ? "{" : ", {");
        name_field("path", d->dname ? d->dname : "");
        put(", \"checked\": " + number(d->numfiles) + ", \"reference\": " + (d->reference ? "true" : "false") + "}");
    }
    put("],\n");
    if (st_.extra.list) {
        put("\"files_from\": {");
        name_field("path", st_.extra.list_name.c_str());
        put(", \"checked\": " + number(st_.numlisted) + "},\n");
    }
    put("\"total_checked\": " + number(st_.numfiles) + ",\n");
    if (st_.pattern) {
        name_field("pattern", st_.pattern);
        put(",\n\"matching_total\": " + number(st_.numpats) + ",\n");
    }
    put("\"excluded\": [");
    for (size_t i = 0; i < st_.extra.excludes.size(); ++i) {
        bool valid = true;
        put((i ? ", " : "") + json_string(st_.extra.excludes[i].c_str(), &valid));
    }
    put("],\n");
    if (st_.extra.min_given)
        put("\"min_size\": " + number((long long)st_.extra.min_size) + ",\n");
    if (st_.extra.max_given)
        put("\"max_size\": " + number((long long)st_.extra.max_size) + ",\n");
    put("\"case_insensitive\": " + std::string(st_.i_flag ? "true" : "false"));
    if (st_.extra.unicode)
        put(",\n\"unicode\": true");
    if (st_.extra.copies)
        put(",\n\"copies\": true");
    if (st_.extra.across_roots)
        put(",\n\"across_roots\": true");
    put(",\n\"groups_found\": " + number(st_.numdups) + ",\n\"action\": \"" + action_name(run) + "\"");
    if (run.del)
        put(std::string(",\n\"trash\": ") + (st_.extra.trash ? "true" : "false") + ",\n\"same_content\": " +
            (st_.extra.same_content ? "true" : "false") + ",\n\"keep\": " +
            (run.reference ? "\"reference\"" : st_.extra.keep_oldest ? "\"oldest\"" : "\"newest\""));
    if (run.saving) {
        put(",\n");
        name_field("sinkhole", st_.sinkholename.c_str());
    }
    put(",\n\"groups\": [");
    stage_ = IN_GROUPS;
}

void JsonOut::group(const char* name)
{
    if (!fp_)
        return;
    put(groups_++ ? "]},\n{" : "\n{");
    name_field("name", name);
    put(", \"files\": [");
    files_ = 0;
}

void JsonOut::file(const ActionRun& run, const Fnode* f, Outcome o, bool known, const FileStatus& fs)
{
    if (!fp_)
        return;
    put(files_++ ? ",\n  {" : "\n  {");
    name_field("path", f->pathname);
    put(", \"size\": " + (known ? number((long long)fs.size) : std::string("null")));
    put(", \"created\": " + time_text(known && fs.times.creation_known, fs.times.creation) + ", \"accessed\": " +
        time_text(known, fs.times.access) + ", \"modified\": " + time_text(known, fs.times.write));
    if (is_reference(st_, f))
        put(", \"reference\": true");
    if (run.move || run.del) {
        std::string reason;
        put(std::string(", \"outcome\": \"") + outcome_name(st_, run, o, &reason) + "\"");
        if (!reason.empty()) {
            put(", ");
            name_field("reason", reason.c_str());
        }
    }
    put("}");
}

void JsonOut::finish(const ActionRun& run)
{
    if (!fp_)
        return;
    put(groups_ ? "]}]" : "]");
    if (run.move || run.del)
        put(",\n\"files_acted_on\": " + number(st_.numdeleted));
    if (run.del && st_.extra.same_content)
        put(",\n\"bytes_compared\": " + number((long long)st_.extra.bytes_compared));
    stage_ = AFTER_GROUPS;
    close(true);
}

// Ends the object; a write that failed on the way is shown, never ignored.
void JsonOut::close(bool complete)
{
    if (stage_ == NOTHING)
        put("{");
    else if (stage_ == IN_GROUPS)
        put(groups_ ? "]}]," : "],");
    else
        put(",");
    put(std::string("\n\"complete\": ") + (complete ? "true" : "false") + "}\n");
    bool failed = std::ferror(fp_) != 0;
    failed = std::fclose(fp_) != 0 || failed;
    fp_ = nullptr;
    if (failed)
        st_.ui->Complain(COMPLAIN_ERROR, "twinex", "ERROR: Can't write the JSON file", st_.extra.json_path.c_str(),
                         nullptr);
}
