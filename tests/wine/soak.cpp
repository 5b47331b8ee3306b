// The soak: the same window used for round after round of SCAN, then ABORT
// at a random moment (at once, during the scan, or AGAIN once it has
// finished), back to the main controls each time, and QUIT at the end. Every
// round must end within a time bound, the process must live through all of
// them, and it must hold no more handles or threads at the end than after
// the first round.
#include "tests/wine/soak.h"

#include <windows.h>
#include <tlhelp32.h>

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <map>
#include <random>
#include <string>
#include <vector>

#include "tests/wine/steps.h"
#include "tests/wine/window_driver.h"

namespace wd {

namespace {

constexpr unsigned ROUND_LIMIT_MS = 60000;   // a round that takes longer hangs
constexpr int MAX_ROUNDS = 100000;
// The process may gain a few handles over a run for reasons of its own (the
// system's lazily made objects); one per round, a leaked thread or report,
// must still show after the fifth round.
constexpr DWORD HANDLE_SLACK = 2;

struct Options {
    int rounds = 5;
    unsigned seed = 1;
};

// --- the tree ----------------------------------------------------------------

constexpr int TOP_DIRS = 6, SUB_DIRS = 10, FILES_PER_DIR = 50, NAME_POOL = 1200;

// Where each file goes, relative to the tree's root. Drawn from a fixed
// generator, so the tree is the same for every seed and is made only once:
// 3000 files in 60 directories, most names occurring 2 to 6 times.
std::vector<std::string> tree_files()
{
    std::minstd_rand gen(20261206);
    std::vector<std::string> files;
    char path[64];
    for (int a = 0; a < TOP_DIRS; a++)
        for (int b = 0; b < SUB_DIRS; b++) {
            std::vector<bool> used(NAME_POOL, false);
            for (int f = 0; f < FILES_PER_DIR; f++) {
                int n = static_cast<int>(gen() % NAME_POOL);
                while (used[n])
                    n = (n + 1) % NAME_POOL;
                used[n] = true;
                snprintf(path, sizeof path, "a%02d\\b%02d\\n%04d.dat", a, b, n);
                files.push_back(path);
            }
        }
    return files;
}

// How many names occur more than once.
long names_twice(const std::vector<std::string>& files)
{
    std::map<std::string, int> seen;
    for (const std::string& f : files)
        seen[f.substr(f.rfind('\\') + 1)]++;
    return std::count_if(seen.begin(), seen.end(), [](const auto& e) { return e.second > 1; });
}

void make_tree(const std::string& base, const std::string& root, const std::vector<std::string>& files)
{
    std::string done = base + "\\tree.complete";
    if (exists(done))
        return;
    remove_tree(root);
    for (const std::string& f : files)
        make_file(root + "\\" + f, f);
    make_file(done, "");
}

// --- the process's resources ---------------------------------------------------

struct Resources {
    DWORD handles = 0;         // every handle twinex holds
    DWORD thread_handles = 0;  // of them, handles to threads
    DWORD threads = 0;         // threads running in twinex
};

// Handle values are multiples of 4, handed out lowest free first; a process
// with a few hundred handles stays far below this.
constexpr uintptr_t HANDLE_VALUE_LIMIT = 4 * 8192;

DWORD process_id(const Twinex& t)
{
    DWORD pid = 0;
    GetWindowThreadProcessId(t.main(), &pid);
    return pid;
}

DWORD thread_count(DWORD pid)
{
    HANDLE snap = CreateToolhelp32Snapshot(TH32CS_SNAPTHREAD, 0);
    if (snap == INVALID_HANDLE_VALUE)
        fail("no thread snapshot");
    THREADENTRY32 te = {};
    te.dwSize = sizeof te;
    DWORD n = 0;
    for (BOOL more = Thread32First(snap, &te); more; more = Thread32Next(snap, &te))
        if (te.th32OwnerProcessID == pid)
            n++;
    CloseHandle(snap);
    return n;
}

// Counts twinex's handles by copying each possible value into the driver:
// the copy succeeds exactly for the values that are open handles there, and
// a copy that has a thread id is a thread handle. (Wine answers
// GetProcessHandleCount with 0, so the handles are counted this way
// everywhere.)
void count_handles(HANDLE process, Resources& r)
{
    for (uintptr_t v = 4; v < HANDLE_VALUE_LIMIT; v += 4) {
        HANDLE copy = nullptr;
        if (!DuplicateHandle(process, reinterpret_cast<HANDLE>(v), GetCurrentProcess(), &copy, 0, FALSE,
                             DUPLICATE_SAME_ACCESS))
            continue;
        r.handles++;
        if (GetThreadId(copy) != 0)
            r.thread_handles++;
        CloseHandle(copy);
    }
}

Resources resources(DWORD pid)
{
    HANDLE process = OpenProcess(PROCESS_DUP_HANDLE, FALSE, pid);
    if (!process)
        fail("cannot open the twinex process to count its handles");
    Resources r;
    count_handles(process, r);
    CloseHandle(process);
    r.threads = thread_count(pid);
    return r;
}

// --- one round -----------------------------------------------------------------

enum Moment { AT_ONCE, DURING, FINISHED_FIRST };

struct Round {
    Moment moment = AT_ONCE;
    unsigned delay_ms = 0;   // after the start, for DURING
    bool datestamps = true;
};

struct Outcome {
    std::string phase;           // what the panel showed when ABORT was pressed
    unsigned scan_ms = 0;        // start to << FINISHED >>, for FINISHED_FIRST
    unsigned leave_ms = 0;       // ABORT or AGAIN to the main controls
    unsigned round_ms = 0;
    Resources after;
};

struct Soak {
    Options opt;
    std::string base, root, out;
    long files = 0, groups = 0;
    std::mt19937 rng;
    int round = 0;
    ULONGLONG round_start = 0;
    DWORD pid = 0;   // twinex's
};

unsigned since(ULONGLONG start) { return static_cast<unsigned>(GetTickCount64() - start); }

unsigned left_in_round(const Soak& s)
{
    unsigned used = since(s.round_start);
    return used >= ROUND_LIMIT_MS ? 0 : ROUND_LIMIT_MS - used;
}

// A process started by twinex, which starts none itself: the debugger or
// error reporter the system runs for a crashed program (Wine starts winedbg,
// which keeps the crashed process alive). Its id, or 0 when none.
DWORD crash_handler(DWORD pid, std::string& name)
{
    HANDLE snap = CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0);
    if (snap == INVALID_HANDLE_VALUE)
        fail("no process snapshot");
    PROCESSENTRY32 pe = {};
    pe.dwSize = sizeof pe;
    DWORD found = 0;
    for (BOOL more = Process32First(snap, &pe); more && !found; more = Process32Next(snap, &pe))
        if (pe.th32ParentProcessID == pid && pe.th32ProcessID != pid) {
            found = pe.th32ProcessID;
            name = pe.szExeFile;
        }
    CloseHandle(snap);
    return found;
}

// Fails when twinex has crashed, naming the crash handler, which is ended
// so that it holds nothing of the test's.
void no_crash(DWORD pid)
{
    std::string name;
    DWORD handler = crash_handler(pid, name);
    if (!handler)
        return;
    if (HANDLE h = OpenProcess(PROCESS_TERMINATE, FALSE, handler)) {
        TerminateProcess(h, 1);
        CloseHandle(h);
    }
    if (name.empty())
        name = "process " + std::to_string(handler);
    fail("twinex crashed: " + name + " was started for it");
}

// Fails when twinex has ended or crashed; names its exit code.
void still_running(Twinex& t, DWORD pid)
{
    if (!t.running())
        fail("twinex is no longer running (exit code " + std::to_string(t.wait_exit(0)) + ")");
    no_crash(pid);
}

// Fails, naming what was awaited and any box twinex shows, when `done` does
// not come true before the round's time is up.
template <class Done>
void wait_in_round(Twinex& t, const Soak& s, const std::string& what, Done done)
{
    while (!done()) {
        still_running(t, s.pid);
        if (left_in_round(s) == 0) {
            std::string why = what + " did not happen within " + std::to_string(ROUND_LIMIT_MS / 1000) +
                              " s of the round's start";
            if (HWND box = t.wait_box(0))
                why += "; a box shows \"" + Twinex::box_text(box) + "\"";
            fail(why);
        }
        Sleep(10);
    }
}

// From the main controls to a running scan of the tree, written to `out`.
void start_scan(Twinex& t, Soak& s, bool datestamps)
{
    browse_to(t, s.base);
    choose_for_scan(t, "tree", {s.root});
    choose_for_output(t, "out", s.out);
    set_tick(t, DATES, datestamps);
    t.click(SCAN);
    t.expect_box("LISTING TWINEX ONLY\nARE YOU SURE?\n", IDOK);
    // The panel's fields are made one after the other, << FINISHED >>'s last.
    wait_in_round(t, s, "the progress panel", [&] { return t.control(FINISHED) != nullptr; });
}

std::string phase_shown(Twinex& t)
{
    if (t.text(FINISHED) == "<< FINISHED >>")
        return "finished";
    if (!t.text(WRITE_LABEL).empty())
        return "writing";
    if (!t.text(PROCESS_LABEL).empty())
        return "grouping";
    return "collecting";
}

// Waits for the end of the scan and checks its counts and its report.
void finish_scan(Twinex& t, const Soak& s, Outcome& o)
{
    ULONGLONG start = GetTickCount64();
    wait_in_round(t, s, "<< FINISHED >>", [&] { return t.text(FINISHED) == "<< FINISHED >>"; });
    o.scan_ms = since(start);
    check(t.text(ABORT) == "AGAIN", "the button reads AGAIN");
    check(number(t.text(COLLECT_COUNT)) == s.files, std::to_string(s.files) + " files seen");
    check(number(t.text(PROCESS_COUNT)) == s.groups, std::to_string(s.groups) + " names found more than once");
    std::string report = read_file(t.text(WRITE_FILE));
    check(contains(report, s.root + "\\a05\\b09\\"), "the report lists the tree's last directory");
}

// Presses ABORT (or AGAIN) and waits until the main controls are back, with
// no roots chosen.
void leave_scan(Twinex& t, const Soak& s, Outcome& o)
{
    ULONGLONG start = GetTickCount64();
    t.click(ABORT);
    wait_in_round(t, s, "the main controls' return", [&] { return t.control(ABORT) == nullptr; });
    if (!t.wait_main(left_in_round(s)))
        fail("the main controls did not come back");
    o.leave_ms = since(start);
    check(t.rows(CHOSEN).empty() && t.text(OUTPUT).empty(), "back at the main controls, no roots chosen");
}

// Removes the round's reports. One that cannot go is still held open by
// twinex, whose scan should have closed it.
void clear_reports(const Soak& s)
{
    WIN32_FIND_DATAA fd;
    HANDLE h = FindFirstFileA((s.out + "\\twinfiles*").c_str(), &fd);
    if (h == INVALID_HANDLE_VALUE)
        return;
    do {
        std::string path = s.out + "\\" + fd.cFileName;
        if (!DeleteFileA(path.c_str()))
            fail(path + " cannot be removed: twinex still holds it open");
    } while (FindNextFileA(h, &fd));
    FindClose(h);
}

Outcome run_round(Twinex& t, Soak& s, const Round& r)
{
    Outcome o;
    start_scan(t, s, r.datestamps);
    if (r.moment == DURING)
        Sleep(r.delay_ms);
    if (r.moment == FINISHED_FIRST)
        finish_scan(t, s, o);
    o.phase = r.moment == AT_ONCE ? "started" : phase_shown(t);
    leave_scan(t, s, o);
    still_running(t, s.pid);
    clear_reports(s);
    o.round_ms = since(s.round_start);
    o.after = resources(s.pid);
    return o;
}

// --- the run ---------------------------------------------------------------------

// The first round runs to the end and times the scan; the second aborts at
// once; the others draw their moment from the seed, the delays spread over
// the shortest scan seen so far.
Round plan(Soak& s, unsigned scan_ms)
{
    Round r;
    r.datestamps = s.round == 1 || s.rng() % 2 == 0;
    if (s.round == 1)
        r.moment = FINISHED_FIRST;
    else if (s.round == 2)
        r.moment = AT_ONCE;
    else {
        unsigned pick = s.rng() % 5;
        r.moment = pick == 0 ? AT_ONCE : pick == 1 ? FINISHED_FIRST : DURING;
        r.delay_ms = 1 + s.rng() % std::max(scan_ms, 1u);
    }
    return r;
}

std::string describe(const Round& r)
{
    switch (r.moment) {
    case AT_ONCE:
        return "ABORT at once";
    case FINISHED_FIRST:
        return "AGAIN after the end";
    default:
        return "ABORT after " + std::to_string(r.delay_ms) + " ms";
    }
}

void print_round(const Soak& s, const Round& r, const Outcome& o)
{
    std::string scan = o.scan_ms ? ", scan " + std::to_string(o.scan_ms) + " ms" : "";
    printf("round %d: %s (%s%s%s), back in %u ms, round %u ms; handles %lu, thread handles %lu, threads %lu\n",
           s.round, describe(r).c_str(), o.phase.c_str(), r.datestamps ? ", datestamps" : "", scan.c_str(),
           o.leave_ms, o.round_ms, static_cast<unsigned long>(o.after.handles),
           static_cast<unsigned long>(o.after.thread_handles), static_cast<unsigned long>(o.after.threads));
    fflush(stdout);
}

void set_round_context(const Soak& s)
{
    set_context("round " + std::to_string(s.round) + " of " + std::to_string(s.opt.rounds) + " (seed " +
                std::to_string(s.opt.seed) + "): ");
}

// Ends with QUIT pressed during one more scan.
void quit_during_scan(Twinex& t, Soak& s, unsigned scan_ms)
{
    set_context("QUIT after " + std::to_string(s.opt.rounds) + " rounds (seed " + std::to_string(s.opt.seed) + "): ");
    s.round_start = GetTickCount64();
    start_scan(t, s, true);
    unsigned delay = s.rng() % std::max(scan_ms, 1u);
    Sleep(delay);
    note("QUIT " + std::to_string(delay) + " ms after the start");
    t.click(QUIT);
    while (t.running() && left_in_round(s) > 0) {
        no_crash(s.pid);
        Sleep(10);
    }
    int code = t.wait_exit(0);
    check(code != -1, "QUIT ends the program within " + std::to_string(ROUND_LIMIT_MS / 1000) + " s");
    check(code == 0, "with exit code 0");
    clear_reports(s);
}

void check_no_leak(const Resources& first, const Resources& last)
{
    check(last.handles <= first.handles + HANDLE_SLACK,
          "handles after the first round " + std::to_string(first.handles) + ", after the last " +
              std::to_string(last.handles));
    check(last.thread_handles <= first.thread_handles,
          "thread handles after the first round " + std::to_string(first.thread_handles) + ", after the last " +
              std::to_string(last.thread_handles));
    check(last.threads <= first.threads, "threads after the first round " + std::to_string(first.threads) +
                                             ", after the last " + std::to_string(last.threads));
}

Options parse(const std::vector<std::string>& args)
{
    Options o;
    for (size_t i = 0; i < args.size(); i++) {
        bool has_value = i + 1 < args.size();
        if (args[i] == "--rounds" && has_value)
            o.rounds = atoi(args[++i].c_str());
        else if (args[i] == "--seed" && has_value)
            o.seed = static_cast<unsigned>(strtoul(args[++i].c_str(), nullptr, 10));
        else
            fail("soak takes --rounds N (1 to " + std::to_string(MAX_ROUNDS) + ") and --seed S, not " + args[i]);
    }
    if (o.rounds < 1 || o.rounds > MAX_ROUNDS)
        fail("--rounds must be 1 to " + std::to_string(MAX_ROUNDS));
    return o;
}

}  // namespace

