// Scenarios that operate the real twinex window (under Wine with a virtual
// display, or on Windows), and a soak built from the same steps. The command
// logic's own tests pin what each command does; these show that the window
// carries it out: its controls reach the commands, its boxes are shown and
// answered, the scan thread's boxes and fields reach the screen, a run ends
// with the right files, and one process lives through many scans.
// Usage:
//   twinex_window_driver <twinex.exe> <work directory> scan|delete
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

unsigned ms_since(ULONGLONG start) { return static_cast<unsigned>(GetTickCount64() - start); }

// The soak: one twinex.exe through round after round of the steps above:
// choose the tree, SCAN, then ABORT at a random moment (at once or during
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
        fail("usage: twinex_window_driver twinex.exe work-directory scan|delete|soak [--rounds N] [--seed S]");
    std::string s = argv[3];
    if (!GetEnvironmentVariableA("DISPLAY", nullptr, 0) && GetSystemMetrics(SM_CXSCREEN) == 0) {
        printf("no display: skipped\n");
        return 77;
    }
    exe = windows_path(argv[1]);
    work = windows_path(argv[2]);
    s == "scan"     ? scan_then_fatal()
    : s == "delete" ? delete_run()
    : s == "soak"   ? soak(std::vector<std::string>(argv + 4, argv + argc))
                    : fail("unknown scenario " + s);
    printf("passed: %s\n", s.c_str());
    return 0;
}
