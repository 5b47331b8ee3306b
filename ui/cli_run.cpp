// twinex-cli: the options, the roots, the scan-start questions, the scan on
// its own thread with a live status line, and the exit status.
#include "ui/cli_run.h"

#include <cstdlib>
#include <cstring>
#include <new>

#include "engine/scan.h"
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
    "  -L, --follow-links    walk into symbolic links met below the roots\n"
    "  -y, --yes             answer OK to \"NO OUTPUT CHOSEN\" and \"ARE YOU SURE?\"\n"
    "  -q, --quiet           no progress display (and --yes answers silently)\n"
    "  -h, --help            this text;  --version  the version\n"
    "Exit status: 0 report finished, 1 cancelled or stopped, 2 usage error or\n"
    "nothing to scan, 3 fatal error.\n";

namespace {

enum OptionId {
    OPT_OUTPUT, OPT_PATTERN, OPT_CRLF, OPT_CASE, OPT_NODATES, OPT_MOVE, OPT_DELETE,
    OPT_ASK, OPT_SAVE, OPT_YES, OPT_QUIET, OPT_HELP, OPT_VERSION, OPT_FOLLOW
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
    {"follow-links", 'L', false, OPT_FOLLOW},
    {"yes", 'y', false, OPT_YES},
    {"quiet", 'q', false, OPT_QUIET},
    {"help", 'h', false, OPT_HELP},
    {"version", 0, false, OPT_VERSION},
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
    case OPT_FOLLOW: o->follow_links = true; break;
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
    void show_fatal(const char* msg) override { console_.show_fatal(msg); }
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

// The status line needs memory; when there is none left, the scan is
// stopped and the program ends as after a fatal error on the scan thread
// (which is still waited for: it uses the scan state). False then.
bool draw_status_or_quit(ScanState& st, ConsoleFeedback& fb, int width)
{
    try {
        fb.draw_status(width);
        return true;
    } catch (const std::bad_alloc&) {
        fb.show_fatal("OUT OF MEMORY");
        fb.end_program();
        st.abort_flag = 1;
        return false;
    }
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
            show_status = draw_status_or_quit(st, fb, width);
    }
    st.sys->close_thread(thread);
    fb.clear_status();
    fb.tell_walk_errors();
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

int run_parsed(CliOptions& o, Platform& sys, const CliStreams& io)
{
    ConsoleFeedback fb(io.in, io.err, io.echo_answers);
    ScanState st(sys, fb);
    st.follow_links = o.follow_links;
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
