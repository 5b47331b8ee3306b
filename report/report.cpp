// The report: a header describing the scan, one block per group of equal
// names with the full path of every file (and, on request, its datestamps
// and size), and for move and delete runs a closing block with the totals.
// While it walks the groups the writer hands each file to the actions and
// records their outcome in front of the path.
#include "report/report.h"

#include <cstdio>
#include <cstring>
#include <deque>
#include <string>

#include "engine/name_key.h"
#include "report/actions.h"
#include "report/json.h"
#include "report/manifest.h"
#include "report/tfile.h"
#include "report/visible.h"

namespace {

// The written-groups count is shown after every this many groups, and
// exactly when the writer stops. A move or delete run may open a box within
// any group (a deletion question, a fatal error): it shows the count before
// every group.
constexpr long COUNT_STRIDE = 64;

constexpr size_t REPORT_BUFFER = 1 << 16;

// A part of the report whose writing waits until every file before it is
// decided: a group's title, a file's lines, the blank line after a group.
struct Block {
    enum Kind { Title, File, GroupEnd } kind = Title;
    Fnode* f = nullptr;
    bool kept = false;   // the file a delete run keeps
    bool known = false;
    FileStatus fs;
    Act act;
};

// The last few dates written, each as its text: files copied together
// share their times, and a file's three times are often one.
struct DateTexts {
    static constexpr int SIZE = 4;
    int64_t seconds[SIZE] = {};
    std::string text[SIZE];
    int next = 0;
};

struct Writer {
    ScanState& st;
    FILE* fp;
    const char* nl;
    ActionRun run;
    JsonOut json;
    std::deque<Block> queue;   // blocks not yet written, in report order
    long groups = 0;
    int err = 0;   // the first write that failed; nothing is written after it
    DateTexts dates;
    std::string line;   // a datestamp line being put together

