// Scenarios that operate the real twinex window (under Wine with a virtual
// display, or on Windows). Usage:
//   twinex_window_driver <twinex.exe> <work directory> <scenario>
//   twinex_window_driver <twinex.exe> <work directory> soak [--rounds N] [--seed S]
// Exit code 0: passed; 1: failed; 77: no display to run on.
#include <windows.h>
#include <commctrl.h>

#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "tests/wine/soak.h"
#include "tests/wine/steps.h"
#include "tests/wine/window_driver.h"

using namespace wd;

namespace {

std::string exe, work, screens;

// --- scenarios ---------------------------------------------------------------

struct Expected {
    int id;
    const char* cls;
    const char* caption;
    DWORD style;   // bits that must be set
    int x, y, w, h;
};

const DWORD PUSH = BS_CENTER | WS_TABSTOP, CHECK = BS_AUTOCHECKBOX | WS_TABSTOP, GROUP = BS_GROUPBOX;
const DWORD LIST = LVS_REPORT | LVS_SINGLESEL | LVS_AUTOARRANGE;
const DWORD EDIT = WS_BORDER | WS_TABSTOP | ES_AUTOHSCROLL;

const Expected main_controls[] = {
    {100, "button", "SCAN", PUSH, 454, 465, 90, 39},
    {101, "button", "CANCEL", PUSH, 660, 465, 90, 39},
    {102, "button", "Help", PUSH, 557, 465, 90, 39},
    {103, "button", "List Options", GROUP, 8, 400, 170, 105},
    {104, "button", "[RETURN] + NLs", CHECK, 14, 425, 155, 20},
    {105, "button", "Case Insensitive", CHECK, 14, 450, 155, 20},
    {106, "button", "Datestamps", CHECK, 14, 475, 155, 20},
    {107, "button", "Actions while Scanning", GROUP, 180, 400, 270, 105},
    {108, "button", "MOVE TWINEX to SINKHOLE", CHECK, 186, 420, 258, 20},
    {109, "button", "DELETE Old Modified Files", CHECK, 186, 440, 258, 20},
    {110, "button", "REQUEST EACH DELETION", CHECK, 186, 460, 258, 20},
    {111, "button", "SAVE DELETED FILES", CHECK, 186, 480, 258, 20},
    {112, "button", "PARENT", PUSH, 640, 8, 110, 29},
    {113, "button", "DRIVES", PUSH, 640, 48, 110, 29},
    {114, "button", "REFRESH", PUSH, 640, 88, 110, 29},
    {115, "button", "SELECT", GROUP, 618, 240, 132, 130},
    {116, "button", "for SCAN", PUSH, 624, 265, 120, 39},
    {117, "button", "for OUTPUT", PUSH, 624, 320, 120, 39},
    {118, "SysListView32", "", LIST, 314, 8, 300, 360},
    {119, "SysListView32", "", LIST, 8, 8, 300, 360},
    {120, "edit", "", EDIT | ES_READONLY, 550, 400, 200, 20},
    {121, "edit", "", EDIT, 550, 425, 200, 20},
    {122, "edit", "", EDIT | ES_READONLY, 55, 374, 695, 20},
    {123, "static", "PATH", SS_LEFT, 8, 374, 45, 20},
    {124, "static", "OUTPUT", SS_RIGHT, 450, 400, 74, 20},
    {125, "button", "X", PUSH, 526, 400, 20, 20},
    {126, "static", "PATTERNS", SS_RIGHT, 450, 425, 90, 20},
};

// The progress panel; the texts are checked where the scan has set them.
const Expected panel_controls[] = {
    {200, "button", "", PUSH, 560, 480, 90, 29},  {201, "button", "QUIT", PUSH, 660, 480, 90, 29},
    {202, "static", "", SS_LEFT, 8, 20, 700, 20}, {203, "static", "", SS_LEFT, 8, 60, 200, 20},
    {204, "static", "", SS_LEFT, 220, 60, 600, 20}, {205, "static", "", SS_LEFT, 8, 80, 200, 20},
    {206, "static", "", SS_LEFT, 220, 80, 600, 20}, {207, "static", "", SS_LEFT, 8, 100, 200, 20},
    {208, "static", "", SS_LEFT, 220, 100, 600, 20}, {209, "static", "", SS_LEFT, 8, 120, 110, 20},
    {210, "static", "", SS_LEFT, 120, 120, 70, 20}, {211, "static", "", SS_LEFT, 220, 120, 500, 20},
    {212, "static", "", SS_LEFT, 8, 140, 200, 20}, {213, "static", "", SS_LEFT, 220, 140, 500, 20},
    {214, "static", "", SS_LEFT, 8, 160, 700, 20}, {215, "static", "", SS_LEFT, 220, 160, 500, 20},
    {216, "static", "", SS_LEFT, 220, 200, 500, 20},
};

void check_control(Twinex& t, const Expected& s)
{
    HWND h = t.need(s.id);
    char cls[64] = "";
    GetClassNameA(h, cls, sizeof cls);
    std::string name = "control " + std::to_string(s.id) + " (" + s.caption + ")";
    if (_stricmp(cls, s.cls) != 0)
        fail(name + " has class " + cls);
    DWORD style = static_cast<DWORD>(GetWindowLongA(h, GWL_STYLE));
    // An edit control draws its border itself and drops WS_BORDER from its
    // style, so that bit cannot be read back.
    DWORD want = WS_CHILD | WS_VISIBLE | (s.style & ~static_cast<DWORD>(WS_BORDER));
    if ((style & want) != want) {
        char bits[32];
        snprintf(bits, sizeof bits, "%08lx", static_cast<unsigned long>(want & ~style));
        fail(name + " lacks style bits " + bits);
    }
    if (!_stricmp(s.cls, "button") && (style & 0xF) != (s.style & 0xF))
        fail(name + " is the wrong kind of button");
    if (!_stricmp(s.cls, "edit") && ((style & ES_READONLY) != (s.style & ES_READONLY)))
        fail(name + " has the wrong read-only state");
    RECT r;
    GetWindowRect(h, &r);
    MapWindowPoints(nullptr, t.main(), reinterpret_cast<POINT*>(&r), 2);
    if (r.left != s.x || r.top != s.y || r.right - r.left != s.w || r.bottom - r.top != s.h)
        fail(name + " is at " + std::to_string(r.left) + "," + std::to_string(r.top) + " size " +
             std::to_string(r.right - r.left) + "x" + std::to_string(r.bottom - r.top));
    if (s.caption[0] && t.text(s.id) != s.caption)
        fail(name + " shows \"" + t.text(s.id) + "\"");
}

void first_window()
{
    Twinex t(exe);
    char title[32] = "";
    GetWindowTextA(t.main(), title, sizeof title);
    check(!strcmp(title, "twinex"), "window title twinex");
    for (const Expected& s : main_controls)
        check_control(t, s);
    check(true, "27 main controls with their classes, captions, styles, places and ids");
    const std::string pad(20, ' ');
    check(t.column_caption(CHOOSE) == pad + "CHOOSE (Drive or Directory)", "CHOOSE_W column caption");
    check(t.column_caption(CHOSEN) == pad + "CHOSEN (Paths to be scanned)", "CHOSEN_W column caption");

    check(t.checked(CASE) && t.checked(DATES), "Case Insensitive and Datestamps ticked");
    check(!t.checked(CRLF) && !t.checked(MOVE) && !t.checked(DEL), "[RETURN] + NLs, MOVE and DELETE unticked");
    check(t.checked(REQUEST) && t.checked(SAVE), "REQUEST EACH DELETION and SAVE DELETED FILES ticked");
    check(!t.enabled(REQUEST) && !t.enabled(SAVE), "... and greyed");
    std::vector<std::string> drives = t.rows(CHOOSE);
    check(!drives.empty(), "CHOOSE_W lists the drives");
    for (const std::string& d : drives)
        check(d.size() > 8 && d[1] == ':' && d.compare(2, 4, "  [ ") == 0 && contains(d, " ]"),
              "drive row \"" + d + "\"");
    check(t.rows(CHOSEN).empty(), "CHOSEN_W empty");
    check(t.text(PATH).empty() && t.text(OUTPUT).empty() && t.text(PATTERNS).empty(), "boxes empty");
    RECT client, frame;
    GetClientRect(t.main(), &client);
    GetWindowRect(t.main(), &frame);
    check(client.right >= 828 && client.bottom >= 517,
          "the client area reaches x = 820 and y = 509 (" + std::to_string(client.right) + "x" +
              std::to_string(client.bottom) + ")");
    check(frame.left >= 0 && frame.top >= 0 && frame.right <= GetSystemMetrics(SM_CXSCREEN) &&
              frame.bottom <= GetSystemMetrics(SM_CYSCREEN),
          "the window lies on the screen");
    t.screenshot(screens + "\\main_window.bmp");

    t.click(DEL);
    for (int i = 0; i < 100 && !t.enabled(REQUEST); i++)
        Sleep(50);
    check(t.checked(DEL) && t.enabled(REQUEST) && t.enabled(SAVE), "DELETE livens its two options");
    t.click(MOVE);
    for (int i = 0; i < 100 && t.enabled(REQUEST); i++)
        Sleep(50);
    check(t.checked(MOVE) && !t.checked(DEL) && !t.enabled(REQUEST) && !t.enabled(SAVE) && t.checked(REQUEST),
          "MOVE unticks DELETE and greys its options, keeping their ticks");

    t.click(HELP);
    HWND box = t.wait_box(10000);
    check(box != nullptr, "Help shows a box");
    std::string about = Twinex::box_text(box);
    check(about.compare(0, 13, "\ntwinex 1.03 ") == 0, "About box: empty line, then the banner");
    Twinex::answer(box, IDOK);

    t.click(CANCEL);
    check(t.wait_exit(15000) == 0, "CANCEL ends the program with exit code 0");
}

void finished_scan_and_again()
{
    std::string base = work + "\\scan";
    remove_tree(base);
    make_file(base + "\\tree1\\a.txt", "one");
    make_file(base + "\\tree1\\sub\\B.TXT", "two");
    make_file(base + "\\tree1\\only1.txt", "three");
    make_file(base + "\\tree2\\A.TXT", "four");
    make_file(base + "\\tree2\\b.txt", "five");
    make_file(base + "\\tree2\\c.dat", "six");

    Twinex t(exe);
    browse_to(t, base);
    choose_for_scan(t, "tree1", {base + "\\tree1"});
    choose_for_scan(t, "tree2", {base + "\\tree1", base + "\\tree2"});
    set_tick(t, CRLF, true);
    set_tick(t, DATES, false);

    t.click(SCAN);
    t.expect_box("NO OUTPUT CHOSEN\nDo you want to use:-\n" + base + "\\tree1", IDOK);
    t.expect_box("LISTING TWINEX ONLY\nARE YOU SURE?\n", IDOK);
    check(t.wait_text(FINISHED, "<< FINISHED >>", 60000), "the panel shows << FINISHED >>");
    check(t.wait_text(ABORT, "AGAIN", 5000), "the ABORT button reads AGAIN");
    for (const Expected& s : panel_controls)
        check_control(t, s);
    check(true, "17 panel fields with their classes, places and ids");
    check(t.text(SUMMARY) == "LISTING TWINEX ONLY", "summary line");
    check(t.text(COLLECT_LABEL) == "COLLECTING: " && t.text(COLLECT_COUNT) == "6", "6 files collected");
    check(t.text(PROCESS_LABEL) == "PROCESSING:" && t.text(PROCESS_COUNT) == "2", "2 names found twice");
    std::string report = base + "\\tree1\\twinfiles000.txt";
    check(t.text(WRITE_LABEL) == "WRITING:" && t.text(WRITE_FILE) == report, "WRITING: " + report);
    t.screenshot(screens + "\\finished_panel.bmp");

    std::string text = read_file(report);
    check(contains(text, base + "\\tree1\\a.txt") && contains(text, base + "\\tree2\\A.TXT") &&
              contains(text, base + "\\tree1\\sub\\B.TXT") && contains(text, base + "\\tree2\\b.txt"),
          "the report lists both groups");
    check(!contains(text, "only1.txt") && !contains(text, "c.dat"), "the report leaves out unique names");
    check(contains(text, "\r\n"), "[RETURN] + NLs gives CR LF line ends");

    t.click(ABORT);
    check(t.wait_main(15000), "AGAIN brings back the main controls");
    check(t.control(ABORT) == nullptr, "the panel is gone");
    check(t.rows(CHOSEN).empty() && t.text(OUTPUT).empty() && t.text(PATH).empty() && t.text(PATTERNS).empty(),
          "no roots, empty boxes");
    check(!t.rows(CHOOSE).empty() && t.rows(CHOOSE)[0][1] == ':', "the chooser shows the drives");
    check(t.checked(CRLF) && !t.checked(DATES) && t.checked(CASE), "list options as last used");
    check(!t.checked(MOVE) && !t.checked(DEL) && !t.enabled(REQUEST), "actions unticked");

    t.click(CANCEL);
    check(t.wait_exit(15000) == 0, "the program ends");
}

// A tree big enough that a scan is still collecting when ABORT arrives.
std::string big_tree()
{
    std::string base = work + "\\big";
    std::string done = base + "\\complete.mark";
    if (exists(done))
        return base;
    remove_tree(base);
    for (int d = 0; d < 200; d++) {
        char dir[64];
        snprintf(dir, sizeof dir, "\\tree\\d%03d", d);
        make_dirs(base + dir);
        for (int f = 0; f < 100; f++) {
            char name[64];
            snprintf(name, sizeof name, "%s\\f%03d.txt", dir, f);
            make_file(base + name, "");
        }
    }
    make_file(done, "");
    return base;
}

// Starts a listing scan of big\tree written to big; returns once files
// are being counted.
void start_big_scan(Twinex& t, const std::string& base)
{
    t.click(100 + 13);   // DRIVES
    Sleep(300);
    browse_to(t, base);
    choose_for_scan(t, "tree", {base + "\\tree"});
    choose_for_output(t, "tree", base + "\\tree");
    t.click(SCAN);
    t.expect_box("LISTING TWINEX ONLY\nARE YOU SURE?\n", IDOK);
    long seen = -1;
    for (ULONGLONG until = GetTickCount64() + 30000; seen <= 0 && GetTickCount64() < until;) {
        if (t.control(COLLECT_COUNT))
            seen = number(t.text(COLLECT_COUNT));
        if (seen <= 0)
            Sleep(10);
    }
    check(seen > 0, "the scan is counting files");
    check(t.text(FINISHED).empty() && t.text(ABORT) == "ABORT", "the scan is still running (" +
          std::to_string(seen) + " files seen)");
}

void abort_and_close_box()
{
    std::string base = big_tree();
    DeleteFileA((base + "\\tree\\twinfiles000.txt").c_str());
    Twinex t(exe);
    start_big_scan(t, base);
    t.click(ABORT);
    check(t.wait_main(30000), "ABORT brings back the main controls");
    check(t.control(ABORT) == nullptr, "the panel is gone");
    check(t.rows(CHOSEN).empty(), "no roots chosen");
    if (exists(base + "\\tree\\twinfiles000.txt"))
        note("the abort came after the collection");

    start_big_scan(t, base);
    PostMessageA(t.main(), WM_CLOSE, 0, 0);
    check(t.wait_exit(30000) == 0, "the close box during a scan ends the program");
}

// With a box open the window stays live: the check-box rules run on every
// click, the chooser and X work, and CANCEL ends the program at once.
void live_while_a_box_is_open()
{
    std::string base = work + "\\live";
    remove_tree(base);
    make_dirs(base + "\\a\\b");
    std::string parent = base.substr(0, base.rfind('\\')), leaf = base.substr(base.rfind('\\') + 1);

    Twinex t(exe);
    browse_to(t, base);
    choose_for_output(t, "a", base + "\\a");
    t.click(HELP);
    HWND box = t.wait_box(10000);
    check(box != nullptr, "Help shows its box");
    t.click(DEL);
    t.click(MOVE);
    for (int i = 0; i < 100 && !(t.checked(MOVE) && !t.checked(DEL) && !t.enabled(REQUEST)); i++)
        Sleep(50);
    check(t.checked(MOVE) && !t.checked(DEL) && !t.enabled(REQUEST) && !t.enabled(SAVE),
          "with the box open, DELETE then MOVE leaves MOVE alone ticked, the options greyed");
    t.click(CLEAR_OUTPUT);
    check(t.wait_text(OUTPUT, "", 5000), "X empties OUTPUT with the box open");
    t.click(PARENT);
    check(t.wait_text(PATH, parent, 5000), "PARENT goes up with the box open");
    t.open_row(CHOOSE, leaf);
    check(t.wait_text(PATH, base, 5000), "a double click in CHOOSE opens a directory with the box open");
    check(IsWindow(box) != FALSE, "the box is still open");
    Twinex::answer(box, IDOK);
    check(t.checked(MOVE) && !t.checked(DEL), "after the box MOVE and DELETE are not both ticked");

    t.click(HELP);
    check(t.wait_box(10000) != nullptr, "Help shows its box again");
    t.click(CANCEL);
    check(t.wait_exit(10000) == 0, "CANCEL with the box open ends the program at once");
}

// Starts a delete run that asks before each deletion on a fresh tree of two
// roots with two names each; returns its first question.
HWND first_question(Twinex& t, const std::string& base)
{
    remove_tree(base);
    make_file(base + "\\t1\\x.txt", "x1");
    make_file(base + "\\t1\\y.txt", "y1");
    Sleep(50);
    make_file(base + "\\t2\\x.txt", "x2");
    make_file(base + "\\t2\\y.txt", "y2");
    browse_to(t, base);
    choose_for_scan(t, "t1", {base + "\\t1"});
    choose_for_scan(t, "t2", {base + "\\t1", base + "\\t2"});
    choose_for_output(t, "t1", base + "\\t1");
    set_tick(t, DEL, true);
    set_tick(t, SAVE, false);
    // The window moved so that ABORT and QUIT sit at the middle of the
    // screen, where a box placed by the system alone would cover them.
    POINT buttons = {655, 494};
    ClientToScreen(t.main(), &buttons);
    RECT at;
    GetWindowRect(t.main(), &at);
    SetWindowPos(t.main(), nullptr, at.left + GetSystemMetrics(SM_CXSCREEN) / 2 - buttons.x,
                 at.top + GetSystemMetrics(SM_CYSCREEN) / 2 - buttons.y, 0, 0, SWP_NOSIZE | SWP_NOZORDER);
    t.click(SCAN);
    t.expect_box("DELETING OLD MODIFIED without Saving\nARE YOU SURE?\n", IDOK);
    HWND question = t.wait_box(30000);
    check(question != nullptr && GetDlgItem(question, IDCANCEL) != nullptr, "the scan asks before a deletion");
    return question;
}

int files_left(const std::string& base)
{
    int n = 0;
    for (const char* f : {"\\t1\\x.txt", "\\t1\\y.txt", "\\t2\\x.txt", "\\t2\\y.txt"})
        n += exists(base + f) ? 1 : 0;
    return n;
}

bool overlaps(HWND a, HWND b)
{
    RECT ra, rb, both;
    GetWindowRect(a, &ra);
    GetWindowRect(b, &rb);
    return IntersectRect(&both, &ra, &rb) != FALSE;
}

// ABORT during a deletion question: the answer given then is carried out
// and nothing after it is touched. QUIT during one: the program ends at
// once, the file asked about and every other file untouched.
void abort_or_quit_during_question()
{
    std::string base = work + "\\quit";
    {
        Twinex t(exe);
        HWND question = first_question(t, base);
        check(t.text(COLLECT_COUNT) == "4" && t.text(PROCESS_COUNT) == "2" && t.text(WRITTEN_COUNT) == "1",
              "as the question opens the panel shows 4 files, 2 names, group 1 (" + t.text(COLLECT_COUNT) + ", " +
                  t.text(PROCESS_COUNT) + ", " + t.text(WRITTEN_COUNT) + ")");
        check(!overlaps(question, t.need(ABORT)) && !overlaps(question, t.need(QUIT)),
              "the question leaves ABORT and QUIT free");
        t.screenshot(screens + "\\question.bmp");
        std::string text = Twinex::box_text(question);
        std::string asked = text.substr(text.find('\n') + 1);
        asked.erase(asked.find_last_not_of('\n') + 1);
        t.click(ABORT);
        Sleep(1000);
        check(IsWindow(question) && t.control(ABORT), "ABORT leaves the question open for its answer");
        Twinex::answer(question, IDOK);
        check(t.wait_main(15000), "after the answer the scan stops and the main controls come back");
        check(!exists(asked) && files_left(base) == 3, "the answer was carried out on " + asked + ", nothing else");
        t.click(CANCEL);
        check(t.wait_exit(15000) == 0, "the program ends");
    }
    {
        Twinex t(exe);
        HWND question = first_question(t, base);
        t.click(QUIT);
        check(t.wait_exit(10000) == 0, "QUIT during the question ends the program without an answer");
        check(!IsWindow(question), "the question is gone");
        check(files_left(base) == 4, "no file was deleted");
        std::string text = read_file(base + "\\t1\\twinfiles000.txt");
        check(contains(text, "THIS FILE:") && contains(text, "x.txt"), "the report was closed as far as it got");
    }
}

void pattern_error_stalls()
{
    std::string base = work + "\\stall";
    remove_tree(base);
    make_file(base + "\\t\\a.txt", "a");
    make_file(base + "\\t\\b.txt", "b");

    Twinex t(exe);
    browse_to(t, base);
    choose_for_scan(t, "t", {base + "\\t"});
    choose_for_output(t, "t", base + "\\t");
    t.set_text(PATTERNS, "ab]");
    t.click(SCAN);
    t.expect_box("LISTING TWINEX ONLY\nARE YOU SURE?\n", IDOK);
    HWND box = t.wait_box(30000);
    check(box != nullptr, "a box after the bad pattern");
    check(t.text(COLLECT_COUNT) == "1", "behind it the panel counts the file whose match failed");
    std::string shown = Twinex::box_text(box);
    check(shown.compare(0, 15, "PATTERN ERROR: ") == 0, "it reads " + shown.substr(0, shown.find('\n')));
    Twinex::answer(box, IDOK);
    Sleep(1000);
    check(t.control(ABORT) && t.text(ABORT) == "ABORT", "the panel stays with ABORT");
    t.click(ABORT);
    Sleep(1500);
    check(t.control(ABORT) && !t.control(SCAN), "ABORT does nothing in the stalled state");
    check(!exists(base + "\\t\\twinfiles000.txt"), "no report was written");
    t.click(QUIT);
    check(t.wait_exit(15000) == 0, "QUIT ends the program");
}

// A report that cannot be opened is fatal on the scan thread: its box, then
// the program ends by itself.
void fatal_error_ends_the_program()
{
    std::string base = work + "\\fatal";
    remove_tree(base);
    make_file(base + "\\t\\a.txt", "a");
    make_file(base + "\\t\\sub\\a.txt", "b");

    Twinex t(exe);
    browse_to(t, base);
    choose_for_scan(t, "t", {base + "\\t"});
    t.set_text(OUTPUT, base + "\\missing");   // a directory that does not exist
    t.click(SCAN);
    t.expect_box("LISTING TWINEX ONLY\nARE YOU SURE?\n", IDOK);
    t.expect_box("Can't open an output file\nQUITTING...\n", IDOK, 30000);
    check(t.wait_exit(30000) == 0, "the program ends after the fatal error");
    check(exists(base + "\\t\\a.txt") && exists(base + "\\t\\sub\\a.txt"), "the files are untouched");
}

}  // namespace

