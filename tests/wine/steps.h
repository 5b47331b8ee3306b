// What a user does with the window, built from the driver's clicks and
// reads, and the files the scenarios scan. Each step checks that it took
// effect and fails the scenario when it did not.
#pragma once

#include <string>
#include <vector>

#include "tests/wine/window_driver.h"

namespace wd {

// Control ids of the main controls (100..126) and of the progress panel
// (200..216).
enum {
    SCAN = 100, CANCEL = 101, HELP = 102, CRLF = 104, CASE = 105, DATES = 106, MOVE = 108, DEL = 109,
    REQUEST = 110, SAVE = 111, PARENT = 112, FOR_SCAN = 116, FOR_OUTPUT = 117, CHOOSE = 118, CHOSEN = 119,
    OUTPUT = 120, PATTERNS = 121, PATH = 122, CLEAR_OUTPUT = 125,
    ABORT = 200, QUIT = 201, SUMMARY = 202, COLLECT_LABEL = 203, COLLECT_COUNT = 204, PROCESS_LABEL = 205,
    PROCESS_COUNT = 206, WRITE_LABEL = 207, WRITE_FILE = 208, WRITTEN_COUNT = 211, FINISHED = 216,
};

// Files, by Windows path.
void make_dirs(const std::string& path);
void make_file(const std::string& path, const std::string& content);
bool exists(const std::string& path);
std::string read_file(const std::string& path);   // empty when unreadable
void remove_tree(const std::string& dir);
bool contains(const std::string& hay, const std::string& needle);

// Opens drive Z (the Unix root under Wine) and walks down to `dir`.
void browse_to(Twinex& t, const std::string& dir);
bool wait_rows(Twinex& t, int id, const std::vector<std::string>& want, unsigned ms);
// Selects `name` in CHOOSE_W and presses "for SCAN" / "for OUTPUT".
void choose_for_scan(Twinex& t, const std::string& name, const std::vector<std::string>& chosen_after);
void choose_for_output(Twinex& t, const std::string& name, const std::string& path);
void set_tick(Twinex& t, int id, bool on);
// A count field's value; -1 when empty.
long number(const std::string& s);

}  // namespace wd
