// twinex-cli: the options, the roots, the scan-start questions, the scan on
// its own thread with a live status line, and the exit status.
#include "ui/cli_run.h"

#include <cstdlib>
#include <cstring>

#include "engine/scan.h"
#include "match/match.h"
#include "report/restore.h"
#include "ui/console_feedback.h"
#include "ui/roots.h"

const char* const cli_usage_text =
    "usage: twinex-cli [options] ROOT...\n"
    "  -o, --output DIR      output directory for the report and the sinkhole\n"
    "  -p, --pattern PAT     file-name pattern\n"
    "      --crlf            report lines end in CR LF\n"
    "  -s, --case-sensitive  compare names byte for byte\n"
    "      --no-datestamps   no datestamp lines\n"
    "      --move            move every file of every group to the sinkhole\n"
    "      --delete          delete all but the newest file of each name\n"
    "      --ask             with --delete: ask before each deletion\n"
    "      --save            with --delete: save deleted files in the sinkhole\n"
    "  -x, --exclude PAT     leave out directories and files whose name matches PAT\n"
    "                        (repeatable; the pattern language and case rule of -p)\n"
    "      --same-content    with --delete: delete a copy only when its bytes equal\n"
    "                        the kept file's; others are marked CONTENT DIFFERS\n"
    "      --trash           with --delete: move the files to the trash instead\n"
    "      --json FILE       also write the groups as JSON to the new FILE\n"
    "      --restore SINKHOLE  put every copy of a sinkhole back at its place\n"
    "  -y, --yes             answer OK to \"NO OUTPUT CHOSEN\" and \"ARE YOU SURE?\"\n"
    "  -q, --quiet           no progress display (and --yes answers silently)\n"
    "  -h, --help            this text;  --version  the version\n"
    "Exit status: 0 report finished, 1 cancelled or stopped, 2 usage error or\n"
    "nothing to scan, 3 fatal error.\n";

