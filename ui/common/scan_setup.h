// What the SCAN command makes of the user's choices, shared by the window and
// the console program: the output question, the flags, the summary and the
// confirmation.
#pragma once

#include <string>
#include <vector>

#include "engine/state.h"

struct ScanChoices {
    std::string output;       // the OUTPUT box (may be empty)
    std::string patterns;     // the PATTERNS box (may be empty)
    bool crlf = false;              // "[RETURN] + NLs"
    bool case_insensitive = true;   // "Case Insensitive"
    bool datestamps = true;         // "Datestamps"
    bool move = false;              // "MOVE TWINEX to SINKHOLE"
    bool del = false;               // "DELETE Old Modified Files"
    bool request = true;            // "REQUEST EACH DELETION"
    bool save = true;               // "SAVE DELETED FILES"
};

// The longest pattern the PATTERNS box holds (it is read into a 2048-byte
// buffer); the window keeps the first PATTERN_MAX characters of a longer one.
constexpr size_t PATTERN_MAX = PATH_BUF - 1;

// Outcome of scan_prepare.
enum PrepareResult {
    PREPARE_GO,            // confirmed: settings fixed, counters cleared
    PREPARE_NOTHING,       // "NOTHING TO SCAN" was shown
    PREPARE_CANCELLED,     // the user said no to a question
};

// SCAN's steps up to the confirmation, asking through `ask`. When the first
// root becomes the output, `c.output` is set to it.
PrepareResult scan_prepare(ScanState& st, ScanChoices& c, Feedback& ask);
// The same in two halves, for a window that shows the output directory
// before it asks for the confirmation: the output directory (from the box,
// or the first root if the user agrees), then the pattern, the flags,
// "ARE YOU SURE?" and the cleared counters. A `detail` line, when given,
// stands between the summary and "ARE YOU SURE?".
PrepareResult scan_choose_output(ScanState& st, ScanChoices& c, Feedback& ask);
PrepareResult scan_confirm(ScanState& st, ScanChoices& c, Feedback& ask, const char* detail = nullptr);

// The action summary of the current flags ("LISTING TWINEX ONLY" ...).
const char* action_summary(const ScanState& st);

// The patterns of the EXCLUDE box, separated by ";". A semicolon inside a
// pattern is written \; which the pattern language reads as a plain one,
// so it stays as written. Empty pieces are no patterns.
std::vector<std::string> split_exclusions(const std::string& text);
