// The console feedback: messages and questions on the error stream, answers
// from the input stream, progress fields kept for the status line.
#include "ui/console/console_feedback.h"

#include <cstring>

#include "report/visible.h"

namespace {

bool ends_with_punctuation(const std::string& s)
{
    return !s.empty() && std::strchr(".:?!-", s.back()) != nullptr;
}

// "of", "list", "file": a plain lower-case word ends the text, so what comes
// next continues the sentence.
bool ends_with_lowercase_word(const std::string& s)
{
    size_t start = s.find_last_of(' ');
    start = (start == std::string::npos) ? 0 : start + 1;
    if (start >= s.size())
        return false;
    for (size_t i = start; i < s.size(); ++i) {
        char c = s[i];
        if (!((c >= 'a' && c <= 'z') || c == '\''))
            return false;
    }
    return true;
}

// A new sentence, unless it is a drive path ("C:\\data").
bool starts_with_capital_word(const char* s)
{
    return s[0] >= 'A' && s[0] <= 'Z' && s[1] != ':';
}

// Pieces continue a sentence after punctuation, or after a lower-case word
// when they do not start a new sentence themselves ("Subdirectories of
// /a"); otherwise a dash keeps them apart ("/a - Not added to chosen list.").
void append_piece(std::string& out, const char* piece)
{
    if (!piece || !*piece)
        return;
    if (!out.empty()) {
        bool flows = ends_with_punctuation(out) ||
                     (ends_with_lowercase_word(out) && !starts_with_capital_word(piece));
        out += flows ? " " : " - ";
    }
    out += piece;
}

// One answer line without its line end; false at the end of the input.
bool read_line(FILE* in, std::string* line)
{
    line->clear();
    char buf[256];
    bool got = false;
    while (std::fgets(buf, sizeof buf, in)) {
        got = true;
        *line += buf;
        if (!line->empty() && line->back() == '\n')
            break;
    }
    while (!line->empty() && (line->back() == '\n' || line->back() == '\r'))
        line->pop_back();
    return got;
}

std::string field_pair(const FieldTexts& f, int label, int value)
{
    const std::string& l = f[label];
    const std::string v = value >= 0 ? f[value] : std::string();
    if (l.empty())
        return v;
    if (v.empty() || l.back() == ' ')
        return l + v;
    return l + " " + v;
}

// Appends `text` with its control bytes escaped as visible_text does,
// while the escape fits before `end`.
char* put_escaped(char* at, const char* end, const char* text)
{
    for (const unsigned char* p = reinterpret_cast<const unsigned char*>(text); *p; ++p) {
        char esc[4];
        size_t len = escape_byte(*p, esc);
        if (at + len > end)
            break;
        std::memcpy(at, esc, len);
        at += len;
    }
    return at;
}

}  // namespace

void print_fatal_line(FILE* err, const char* msg)
{
    static const char head[] = "twinex: ";
    static const char tail[] = "QUITTING...\n";
    char line[4 * 2048 + sizeof head + sizeof tail + 4];
    char* at = line;
    std::memcpy(at, head, sizeof head - 1);
    at += sizeof head - 1;
    if (msg && *msg) {
        at = put_escaped(at, line + sizeof line - sizeof tail - 4, msg);
        bool flows = std::strchr(".:?!-", at[-1]) != nullptr;   // as join_box_lines
        std::memcpy(at, flows ? " " : " - ", flows ? 1 : 3);
        at += flows ? 1 : 3;
    }
    std::memcpy(at, tail, sizeof tail);
    std::fputs(line, err);
    std::fflush(err);
}

std::string join_box_lines(const char* msg1, const char* msg2, const char* msg3)
{
    std::string out;
    append_piece(out, msg1);
    append_piece(out, msg2);
    append_piece(out, msg3);
    return out;
}

bool answer_is_yes(const char* line)
{
    if (!line)
        return false;
    while (*line == ' ' || *line == '\t')
        ++line;
    if (*line == 'y' || *line == 'Y')
        return true;
    size_t n = std::strlen(line);
    while (n > 0 && (line[n - 1] == ' ' || line[n - 1] == '\t'))
        --n;
    return n == 2 && (line[0] == 'o' || line[0] == 'O') && (line[1] == 'k' || line[1] == 'K');
}

std::string status_text(const FieldTexts& f, int width)
{
    static const int rows[][2] = {
        {PF_COLLECT_LABEL, PF_COLLECT_COUNT},
        {PF_PROCESS_LABEL, PF_PROCESS_COUNT},
        {PF_WRITTEN_LABEL, PF_WRITTEN_COUNT},
        {PF_COPYING, -1},
        {PF_ACTION_LABEL, PF_ACTION_COUNT},
    };
    std::string out;
    for (const auto& row : rows) {
        std::string piece = field_pair(f, row[0], row[1]);
        if (piece.empty())
            continue;
        if (!out.empty())
            out += "  ";
        out += piece;
    }
    out = visible_text(out);
    if (width > 0 && out.size() > (size_t)width)
        out.resize(width);
    return out;
}