namespace {

enum OptionId {
    OPT_OUTPUT, OPT_PATTERN, OPT_CRLF, OPT_CASE, OPT_NODATES, OPT_MOVE, OPT_DELETE,
    OPT_ASK, OPT_SAVE, OPT_YES, OPT_QUIET, OPT_HELP, OPT_VERSION,
    OPT_EXCLUDE, OPT_SAME_CONTENT, OPT_TRASH, OPT_JSON, OPT_RESTORE
};

struct OptionDef {
    const char* long_name;
    char short_name;       // 0 when there is none
    bool takes_value;
    OptionId id;
};

const OptionDef option_defs[] = {
    {"output", 'o', true, OPT_OUTPUT},
    {"pattern", 'p', true, OPT_PATTERN},
    {"crlf", 0, false, OPT_CRLF},
    {"case-sensitive", 's', false, OPT_CASE},
    {"no-datestamps", 0, false, OPT_NODATES},
    {"move", 0, false, OPT_MOVE},
    {"delete", 0, false, OPT_DELETE},
    {"ask", 0, false, OPT_ASK},
    {"save", 0, false, OPT_SAVE},
    {"yes", 'y', false, OPT_YES},
    {"quiet", 'q', false, OPT_QUIET},
    {"help", 'h', false, OPT_HELP},
    {"version", 0, false, OPT_VERSION},
    {"exclude", 'x', true, OPT_EXCLUDE},
    {"same-content", 0, false, OPT_SAME_CONTENT},
    {"trash", 0, false, OPT_TRASH},
    {"json", 0, true, OPT_JSON},
    {"restore", 0, true, OPT_RESTORE},
};

const OptionDef* find_long(const std::string& name)
{
    for (const OptionDef& s : option_defs)
        if (name == s.long_name)
            return &s;
    return nullptr;
}

const OptionDef* find_short(char c)
{
    for (const OptionDef& s : option_defs)
        if (s.short_name && s.short_name == c)
            return &s;
    return nullptr;
}

// The options beyond the window's choices.
bool apply_extra_option(CliOptions* o, OptionId id, const std::string& value, std::string* error)
{
    uint32_t code = 0;
    switch (id) {
    case OPT_EXCLUDE:
        if (value.empty() || pattern_error(value.c_str(), &code)) {
            *error = "--exclude " + visible_text(value) + ": PATTERN ERROR: " +
                     (value.empty() ? "empty pattern" : pattern_errTXT[code < 11 ? code : 10]);
            return false;
        }
        o->extra.excludes.push_back(value);
        break;
    case OPT_SAME_CONTENT: o->extra.same_content = true; break;
    case OPT_TRASH: o->extra.trash = true; break;
    case OPT_JSON: o->extra.json_path = value; break;
    case OPT_RESTORE: o->restore = value; break;
    default: break;
    }
    if ((id == OPT_JSON || id == OPT_RESTORE) && value.empty()) {
        *error = id == OPT_JSON ? "--json needs a file" : "--restore needs a sinkhole";
        return false;
    }
    return true;
}

bool apply_option(CliOptions* o, OptionId id, const std::string& value, std::string* error)
{
    ScanChoices& c = o->choices;
    switch (id) {
    case OPT_OUTPUT:
        if (value.empty()) {
            *error = "--output needs a directory";
            return false;
        }
        c.output = value;
        break;
    case OPT_PATTERN: c.patterns = value; break;
    case OPT_CRLF: c.crlf = true; break;
    case OPT_CASE: c.case_insensitive = false; break;
    case OPT_NODATES: c.datestamps = false; break;
    case OPT_MOVE: c.move = true; break;
    case OPT_DELETE: c.del = true; break;
    case OPT_ASK: c.request = true; break;
    case OPT_SAVE: c.save = true; break;
    case OPT_YES: o->yes = true; break;
    case OPT_QUIET: o->quiet = true; break;
    case OPT_HELP: o->help = true; break;
    case OPT_VERSION: o->version = true; break;
    default: return apply_extra_option(o, id, value, error);
    }
    return true;
}

// "--name" or "--name=value"; *i moves past a value taken from the next word.
bool parse_long(int argc, char** argv, int* i, CliOptions* o, std::string* error)
{
    std::string word = argv[*i] + 2;
    size_t eq = word.find('=');
    std::string name = word.substr(0, eq);
    const OptionDef* def = find_long(name);
    if (!def) {
        *error = "unknown option --" + name;
        return false;
    }
    std::string value;
    if (def->takes_value) {
        if (eq != std::string::npos) {
            value = word.substr(eq + 1);
        } else if (*i + 1 < argc) {
            value = argv[++*i];
        } else {
            *error = "--" + name + " needs a value";
            return false;
        }
    } else if (eq != std::string::npos) {
        *error = "--" + name + " takes no value";
        return false;
    }
    return apply_option(o, def->id, value, error);
}

// "-qy", "-oDIR", "-o DIR".
bool parse_short(int argc, char** argv, int* i, CliOptions* o, std::string* error)
{
    const char* word = argv[*i];
    for (const char* p = word + 1; *p; ++p) {
        const OptionDef* def = find_short(*p);
        if (!def) {
            *error = std::string("unknown option -") + *p;
            return false;
        }
        if (!def->takes_value) {
            if (!apply_option(o, def->id, std::string(), error))
                return false;
            continue;
        }
        std::string value;
        if (p[1]) {
            value = p + 1;
        } else if (*i + 1 < argc) {
            value = argv[++*i];
        } else {
            *error = std::string("-") + *p + " needs a value";
            return false;
        }
        return apply_option(o, def->id, value, error);
    }
    return true;
}

bool is_separator(char c)
{
    return c == PATH_SEP || c == '/';
}

// Answers the two scan-start questions with OK, showing them as answered
// unless quiet; everything else goes to the console as usual.
class YesFeedback : public Feedback {
public:
    YesFeedback(ConsoleFeedback& console, bool quiet) : console_(console), quiet_(quiet) {}
    int Complain(int n, const char* title, const char* msg1, const char* msg2, const char* msg3) override
    {
        if (n != COMPLAIN_OKCANCEL && n != COMPLAIN_RETRYCANCEL)
            return console_.Complain(n, title, msg1, msg2, msg3);
        if (!quiet_)
            console_.show_answered(title, msg1, msg2, msg3);
        return 1;
    }
    void set_field(int index, const char* text) override { console_.set_field(index, text); }
    void end_program() override { console_.end_program(); }
private:
    ConsoleFeedback& console_;
    bool quiet_;
};

int terminal_width(Platform& sys)
{
    int w = std::atoi(sys.get_env("COLUMNS").c_str());
    return w > 10 ? w : 80;
}

// Every ROOT made absolute and passed through the chooser's rules. A ROOT
// that is not a directory is a usage error: scanning nothing instead of a
// mistyped path would look like a clean result.
bool choose_roots(ScanState& st, const CliOptions& o, FILE* err)
{
    for (const std::string& given : o.roots) {
        std::string root = root_form(given.c_str());
        if (root.empty() || !isdirectory(st, root.c_str())) {
            std::fprintf(err, "twinex: %s - NOT A DIRECTORY\n", visible_text(given).c_str());
            return false;
        }
        add_root(st, root.c_str());
    }
    return true;
}

bool saving_run(const ScanState& st)
{
    return st.m_flag || (st.dom_flag == -1 && st.save_flag);
}

// Runs the scan thread to its end, keeping the status line alive and
// passing a Ctrl-C on as abort_flag.
bool run_scan_thread(ScanState& st, ConsoleFeedback& fb, const CliStreams& io, bool show_status)
{
    if (io.catch_interrupt && io.interrupt)
        console_catch_interrupt(io.interrupt);
    if (io.interrupt && io.interrupt->load())
        st.abort_flag = 1;
    ThreadHandle thread = nullptr;   // Scan may clear hThread when it stops early
    if (!start_scan_thread(st, &thread)) {
        fb.Complain(COMPLAIN_ERROR, "twinex", "ERROR: can't create scan thread.", "QUITTING", nullptr);
        return false;
    }
    int width = terminal_width(*st.sys);
    // Ctrl-C is passed on within a tenth of a second; the status line is
    // redrawn about three times a second.
    for (unsigned tick = 0; !st.sys->wait_thread(thread, 100); ++tick) {
        if (io.interrupt && io.interrupt->load())
            st.abort_flag = 1;
        if (show_status && tick % 3 == 0)
            fb.draw_status(width);
    }
    st.sys->close_thread(thread);
    fb.clear_status();
    return true;
}

int finish(ScanState& st, ConsoleFeedback& fb, const CliStreams& io)
{
    if (fb.ended() || st.fatal)
        return CLI_FATAL;
    bool interrupted = io.interrupt && io.interrupt->load();
    if (st.abort_flag.load()) {
        if (interrupted)
            fb.Complain(COMPLAIN_NOTICE, "twinex", "SCAN ABORTED",
                        st.filename.empty() ? nullptr : "Report so far:",
                        st.filename.empty() ? nullptr : st.filename.c_str());
        return CLI_STOPPED;
    }
    std::fprintf(io.out, "%s\n", st.filename.c_str());
    if (saving_run(st) && !st.sinkholename.empty())
        std::fprintf(io.out, "%s\n", st.sinkholename.c_str());
    std::fflush(io.out);
    return CLI_DONE;
}

// The console's further options need a delete run, or a JSON file that does
// not exist yet; false after the message.
bool check_extras(CliOptions& o, Platform& sys, FILE* err)
{
    const ExtraOptions& x = o.extra;
    if ((x.same_content || x.trash) && (!o.choices.del || o.choices.move)) {
        std::fprintf(err, "twinex: %s only goes with --delete\n%s", x.trash ? "--trash" : "--same-content",
                     cli_usage_text);
        return false;
    }
    if (x.json_path.empty())
        return true;
    std::string path = root_form(x.json_path.c_str());
    FileStatus fs;
    if (path.empty() || sys.stat(path.c_str(), &fs)) {
        std::fprintf(err, "twinex: %s - FILE EXISTS, NOT REPLACED\n", visible_text(x.json_path).c_str());
        return false;
    }
    o.extra.json_path = path;
    return true;
}

// The bytes read by --same-content, for the end of the run.
void print_comparison_summary(const ScanState& st, FILE* err)
{
    if (st.extra.same_content)
        std::fprintf(err, "twinex: SAME CONTENT: %llu BYTES COMPARED\n",
                     static_cast<unsigned long long>(st.extra.bytes_compared));
}

// --restore SINKHOLE: every copy back at its place; 1 when any stays.
int run_restore(const CliOptions& o, Platform& sys, const CliStreams& io)
{
    std::string sinkhole = root_form(o.restore.c_str());
    FileStatus fs;
    if (!o.roots.empty() || o.choices.move || o.choices.del) {
        std::fprintf(io.err, "twinex: --restore takes no roots and no action\n%s", cli_usage_text);
        return CLI_USAGE;
    }
    if (sinkhole.empty() || !sys.stat(sinkhole.c_str(), &fs) || !fs.is_directory) {
        std::fprintf(io.err, "twinex: %s - NOT A DIRECTORY\n", visible_text(o.restore).c_str());
        return CLI_USAGE;
    }
    RestoreResult r = restore_sinkhole(sys, sinkhole, [&](const std::string& what, const std::string& path) {
        std::fprintf(io.err, "twinex: %s: %s\n", what.c_str(), visible_text(path).c_str());
    });
    if (r.no_manifest)
        std::fprintf(io.err, "twinex: NOTHING TO RESTORE - no manifest beside %s\n", visible_text(sinkhole).c_str());
    else
        std::fprintf(io.err, "twinex: %ld FILES RESTORED, %ld LEFT IN THE SINKHOLE\n", r.restored, r.problems);
    return r.problems ? CLI_STOPPED : CLI_DONE;
}

int run_parsed(CliOptions& o, Platform& sys, const CliStreams& io)
{
    if (!o.restore.empty())
        return run_restore(o, sys, io);
    if (!check_extras(o, sys, io.err))
        return CLI_USAGE;
    ConsoleFeedback fb(io.in, io.err, io.echo_answers);
    ScanState st(sys, fb);
    st.extra = o.extra;
    read_protected_dirs(st);
    if (!o.choices.output.empty()) {
        std::string out = root_form(o.choices.output.c_str());
        if (out.empty()) {
            std::fprintf(io.err, "twinex: %s - NOT A DIRECTORY\n", visible_text(o.choices.output).c_str());
            return CLI_USAGE;
        }
        o.choices.output = out;
    }
    if (!choose_roots(st, o, io.err)) {
        cleanup(st);
        return CLI_USAGE;
    }
    YesFeedback yes(fb, o.quiet);
    Feedback& ask = o.yes ? static_cast<Feedback&>(yes) : static_cast<Feedback&>(fb);
    PrepareResult prepared = scan_prepare(st, o.choices, ask);
    int status = prepared == PREPARE_NOTHING ? CLI_USAGE : CLI_STOPPED;
    if (prepared == PREPARE_GO) {
        fb.set_field(PF_SUMMARY, action_summary(st));
        status = run_scan_thread(st, fb, io, io.status_line && !o.quiet) ? finish(st, fb, io) : CLI_FATAL;
        print_comparison_summary(st, io.err);
    }
    cleanup(st);
    return status;
}

}  // namespace

