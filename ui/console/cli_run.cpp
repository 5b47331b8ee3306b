// twinex-cli: the options and what is refused before the scan (contradicting
// options, a bad pattern, a root that is not a directory, a change to files
// nobody can confirm), the one confirmation, the scan on its own thread with
// a live status line, the summary and the exit status.
#include "ui/console/cli_run.h"

#include <cerrno>
#include <chrono>
#include <cstdlib>
#include <cstring>
#include <new>

#include "match/match.h"
#include "report/restore.h"
#include "report/tfile.h"
#include "report/visible.h"
#include "ui/common/roots.h"
#include "ui/common/scan_job.h"
#include "ui/console/cli_summary.h"
#include "ui/console/console_feedback.h"

const char* const cli_usage_text =
    "usage: twinex-cli [options] ROOT...\n"
    "       twinex-cli [options] --files-from LIST [ROOT...]\n"
    "Finds files of the same name under the ROOT directories, writes a report of\n"
    "every group (twinfilesNNN.txt) and prints the report's path.\n"
    "  -o, --output DIR      directory for the report and the sinkhole, made when\n"
    "                        missing (default: the current directory)\n"
    "  -p, --pattern PAT     only file names that fit PAT (see Patterns below)\n"
    "      --crlf            report lines end in CR LF\n"
    "  -s, --case-sensitive  compare names byte for byte\n"
    "      --unicode         names that are one Unicode text are one name: composed\n"
    "                        and decomposed accents, and (unless -s) Unicode letter\n"
    "                        case (see Names below)\n"
    "      --copies          a name with copy marks is one name with the name\n"
    "                        without them: report (1).pdf is report.pdf (see Names)\n"
    "      --move            move every file of every group to the sinkhole\n"
    "      --delete          delete all but the newest file of each name\n"
    "      --ask             with --delete: ask before each deletion\n"
    "      --save            with --delete: save deleted files in the sinkhole\n"
    "  -x, --exclude PAT     leave out directories and files whose name matches PAT\n"
    "                        (repeatable; the pattern language and case rule of -p)\n"
    "      --same-content    with --delete: delete a copy only when its bytes equal\n"
    "                        the kept file's; others are marked CONTENT DIFFERS\n"
    "                        (needed by --copies with --delete)\n"
    "      --trash           with --delete: move the files to the trash instead\n"
    "      --json FILE       also write the groups as JSON to the new FILE\n"
    "      --restore SINKHOLE  put every copy of a sinkhole back at its place\n"
    "      --reference DIR   DIR is scanned too, and its files are reference copies:\n"
    "                        never moved or deleted; groups made only of them are\n"
    "                        not reported, and --move and --delete act only on\n"
    "                        groups that hold one, on every other copy (repeatable;\n"
    "                        DIR may lie inside a ROOT)\n"
    "      --across-roots    only groups whose files lie under two roots or more\n"
    "      --keep WHICH      with --delete: keep the newest (default) or the oldest\n"
    "                        file of each name\n"
    "      --min-size SIZE   only files of at least SIZE bytes (K, M, G, T: 1024^n);\n"
    "      --max-size SIZE   only files of at most SIZE bytes. Either makes a walk\n"
    "                        read the status of every file, which is slower\n"
    "      --files-from LIST the files to consider, one path a line, instead of (or\n"
    "                        beside) the ROOTs; - reads standard input\n"
    "  -0, --null            the LIST's paths end with NUL bytes (find -print0)\n"
    "  -L, --follow-links    walk into symbolic links met below the roots\n"
    "  -y, --yes             --move or --delete without the question first (needed\n"
    "                        when standard input is not a terminal)\n"
    "  -q, --quiet           no progress display and no summary at the end\n"
    "  -h, --help            this text;  --version  the version\n";

const char* const cli_short_usage = "usage: twinex-cli [options] ROOT...  (more: twinex-cli --help)\n";