ConsoleFeedback::ConsoleFeedback(FILE* in, FILE* err, bool echo_answers) : in_(in), err_(err), echo_(echo_answers)
{
    fields_[PF_ABORT] = "ABORT";
    fields_[PF_QUIT] = "QUIT";
}

int ConsoleFeedback::Complain(int n, const char* title, const char* msg1, const char* msg2, const char* msg3)
{
    std::string line = box_line(title, msg1, msg2, msg3);
    if (n != COMPLAIN_OKCANCEL && n != COMPLAIN_RETRYCANCEL) {
        MutexLock hold(output_mutex_);
        print_locked(line + "\n");
        return 0;
    }
    // Questions come one at a time, from either thread; the status line
    // stays away while one waits for its answer.
    MutexLock one(question_mutex_);
    {
        MutexLock hold(output_mutex_);
        asking_ = true;
        print_locked(line + " [y/N] ");
    }
    std::string answer;
    bool got = !input_ended_ && read_line(in_, &answer);
    MutexLock hold(output_mutex_);
    asking_ = false;
    if (!got) {
        print_locked("n\n");
        if (!input_ended_)
            print_locked("twinex: end of input: this and every later question is answered no\n");
        input_ended_ = true;
    } else if (echo_) {
        print_locked(visible_text(answer) + "\n");
    }
    return got && answer_is_yes(answer.c_str()) ? 1 : 0;
}

std::string ConsoleFeedback::box_line(const char* title, const char* msg1, const char* msg2, const char* msg3)
{
    return std::string(title ? title : "twinex") + ": " + visible_text(join_box_lines(msg1, msg2, msg3));
}

void ConsoleFeedback::set_field(int index, const char* text)
{
    if (index < 0 || index >= PF_COUNT)
        return;
    MutexLock hold(fields_mutex_);
    fields_[index] = text ? text : "";
}

void ConsoleFeedback::show_fatal(const char* msg)
{
    MutexLock hold(output_mutex_);
    wipe_status_locked();
    print_fatal_line(err_, msg);
}

void ConsoleFeedback::walk_error(const char* path, const char* reason)
{
    MutexLock hold(output_mutex_);
    if (++walk_errors_ > MAX_WALK_ERRORS)
        return;
    print_locked("twinex: can't read " + visible_text(path ? path : "") + ": " + (reason ? reason : "") + "\n");
}

void ConsoleFeedback::tell_walk_errors(int listed)
{
    MutexLock hold(output_mutex_);
    int dirs = walk_errors_ - listed;
    char line[96];
    if (dirs > 0) {
        std::snprintf(line, sizeof line, "twinex: %d %s could not be read\n", dirs,
                      dirs == 1 ? "directory" : "directories");
        print_locked(line);
    }
    if (listed > 0) {
        std::snprintf(line, sizeof line, "twinex: %d %s not taken\n", listed,
                      listed == 1 ? "listed entry" : "listed entries");
        print_locked(line);
    }
}

void ConsoleFeedback::end_program()
{
    ended_.store(true);
}

FieldTexts ConsoleFeedback::fields() const
{
    MutexLock hold(fields_mutex_);
    return fields_;
}

void ConsoleFeedback::draw_status(int width)
{
    std::string text = status_text(fields(), width > 1 ? width - 1 : 0);
    MutexLock hold(output_mutex_);
    if (asking_)
        return;
    std::string line = "\r" + text;
    if (status_len_ > text.size())
        line.append(status_len_ - text.size(), ' ');
    std::fputs(line.c_str(), err_);
    std::fflush(err_);
    status_len_ = text.size();
}

void ConsoleFeedback::clear_status()
{
    MutexLock hold(output_mutex_);
    wipe_status_locked();
    std::fflush(err_);
}

// Allocates nothing: a fatal error's line may follow.
void ConsoleFeedback::wipe_status_locked()
{
    if (status_len_ == 0)
        return;
    char blank[128];
    std::memset(blank, ' ', sizeof blank);
    std::fputc('\r', err_);
    for (size_t left = status_len_; left > 0;) {
        size_t n = left < sizeof blank ? left : sizeof blank;
        std::fwrite(blank, 1, n, err_);
        left -= n;
    }
    std::fputc('\r', err_);
    status_len_ = 0;
}

void ConsoleFeedback::print_locked(const std::string& line)
{
    wipe_status_locked();
    std::fputs(line.c_str(), err_);
    std::fflush(err_);
}
