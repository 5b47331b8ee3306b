// The console's way of speaking to the user: messages go to the error
// stream, one line each, prefixed by the caption; questions are asked there
// too and answered by one line of input (at the end of the input the
// answer is no, said once); the seventeen progress fields are
// kept as texts that the console thread reads back for its status line.
#pragma once

#include <array>
#include <atomic>
#include <cstdio>
#include <string>

#include "platform/platform.h"
#include "engine/feedback.h"

using FieldTexts = std::array<std::string, PF_COUNT>;

class ConsoleFeedback : public Feedback {
public:
    // `in` answers the questions; messages, questions and the status line go
    // to `err`. With `echo_answers` (input that is not typed at a terminal)
    // each answer read is shown after its question.
    ConsoleFeedback(FILE* in, FILE* err, bool echo_answers = false);

    int Complain(int n, const char* title, const char* msg1, const char* msg2, const char* msg3) override;
    void set_field(int index, const char* text) override;
    void end_program() override;
    void show_fatal(const char* msg) override;
    // Names the directory on the error stream ("twinex: can't read /x/y:
    // Permission denied"), the first MAX_WALK_ERRORS of a run only.
    void walk_error(const char* path, const char* reason) override;
    // After the scan: how many directories could not be read, if any, and
    // how many of the names (`listed` of them entries of a file list).
    void tell_walk_errors(int listed = 0);
    static constexpr int MAX_WALK_ERRORS = 20;

    // A copy of the progress fields as they are now.
    FieldTexts fields() const;
    // True once a fatal error asked the program to end.
    bool ended() const { return ended_.load(); }

    // The live status line: drawn over itself, skipped while a question
    // waits for its answer, and wiped by clear_status.
    void draw_status(int width);
    void clear_status();

private:
    void wipe_status_locked();
    void print_locked(const std::string& line);
    static std::string box_line(const char* title, const char* msg1, const char* msg2, const char* msg3);

    FILE* in_;
    FILE* err_;
    bool echo_;
    mutable Mutex fields_mutex_;   // held only to copy texts
    FieldTexts fields_;
    Mutex output_mutex_;           // one writer on `err_` at a time
    Mutex question_mutex_;         // one question at a time
    bool asking_ = false;          // under output_mutex_
    bool input_ended_ = false;     // under question_mutex_: every later answer is no
    size_t status_len_ = 0;        // under output_mutex_: width of the drawn status line
    int walk_errors_ = 0;          // under output_mutex_
    std::atomic<bool> ended_{false};
};

// Writes the console line of a fatal error, "twinex: MSG - QUITTING...",
// with control bytes escaped, in one piece and without allocating.
void print_fatal_line(FILE* err, const char* msg);

// The lines of a box joined into one console line: "/a/b - Not added to
// chosen list. It is a subdirectory of existing choice."
std::string join_box_lines(const char* msg1, const char* msg2, const char* msg3);

// True when an answer line means OK: it starts with y or Y, or is "ok".
bool answer_is_yes(const char* line);

// The status line made from the progress fields, at most `width` bytes:
// "COLLECTING: 1200  PROCESSING: 14  WRITTEN: 3".
std::string status_text(const FieldTexts& f, int width);
