// The main window's commands against a fake window: starting states, the
// action rules, SCAN's questions, flags and summary, the start of the scan
// thread, and leaving a scan (ABORT, AGAIN, QUIT, the close box) without
// releasing anything under a running thread.
#include <gtest/gtest.h>

#include <cstdio>
#include <string>
#include <vector>

#include "engine/state.h"
#include "tests/support/fake_window.h"
#include "tests/support/recording_feedback.h"
#include "ui/common/commands.h"

namespace {

using Rows = std::vector<std::string>;

enum {
    SCAN = 100, CANCEL = 101, HELP = 102, MOVE = 108, DELETE = 109, PARENT = 112, DRIVES = 113,
    FOR_SCAN = 116, FOR_OUTPUT = 117, CLEAR_OUTPUT = 125, ABORT = 200, QUIT = 201,
};

class CommandsTest : public ::testing::Test {
protected:
    DrivePlatform sys;
    RecordingFeedback fb;
    ScanState st{sys, fb};
    FakeWindow w;
    Commands cmd{st, w};

    void SetUp() override
    {
        sys.drives['C'] = {DRIVE_KIND_FIXED, true};
        sys.drives['D'] = {DRIVE_KIND_CDROM, true};
        sys.add_dir(native_path("C:\\DATA"));
        sys.add_dir(native_path("C:\\OUT"));
        w.thread_done = &sys.thread_done;
        ASSERT_EQ(1, cmd.CreateMainControls());
    }