void soak(const std::string& exe, const std::string& work, const std::vector<std::string>& args)
{
    Soak s;
    s.opt = parse(args);
    s.rng.seed(s.opt.seed);
    s.base = work + "\\soak";
    s.root = s.base + "\\tree";
    s.out = s.base + "\\out";
    std::vector<std::string> files = tree_files();
    s.files = static_cast<long>(files.size());
    s.groups = names_twice(files);
    make_tree(s.base, s.root, files);
    make_dirs(s.out);
    clear_reports(s);
    printf("soak: %d rounds, seed %u, %ld files, %ld names more than once\n", s.opt.rounds, s.opt.seed, s.files,
           s.groups);

    Twinex t(exe);
    s.pid = process_id(t);
    Resources first, last;
    unsigned scan_ms = 0, slowest = 0;
    ULONGLONG run_start = GetTickCount64();
    for (s.round = 1; s.round <= s.opt.rounds; s.round++) {
        set_round_context(s);
        s.round_start = GetTickCount64();
        Round r = plan(s, scan_ms);
        Outcome o = run_round(t, s, r);
        print_round(s, r, o);
        if (o.scan_ms && (scan_ms == 0 || o.scan_ms < scan_ms))
            scan_ms = o.scan_ms;   // later scans run faster, their files cached
        if (s.round == 1)
            first = o.after;
        last = o.after;
        slowest = std::max(slowest, o.round_ms);
    }
    printf("soak: %d rounds in %u ms, slowest %u ms; handles %lu -> %lu, thread handles %lu -> %lu, "
           "threads %lu -> %lu\n",
           s.opt.rounds, since(run_start), slowest, static_cast<unsigned long>(first.handles),
           static_cast<unsigned long>(last.handles), static_cast<unsigned long>(first.thread_handles),
           static_cast<unsigned long>(last.thread_handles), static_cast<unsigned long>(first.threads),
           static_cast<unsigned long>(last.threads));
    set_context("after " + std::to_string(s.opt.rounds) + " rounds (seed " + std::to_string(s.opt.seed) + "): ");
    check_no_leak(first, last);
    quit_during_scan(t, s, scan_ms);
    set_context("");
}

}  // namespace wd
