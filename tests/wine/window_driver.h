// Operates a running twinex.exe from another process as a user would: clicks
// its buttons, types into its boxes, opens and chooses list rows, answers its
// message boxes and reads its fields. The steps of a scan are built from
// these once, for the window tests and the soak alike; each checks that it
// took effect and fails the run when it did not. Windows only.
#pragma once

#include <windows.h>

#include <string>
#include <vector>

// Buttons and check boxes are found by their captions, as a user finds them;
// the other controls by id (the main controls 100..132, the panel 200..216).
enum {
    FIRST_MAIN = 100, CHOOSE = 118, CHOSEN = 119, OUTPUT = 120, PATTERNS = 121, PATH = 122, EXCLUDE = 130,
    LAST_MAIN = 132, ABORT = 200, COLLECT_COUNT = 204, PROCESS_COUNT = 206, WRITE_FILE = 208, WRITTEN_COUNT = 211,
    FINISHED = 216,
};
constexpr const char *CRLF_BOX = "[RETURN] + NLs", *DATES_BOX = "Datestamps", *MOVE_BOX = "MOVE TWINEX to SINKHOLE",
                     *DELETE_BOX = "DELETE Old Modified Files", *REQUEST_BOX = "REQUEST EACH DELETION",
                     *SAVE_BOX = "SAVE DELETED FILES", *BIN_BOX = "to RECYCLE BIN",
                     *IDENTICAL_BOX = "only IDENTICAL content", *REFERENCE_BUTTON = "REFERENCE on/off",
                     *REF_MARK = "[REF] ";
// The sub-options of DELETE, live only while it is ticked.
constexpr const char* DELETE_OPTIONS[] = {REQUEST_BOX, SAVE_BOX, BIN_BOX, IDENTICAL_BOX};

// How long a control, a box or a text may take to show; a scan to finish or
// the program to end.
constexpr unsigned WAIT_MS = 15000, SCAN_MS = 60000;

// Ends the run with the reason (and the text of any box twinex shows), and
// twinex with it.
[[noreturn]] void fail(const std::string& why);
void check(bool ok, const std::string& what);

// Polls `done` until it holds (true) or `ms` have passed (false).
template <class Done>
bool wait_for(unsigned ms, Done done)
{
    for (ULONGLONG until = GetTickCount64() + ms; !done(); Sleep(20))
        if (GetTickCount64() > until)
            return false;
    return true;
}

// A Unix path as Wine shows it ("/w/x" is "Z:\w\x").
std::string windows_path(const std::string& unix_path);
void make_file(const std::string& path, const std::string& content);   // and its directories
void make_old_file(const std::string& path, const std::string& content);   // a day older
std::string read_file(const std::string& path);                        // empty when unreadable

// One started twinex.exe and its main window.
class Twinex {
public:
    explicit Twinex(const std::string& exe);   // returns once the main controls are in place

    HWND main() const { return main_; }
    HANDLE process() const { return pi_.hProcess; }
    HWND control(int id) const { return GetDlgItem(main_, id); }   // null when absent
    std::string text(int id) const;
    void set_text(int id, const std::string& text) const;
    HWND button(const std::string& caption) const;   // a button or check box
    bool checked(const std::string& caption) const;
    void click(const std::string& caption) const;   // posted, so a box it opens does not hold the driver
    void press(const std::string& caption) const;   // a click that opens no box, carried out on return
    std::vector<std::string> rows(int list) const;
    int select(int list, const std::string& row) const;   // the row's index
    void open(int list, const std::string& row) const;     // a double click on the row, carried out on return

    HWND box(unsigned ms) const;   // a message box of twinex's; null when none comes
    static std::string box_text(HWND box);
    static void answer(HWND box, int button);   // IDOK, IDCANCEL
    void expect_box(const std::string& text, int button, unsigned ms = WAIT_MS) const;
    bool wait_main() const;                 // the main controls all in place
    int wait_exit(unsigned ms) const;       // the exit code; -1 while it runs

private:
    template <class T> LRESULT call(int list, UINT msg, WPARAM wp, T& arg) const;

    PROCESS_INFORMATION pi_ = {};
    HWND main_ = nullptr;
    char* remote_ = nullptr;   // memory in twinex for the list-view messages' arguments
};

// --- the steps of a scan ---------------------------------------------------

// Opens drive Z after DRIVES and walks down to `dir` by double clicks, then
// chooses `dir`'s subdirectories `roots` for SCAN and `output` (unless
// empty) for OUTPUT.
void choose(Twinex& t, const std::string& dir, const std::vector<std::string>& roots, const std::string& output);
void set_tick(Twinex& t, const std::string& caption, bool on);
// Selects `row` in CHOSEN, which livens REFERENCE on/off, and presses it: the
// row gains the [REF] mark or loses it, and the button greys again.
void switch_reference(Twinex& t, const std::string& row);
// The delete run's sub-options are live exactly while DELETE is ticked.
void check_delete_options(Twinex& t);
// Answers SCAN's confirmation, which begins with `summary` (and the line
// after it, if any), with OK and waits for the progress panel.
void confirm_scan(Twinex& t, const std::string& summary);
void finish_scan(Twinex& t);   // waits for << FINISHED >> and AGAIN
// ABORT or AGAIN: back to the main controls, no roots and no output chosen.
void leave_scan(Twinex& t);