bool parse_cli_args(int argc, char** argv, CliOptions* o, std::string* error)
{
    // A console user asks for questions and sinkhole copies explicitly.
    o->choices.request = false;
    o->choices.save = false;
    bool options_done = false;
    for (int i = 1; i < argc; ++i) {
        const char* word = argv[i];
        if (options_done || word[0] != '-' || word[1] == 0) {
            o->roots.push_back(word);
        } else if (std::strcmp(word, "--") == 0) {
            options_done = true;
        } else if (word[1] == '-') {
            if (!parse_long(argc, argv, &i, o, error))
                return false;
        } else if (!parse_short(argc, argv, &i, o, error)) {
            return false;
        }
    }
    return true;
}

std::string root_form(const char* path)
{
    std::string full = console_full_path(path);
    while (full.size() > 1 && is_separator(full.back()))
        full.pop_back();
    return full;
}

int cli_run(int argc, char** argv, Platform& sys, const CliStreams& io)
{
    CliOptions o;
    std::string error;
    if (!parse_cli_args(argc, argv, &o, &error)) {
        std::fprintf(io.err, "twinex: %s\n%s", error.c_str(), cli_usage_text);
        return CLI_USAGE;
    }
    if (o.help) {
        std::fputs(cli_usage_text, io.out);
        return CLI_DONE;
    }
    if (o.version) {
        std::fprintf(io.out, "%s\n", banner_text());
        return CLI_DONE;
    }
    return run_parsed(o, sys, io);
}
