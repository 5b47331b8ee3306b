// Scenarios that operate the real twinex window (under Wine with a virtual
// display, or on Windows), and a soak built from the same steps. The command
// logic's own tests pin what each command does; these show that the window
// carries it out: its controls reach the commands, its boxes are shown and
// answered, the scan thread's boxes and fields reach the screen, a run ends
// with the right files, and one process lives through many scans.
// Usage:
//   twinex_window_driver <twinex.exe> <work directory> scan|delete|options
//   twinex_window_driver <twinex.exe> <work directory> soak [--rounds N] [--seed S]
// Exit code 0: passed; 1: failed; 77: no display to run on.
#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <random>

#include "tests/wine/window_driver.h"

namespace fs = std::filesystem;

namespace {

std::string exe, work;

// The chooser, the ticks and PATTERNS are worked with the About box open all
// along (the window stays live under a box); SCAN offers an output (Cancel,
// then OK) and confirms; the report is the one chosen. After AGAIN, a report
// that cannot be opened: the scan thread's fatal box, then the program ends.
void scan_then_fatal()
{
    std::string base = work + "\\scan", r1 = base + "\\tree1", r2 = base + "\\tree2";
    fs::remove_all(base);
    for (const char* f : {"tree1\\a.txt", "tree1\\sub\\B.TXT", "tree1\\c.dat", "tree2\\A.TXT", "tree2\\b.txt",
                          "tree2\\C.DAT", "tree3\\a.txt"})
        make_file(base + "\\" + f, f);
    Twinex t(exe);
    RECT client;
    GetClientRect(t.main(), &client);
    check(client.right >= 828 && client.bottom >= 517, "the client area holds the panel and its margin");
    t.click("Help");
    HWND about = t.box(WAIT_MS);
    check(about && Twinex::box_text(about).compare(0, 8, "\ntwinex ") == 0, "Help shows the About box");
    choose(t, base, {"tree1", "tree2", "tree3"}, "tree1");
    t.open(CHOSEN, base + "\\tree3");
    t.press("X");
    t.press("PARENT");
    check(t.rows(CHOSEN).size() == 2 && t.text(OUTPUT).empty() && t.text(PATH) == work,
          "a double click in CHOSEN drops tree3, X empties OUTPUT, PARENT goes up");
    set_tick(t, CRLF_BOX, true);
    set_tick(t, DATES_BOX, false);
    t.set_text(PATTERNS, "*.txt");
    check(IsWindow(about), "the About box stayed open through all of it");
    Twinex::answer(about, IDOK);

    t.click("SCAN");
    std::string offer = "NO OUTPUT CHOSEN\nDo you want to use:-\n" + r1;
    t.expect_box(offer, IDCANCEL);
    check(!t.box(1000) && t.text(OUTPUT).empty(), "Cancel on the offered output starts nothing");
    t.click("SCAN");
    t.expect_box(offer, IDOK);
    confirm_scan(t, "LISTING TWINEX ONLY");
    finish_scan(t);
    std::string body = read_file(t.text(WRITE_FILE));
    body.erase(0, body.find("DIRECTORIES:"));   // the lines before name the file and the time
    std::string want = "DIRECTORIES:    " + r1 + " 3 filenames checked\r\n                " + r2 +
                       " 3 filenames checked\r\nTOTAL CHECKED:  6\r\nPATTERN:        *.txt\r\nMATCHING TOTAL: 4\r\n"
                       "NUMBER FOUND:   2\r\nCASE INSENSITIVE SEARCH\r\n\r\nA.TXT\r\n=====\r\n" + r2 + "\\A.TXT\r\n" +
                       r1 + "\\a.txt\r\n\r\nb.txt\r\n=====\r\n" + r2 + "\\b.txt\r\n" + r1 + "\\sub\\B.TXT\r\n\r\n";
    check(body == want, body == want ? "the report in tree1: CR LF, no dates, the pattern, two groups"
                                     : "the report in tree1 reads:\n" + body);

    leave_scan(t);
    choose(t, base, {"tree1"}, "");
    t.set_text(OUTPUT, base + "\\missing");
    t.click("SCAN");
    confirm_scan(t, "LISTING TWINEX ONLY");
    t.expect_box("Can't open an output file\nQUITTING...\n", IDOK, SCAN_MS);
    check(t.wait_exit(SCAN_MS) == 0, "after the scan thread's fatal box the program ends by itself, exit code 0");
}

// A run that deletes, asking first, on two roots with two names each (t2's
// files the newer); returns the scan thread's first question.
HWND first_question(Twinex& t, const std::string& base)
{
    fs::remove_all(base);
    for (const char* f : {"t1\\x.txt", "t1\\y.txt", "t2\\x.txt", "t2\\y.txt"}) {
        make_file(base + "\\" + f, f);
        Sleep(50);   // each file newer than the one before
    }
    choose(t, base, {"t1", "t2"}, "t1");
    set_tick(t, DELETE_BOX, true);
    set_tick(t, SAVE_BOX, false);
    t.click("SCAN");
    confirm_scan(t, "DELETING OLD MODIFIED without Saving");
    HWND question = t.box(SCAN_MS);
    check(question && GetDlgItem(question, IDCANCEL), "the scan thread asks before deleting");
    return question;
}

long files_in_place(const std::string& base)
{
    const char* files[] = {"\\t1\\x.txt", "\\t1\\y.txt", "\\t2\\x.txt", "\\t2\\y.txt"};
    return std::count_if(files, files + 4, [&](const char* f) { return fs::exists(base + f); });
}

bool overlap(HWND a, HWND b)
{
    RECT ra, rb, both;
    return GetWindowRect(a, &ra) && GetWindowRect(b, &rb) && IntersectRect(&both, &ra, &rb);
}

// ABORT during the scan thread's question leaves it open; its answer is
// carried out and nothing after it. The close box during a question ends the
// program at once, the question unanswered, every file in place and the
// report closed as far as it got. The window sits with ABORT and QUIT at the
// middle of the screen, where the system alone would put a box.
void delete_run()
{
    std::string base = work + "\\delete";
    Twinex t(exe);
    POINT buttons = {655, 494};
    ClientToScreen(t.main(), &buttons);
    RECT at;
    GetWindowRect(t.main(), &at);
    SetWindowPos(t.main(), nullptr, at.left + GetSystemMetrics(SM_CXSCREEN) / 2 - buttons.x,
                 at.top + GetSystemMetrics(SM_CYSCREEN) / 2 - buttons.y, 0, 0, SWP_NOSIZE | SWP_NOZORDER);

    HWND question = first_question(t, base);
    check(t.text(COLLECT_COUNT) == "4" && t.text(PROCESS_COUNT) == "2" && t.text(WRITTEN_COUNT) == "1",
          "behind the question the panel shows 4 files, 2 names and group 1");
    check(!overlap(question, t.button("ABORT")) && !overlap(question, t.button("QUIT")),
          "the question leaves ABORT and QUIT free");
    t.click("ABORT");
    Sleep(1000);
    check(IsWindow(question) && t.control(ABORT), "ABORT leaves the question open for its answer");
    Twinex::answer(question, IDOK);
    check(t.wait_main(), "after the answer the scan stops and the main controls come back");
    check(!fs::exists(base + "\\t1\\x.txt") && files_in_place(base) == 3, "the answer deleted t1\\x.txt, nothing else");

    question = first_question(t, base);
    PostMessageA(t.main(), WM_CLOSE, 0, 0);
    check(t.wait_exit(WAIT_MS) == 0 && !IsWindow(question), "the close box during the question ends the program");
    check(files_in_place(base) == 4, "no file was deleted");
    check(read_file(base + "\\t1\\twinfiles000.txt").find("x.txt\n=====\n") != std::string::npos,
          "the report was closed as far as it got");
}

constexpr int CLIENT_EDGE = 8;   // the controls keep this margin inside the client area

// Every main control lies whole in the client area at the start size, clear
// of the others but for the frames around them, wide enough for its caption
// in the system font, and shown: the screen's pixels over it are not all
// the bare background.
void check_whole(const Twinex& t)
{
    RECT client;
    GetClientRect(t.main(), &client);
    HDC dc = GetDC(t.main());
    HGDIOBJ was = SelectObject(dc, GetStockObject(SYSTEM_FONT));
    std::vector<std::pair<RECT, bool>> seen;   // each control's place, and whether it is a frame
    for (int id = FIRST_MAIN; id <= LAST_MAIN; id++) {
        HWND c = t.control(id);
        RECT r, both;
        GetWindowRect(c, &r);
        MapWindowPoints(nullptr, t.main(), reinterpret_cast<POINT*>(&r), 2);
        char cls[32] = "", caption[256] = "";
        GetClassNameA(c, cls, sizeof cls);
        SIZE text = {0, 0};
        GetTextExtentPoint32A(dc, caption, GetWindowTextA(c, caption, sizeof caption), &text);
        LONG kind = lstrcmpiA(cls, "Button") ? -1 : GetWindowLongA(c, GWL_STYLE) & BS_TYPEMASK;
        bool frame = kind == BS_GROUPBOX, shown = false;
        std::string what = "control " + std::to_string(id) + " \"" + caption + "\"";
        if (r.left < CLIENT_EDGE || r.top < CLIENT_EDGE || r.right > client.right - CLIENT_EDGE ||
            r.bottom > client.bottom - CLIENT_EDGE)
            fail(what + " reaches beyond the client area");
        for (LONG y = r.top; y < r.bottom && !shown; y++)
            for (LONG x = r.left; x < r.right && !shown; x++)
                shown = GetPixel(dc, x, y) != GetSysColor(COLOR_BTNFACE);
        if (text.cx > r.right - r.left - (kind == BS_AUTOCHECKBOX || frame ? 20 : kind >= 0 ? 4 : 0) || !shown)
            fail(what + (shown ? " is too narrow for its caption" : " is not on the screen"));
        for (const auto& [o, o_frame] : seen)
            if (IntersectRect(&both, &r, &o) && (frame || !o_frame || !EqualRect(&both, &r)))
                fail(what + " overlaps another control");
        seen.push_back({r, frame});
    }
    SelectObject(dc, was);
    ReleaseDC(t.main(), dc);
    check(true, "every control is whole and on the screen at the start size");
}

// One delete run to the Recycle Bin of identical copies only, with EXCLUDE
// keeping .git and a name with a semicolon out, over two roots in the work
// directory and two on another file system (other_fs, a link that the
// test's set-up makes; Wine lists no /dev). Wine's bin is the desktop trash
// of the Unix side, here the work directory's (main() points it there).
void delete_options_run(Twinex& t)
{
    std::string base = work + "\\options", other = work + "\\other_fs", trash = work + "\\data\\Trash\\";
    if (!fs::exists(other))
        fail(other + " is missing: the test's set-up (window_other_fs) makes it");
    fs::remove_all(base), fs::remove_all(trash);
    fs::create_directories(trash + "files"), fs::create_directories(trash + "info");   // else Wine has no bin
    for (const char* f : {"x.txt", ".git\\x.txt", "a;b.txt"})
        make_old_file(base + "\\t1\\" + f, "same"), make_file(base + "\\t2\\" + f, "same");
    make_old_file(base + "\\t1\\y.txt", "one"), make_file(base + "\\t2\\y.txt", "two");
    for (const auto& e : fs::directory_iterator(other))   // the link stays
        fs::remove_all(e.path());
    make_old_file(other + "\\s1\\z.txt", "same"), make_file(other + "\\s2\\z.txt", "same");
    choose(t, base, {"t1", "t2"}, "t2");
    choose(t, other, {"s1", "s2"}, "");
    set_tick(t, DELETE_BOX, true);
    for (const char* box : DELETE_OPTIONS)
        set_tick(t, box, box == BIN_BOX || box == IDENTICAL_BOX);
    t.set_text(EXCLUDE, ".git;a\\;b.txt");
    t.click("SCAN");
    confirm_scan(t, "DELETING OLD MODIFIED without Saving\nto RECYCLE BIN, only IDENTICAL content");
    finish_scan(t);
    std::string report = read_file(t.text(WRITE_FILE)), kept = other + "\\s1\\z.txt";
    auto line = [&](const std::string& text) { return report.find(text + "\n") != std::string::npos; };
    check(!fs::exists(base + "\\t1\\x.txt") && read_file(trash + "files\\x.txt") == "same" &&
              line("<< FILE MOVED TO TRASH >>" + base + "\\t1\\x.txt"),
          "the older identical copy is in the trash and gone from its place");
    check(read_file(base + "\\t1\\y.txt") == "one" && line("<< NOT DELETED - CONTENT DIFFERS >>" + base + "\\t1\\y.txt"),
          "the older copy with other bytes stays, marked");
    check(fs::exists(base + "\\t1\\.git\\x.txt") && fs::exists(base + "\\t1\\a;b.txt") &&
              report.find("\\.git\\") == std::string::npos && !line("a;b.txt") &&
              line("EXCLUDED:       .git\n                a\\;b.txt"),
          "EXCLUDE keeps .git and a;b.txt out of the run and the report");
    size_t end = report.find(kept + "\n"), start = report.rfind('\n', end) + 1;
    // The Recycle Bin leaves in place a file it cannot keep: under Wine, a
    // file of another file system than the trash's (Wine's bin would take
    // it by a copy that is not on the disk before the file goes).
    check(read_file(kept) == "same" && !fs::exists(trash + "files\\z.txt") && end != std::string::npos &&
              report.compare(start, 17, "<< NOT DELETED - ") == 0,
              "the older copy from another file system stays in its place, the reason in the report");
    leave_scan(t);
}

// A move run, then RESTORE of its sinkhole, chosen in CHOOSE, with one place
// taken meanwhile: the other copy goes back, the taken place keeps its file
// and is named in the outcome.
void restore_run(Twinex& t)
{
    std::string base = work + "\\restore", sinkhole = base + "\\out\\twinfiles000.sinkhole";
    fs::remove_all(base), fs::create_directories(base + "\\out");
    make_old_file(base + "\\t1\\x.txt", "x1"), make_file(base + "\\t2\\x.txt", "x2");
    choose(t, base, {"t1", "t2"}, "out");
    set_tick(t, MOVE_BOX, true);
    t.click("SCAN");
    confirm_scan(t, "MOVING TWINEX to SINKHOLE");
    finish_scan(t);
    leave_scan(t);
    make_file(base + "\\t1\\x.txt", "taken");
    choose(t, base + "\\out", {}, "");
    t.select(CHOOSE, "twinfiles000.sinkhole");
    t.click("RESTORE");
    t.expect_box("RESTORE\n" + sinkhole + "\nARE YOU SURE?", IDOK);
    t.expect_box("1 FILES RESTORED, 1 LEFT IN THE SINKHOLE\nPLACE TAKEN, NOT RESTORED: " + base + "\\t1\\x.txt\n", IDOK);
    check(read_file(base + "\\t1\\x.txt") + read_file(base + "\\t2\\x.txt") == "takenx2",
          "RESTORE puts the copy back and leaves the taken place as it was");
}

// A delete run over a photo tree whose library, marked [REF] in CHOSEN
// before the tree is chosen, holds the newer copy, with the Recycle Bin and
// identical content still ticked from delete_options_run: the outside older
// copy goes to the bin, the library's stays, marked in the report.
void reference_run(Twinex& t)
{
    std::string photos = work + "\\reference", lib = photos + "\\lib";
    fs::remove_all(photos);
    make_old_file(photos + "\\x.txt", "x"), make_file(lib + "\\x.txt", "x");
    choose(t, photos, {"lib"}, "");
    switch_reference(t, lib);
    choose(t, work, {"reference"}, "reference");
    set_tick(t, DELETE_BOX, true);
    set_tick(t, SAVE_BOX, false);
    t.click("SCAN");
    confirm_scan(t, "DELETING OLD MODIFIED without Saving\nto RECYCLE BIN, only IDENTICAL content");
    finish_scan(t);
    std::string report = read_file(t.text(WRITE_FILE));
    check(report.find("REFERENCE:      " + lib + " 1 filenames checked\n") != std::string::npos &&
              report.find("<< NOT DELETED - REFERENCE >>" + lib + "\\x.txt\n") != std::string::npos &&
              fs::exists(lib + "\\x.txt") && !fs::exists(photos + "\\x.txt"),
          "the older copy outside the library goes; the library's newer copy stays, marked in the report");
    leave_scan(t);
}

// The window's further controls as a user meets them, in one process. Last
// a badly formed exclusion, told as a badly formed pattern is: the same
// numbered message during collection, after which only QUIT leads on.
void options()
{
    Twinex t(exe);
    check_whole(t);
    check_delete_options(t);
    delete_options_run(t);
    restore_run(t);
    reference_run(t);
    choose(t, work + "\\restore", {"t1"}, "t1");
    t.set_text(EXCLUDE, "x;[a");
    t.click("SCAN");
    confirm_scan(t, "LISTING TWINEX ONLY");
    t.expect_box("PATTERN ERROR: \"[\" without a later matching \"]\"\naborting...\n", IDOK, SCAN_MS);
    t.click("QUIT");
    check(t.wait_exit(SCAN_MS) == 0, "a bad exclusion gives the pattern's numbered message; QUIT ends");
}

// 3000 files in 60 directories; file i is named 7 i mod 1700, so 1300 names
// occur twice (in directories far apart) and 400 once.
constexpr int FILES = 3000, NAMES_TWICE = 1300;

std::string tree_file(int i)
{
    char path[64];
    snprintf(path, sizeof path, "a%02d\\b%02d\\f%04d.txt", i / 500, i / 50 % 10, i * 7 % 1700);
    return path;
}

// Handles are counted by copying each possible value (a multiple of 4, handed
// out lowest free first) into the driver: the copy succeeds exactly for the
// open ones. (Wine answers GetProcessHandleCount with 0.)
unsigned long handles(const Twinex& t)
{
    unsigned long n = 0;
    for (UINT_PTR v = 4; v < 4 * 8192; v += 4) {
        HANDLE copy = nullptr;
        if (DuplicateHandle(t.process(), reinterpret_cast<HANDLE>(v), GetCurrentProcess(), &copy, 0, FALSE,
                            DUPLICATE_SAME_ACCESS))
            n += CloseHandle(copy) ? 1 : 0;
    }
    return n;
}

// Removes the reports; one that cannot go is still held open by twinex.
void clear_reports(const std::string& out)
{
    for (const auto& e : fs::directory_iterator(out))
        if (e.path().filename().string().compare(0, 9, "twinfiles") == 0 && !DeleteFileA(e.path().string().c_str()))
            fail(e.path().string() + " cannot be removed: twinex still holds it open");
}

// Clicks at random on the actions, DELETE's sub-options and REFERENCE on/off
// for the chosen root, the greying checked after each; then the run is made
// a listing of a root that is no reference root again, sometimes with
// exclusions that leave every file in.
void random_clicks(Twinex& t, std::mt19937& rng)
{
    const char* boxes[] = {MOVE_BOX, DELETE_BOX, REQUEST_BOX, SAVE_BOX, BIN_BOX, IDENTICAL_BOX};
    for (int i = 0; i < 8; i++) {
        unsigned pick = rng() % 7;
        pick < 6 ? t.press(boxes[pick]) : switch_reference(t, t.rows(CHOSEN).at(0));
        check_delete_options(t);
    }
    if (t.rows(CHOSEN).at(0).rfind(REF_MARK, 0) == 0)
        switch_reference(t, t.rows(CHOSEN).at(0));
    set_tick(t, MOVE_BOX, false);
    set_tick(t, DELETE_BOX, false);
    t.set_text(EXCLUDE, rng() % 2 ? "*.none;f\\;1.txt" : "");
}

unsigned ms_since(ULONGLONG start) { return static_cast<unsigned>(GetTickCount64() - start); }

// The soak: one twinex.exe through round after round of the steps above:
// choose the tree, click the action boxes, SCAN, then ABORT at a random moment (at once or during
// the scan) or AGAIN once it has finished; at the end QUIT during one more
// scan. The process must live through them all and hold no more handles
// after the last round than after the first.
void soak(const std::vector<std::string>& args)
{
    int rounds = 5, seed = 1;
    for (size_t i = 0; i < args.size(); i += 2)
        if (i + 1 < args.size() && (args[i] == "--rounds" || args[i] == "--seed"))
            (args[i] == "--rounds" ? rounds : seed) = std::stoi(args[i + 1]);
        else
            fail("soak takes --rounds N and --seed S, not " + args[i]);
    std::string base = work + "\\soak", root = base + "\\tree", out = base + "\\out";
    if (!fs::exists(root + "\\" + tree_file(FILES - 1))) {   // made once, its last file last
        fs::remove_all(root);
        for (int i = 0; i < FILES; i++)
            make_file(root + "\\" + tree_file(i), tree_file(i));
    }
    fs::create_directories(out);
    clear_reports(out);
    printf("soak: %d rounds, seed %d, %d files, %d names twice\n", rounds, seed, FILES, NAMES_TWICE);

    Twinex t(exe);
    std::mt19937 rng(static_cast<unsigned>(seed));
    unsigned long first = 0, last = 0;
    unsigned scan_ms = 0;   // the shortest full scan; later ones run faster, their files cached
    for (int round = 1; round <= rounds + 1; round++) {
        ULONGLONG start = GetTickCount64();
        choose(t, base, {"tree"}, "out");
        set_tick(t, DATES_BOX, round == 1 || rng() % 2 == 0);
        random_clicks(t, rng);
        t.click("SCAN");
        confirm_scan(t, "LISTING TWINEX ONLY");
        ULONGLONG scanning = GetTickCount64();
        unsigned delay = 1 + rng() % std::max(scan_ms, 1u), ms = 0;
        if (round > rounds) {   // one scan more, ended by QUIT
            Sleep(delay);
            t.click("QUIT");
            check(t.wait_exit(SCAN_MS) == 0, "QUIT " + std::to_string(delay) + " ms into a scan ends the program");
            break;
        }
        // The first round runs to the end, the second aborts at once, the
        // others draw their moment.
        unsigned pick = round == 1 ? 1 : round == 2 ? 0 : rng() % 5;
        if (pick == 1) {
            finish_scan(t);
            ms = ms_since(scanning);
            scan_ms = scan_ms == 0 ? ms : std::min(scan_ms, ms);
            check(t.text(COLLECT_COUNT) == std::to_string(FILES) &&
                      t.text(PROCESS_COUNT) == std::to_string(NAMES_TWICE) &&
                      read_file(t.text(WRITE_FILE)).find(root + "\\a05\\b09\\") != std::string::npos,
                  "the panel counts every file and every name found twice; the report reaches the last directory");
        } else if (pick > 1) {
            Sleep(delay);
        }
        leave_scan(t);
        clear_reports(out);
        last = handles(t);
        first = round == 1 ? last : first;
        // A few handles may come for the system's own reasons; one per round
        // (a leaked thread or report) still shows after the fifth round.
        if (round == rounds)
            check(last <= first + 2, "twinex holds " + std::to_string(first) + " handles after the first round and " +
                                         std::to_string(last) + " after the last");
        const char* moment[] = {"ABORT at once", "AGAIN after the end", "ABORT during the scan"};
        printf("round %d: %s (after %u ms), round %u ms; twinex holds %lu handles\n", round,
               moment[std::min(pick, 2u)], pick == 1 ? ms : pick ? delay : 0, ms_since(start), last);
    }
}

}  // namespace

int main(int argc, char** argv)
{
    if (argc < 4)
        fail("usage: twinex_window_driver twinex.exe work-directory scan|delete|options|soak [--rounds N] [--seed S]");
    std::string s = argv[3];
    if (!GetEnvironmentVariableA("DISPLAY", nullptr, 0) && GetSystemMetrics(SM_CXSCREEN) == 0) {
        printf("no display: skipped\n");
        return 77;
    }
    exe = windows_path(argv[1]);
    work = windows_path(argv[2]);
    // The Recycle Bin of the window under test: the desktop trash of the work
    // directory (Wine takes the Unix side's variable from its Windows one).
    SetEnvironmentVariableA("XDG_DATA_HOME", (std::string(argv[2]) + "/data").c_str());
    s == "scan"      ? scan_then_fatal()
    : s == "delete"  ? delete_run()
    : s == "options" ? options()
    : s == "soak"    ? soak(std::vector<std::string>(argv + 4, argv + argc))
                     : fail("unknown scenario " + s);
    printf("passed: %s\n", s.c_str());
    return 0;
}
