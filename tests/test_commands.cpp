// The main window's commands and its chooser against a fake window and fake
// drives: browsing and choosing, the action rules, SCAN's questions, flags
// and start, a bad exclusion, RESTORE, and leaving a scan (ABORT, AGAIN,
// QUIT, the close box) without releasing anything under a running thread.
#include <gtest/gtest.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <string>
#include <vector>

#include "tests/support/fake_window.h"
#include "tests/support/recording_feedback.h"
#include "ui/common/commands.h"
#include "ui/common/scan_job.h"

namespace {

using Rows = std::vector<std::string>;
const char* const kA = "A:  [ REMOVABLE DRIVE ] <UNAVAILABLE>";
const char* const kC = "C:  [ FIXED DRIVE ]";
const char* const kD = "D:  [ CDROM DRIVE ]";
std::string N(const char* p) { return native_path(p); }

class Window : public ::testing::Test {
protected:
    DrivePlatform sys;
    RecordingFeedback fb;
    ScanState st{sys, fb};
    FakeWindow w;
    Commands cmd{st, w};

    void SetUp() override
    {
        sys.drives = {{'A', {DRIVE_KIND_REMOVABLE, false}}, {'C', {DRIVE_KIND_FIXED, true}},
                      {'D', {DRIVE_KIND_CDROM, true}}};
        sys.listings = {{"C:", {"WINNT/", "DATA/", ".config/", "boot.ini"}}, {N("C:\\WINNT"), {"SYSTEM/", "win.ini"}},
                        {N("C:\\WINNT\\SYSTEM"), {}}, {N("C:\\DATA"), {}}};
        w.thread_done = &sys.thread_done;
        ASSERT_EQ(1, cmd.CreateMainControls());
    }
    void click(int index) { cmd.TX_OnCommand(MAIN_ID_BASE + index); }
    void panel_click(int field) { cmd.TX_OnCommand(PANEL_ID_BASE + field); }
    // Double clicks each row of CHOOSE_W in turn.
    void open(std::initializer_list<std::string> rows)
    {
        for (const std::string& row : rows) {
            ASSERT_TRUE(w.select(MC_CHOOSE, row)) << row;
            cmd.on_double_click(MC_CHOOSE);
        }
    }
    // Selects a row of CHOOSE_W and clicks `button` ("for SCAN" by default).
    void press(const std::string& row, int button = MC_FOR_SCAN)
    {
        ASSERT_TRUE(w.select(MC_CHOOSE, row)) << row;
        click(button);
    }
    // A confirmed scan of C:\DATA written to C:\DATA; its boxes are cleared.
    void start_scan()
    {
        open({kC});
        press("DATA");
        w.texts[MC_OUTPUT] = N("C:\\DATA");
        click(MC_SCAN);
        fb.clear();
    }
    Rows boxes()
    {
        Rows out;
        for (const auto& m : fb.messages())
            out.push_back(m.msg1.value_or("") + "/" + m.msg2.value_or("") + "/" + m.msg3.value_or(""));
        return out;
    }
    size_t roots()
    {
        size_t n = 0;
        for (Node* p = st.dlist.head; p && p->next; p = p->next) ++n;
        return n;
    }
};

// ------------------------------------------------------------ the chooser

// Drives, then one directory at a time (files, "." and ".." not listed);
// PARENT walks back up to the drives. An unavailable drive is neither opened
// nor chosen.
TEST_F(Window, ChooserBrowsesDrivesAndDirectories)
{
    EXPECT_EQ(w.rows[MC_CHOOSE], (Rows{kA, kC, kD}));
    open({kA});
    press(kA);
    press(kA, MC_FOR_OUTPUT);
    press(kD, MC_FOR_OUTPUT);
    EXPECT_EQ(w.texts[MC_PATH] + "|" + w.texts[MC_OUTPUT], "|D:");
    open({kC});
    EXPECT_EQ(w.rows[MC_CHOOSE], (Rows{"WINNT", "DATA", ".config"}));
    open({"WINNT", "SYSTEM"});
    click(MC_PARENT);
    press("SYSTEM", MC_FOR_OUTPUT);
    EXPECT_EQ(w.texts[MC_PATH] + "|" + w.texts[MC_OUTPUT], N("C:\\WINNT|C:\\WINNT\\SYSTEM"));
    for (std::string path : {"C:", "", ""}) {  // from a drive's root to the drives, and no further
        click(MC_PARENT);
        EXPECT_EQ(w.texts[MC_PATH], path);
    }
    EXPECT_EQ(w.rows[MC_CHOOSE], (Rows{kA, kC, kD}));
    EXPECT_EQ(roots() + fb.message_count(), 0u);
}

// A path of 260 characters opens; a longer one could be neither shown whole
// nor read back, and is refused with a message.
TEST_F(Window, PathsBeyondTheChooserLimitAreRefused)
{
    const std::string base = N("C:\\DATA\\"), x(CHOOSER_PATH - base.size(), 'x'), y = base + x + PATH_SEP + "y";
    sys.listings[N("C:\\DATA")] = {x + "/"};
    sys.listings[base + x] = {"y/"};
    open({kC, "DATA", x, "y"});
    press("y");
    press("y", MC_FOR_OUTPUT);
    EXPECT_EQ(w.texts[MC_PATH], base + x);
    EXPECT_EQ(boxes(), (Rows{"PATH TOO LONG/" + y + "/Not opened.", "PATH TOO LONG/" + y + "/Not added to chosen list.",
                             "PATH TOO LONG/" + y + "/Not chosen for output."}));
    EXPECT_EQ(roots(), 0u);
}

// CHOSEN_W shows the roots: rebuilt when a new root replaces those below it,
// before the box tells of them; a double click drops a root.
TEST_F(Window, ChosenListFollowsTheRoots)
{
    open({kC});
    press("DATA");
    click(MC_DRIVES);
    press(kD);
    Rows shown_when_told;
    fb.on_complain([&](const RecordingFeedback::Message&) { shown_when_told = w.rows[MC_CHOSEN]; });
    press(kC);
    ASSERT_TRUE(w.select(MC_CHOSEN, "D:"));
    cmd.on_double_click(MC_CHOSEN);
    EXPECT_EQ(shown_when_told, (Rows{"D:", "C:"}));
    EXPECT_EQ(w.rows[MC_CHOSEN], (Rows{"C:"}));
    EXPECT_EQ(roots(), 1u);
}

// REFERENCE on/off marks the root selected in CHOSEN_W, or unmarks it; it
// greys where that would put a root inside a reference root, and a marked
// root covers the reference roots below it. Reference roots alone are
// nothing to scan, and SCAN offers none for output. Each step ('+' SCAN on a
// path, '=' selects a CHOSEN_W row, 'R' REFERENCE on/off, 'S' SCAN with the
// path as output), then CHOSEN_W, "live" while the button is, and the boxes
// told.
TEST_F(Window, ReferenceRootsInChosen)
{
    const struct { const char *step, *after; } steps[] = {
        {"+C:\\DATA\\LIB", "|C:\\DATA\\LIB"},
        {"=C:\\DATA\\LIB", "|C:\\DATA\\LIB live"},
        {"R", "|[REF] C:\\DATA\\LIB"},
        {"SC:\\DATA", "|[REF] C:\\DATA\\LIB NOTHING TO SCAN//"},
        {"+C:\\DATA\\LIB\\OLD", "|[REF] C:\\DATA\\LIB C:\\DATA\\LIB\\OLD/Not added to chosen list./"
                                "It is a subdirectory of existing choice."},
        {"+C:\\DATA", "|[REF] C:\\DATA\\LIB|C:\\DATA"},
        {"=[REF] C:\\DATA\\LIB", "|[REF] C:\\DATA\\LIB|C:\\DATA"},
        {"R", "|[REF] C:\\DATA\\LIB|C:\\DATA"},
        {"S", "|[REF] C:\\DATA\\LIB|C:\\DATA NO OUTPUT CHOSEN/Do you want to use:-/C:\\DATA"},
        {"=C:\\DATA", "|[REF] C:\\DATA\\LIB|C:\\DATA live"},
        {"R", "|[REF] C:\\DATA Subdirectories of/C:\\DATA/have been removed from chosen list."},
        {"=[REF] C:\\DATA", "|[REF] C:\\DATA live"},
        {"R", "|C:\\DATA"},
    };
    fb.set_default_answer(0);
    for (const auto& k : steps) {
        const std::string arg = N(k.step + 1), dir = arg.substr(0, arg.rfind(PATH_SEP));
        SCOPED_TRACE(k.step);
        fb.clear();
        if (*k.step == '+') {
            cmd.chooser().type = CHOOSE_DIRECTORY;
            w.texts[MC_PATH] = dir, w.rows[MC_CHOOSE] = {arg.substr(dir.size() + 1)};
            press(w.rows[MC_CHOOSE][0]);
        } else if (*k.step == 'R' || *k.step == 'S') {
            w.texts[MC_OUTPUT] = arg;
            click(*k.step == 'R' ? MC_REFERENCE : MC_SCAN);
        } else {
            w.select(MC_CHOSEN, arg);
            cmd.on_select(MC_CHOSEN);
        }
        std::string after;
        for (const std::string& r : w.rows[MC_CHOSEN]) after += "|" + r;
        after += w.enabled[MC_REFERENCE] ? " live" : "";
        for (const std::string& b : boxes()) after += " " + b;
        EXPECT_EQ(after, N(k.after));
    }
}

// ------------------------------------------------------------ the commands

// The two actions exclude each other; only DELETE livens its four
// sub-options (greyed and, but for REQUEST and SAVE, unticked at start),
// whose ticks stay as they are. After each tick: MOVE, DELETE, sub-options.
TEST_F(Window, ActionBoxRules)
{
    const int subs[] = {MC_REQUEST, MC_SAVE, MC_BIN, MC_IDENTICAL};
    auto live = [&] { return std::count_if(subs, subs + 4, [&](int i) { return w.enabled[i]; }); };
    EXPECT_EQ(live() + w.checks[MC_BIN] + w.checks[MC_IDENTICAL], 0);
    w.checks[MC_SAVE] = false, w.checks[MC_BIN] = true;
    std::string seen;
    for (int box : {MC_DELETE, MC_MOVE, MC_DELETE, MC_DELETE, MC_MOVE, MC_MOVE}) {
        w.checks[box] = !w.checks[box];  // a check box ticks itself, then tells its parent
        click(box);
        seen += std::string(w.checks[MC_MOVE] ? "M" : "-") + (w.checks[MC_DELETE] ? "D" : "-") + " ???+"[live()] + " ";
    }
    EXPECT_EQ(seen, "-D+ M-  -D+ --  M-  --  ");
    EXPECT_TRUE(w.checks[MC_REQUEST] && !w.checks[MC_SAVE] && w.checks[MC_BIN] && !w.checks[MC_IDENTICAL]);
}

// SCAN without roots says so; without an output it offers the first root,
// shows it in the OUTPUT box, then asks for the confirmation. A no at either
// question starts nothing and keeps the counters.
TEST_F(Window, ScanAsksForTheOutputThenTheConfirmation)
{
    click(MC_SCAN);
    open({kC});
    press("DATA");
    press("WINNT");
    st.numfiles = 7;
    fb.script({0, 1, 0});
    click(MC_SCAN);
    EXPECT_EQ(w.texts[MC_OUTPUT], "");
    click(MC_SCAN);
    const std::string offer = "NO OUTPUT CHOSEN/Do you want to use:-/" + N("C:\\DATA");
    EXPECT_EQ(boxes(), (Rows{"NOTHING TO SCAN//", offer, offer, "LISTING TWINEX ONLY/ARE YOU SURE?/"}));
    EXPECT_EQ(w.texts[MC_OUTPUT], N("C:\\DATA"));
    EXPECT_EQ(st.numfiles, 7);
    EXPECT_TRUE(w.main_shown && w.enabled[MC_SCAN]);
    EXPECT_EQ(sys.threads_started, 0);
}

// The flags SCAN sets from the ticks, and the summary it asks about: a move
// saves everything and asks nothing; a listing keeps the last flags. The
// Recycle Bin and the content check go with a delete run only, and its
// confirmation names them. EXCLUDE splits at each ";" but an escaped one.
// The two boxes show their last ticks when the main controls come again.
TEST_F(Window, ActionFlagsAndSummaryFollowTheTicks)
{
    const struct {
        bool move, del, request, save, bin, identical;
        const char* summary;
        int dom, request_flag, save_flag, trash, same_content;
        const char* exclude;
        Rows excludes;
    } cases[] = {
        {true, true, true, false, true, true, "MOVING TWINEX to SINKHOLE/ARE YOU SURE?/", 1, 0, 1, 0, 0,
         ".git;*.tmp;", {".git", "*.tmp"}},
        {false, true, true, true, true, false,
         "DELETING OLD MODIFIED,  SAVING deleted files in SINKHOLE/to RECYCLE BIN/ARE YOU SURE?", -1, 1, 1, 1, 0,
         ";a\\;b;;c", {"a\\;b", "c"}},
        {false, true, false, false, false, true,
         "DELETING OLD MODIFIED without Saving/only IDENTICAL content/ARE YOU SURE?", -1, 0, 0, 0, 1,
         "a\\\\;b\\", {"a\\\\", "b\\"}},
        {false, true, false, false, true, true,
         "DELETING OLD MODIFIED without Saving/to RECYCLE BIN, only IDENTICAL content/ARE YOU SURE?", -1, 0, 0, 1, 1,
         "", {}},
        {false, false, true, true, true, false, "LISTING TWINEX ONLY/ARE YOU SURE?/", 1, 0, 0, 0, 0, "x", {"x"}},
    };
    press(kD);
    for (const auto& k : cases) {
        w.checks[MC_MOVE] = k.move, w.checks[MC_DELETE] = k.del;
        w.checks[MC_REQUEST] = k.request, w.checks[MC_SAVE] = k.save;
        w.checks[MC_BIN] = k.bin, w.checks[MC_IDENTICAL] = k.identical;
        w.checks[MC_CASE] = !k.move, w.checks[MC_DATES] = k.move, w.checks[MC_CRLF] = k.del;
        w.texts[MC_OUTPUT] = "D:";
        w.texts[MC_EXCLUDE] = k.exclude;
        fb.clear();
        fb.script({0});
        click(MC_SCAN);
        EXPECT_EQ(boxes(), (Rows{k.summary}));
        EXPECT_EQ((std::vector<int>{st.dom_flag, st.request_flag, st.save_flag, st.m_flag, st.i_flag, st.t_flag,
                                    st.r_flag, st.extra.trash, st.extra.same_content}),
                  (std::vector<int>{k.dom, k.request_flag, k.save_flag, k.move, !k.move, k.move, k.del, k.trash,
                                    k.same_content}))
            << k.summary;
        EXPECT_EQ(st.extra.excludes, k.excludes) << k.exclude;
    }
    ASSERT_EQ(1, cmd.CreateMainControls());
    EXPECT_TRUE(w.checks[MC_BIN] && !w.checks[MC_IDENTICAL]);
}

// A confirmed scan swaps to the panel and starts one thread, with the
// counters and the abort flag cleared. Leaving it, whether its thread runs,
// has finished (hThread held) or stalled (it gave up during collection and
// cleared hThread): ABORT (AGAIN), QUIT or the window's destruction, with
// clicks during the wait. Nothing is released and the window stays while the
// thread is waited for; QUIT closes any open question first, and a report
// the thread left open.
const struct Leave {
    const char* what;
    bool done, stalled;
    int act, in_wait;  // panel buttons; act -1: the window is destroyed; in_wait -1: nothing
    int waits;
    bool ended;  // open questions were closed
    bool main, closed;
    size_t roots;
} leaves[] = {
    {"abort", false, false, PF_ABORT, -1, 1, 0, true, false, 0},
    {"again", true, false, PF_ABORT, -1, 1, 0, true, false, 0},
    {"stalled", true, true, PF_ABORT, -1, 0, 0, false, false, 1},
    {"stalled, then quit", true, true, PF_QUIT, -1, 1, 1, false, true, 1},
    {"quit", false, false, PF_QUIT, -1, 1, 1, false, true, 1},
    {"quit during abort's wait", false, false, PF_ABORT, PF_QUIT, 1, 1, false, true, 0},
    {"destroyed", false, false, -1, -1, 1, 0, false, false, 0},
};

void PrintTo(const Leave& l, std::ostream* os) { *os << l.what; }
struct Leaving : Window, ::testing::WithParamInterface<Leave> {};

TEST_P(Leaving, NothingGoesUnderARunningThread)
{
    const Leave& l = GetParam();
    w.texts[MC_PATTERNS] = "*.txt";
    st.numfiles = 5;
    st.abort_flag = 1;
    start_scan();
    ASSERT_TRUE(w.panel_shown && !w.main_shown && st.abort_flag == 0 && st.numfiles == 0);
    EXPECT_STREQ(st.pattern, "*.txt");
    EXPECT_EQ(w.panel[PF_SUMMARY], "LISTING TWINEX ONLY");
    click(MC_SCAN);  // the main controls are gone: late clicks do nothing
    sys.thread_done = l.done;
    if (l.stalled) st.hThread = nullptr;
    st.report = tmpfile();
    bool kept_in_wait = false;
    w.during_wait = [&] {
        kept_in_wait = st.abort_flag == 1 && w.panel_shown && roots() == 1 && !w.closed;
        panel_click(PF_ABORT);
        click(MC_SCAN);
        if (l.in_wait >= 0) panel_click(l.in_wait);
        EXPECT_FALSE(w.closed);
    };
    l.act < 0 ? cmd.on_destroy() : panel_click(l.act);
    EXPECT_EQ(w.waits, l.waits);
    EXPECT_TRUE(kept_in_wait || !l.waits);
    EXPECT_EQ(fb.questions_ended() > 0, l.ended);
    EXPECT_EQ(std::make_pair(w.main_shown, w.closed), std::make_pair(l.main, l.closed));
    EXPECT_EQ(roots(), l.roots);
    EXPECT_EQ(std::make_pair(sys.threads_started, sys.threads_closed), std::make_pair(1, l.waits));
    EXPECT_EQ(st.report == nullptr, l.waits == 1);
    if (st.report) fclose(st.report);
}

INSTANTIATE_TEST_SUITE_P(Window, Leaving, ::testing::ValuesIn(leaves));

// A badly formed exclusion stops the scan as a badly formed pattern does:
// the same numbered message during collection, after which the scan has
// released its roots and cleared hThread (stalled: only QUIT leads on).
struct BadPattern : Window, ::testing::WithParamInterface<std::pair<const char*, const char*>> {};

TEST_P(BadPattern, StopsTheScanDuringCollection)
{
    sys.listings[N("C:\\DATA")] = {"a.txt"};
    w.texts[MC_PATTERNS] = GetParam().first, w.texts[MC_EXCLUDE] = GetParam().second;
    start_scan();
    Scan(&st);   // the scan thread's work, here on this thread
    EXPECT_EQ(boxes(), (Rows{"PATTERN ERROR: \"[\" without a later matching \"]\"/aborting.../"}));
    EXPECT_TRUE(roots() == 0 && st.hThread == nullptr);
}

INSTANTIATE_TEST_SUITE_P(Window, BadPattern, ::testing::Values(std::make_pair("[a", ""), std::make_pair("", "*.tmp;[a")));

// RESTORE asks about the directory selected in CHOOSE_W (nothing without a
// selection), works only after OK and tells the outcome; while it asks,
// SCAN is greyed and neither SCAN nor a second RESTORE acts.
TEST_F(Window, RestoreAsksThenTellsTheOutcome)
{
    click(MC_RESTORE);
    open({kC});
    bool scan_greyed = true;
    fb.on_complain([&](const RecordingFeedback::Message& m) {
        if (m.msg1 == "RESTORE") {
            scan_greyed = scan_greyed && !w.enabled[MC_SCAN];
            click(MC_SCAN), click(MC_RESTORE);
        }
    });
    fb.script({0, 1});
    press("DATA", MC_RESTORE), press("DATA", MC_RESTORE);
    const std::string ask = "RESTORE/" + N("C:\\DATA") + "/ARE YOU SURE?";
    EXPECT_EQ(boxes(), (Rows{ask, ask, "0 FILES RESTORED, 1 LEFT IN THE SINKHOLE/CAN'T READ THE MANIFEST (" +
                                           error_text(EACCES) + "): " + N("C:\\DATA.manifest") + "/"}));
    EXPECT_TRUE(scan_greyed && w.enabled[MC_SCAN] && sys.threads_started == 0);
}

// A second SCAN is refused (and greyed) while SCAN's questions are open, and
// the roots may change under them; the close box during a question ends at
// once and starts nothing.
TEST_F(Window, ScanQuestionsGuardAgainstASecondScanAndTheEnd)
{
    press(kD);
    std::string output_when_confirming;
    bool scan_greyed = true, closed_at_once = false;
    fb.on_complain([&](const RecordingFeedback::Message& m) {
        scan_greyed = scan_greyed && !w.enabled[MC_SCAN];
        click(MC_SCAN);
        if (m.msg1 == "NO OUTPUT CHOSEN") {
            w.select(MC_CHOSEN, "D:");
            return cmd.on_double_click(MC_CHOSEN);  // the offered root goes
        }
        output_when_confirming = w.texts[MC_OUTPUT];
        cmd.request_end();  // the close box
        closed_at_once = w.closed;
    });
    click(MC_SCAN);
    EXPECT_EQ(fb.message_count(), 2u);
    EXPECT_TRUE(scan_greyed && closed_at_once);
    EXPECT_EQ(output_when_confirming, "D:");
    EXPECT_EQ(roots() + sys.threads_started, 0u);
}

}  // namespace