    Writer(ScanState& s, FILE* f) : st(s), fp(f), nl(s.r_flag ? "\r\n" : "\n"), json(s) {}
    ~Writer() { end_run(st, run); }
    Writer(const Writer&) = delete;
    Writer& operator=(const Writer&) = delete;
};

// Every write is checked, but a failure is acted on at the next check
// point (report_ok), so that the composing code stays plain.
void put_bytes(Writer& w, const char* data, size_t len)
{
    if (!w.err)
        w.err = w.st.sys->write_file(w.fp, data, len);
}

void put(Writer& w, const char* text)
{
    put_bytes(w, text, strlen(text));
}

// A text that may hold a name, its control bytes made visible; returns the number of bytes it takes.
size_t put_name(Writer& w, const char* text)
{
    if (!needs_escape(text)) {
        size_t len = strlen(text);
        put_bytes(w, text, len);
        return len;
    }
    std::string v = visible_text(text);
    put_bytes(w, v.data(), v.size());
    return v.size();
}

// A report that can no longer be written ends the program, naming the
// report and the system's reason.
void write_failed(ScanState& st, int err)
{
    close_report(st);
    std::string text = "Can't write the output file \"" + st.filename + "\": " + error_text(err);
    quit_error(st, text.c_str());
}

// False once a write has failed, after the fatal error (told once).
bool report_ok(Writer& w)
{
    if (w.err && !w.st.fatal)
        write_failed(w.st, w.err);
    return !w.err;
}

// Before a file is acted on, every line written so far is handed to the
// system and checked: a write that only filled the stream's buffer may fail
// here, and then the file is left alone. One flush per file of a move or
// delete run, against the several system calls of each action.
bool flushed(Writer& w)
{
    if (!w.err)
        w.err = w.st.sys->flush_file(w.fp);
    return report_ok(w);
}

// Closes the report (`durable`: once it is on the disk); false after the
// fatal error when a write failed on the way, at the flush or at the close.
bool end_report(Writer& w, bool durable = false)
{
    if (durable && !w.err)
        w.err = w.st.sys->sync_stream(w.fp);
    int err = close_report(w.st);
    if (!w.err)
        w.err = err;
    return report_ok(w);
}

void end_line(Writer& w)
{
    put(w, w.nl);
}

// A label and a value that may hold a name, as one line.
void label_line(Writer& w, const char* label, const char* value)
{
    put(w, label);
    put_name(w, value);
    end_line(w);
}

void number_line(Writer& w, const char* label, long long value)
{
    char text[64];
    snprintf(text, sizeof text, "%s%lld", label, value);
    put(w, text);
    end_line(w);
}

const std::string& date_text(Writer& w, int64_t ticks)
{
    DateTexts& d = w.dates;
    int64_t seconds = ticks_to_unix(ticks);
    for (int k = 0; k < DateTexts::SIZE; ++k) {
        if (d.seconds[k] == seconds && !d.text[k].empty())
            return d.text[k];
    }
    int k = d.next++ % DateTexts::SIZE;
    d.seconds[k] = seconds;
    d.text[k] = ctime_text(seconds);
    return d.text[k];
}

void show_written(Writer& w)
{
    char text[32];
    snprintf(text, sizeof text, "%ld", w.groups);
    w.st.ui->set_field(PF_WRITTEN_COUNT, text);
}

const char* action_word(const Writer& w)
{
    return w.run.move ? "MOVED" : "DELETED";
}

// "LABEL  PATH N filenames checked".
void checked_line(Writer& w, const char* label, const char* path, int32_t count)
{
    put(w, label);
    put_name(w, path);
    char text[64];
    snprintf(text, sizeof text, " %ld filenames checked", long(count));
    put(w, text);
    end_line(w);
}

// The roots (DIRECTORIES), then the reference roots (REFERENCE), each label
// on its first line only, then the list of files. A run without roots has
// an empty DIRECTORIES line, unless it took its files from a list.
void write_roots(Writer& w)
{
    for (bool reference : {false, true}) {
        const char* label = reference ? "REFERENCE:      " : "DIRECTORIES:    ";
        for (Node* n = FirstNode(&w.st.dlist); n && n->next; n = n->next) {
            const Dnode* d = reinterpret_cast<const Dnode*>(n);
            if (d->reference != reference)
                continue;
            checked_line(w, label, d->dname ? d->dname : "", d->numfiles);
            label = "                ";
        }
        if (!reference && label[0] != ' ' && !w.st.extra.list)
            label_line(w, label, "");
    }
    if (w.st.extra.list)
        checked_line(w, "FILES FROM:     ", w.st.extra.list_name.c_str(), w.st.numlisted);
}

// A size limit: "MIN-SIZE:       N bytes".
void size_line(Writer& w, const char* label, uint64_t bytes)
{
    char text[64];
    snprintf(text, sizeof text, "%s%llu bytes", label, static_cast<unsigned long long>(bytes));
    put(w, text);
    end_line(w);
}

// The exclusions, each on a line of its own; nothing when there are none.
void write_exclusions(Writer& w)
{
    const char* label = "EXCLUDED:       ";
    for (const std::string& p : w.st.extra.excludes) {
        label_line(w, label, p.c_str());
        label = "                ";
    }
}

void write_header(Writer& w, int64_t now)
{
    ScanState& st = w.st;
    label_line(w, "THIS FILE:      ", st.filename.c_str());
    label_line(w, "CREATED BY:     ", banner_text());
    label_line(w, "CREATION DATE:  ", ctime_text(now).c_str());
    write_roots(w);
    number_line(w, "TOTAL CHECKED:  ", st.numfiles);
    if (st.pattern) {
        label_line(w, "PATTERN:        ", st.pattern);
        number_line(w, "MATCHING TOTAL: ", st.numpats);
    }
    write_exclusions(w);
    if (st.extra.min_given)
        size_line(w, "MIN-SIZE:       ", st.extra.min_size);
    if (st.extra.max_given)
        size_line(w, "MAX-SIZE:       ", st.extra.max_size);
    number_line(w, "NUMBER FOUND:   ", st.numdups);
    put(w, st.i_flag ? "CASE INSENSITIVE SEARCH" : "CASE SENSITIVE SEARCH");
    if (w.run.del)
        put(w, " and MARKING FILES DELETED BY THE \"DELETE\" OPTION");
    else if (w.run.move)
        put(w, " and MARKING FILES MOVED TO SINKHOLE");
    end_line(w);
    if (st.extra.unicode)
        label_line(w, "UNICODE NAMES", "");
    if (st.extra.copies)
        label_line(w, "COPY MARKS IGNORED", "");
    if (st.extra.across_roots)
        label_line(w, "ACROSS ROOTS ONLY", "");
    if (w.run.del && st.extra.keep_oldest)
        label_line(w, "OLDEST FILE OF EACH NAME KEPT", "");
    if (w.run.saving)
        label_line(w, w.run.move ? "TWINEX moved to directory " : "DELETED FILES saved to directory ",
                   st.sinkholename.c_str());
    end_line(w);
}

// The text in front of a file's path.
std::string outcome_text(const Writer& w, Outcome o)
{
    switch (o) {
    case Outcome::Done:
        if (w.run.move)
            return "<< FILE MOVED >>";
        return w.st.extra.trash ? "<< FILE MOVED TO TRASH >>" : "<< FILE DELETED >>";
    case Outcome::NotDeleted:
        return "<< NOT DELETED - " + w.run.why + " >>";
    case Outcome::Refused:
        return std::string("<< NOT ") + action_word(w) + " - " + w.run.why + " >>";
    default:
        return std::string();
    }
}

void write_datestamps(Writer& w, bool known, const FileStatus& fs)
{
    if (!known) {
        put(w, "<<<<<<== Can't get the datestamp of this file ==>>>>>>");
        end_line(w);
        end_line(w);
        return;
    }
    // A file system that keeps no creation time has none to show.
    std::string& line = w.line;
    line = "  CREATED: ";
    line += fs.times.creation_known ? date_text(w, fs.times.creation) : std::string("-");
    line += " : ACCESSED: ";
    line += date_text(w, fs.times.access);
    line += " : MODIFIED: ";
    line += date_text(w, fs.times.write);
    line += " : SIZE ";
    line += std::to_string(static_cast<long long>(fs.size));
    line += " bytes";
    line += w.nl;
    put_bytes(w, line.data(), line.size());
}

void write_file(Writer& w, const Fnode* f, Outcome o, bool known, const FileStatus& fs)
{
    put_name(w, outcome_text(w, o).c_str());
    put_name(w, f->pathname);
    end_line(w);
    if (o == Outcome::CopyFailed) {
        put(w, "<< COPY TO SINKHOLE FAILED: ");
        put_name(w, w.run.msg.c_str());
        put(w, ", NOT ");
        put(w, action_word(w));
        put(w, " >>");
        end_line(w);
    }
    if (w.st.t_flag)
        write_datestamps(w, known, fs);
}

// Counts each file by the mark the report puts in front of it.
void count_outcome(Writer& w, Outcome o, bool kept)
{
    ReportCounts& c = w.st.counts;
    ++c.files;
    if (o == Outcome::Done) {
        ++c.done;
    } else if (o == Outcome::Refused && w.run.why == reference_mark) {
        ++c.reference_kept;
    } else if (o == Outcome::Kept) {
        if (kept)
            ++c.newest_kept;
        else if (w.run.del || w.run.move)
            ++c.answered_no;
    } else {
        std::string mark = o == Outcome::CopyFailed ? std::string("COPY TO SINKHOLE FAILED, NOT ") + action_word(w)
                                                    : outcome_text(w, o);
        if (mark.compare(0, 3, "<< ") == 0)
            mark = mark.substr(3, mark.size() - 6);   // without "<< " and " >>"
        size_t k = 0;
        while (k < c.left.size() && c.left[k].first != mark)
            ++k;
        if (k == c.left.size())
            c.left.emplace_back(mark, 0);
        ++c.left[k].second;
    }
}

Fnode* as_file(Node* n)
{
    return (n && n->next) ? reinterpret_cast<Fnode*>(n) : nullptr;
}

void write_title(Writer& w, const Fnode* first)
{
    std::string buf;
    const char* title = group_title(w.st, first, &buf);
    size_t shown = put_name(w, title);
    end_line(w);
    std::string underline(shown, '=');
    put(w, underline.c_str());
    end_line(w);
    w.json.group(title);
}

void write_block(Writer& w, const Block& b)
{
    if (b.kind == Block::Title) {
        write_title(w, b.f);
        return;
    }
    if (b.kind == Block::GroupEnd) {
        end_line(w);
        return;
    }
    w.run.why = b.act.why;
    w.run.msg = b.act.msg;
    write_file(w, b.f, b.act.outcome, b.known, b.fs);
    count_outcome(w, b.act.outcome, b.kept);
    w.json.file(w.run, b.f, b.act.outcome, b.known, b.fs);
    if (b.act.fault)
        ++w.st.numfaults;
}

// Writes the blocks from the front of the queue as far as their files are
// decided.
void drain(Writer& w)
{
    while (!w.queue.empty() && w.queue.front().act.outcome != Outcome::Pending) {
        write_block(w, w.queue.front());
        w.queue.pop_front();
    }
}

Block& queue_block(Writer& w, Block::Kind kind, Fnode* f)
{
    w.queue.emplace_back();
    Block& b = w.queue.back();
    b.kind = kind;
    b.f = f;
    return b;
}

// The batch of files waiting for the disk is completed, and what waited
// for it is written.
void finish_batch(Writer& w)
{
    complete_batch(w.st, w.run);
    drain(w);
}

// Writes one group and acts on its files; returns the first record of the
// next group, or null at the end of the list or when the writer must stop
// (`*stop` set).
Fnode* write_group(Writer& w, Fnode* first, bool* stop)
{
    ScanState& st = w.st;
    queue_block(w, Block::Title, first);
    drain(w);
    std::string buf;
    const char* title = group_title(st, first, &buf);
    if (w.run.saving && !make_groupdir(st, w.run, title)) {
        finish_batch(w);
        fail_groupdir(st, w.run, title);
        *stop = true;
        return nullptr;
    }
    begin_group(st, w.run, first);
    bool acting = w.run.move || w.run.del;
    Fnode* f = first;
    while (f && same_group(first, f, st.i_flag)) {
        if (st.abort_flag) {
            *stop = true;
            return nullptr;
        }
        if (acting && st.request_flag)
            finish_batch(w);   // nothing waits while a question is open
        Block& b = queue_block(w, Block::File, f);
        b.kept = is_kept(w.run, f);
        b.known = f->time_known;   // the file as collection found it: its status is read once
        b.fs = record_status(f);
        Fnode* next = as_file(f->node.next);
        if (acting && !flushed(w)) {
            *stop = true;
            return nullptr;
        }
        if (acting)
            act_on_file(st, w.run, f, &b.act);
        if (batch_full(w.run))
            finish_batch(w);
        drain(w);
        f = next;
    }
    queue_block(w, Block::GroupEnd, nullptr);
    drain(w);
    return f;
}

void write_closing(Writer& w)
{
    ScanState& st = w.st;
    char label[64], count[32];
    snprintf(label, sizeof label, "NUMBER OF FILES %s:", action_word(w));
    snprintf(count, sizeof count, "%ld", long(st.numdeleted));
    st.ui->set_field(PF_ACTION_LABEL, label);
    st.ui->set_field(PF_ACTION_COUNT, count);
    end_line(w);
    end_line(w);
    put(w, label);
    put(w, " ");
    put(w, count);
    end_line(w);
    end_line(w);
    if (!st.save_flag && !w.run.move)
        return;
    snprintf(label, sizeof label, "%s FILES SAVED IN:", action_word(w));
    st.ui->set_field(PF_SINKHOLE_LABEL, label);
    st.ui->set_field(PF_SINKHOLE_PATH, st.sinkholename.c_str());
    end_line(w);
    end_line(w);
    put(w, label);
    put(w, "  ");
    put_name(w, st.sinkholename.c_str());
    end_line(w);
    end_line(w);
}

// Creates the report under the first free name; false after the fatal error.
FILE* create_report(ScanState& st, const std::string& basename)
{
    FILE* fp = nullptr;
    const char* name = tfile(*st.sys, basename.c_str(), ".txt", &fp, 3);
    st.filename = name ? name : "";
    if (st.filename.empty() || !fp) {
        if (fp)
            st.sys->close_file(fp);
        quit_error(st, "Can't open an output file");
        return nullptr;
    }
    // Written in large pieces: a report with datestamps runs to megabytes,
    // and each piece handed to the system costs a call.
    if (!st.report_buffer)
        st.report_buffer.reset(new char[REPORT_BUFFER]);
    setvbuf(fp, st.report_buffer.get(), _IOFBF, REPORT_BUFFER);
    st.report = fp;
    return fp;
}

// Writes every group; false when the writer stopped (abort or fatal error).
bool write_groups(Writer& w)
{
    bool stop = false;
    for (Fnode* f = as_file(FirstNode(&w.st.flist)); f;) {
        if (w.st.abort_flag || !report_ok(w))
            return false;
        ++w.groups;
        if (w.groups % COUNT_STRIDE == 0 || w.run.move || w.run.del)
            show_written(w);
        f = write_group(w, f, &stop);
        if (stop)
            return false;
    }
    return true;
}

}  // namespace