const char* const cli_patterns_text =
    "Patterns: a pattern fits the whole file name. Every character stands for\n"
    "itself (spaces and commas too), except:\n"
    "  *        any run of characters, even none\n"
    "  ?        any one character\n"
    "  [abc]    one of a, b, c;  [a-c] one from a to c;  [(txt)(doc)] one of\n"
    "           the groups of characters in ( )\n"
    "  \\c       the character c itself: \\* a star, \\( a bracket, \\\\ a backslash\n"
    "  Examples: *.txt  report??.doc  [a-c]*  *.[(txt)(doc)]  \\*\n"
    "  Letters a-z and A-Z match either case unless -s is given; all other\n"
    "  characters only themselves. Quote patterns for the shell: -p '*.txt'.\n"
    "Names (what counts as one name):\n"
    "  Names are compared byte for byte, letters a-z folded onto A-Z unless -s.\n"
    "  --unicode: a name in UTF-8 is compared in its composed form (NFC) and,\n"
    "  unless -s, with full Unicode case folding (so a sharp s is one name with\n"
    "  SS, and accented capitals with their small letters). -p and -x match the\n"
    "  composed name one character at a time: ? is one character, a range [a-z]\n"
    "  compares code points; stra?e.txt fits the name with a sharp s, but\n"
    "  STRASSE.TXT needs stra??e.txt. Names not in UTF-8 are compared as before.\n"
    "  --copies: copy marks are taken off, again and again, before names are\n"
    "  compared: \" (N)\", \"(N)\", \" - Copy\", \" - Copy (N)\" (also Kopie, Copie,\n"
    "  Copia, Copia with an accented o), \" copy\", \" copy N\" right before the\n"
    "  extension (.pdf, .tar.gz: the last one or two parts of 1 to 5 letters or\n"
    "  digits) or at the end of a name without one, and \"Copy of \", \"Copy (N) of \"\n"
    "  at its start. N is 1 to 4 digits; something must remain of the name. So\n"
    "  report (1).pdf, report - Copy - Copy.pdf and Copy of report.pdf group with\n"
    "  report.pdf. A group is titled by its first file's name without marks;\n"
    "  every file keeps its own name. With --delete it needs --same-content.\n"
    "Exit status:\n"
    "  0  finished\n"
    "  1  cancelled, interrupted or stopped by the user\n"
    "  2  usage error (bad option or value, contradicting options, bad pattern,\n"
    "     no root, root not a directory, a missing --files-from list)\n"
    "  3  fatal error (cannot write, out of memory)\n"
    "  4  finished, but not everything asked was done: a directory or file that\n"
    "     could not be read, a listed entry that is no regular file or could not\n"
    "     be read, a file left in place by a failure (it could not be\n"
    "     copied, flushed or removed, or it changed since the scan), a trash that\n"
    "     refused, a restore that left copies in the sinkhole\n"
    "More in man twinex-cli.\n";