    void click(int id) { cmd.TX_OnCommand(id); }
    // A check box toggles itself, then tells its parent.
    void tick(int index)
    {
        w.checks[index] = !w.checks[index];
        click(MAIN_ID_BASE + index);
    }
    void choose_drive(char letter)
    {
        cmd.chooser().type = CHOOSE_DRIVES;
        ASSERT_EQ(1, SetChooseData(cmd.chooser()));
        w.selection[MC_CHOOSE] = -1;
        for (size_t i = 0; i < w.rows[MC_CHOOSE].size(); i++)
            if (w.rows[MC_CHOOSE][i][0] == letter)
                w.selection[MC_CHOOSE] = static_cast<int>(i);
        click(FOR_SCAN);
    }
    void choose_in_c(const char* name)
    {
        click(DRIVES);
        ASSERT_TRUE(w.select(MC_CHOOSE, "C:  [ FIXED DRIVE ]"));
        cmd.on_double_click(MC_CHOOSE);
        ASSERT_TRUE(w.select(MC_CHOOSE, name));
        click(FOR_SCAN);
    }
    // A confirmed scan of C:\DATA written to C:\OUT.
    void start_scan()
    {
        choose_in_c("DATA");
        w.texts[MC_OUTPUT] = native_path("C:\\OUT");
        fb.script({1});
        click(SCAN);
        ASSERT_TRUE(w.panel_shown);
        ASSERT_EQ(1, sys.threads_started);
        fb.clear();
    }
    std::vector<std::string> questions()
    {
        std::vector<std::string> out;
        for (const auto& m : fb.messages())
            out.push_back(m.msg1.value_or("") + "/" + m.msg2.value_or("") + "/" + m.msg3.value_or(""));
        return out;
    }
    int roots()
    {
        int n = 0;
        for (Node* p = st.dlist.head; p && p->next; p = p->next)
            n++;
        return n;
    }
};

TEST_F(CommandsTest, FirstWindowShowsTheStartingStates)
{
    EXPECT_TRUE(w.main_shown);
    EXPECT_TRUE(w.checks[MC_CASE]);
    EXPECT_TRUE(w.checks[MC_DATES]);
    EXPECT_FALSE(w.checks[MC_CRLF]);
    EXPECT_FALSE(w.checks[MC_MOVE]);
    EXPECT_FALSE(w.checks[MC_DELETE]);
    EXPECT_TRUE(w.checks[MC_REQUEST]);
    EXPECT_TRUE(w.checks[MC_SAVE]);
    EXPECT_FALSE(w.enabled[MC_REQUEST]);
    EXPECT_FALSE(w.enabled[MC_SAVE]);
    EXPECT_TRUE(w.enabled[MC_MOVE]);
    EXPECT_TRUE(w.enabled[MC_DELETE]);
    EXPECT_EQ((Rows{"C:  [ FIXED DRIVE ]", "D:  [ CDROM DRIVE ]"}), w.rows[MC_CHOOSE]);
    EXPECT_TRUE(w.rows[MC_CHOSEN].empty());
    EXPECT_EQ("", w.texts[MC_PATH]);
    EXPECT_EQ("", w.texts[MC_OUTPUT]);
    EXPECT_EQ("", w.texts[MC_PATTERNS]);
    EXPECT_EQ(0u, fb.message_count());
}

TEST_F(CommandsTest, ActionBoxesExcludeEachOtherAndOnlyDeleteLivensItsOptions)
{
    tick(MC_DELETE);
    EXPECT_TRUE(w.enabled[MC_REQUEST]);
    EXPECT_TRUE(w.enabled[MC_SAVE]);
    w.checks[MC_SAVE] = false;

    tick(MC_MOVE);
    EXPECT_TRUE(w.checks[MC_MOVE]);
    EXPECT_FALSE(w.checks[MC_DELETE]);
    EXPECT_FALSE(w.enabled[MC_REQUEST]);
    EXPECT_FALSE(w.enabled[MC_SAVE]);
    EXPECT_TRUE(w.checks[MC_REQUEST]);   // ticks are kept while greyed
    EXPECT_FALSE(w.checks[MC_SAVE]);

    tick(MC_DELETE);
    EXPECT_FALSE(w.checks[MC_MOVE]);
    EXPECT_TRUE(w.enabled[MC_REQUEST]);

    tick(MC_DELETE);
    EXPECT_FALSE(w.enabled[MC_REQUEST]);
    EXPECT_FALSE(w.enabled[MC_SAVE]);

    tick(MC_MOVE);
    tick(MC_MOVE);   // unticking MOVE greys too and leaves DELETE unticked
    EXPECT_FALSE(w.checks[MC_DELETE]);
    EXPECT_FALSE(w.enabled[MC_REQUEST]);
}

TEST_F(CommandsTest, ScanWithNothingChosenOnlySaysSo)
{
    click(SCAN);
    ASSERT_EQ(1u, fb.message_count());
    EXPECT_EQ(COMPLAIN_NOTICE, fb.last_message().kind);
    EXPECT_EQ("NOTHING TO SCAN", fb.last_message().msg1.value_or(""));
    EXPECT_TRUE(w.main_shown);
    EXPECT_FALSE(w.panel_shown);
    EXPECT_EQ(0, sys.threads_started);
}

TEST_F(CommandsTest, ScanWithoutOutputOffersTheFirstRootThenAsksForConfirmation)
{
    choose_in_c("DATA");
    choose_drive('D');
    ASSERT_EQ(2, roots());

    fb.script({0});
    click(SCAN);
    EXPECT_EQ((std::vector<std::string>{"NO OUTPUT CHOSEN/Do you want to use:-/" + native_path("C:\\DATA")}),
              questions());
    EXPECT_EQ("", w.texts[MC_OUTPUT]);

    fb.clear();
    fb.script({1, 0});
    click(SCAN);
    EXPECT_EQ((std::vector<std::string>{"NO OUTPUT CHOSEN/Do you want to use:-/" + native_path("C:\\DATA"),
                                        "LISTING TWINEX ONLY/ARE YOU SURE?/"}),
              questions());
    EXPECT_EQ(COMPLAIN_OKCANCEL, fb.last_message().kind);
    // Cancelled at the confirmation: only the OUTPUT box changed.
    EXPECT_EQ(native_path("C:\\DATA"), w.texts[MC_OUTPUT]);
    EXPECT_TRUE(w.main_shown);
    EXPECT_EQ(2, roots());
    EXPECT_EQ(0, sys.threads_started);
}

TEST_F(CommandsTest, ConfirmedScanSwapsToThePanelAndStartsOneThread)
{
    w.texts[MC_PATTERNS] = "*.txt";
    st.numfiles = 5;
    st.abort_flag = 1;
    start_scan();
    EXPECT_FALSE(w.main_shown);
    EXPECT_EQ("LISTING TWINEX ONLY", w.panel[PF_SUMMARY]);
    EXPECT_EQ("ABORT", w.panel[PF_ABORT]);
    EXPECT_EQ("", w.panel[PF_COLLECT_LABEL]);
    EXPECT_EQ(native_path("C:\\OUT"), st.outputname);
    ASSERT_NE(nullptr, st.pattern);
    EXPECT_STREQ("*.txt", st.pattern);
    EXPECT_EQ(0, st.abort_flag);
    EXPECT_EQ(0, st.numfiles);
    EXPECT_NE(nullptr, st.hThread);

    // The main controls are gone: their late clicks do nothing.
    click(SCAN);
    click(FOR_SCAN);
    EXPECT_EQ(1, sys.threads_started);
    EXPECT_FALSE(w.closed);
}

TEST_F(CommandsTest, ActionFlagsAndSummaryFollowTheTicks)
{
    choose_in_c("DATA");
    w.texts[MC_OUTPUT] = "C:";
    struct Case {
        bool move, del, request, save;
        const char* summary;
        int dom, request_flag, save_flag;
    } cases[] = {
        {true, false, true, false, "MOVING TWINEX to SINKHOLE", 1, 0, 1},
        {false, true, true, true, "DELETING OLD MODIFIED,  SAVING deleted files in SINKHOLE", -1, 1, 1},
        {false, true, false, false, "DELETING OLD MODIFIED without Saving", -1, 0, 0},
        {false, false, true, true, "LISTING TWINEX ONLY", 1, 0, 0},   // flags kept from the last scan
    };
    for (const Case& k : cases) {
        w.checks[MC_MOVE] = k.move;
        w.checks[MC_DELETE] = k.del;
        w.checks[MC_REQUEST] = k.request;
        w.checks[MC_SAVE] = k.save;
        fb.clear();
        fb.script({0});
        click(SCAN);
        EXPECT_EQ(k.summary, fb.last_message().msg1.value_or("")) << k.summary;
        EXPECT_EQ(k.dom, st.dom_flag) << k.summary;
        EXPECT_EQ(k.request_flag, st.request_flag) << k.summary;
        EXPECT_EQ(k.save_flag, st.save_flag) << k.summary;
        EXPECT_EQ(k.move ? 1 : 0, st.m_flag) << k.summary;
    }
}

TEST_F(CommandsTest, PatternIsCutToItsLimitAndAnEmptyBoxMeansNone)
{
    choose_in_c("DATA");
    w.texts[MC_OUTPUT] = "C:";
    w.texts[MC_PATTERNS] = std::string(3000, '?');
    fb.set_default_answer(0);
    click(SCAN);
    ASSERT_NE(nullptr, st.pattern);
    EXPECT_EQ(2047u, std::string(st.pattern).size());
    w.texts[MC_PATTERNS].clear();
    click(SCAN);
    EXPECT_EQ(nullptr, st.pattern);
}

TEST_F(CommandsTest, AbortStopsWaitsAndBringsBackAnEmptyChooserWithListOptionsKept)
{
    tick(MC_CRLF);
    tick(MC_CASE);
    tick(MC_MOVE);
    bool flag_seen = false, panel_during_wait = false;
    w.during_wait = [&] {
        flag_seen = st.abort_flag == 1;
        panel_during_wait = w.panel_shown && roots() == 1;
    };
    start_scan();
    click(ABORT);
    EXPECT_TRUE(flag_seen);
    EXPECT_TRUE(panel_during_wait);   // nothing released before the thread ended
    EXPECT_EQ(1, sys.threads_closed);
    EXPECT_EQ(nullptr, st.hThread);
    EXPECT_FALSE(w.panel_shown);
    EXPECT_TRUE(w.main_shown);
    EXPECT_EQ(0, roots());
    EXPECT_TRUE(w.rows[MC_CHOSEN].empty());
    EXPECT_EQ("", w.texts[MC_OUTPUT]);
    EXPECT_EQ("", w.texts[MC_PATH]);
    EXPECT_EQ(CHOOSE_DRIVES, cmd.chooser().type);
    EXPECT_EQ(2u, w.rows[MC_CHOOSE].size());
    EXPECT_TRUE(w.checks[MC_CRLF]);
    EXPECT_FALSE(w.checks[MC_CASE]);
    EXPECT_FALSE(w.checks[MC_MOVE]);
    // The move forced its sub-options: asked nothing, saved everything.
    EXPECT_FALSE(w.checks[MC_REQUEST]);
    EXPECT_TRUE(w.checks[MC_SAVE]);
    EXPECT_FALSE(w.enabled[MC_SAVE]);
    EXPECT_EQ(0u, fb.message_count());
    EXPECT_FALSE(w.closed);

    click(ABORT);   // no scan any more: nothing
    EXPECT_EQ(1, w.waits);
}

TEST_F(CommandsTest, AgainAfterAFinishedScanReturnsToIdle)
{
    start_scan();
    sys.thread_done = true;   // finished; hThread still held
    click(ABORT);
    EXPECT_TRUE(w.main_shown);
    EXPECT_FALSE(w.panel_shown);
    EXPECT_EQ(1, sys.threads_closed);
}

TEST_F(CommandsTest, StalledScanIgnoresAbortAndQuitEndsIt)
{
    start_scan();
    sys.thread_done = true;
    st.hThread = nullptr;   // the thread gave up during collection
    click(ABORT);
    EXPECT_TRUE(w.panel_shown);
    EXPECT_FALSE(w.main_shown);
    EXPECT_EQ(0, w.waits);
    click(QUIT);
    EXPECT_TRUE(w.closed);
    EXPECT_EQ(1, sys.threads_closed);
}

TEST_F(CommandsTest, QuitWaitsForTheThreadAndClosesAReportItLeftOpen)
{
    start_scan();
    st.report = tmpfile();
    ASSERT_NE(nullptr, st.report);
    bool closed_before_end = true;
    int ended_before_wait = -1;
    w.on_close = [&] { closed_before_end = !sys.thread_done; };
    w.during_wait = [&] { ended_before_wait = fb.questions_ended(); };
    click(QUIT);
    EXPECT_EQ(1, ended_before_wait);
    EXPECT_EQ(1, st.abort_flag);
    EXPECT_TRUE(w.closed);
    EXPECT_FALSE(closed_before_end);
    EXPECT_EQ(nullptr, st.report);
    cmd.on_destroy();
    EXPECT_EQ(0, roots());
    EXPECT_EQ(1, w.waits);
}

// ABORT leaves an open question of the scan thread to be answered; QUIT or
// the close box during the wait closes it unanswered, and the window goes
// once the thread has ended.
TEST_F(CommandsTest, CloseBoxOrQuitDuringAbortsWaitEndsTheProgramAfterTheWait)
{
    start_scan();
    w.during_wait = [&] {
        EXPECT_EQ(0, fb.questions_ended());
        click(ABORT);   // ignored: already leaving
        click(SCAN);
        cmd.request_end();
        EXPECT_EQ(1, fb.questions_ended());
        EXPECT_FALSE(w.closed);
    };
    click(ABORT);
    EXPECT_EQ(1, w.waits);
    EXPECT_TRUE(w.closed);
    EXPECT_FALSE(w.main_shown);
    EXPECT_EQ(1, sys.threads_closed);
}

// A box leaves the window live: every click is carried out at once, and the
// rules between the action boxes run on every click.
TEST_F(CommandsTest, CommandsDuringABoxAreCarriedOutWithTheirRules)
{
    choose_in_c("DATA");
    w.texts[MC_OUTPUT] = native_path("C:\\OUT");
    fb.on_complain([&](const RecordingFeedback::Message& m) {
        if (m.msg1.value_or("") != "")
            return;   // only the About box
        tick(MC_DELETE);
        tick(MC_MOVE);
        click(CLEAR_OUTPUT);
        click(PARENT);
        ASSERT_TRUE(w.select(MC_CHOOSE, "C:  [ FIXED DRIVE ]"));
        cmd.on_double_click(MC_CHOOSE);
    });
    click(HELP);
    EXPECT_TRUE(w.checks[MC_MOVE]);
    EXPECT_FALSE(w.checks[MC_DELETE]);
    EXPECT_FALSE(w.enabled[MC_REQUEST]);
    EXPECT_FALSE(w.enabled[MC_SAVE]);
    EXPECT_EQ("", w.texts[MC_OUTPUT]);
    EXPECT_EQ("C:", w.texts[MC_PATH]);
    EXPECT_EQ((Rows{"DATA", "OUT"}), w.rows[MC_CHOOSE]);
}

// SCAN's questions: the output is shown before the confirmation, a second
// SCAN is refused (and greyed) while they are open, and the roots may
// change under them.
TEST_F(CommandsTest, ScanRefusesASecondScanWhileItAsks)
{
    choose_in_c("DATA");
    std::string output_when_confirming;
    bool scan_greyed = false;
    fb.on_complain([&](const RecordingFeedback::Message& m) {
        scan_greyed = !w.enabled[MC_SCAN];
        click(SCAN);
        if (m.msg1.value_or("") == "NO OUTPUT CHOSEN") {
            ASSERT_TRUE(w.select(MC_CHOSEN, native_path("C:\\DATA")));
            cmd.on_double_click(MC_CHOSEN);   // the root it offers goes meanwhile
        } else {
            output_when_confirming = w.texts[MC_OUTPUT];
        }
    });
    fb.script({1, 0});
    click(SCAN);
    EXPECT_EQ(2u, fb.message_count());
    EXPECT_TRUE(scan_greyed);
    EXPECT_EQ(native_path("C:\\DATA"), output_when_confirming);
    EXPECT_EQ(0, roots());
    EXPECT_TRUE(w.enabled[MC_SCAN]);
    EXPECT_EQ(0, sys.threads_started);
}

TEST_F(CommandsTest, EndRequestedWhileAQuestionIsOpenEndsAtOnceAndStartsNoScan)
{
    choose_in_c("DATA");
    w.texts[MC_OUTPUT] = "C:";
    bool closed_at_once = false;
    fb.on_complain([&](const RecordingFeedback::Message& m) {
        if (m.msg2.value_or("") == "ARE YOU SURE?") {
            cmd.request_end();    // the close box
            closed_at_once = w.closed;
        }
    });
    fb.set_default_answer(1);
    click(SCAN);
    EXPECT_TRUE(closed_at_once);
    EXPECT_EQ(1, fb.questions_ended());
    EXPECT_EQ(1u, fb.message_count());
    EXPECT_EQ(0, sys.threads_started);
}

TEST_F(CommandsTest, FailuresToStartEndTheProgram)
{
    sys.threads_fail = true;
    choose_in_c("DATA");
    w.texts[MC_OUTPUT] = "C:";
    click(SCAN);
    EXPECT_EQ("ERROR: can't create scan thread./QUITTING/", questions().back());
    EXPECT_EQ(COMPLAIN_ERROR, fb.last_message().kind);
    EXPECT_TRUE(w.closed);
}

TEST_F(CommandsTest, PanelThatCannotBeBuiltStartsNoThread)
{
    w.fail_panel = true;
    choose_in_c("DATA");
    w.texts[MC_OUTPUT] = "C:";
    click(SCAN);
    EXPECT_EQ(0, sys.threads_started);
    EXPECT_TRUE(w.closed);
}

TEST_F(CommandsTest, MainControlsThatCannotBeRebuiltEndTheProgram)
{
    start_scan();
    w.fail_main = true;
    click(ABORT);
    EXPECT_EQ("Can't creat main controls./Maybe not enough memory./QUITTING", questions().back());
    EXPECT_TRUE(w.closed);
}

TEST_F(CommandsTest, DestroyDuringAScanWaitsBeforeReleasing)
{
    start_scan();
    int roots_during_wait = -1;
    w.during_wait = [&] { roots_during_wait = roots(); };
    cmd.on_destroy();
    EXPECT_EQ(1, roots_during_wait);
    EXPECT_EQ(0, roots());
    EXPECT_EQ(1, st.abort_flag);
}

TEST_F(CommandsTest, SmallCommands)
{
    click(HELP);
    auto m = fb.last_message();
    EXPECT_EQ(COMPLAIN_ERROR, m.kind);
    EXPECT_EQ("", m.msg1.value_or("null"));
    EXPECT_EQ(0u, m.msg2.value_or("").find("twinex 1.03"));
    EXPECT_FALSE(m.msg3.value_or("").empty());

    ASSERT_TRUE(w.select(MC_CHOOSE, "D:  [ CDROM DRIVE ]"));
    click(FOR_OUTPUT);
    EXPECT_EQ("D:", w.texts[MC_OUTPUT]);
    click(CLEAR_OUTPUT);
    EXPECT_EQ("", w.texts[MC_OUTPUT]);

    ASSERT_TRUE(w.select(MC_CHOOSE, "C:  [ FIXED DRIVE ]"));
    cmd.on_double_click(MC_CHOOSE);
    EXPECT_EQ("C:", w.texts[MC_PATH]);
    click(DRIVES);
    EXPECT_EQ("", w.texts[MC_PATH]);
    EXPECT_EQ(2u, w.rows[MC_CHOOSE].size());

    click(CANCEL);
    EXPECT_TRUE(w.closed);
    EXPECT_EQ(0, sys.threads_started);
}

}  // namespace