int main(int argc, char** argv)
{
    std::string s = argc >= 4 ? argv[3] : "";
    if (argc < 4 || (argc > 4 && s != "soak")) {
        fprintf(stderr, "usage: %s twinex.exe work-directory scenario (soak: [--rounds N] [--seed S])\n", argv[0]);
        return 2;
    }
    char display[256];
    if (!GetEnvironmentVariableA("DISPLAY", display, sizeof display) && GetSystemMetrics(SM_CXSCREEN) == 0) {
        printf("no display: skipped\n");
        return 77;
    }
    exe = windows_path(argv[1]);
    work = windows_path(argv[2]);
    screens = work + "\\screens";
    make_dirs(screens);
    if (s == "first")
        first_window();
    else if (s == "scan")
        finished_scan_and_again();
    else if (s == "abort")
        abort_and_close_box();
    else if (s == "quit")
        abort_or_quit_during_question();
    else if (s == "live")
        live_while_a_box_is_open();
    else if (s == "stalled")
        pattern_error_stalls();
    else if (s == "fatal")
        fatal_error_ends_the_program();
    else if (s == "soak")
        soak(exe, work, std::vector<std::string>(argv + 4, argv + argc));
    else
        fail("unknown scenario " + s);
    printf("passed: %s\n", s.c_str());
    return 0;
}