namespace {

enum OptionId {
    OPT_OUTPUT, OPT_PATTERN, OPT_CRLF, OPT_CASE, OPT_NODATES, OPT_MOVE, OPT_DELETE,
    OPT_ASK, OPT_SAVE, OPT_YES, OPT_QUIET, OPT_HELP, OPT_VERSION, OPT_FOLLOW,
    OPT_EXCLUDE, OPT_SAME_CONTENT, OPT_TRASH, OPT_JSON, OPT_RESTORE, OPT_UNICODE, OPT_COPIES,
    OPT_REFERENCE, OPT_ACROSS, OPT_KEEP, OPT_MIN_SIZE, OPT_MAX_SIZE, OPT_FILES_FROM, OPT_NULL
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
    {"exclude", 'x', true, OPT_EXCLUDE},
    {"same-content", 0, false, OPT_SAME_CONTENT},
    {"trash", 0, false, OPT_TRASH},
    {"json", 0, true, OPT_JSON},
    {"restore", 0, true, OPT_RESTORE},
    {"unicode", 0, false, OPT_UNICODE},
    {"copies", 0, false, OPT_COPIES},
    {"reference", 0, true, OPT_REFERENCE},
    {"across-roots", 0, false, OPT_ACROSS},
    {"keep", 0, true, OPT_KEEP},
    {"min-size", 0, true, OPT_MIN_SIZE},
    {"max-size", 0, true, OPT_MAX_SIZE},
    {"files-from", 0, true, OPT_FILES_FROM},
    {"null", '0', false, OPT_NULL},
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

// A size: bytes, or a whole number with K, M, G or T (powers of 1024).
bool parse_size(const std::string& text, uint64_t* out)
{
    uint64_t n = 0;
    size_t i = 0;
    for (; i < text.size() && text[i] >= '0' && text[i] <= '9'; ++i) {
        if (n > (UINT64_MAX - 9) / 10)
            return false;
        n = n * 10 + uint64_t(text[i] - '0');
    }
    int shift = 0;
    if (i > 0 && i + 1 == text.size()) {
        const char* units = "KMGT";
        const char* unit = std::strchr(units, text[i] & ~0x20);   // either case
        if (!unit || !*unit)
            return false;
        shift = 10 * int(unit - units + 1);
        ++i;
    }
    if (i == 0 || i != text.size() || (shift && n > (UINT64_MAX >> shift)))
        return false;
    *out = n << shift;
    return true;
}

// The options that choose which files are taken and which copy stays.
bool apply_choice_option(CliOptions* o, OptionId id, const std::string& value, std::string* error)
{
    ExtraOptions& x = o->extra;
    switch (id) {
    case OPT_REFERENCE: o->references.push_back(value); break;
    case OPT_ACROSS: x.across_roots = true; break;
    case OPT_FILES_FROM: o->files_from = value; break;
    case OPT_NULL: x.list_nul = true; break;
    case OPT_KEEP:
        if (value != "newest" && value != "oldest") {
            *error = "--keep " + value + ": keep newest or oldest";
            return false;
        }
        o->keep_given = true;
        x.keep_oldest = value == "oldest";
        break;
    default: {   // the sizes
        bool min = id == OPT_MIN_SIZE;
        if (!parse_size(value, min ? &x.min_size : &x.max_size)) {
            *error = std::string(min ? "--min-size " : "--max-size ") + value +
                     ": not a size (bytes, or a whole number with K, M, G or T)";
            return false;
        }
        (min ? x.min_given : x.max_given) = true;
    }
    }
    if ((id == OPT_REFERENCE || id == OPT_FILES_FROM) && value.empty()) {
        *error = id == OPT_REFERENCE ? "--reference needs a directory" : "--files-from needs a file";
        return false;
    }
    return true;
}

// The options beyond the window's choices.
bool apply_extra_option(CliOptions* o, OptionId id, const std::string& value, std::string* error)
{
    if (id >= OPT_REFERENCE)
        return apply_choice_option(o, id, value, error);
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
    case OPT_UNICODE: o->extra.unicode = true; break;
    case OPT_COPIES: o->extra.copies = true; break;
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
    case OPT_FOLLOW: o->follow_links = true; break;
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

// Answers the scan-start confirmation: a listing run, and a run confirmed
// ahead with --yes, go ahead without a question. Every other question and
// message goes to the console.
class StartAnswers : public Feedback {
public:
    StartAnswers(ConsoleFeedback& console, bool confirmed) : console_(console), confirmed_(confirmed) {}
    int Complain(int n, const char* title, const char* msg1, const char* msg2, const char* msg3) override
    {
        if (n == COMPLAIN_OKCANCEL && confirmed_)
            return 1;
        return console_.Complain(n, title, msg1, msg2, msg3);
    }
    void set_field(int index, const char* text) override { console_.set_field(index, text); }
    void end_program() override { console_.end_program(); }
    void show_fatal(const char* msg) override { console_.show_fatal(msg); }
private:
    ConsoleFeedback& console_;
    bool confirmed_;
};

bool is(const char* text, const char* fixed)
{
    return text && std::strcmp(text, fixed) == 0;
}

// The scan's messages as the console gives them: a report or sinkhole that
// cannot be created is named with the system's reason, and a pattern error
// is noted for the exit status.
class ScanMessages : public Feedback {
public:
    explicit ScanMessages(ConsoleFeedback& console) : console_(console) {}
    int Complain(int n, const char* title, const char* msg1, const char* msg2, const char* msg3) override
    {
        if (n == COMPLAIN_ERROR && names_failed_creation(msg1))
            return 0;
        if (msg1 && std::strncmp(msg1, "PATTERN ERROR", 13) == 0)
            pattern_failed_ = true;
        return console_.Complain(n, title, msg1, msg2, msg3);
    }
    void set_field(int index, const char* text) override { console_.set_field(index, text); }
    void end_program() override { console_.end_program(); }
    void show_fatal(const char* msg) override
    {
        if (!names_failed_creation(msg))
            console_.show_fatal(msg);
    }
    void walk_error(const char* path, const char* reason) override { console_.walk_error(path, reason); }
    bool pattern_failed() const { return pattern_failed_.load(); }
private:
    // A report or sinkhole that could not be created is named with the
    // system's reason instead of the window's words; true when said so.
    bool names_failed_creation(const char* msg)
    {
        if (!is(msg, "Can't open an output file") && !is(msg, "Can't create sinkhole"))
            return false;
        NameFailure f = tfile_failure();
        if (!f.name[0] || !f.err)
            return false;
        std::string text = std::string("can't create ") + f.name + ": " + error_text(f.err);
        console_.Complain(COMPLAIN_ERROR, "twinex", text.c_str(), nullptr, nullptr);
        return true;
    }
    ConsoleFeedback& console_;
    std::atomic<bool> pattern_failed_{false};
};

// Options that contradict each other, or mean nothing without another.
bool check_combination(const CliOptions& o, std::string* error)
{
    const ScanChoices& c = o.choices;
    const ExtraOptions& x = o.extra;
    if (c.move && c.del)
        *error = "--move and --delete exclude each other";
    else if (c.request && !c.del)
        *error = "--ask needs --delete";
    else if (c.save && !c.del && !c.move)
        *error = "--save needs --delete";
    else if (o.keep_given && (!c.del || !o.references.empty()))
        *error = c.move ? "--keep goes with --delete only: a move takes every file"
                 : c.del ? "--keep and --reference exclude each other: the reference copies stay"
                         : "--keep needs --delete";
    else if (x.min_given && x.max_given && x.min_size > x.max_size)
        *error = "--min-size " + std::to_string((unsigned long long)x.min_size) + " is above --max-size " +
                 std::to_string((unsigned long long)x.max_size);
    else if (x.list_nul && o.files_from.empty())
        *error = "-0 needs --files-from";
    else if (x.across_roots && !o.files_from.empty())
        *error = "--across-roots and --files-from exclude each other: a list has no roots";
    else if (o.files_from == "-" && c.request)
        *error = "--files-from - and --ask both read standard input";
    else
        return true;
    return false;
}

// What to write after a pattern error's numbered message.
const char* pattern_hint(uint32_t code)
{
    switch (code) {
    case 1: return "a \\ takes the character after it as it is; \\\\ is a backslash";
    case 2: return "a set [...] needs its closing ]; \\[ is a [ itself";
    case 5: return "a group (...) stands inside a set and closes before the set's ]";
    case 6: return "inside a set, ) closes a group (...); \\) is a ) itself";
    case 7: return "alternatives are written as groups inside a set, as in *.[(txt)(doc)]; "
                   "\\( is a ( itself";
    case 8: return "\\) is a ) itself";
    case 9: return "\\] is a ] itself";
    default: return nullptr;
    }
}

// A pattern is checked before anything is touched: one that is badly formed
// or longer than the window's PATTERNS box would take is refused, never cut.
bool pattern_ok(const std::string& p, FILE* err)
{
    if (p.size() > PATTERN_MAX) {
        std::fprintf(err, "twinex: PATTERN TOO LONG: %lu characters, at most %lu are taken\n",
                     (unsigned long)p.size(), (unsigned long)PATTERN_MAX);
        return false;
    }
    uint32_t code = 0;
    if (p.empty() || !pattern_error(p.c_str(), &code))
        return true;
    std::fprintf(err, "twinex: PATTERN ERROR: %s\n", code < 11 ? pattern_errTXT[code] : "");
    if (const char* hint = pattern_hint(code))
        std::fprintf(err, "twinex: %s (see Patterns in twinex-cli --help)\n", hint);
    return false;
}

// A move or delete run goes ahead only when confirmed: at the terminal, or
// ahead with --yes.
bool can_confirm(const CliOptions& o, const CliStreams& io)
{
    if (!(o.choices.move || o.choices.del) || o.yes || io.in_terminal)
        return true;
    std::fprintf(io.err, "twinex: %s changes files; confirm with --yes when not run from a terminal\n",
                 o.choices.move ? "--move" : "--delete");
    return false;
}

// The directory above `dir`; empty for a root ("/" or "C:").
std::string parent_of(const std::string& dir)
{
    size_t cut = dir.size();
    while (cut > 0 && !is_separator(dir[cut - 1]))
        --cut;
    while (cut > 1 && is_separator(dir[cut - 1]))
        --cut;
    return cut > 0 && cut < dir.size() && !is_separator(dir[cut - 1]) ? dir.substr(0, cut) : std::string();
}

// Makes `dir` and every missing directory above it; false with the path
// that could not be made and the system's error number.
bool make_directories(Platform& sys, const std::string& dir, std::string* failed, int* err)
{
    FileStatus s;
    if (sys.stat(dir.c_str(), &s)) {
        *failed = dir;
        *err = EEXIST;
        return s.is_directory;
    }
    std::string parent = parent_of(dir);
    if (!parent.empty() && !sys.stat(parent.c_str(), &s) && !make_directories(sys, parent, failed, err))
        return false;
    *failed = dir;
    *err = sys.create_directory(dir.c_str());
    return *err == 0 || (*err == EEXIST && sys.stat(dir.c_str(), &s) && s.is_directory);
}

bool make_output(ScanState& st, FILE* err)
{
    std::string failed;
    int code = 0;
    if (make_directories(*st.sys, st.outputname, &failed, &code))
        return true;
    std::fprintf(err, "twinex: can't create %s: %s\n", visible_text(failed).c_str(), error_text(code).c_str());
    return false;
}

int terminal_width(Platform& sys)
{
    int w = std::atoi(sys.get_env("COLUMNS").c_str());
    return w > 10 ? w : 80;
}

// The directories of `given` made absolute; false, after the message, when
// one is not a directory: scanning nothing instead of a mistyped path would
// look like a clean result.
bool directories(ScanState& st, const std::vector<std::string>& given, std::vector<std::string>* out, FILE* err)
{
    for (const std::string& g : given) {
        std::string dir = root_form(g.c_str());
        if (dir.empty() || !isdirectory(st, dir.c_str())) {
            std::fprintf(err, "twinex: %s - NOT A DIRECTORY\n", visible_text(g).c_str());
            return false;
        }
        out->push_back(dir);
    }
    return true;
}

// Every ROOT and reference root made absolute and passed through the
// chooser's rules, the roots first. A reference root may lie inside a root;
// a root inside a reference root, or one that is a reference root too,
// would leave it unclear which files may go: both are usage errors.
bool choose_roots(ScanState& st, const CliOptions& o, FILE* err)
{
    std::vector<std::string> roots, references;
    if (!directories(st, o.roots, &roots, err) || !directories(st, o.references, &references, err))
        return false;
    for (const std::string& root : roots) {
        for (const std::string& ref : references) {
            RootClash clash = reference_clash(root.c_str(), ref.c_str());
            if (clash == ROOTS_APART)
                continue;
            std::fprintf(err, "twinex: %s - %s\n", visible_text(root).c_str(),
                         clash == ROOTS_SAME ? "A ROOT AND A REFERENCE ROOT AT ONCE" : "A ROOT INSIDE A REFERENCE ROOT");
            return false;
        }
    }
    for (const std::string& root : roots)
        add_root(st, root.c_str());
    for (const std::string& ref : references)
        add_root(st, ref.c_str(), true);
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
    return true;
}

int finish(ScanState& st, ConsoleFeedback& fb, const ScanMessages& msgs, const CliStreams& io)
{
    if (fb.ended() || st.fatal)
        return CLI_FATAL;
    if (msgs.pattern_failed())
        return CLI_USAGE;
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
    return st.numunread || st.numfaults || st.numrefused ? CLI_INCOMPLETE : CLI_DONE;
}

// The output directory as an absolute path: -o, or the current directory.
bool choose_output(CliOptions& o, FILE* err)
{
    std::string given = o.choices.output.empty() ? std::string(".") : o.choices.output;
    o.choices.output = root_form(given.c_str());
    if (!o.choices.output.empty())
        return true;
    std::fprintf(err, "twinex: %s - NOT A DIRECTORY\n", visible_text(given).c_str());
    return false;
}

// Everything that can be refused before the scan: the pattern, the roots,
// the output directory and a run that changes files without a way to
// confirm it.
int check_run(ScanState& st, CliOptions& o, const CliStreams& io)
{
    if (!pattern_ok(o.choices.patterns, io.err))
        return CLI_USAGE;
    if (o.roots.empty() && o.files_from.empty()) {
        std::fprintf(io.err, "twinex: NOTHING TO SCAN\n%s", cli_short_usage);
        return CLI_USAGE;
    }
    bool ok = choose_roots(st, o, io.err) && choose_output(o, io.err) && can_confirm(o, io);
    return ok ? CLI_DONE : CLI_USAGE;
}

// The console's further options need a delete run, or a JSON file that does
// not exist yet; false after the message.
bool check_extras(CliOptions& o, Platform& sys, FILE* err)
{
    const ExtraOptions& x = o.extra;
    if ((x.same_content || x.trash) && (!o.choices.del || o.choices.move)) {
        std::fprintf(err, "twinex: %s only goes with --delete\n%s", x.trash ? "--trash" : "--same-content",
                     cli_short_usage);
        return false;
    }
    if (x.copies && o.choices.del && !x.same_content) {
        std::fprintf(err, "twinex: --copies with --delete needs --same-content: a copy's name says nothing of its"
                          " bytes (a browser's \"report (1).pdf\" is often another file), so only byte-equal"
                          " copies may be deleted\n%s", cli_short_usage);
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

// The list of --files-from, open to be read while the scan runs: standard
// input for "-", else the file (a pipe included) made absolute. Closed when
// the run ends.
class ListInput {
public:
    explicit ListInput(Platform& sys) : sys_(sys) {}
    ~ListInput()
    {
        if (own_)
            sys_.close_file(own_);
    }
    ListInput(const ListInput&) = delete;
    ListInput& operator=(const ListInput&) = delete;

    // False, after the message, when the list cannot be read.
    bool open(const std::string& given, ExtraOptions* x, const CliStreams& io)
    {
        if (given.empty())
            return true;
        if (given == "-") {
            x->list = io.in;
            x->list_name = given;
            return true;
        }
        std::string path = root_form(given.c_str());
        FileStatus fs;
        int err = path.empty() ? ENOENT : 0;
        if (!err && sys_.stat(path.c_str(), &fs) && fs.is_directory)
            err = EISDIR;
        if (!err && !(own_ = sys_.open_stream(path.c_str(), &err)) && !err)
            err = EIO;
        if (err) {
            std::fprintf(io.err, "twinex: --files-from %s: %s\n", visible_text(given).c_str(), error_text(err).c_str());
            return false;
        }
        x->list = own_;
        x->list_name = path;
        return true;
    }

private:
    Platform& sys_;
    FILE* own_ = nullptr;
};

// --restore SINKHOLE: every copy back at its place; 4 when any stays.
int run_restore(const CliOptions& o, Platform& sys, const CliStreams& io)
{
    std::string sinkhole = root_form(o.restore.c_str());
    FileStatus fs;
    if (!o.roots.empty() || !o.references.empty() || !o.files_from.empty() || o.choices.move || o.choices.del) {
        std::fprintf(io.err, "twinex: --restore takes no roots and no action\n%s", cli_short_usage);
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
    return r.problems ? CLI_INCOMPLETE : CLI_DONE;
}

int run_parsed(CliOptions& o, Platform& sys, const CliStreams& io)
{
    if (!o.restore.empty())
        return run_restore(o, sys, io);
    if (!check_extras(o, sys, io.err))
        return CLI_USAGE;
    ConsoleFeedback fb(io.in, io.err, io.echo_answers);
    ScanMessages msgs(fb);
    ScanState st(sys, msgs);
    st.follow_links = o.follow_links;
    st.extra = o.extra;
    read_protected_dirs(st);
    int status = check_run(st, o, io);
    if (status != CLI_DONE)
        return status;
    ListInput list(sys);
    if (!list.open(o.files_from, &st.extra, io))
        return CLI_USAGE;
    StartAnswers answers(fb, o.yes || !(o.choices.move || o.choices.del));
    if (scan_prepare(st, o.choices, answers) != PREPARE_GO)
        return CLI_STOPPED;
    if (!make_output(st, io.err))
        return CLI_FATAL;
    fb.set_field(PF_SUMMARY, action_summary(st));
    auto started = std::chrono::steady_clock::now();
    if (!run_scan_thread(st, fb, io, io.status_line && !o.quiet))
        return CLI_FATAL;
    status = finish(st, fb, msgs, io);
    std::chrono::duration<double> took = std::chrono::steady_clock::now() - started;
    // The count of unreadable directories is said once: in the summary, or
    // on its own line where there is no summary.
    if ((status == CLI_DONE || status == CLI_INCOMPLETE) && !o.quiet)
        std::fputs(run_summary(st, took.count()).c_str(), io.err);
    else
        fb.tell_walk_errors(st.numrefused);
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
    return o->help || o->version || check_combination(*o, error);
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
        std::fprintf(io.err, "twinex: %s\n%s", visible_text(error).c_str(), cli_short_usage);
        return CLI_USAGE;
    }
    if (o.help) {
        std::fputs(cli_usage_text, io.out);
        std::fputs(cli_patterns_text, io.out);
        return CLI_DONE;
    }
    if (o.version) {
        std::fprintf(io.out, "%s\n", banner_text());
        return CLI_DONE;
    }
    return run_parsed(o, sys, io);
}
