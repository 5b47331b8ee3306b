// The console program: its options, and one whole run from the command
// line to the finished report, with the exit status.
#pragma once

#include <atomic>
#include <cstdio>
#include <string>
#include <vector>

#include "platform/platform.h"
#include "ui/scan_setup.h"

enum CliExit {
    CLI_DONE = 0,       // the report is finished
    CLI_STOPPED = 1,    // cancelled, stopped by a pattern error, or interrupted
    CLI_USAGE = 2,      // bad command line, or "NOTHING TO SCAN"
    CLI_FATAL = 3,      // a fatal error ended the scan
};

struct CliOptions {
    ScanChoices choices;             // output, pattern and the ticks
    std::vector<std::string> roots;  // as given
    bool yes = false;                // answer the two scan-start questions
    bool quiet = false;              // no status line
    bool help = false;
    bool version = false;
    ExtraOptions extra;              // --exclude, --same-content, --trash, --json
    std::string restore;             // --restore SINKHOLE
};

// Reads the command line (argv[0] is the program). False on a usage error,
// with its text in *error.
bool parse_cli_args(int argc, char** argv, CliOptions* o, std::string* error);

// A path as a scan root or output: absolute, without trailing separators
// except for "/" (a drive stays "C:"). Empty when it cannot be made absolute.
std::string root_form(const char* path);

struct CliStreams {
    FILE* in;                        // answers to questions
    FILE* out;                       // the report's path (and the sinkhole's)
    FILE* err;                       // messages, questions, the status line
    bool status_line;                // `err` is a terminal: show live progress
    bool echo_answers;               // `in` is not a terminal: show the answers read
    std::atomic<int>* interrupt;     // set to 1 by Ctrl-C; may be null
    bool catch_interrupt;            // install the Ctrl-C handler for the scan
};

// One run of twinex-cli; returns the exit status (CliExit).
int cli_run(int argc, char** argv, Platform& sys, const CliStreams& io);

extern const char* const cli_usage_text;
