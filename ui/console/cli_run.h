// The console program: its options, and one whole run from the command
// line to the finished report, with the exit status.
#pragma once

#include <atomic>
#include <cstdio>
#include <string>
#include <vector>

#include "platform/platform.h"
#include "ui/common/scan_setup.h"

enum CliExit {
    CLI_DONE = 0,       // the report is finished
    CLI_STOPPED = 1,    // cancelled, interrupted or stopped by the user
    CLI_USAGE = 2,      // bad or contradicting options, bad pattern, no root, root not a directory
    CLI_FATAL = 3,      // cannot write, out of memory
    CLI_INCOMPLETE = 4, // finished, but not everything asked was done (unreadable
                        // directories, files left in place by a failure)
};

struct CliOptions {
    ScanChoices choices;             // output, pattern and the ticks
    std::vector<std::string> roots;  // as given
    bool yes = false;                // a move or delete run goes ahead without the question
    bool quiet = false;              // no status line, no summary
    bool follow_links = false;       // walk into symbolic links below the roots
    bool help = false;
    bool version = false;
    ExtraOptions extra;              // --exclude, --same-content, --trash, --json, --across-roots, the sizes
    std::string restore;             // --restore SINKHOLE
    std::vector<std::string> references;   // --reference DIR, as given
    bool keep_given = false;         // --keep NEWEST|OLDEST
    std::string files_from;          // --files-from FILE ("-": standard input)
};

// Reads the command line (argv[0] is the program). False on a usage error
// (contradicting options included), with its text in *error.
bool parse_cli_args(int argc, char** argv, CliOptions* o, std::string* error);

// A path as a scan root or output: absolute, without trailing separators
// except for "/" (a drive stays "C:"). Empty when it cannot be made absolute.
std::string root_form(const char* path);

struct CliStreams {
    FILE* in;                        // answers to questions
    FILE* out;                       // the report's path (and the sinkhole's)
    FILE* err;                       // messages, questions, the status line
    bool status_line;                // `err` is a terminal: show live progress
    bool in_terminal;                // `in` is a terminal: a move or delete run may ask
    bool echo_answers;               // `in` is not a terminal: show the answers read
    std::atomic<int>* interrupt;     // set to 1 by Ctrl-C; may be null
    bool catch_interrupt;            // install the Ctrl-C handler for the scan
};

// One run of twinex-cli; returns the exit status (CliExit).
int cli_run(int argc, char** argv, Platform& sys, const CliStreams& io);

// --help: the options, then the pattern language and the exit status.
extern const char* const cli_usage_text;
extern const char* const cli_patterns_text;