void output_names(ScanState& st)
{
    int64_t now = st.sys->now();
    std::string basename = st.outputname;
    if (basename.empty() || basename.back() != PATH_SEP)
        basename += PATH_SEP;
    basename += "twinfiles";
    st.counts = ReportCounts();
    FILE* fp = create_report(st, basename);
    if (!fp)
        return;
    Writer w(st, fp);
    begin_run(st, w.run);
    if (!w.json.open())
        return;
    if (w.run.saving && !make_sinkhole(st, w.run, basename.c_str()))
        return;
    st.ui->set_field(PF_WRITE_LABEL, "WRITING:");
    st.ui->set_field(PF_WRITE_FILE, st.filename.c_str());
    write_header(w, now);
    w.json.header(w.run, now);
    bool finished = write_groups(w);
    if (!st.fatal && !w.err) {   // a stop by the user still completes what waits
        finish_batch(w);
        settle_run(st, w.run);
    } else
        abandon_batch(st, w.run);   // the report cannot say what happens to them
    show_written(w);
    close_manifest(st);
    if (!finished) {
        if (!st.fatal)   // aborted: closed as far as written
            end_report(w);
        return;
    }
    if (w.run.move || w.run.del)
        write_closing(w);
    w.json.finish(w.run);
    if (end_report(w, true))
        st.ui->set_field(PF_FINISHED, "<< FINISHED >>");
}
