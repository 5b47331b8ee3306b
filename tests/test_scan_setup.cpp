#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "tests/support/recording_feedback.h"
#include "tests/support/stub_platform.h"
#include "ui/common/roots.h"
#include "ui/common/scan_setup.h"

namespace {

struct ScanSetup : ::testing::Test {
    StubPlatform sys;
    RecordingFeedback ui;
    ScanState st{sys, ui};
    ScanChoices c;

    void dirty_counters() { st.numfiles = st.numdups = st.numdeleted = st.numpats = 7; }
    std::string summary_asked() { return ui.last_message().msg1.value_or("<none>"); }
};

}  // namespace

TEST_F(ScanSetup, NothingToScanWithoutOutputOrRoots)
{
    st.abort_flag = 1;
    EXPECT_EQ(scan_prepare(st, c, ui), PREPARE_NOTHING);
    EXPECT_EQ(st.abort_flag.load(), 0);
    ASSERT_EQ(ui.message_count(), 1u);
    auto m = ui.last_message();
    EXPECT_EQ(m.kind, COMPLAIN_NOTICE);
    EXPECT_EQ(m.text, "NOTHING TO SCAN\n");
}

TEST_F(ScanSetup, FirstRootOfferedAsOutput)
{
    std::string data = native_path("C:\\DATA");
    add_root(st, data.c_str());
    add_root(st, "D:");
    dirty_counters();

    ui.script({0});
    EXPECT_EQ(scan_prepare(st, c, ui), PREPARE_CANCELLED);
    EXPECT_EQ(ui.last_message().text, "NO OUTPUT CHOSEN\nDo you want to use:-\n" + data);
    EXPECT_EQ(ui.last_message().kind, COMPLAIN_OKCANCEL);
    EXPECT_EQ(c.output, "");
    EXPECT_EQ(st.numfiles, 7);

    ui.clear();
    ui.script({1, 1});
    EXPECT_EQ(scan_prepare(st, c, ui), PREPARE_GO);
    EXPECT_EQ(c.output, data);
    EXPECT_EQ(st.outputname, data);
    EXPECT_EQ(ui.message_count(), 2u);
    EXPECT_EQ(ui.last_message().text, "LISTING TWINEX ONLY\nARE YOU SURE?\n");
    EXPECT_EQ(st.numfiles + st.numdups + st.numdeleted + st.numpats, 0);
    EXPECT_NE(FirstNode(&st.dlist), nullptr);  // roots stay chosen
}

TEST_F(ScanSetup, GivenOutputAndNoRootsStillGoes)
{
    c.output = "out";
    dirty_counters();
    EXPECT_EQ(scan_prepare(st, c, ui), PREPARE_GO);
    EXPECT_EQ(st.outputname, "out");
    EXPECT_EQ(ui.message_count(), 1u);  // the confirmation only
    EXPECT_EQ(st.numpats, 0);
}

TEST_F(ScanSetup, CancelAtConfirmationKeepsCountersAndNewSettings)
{
    c.output = "out";
    c.patterns = "*.txt";
    c.crlf = true;
    dirty_counters();
    ui.script({0});
    EXPECT_EQ(scan_prepare(st, c, ui), PREPARE_CANCELLED);
    EXPECT_EQ(st.numdups, 7);
    EXPECT_STREQ(st.pattern, "*.txt");
    EXPECT_EQ(st.r_flag, 1);
}

TEST_F(ScanSetup, PatternIsReplacedOrDroppedAndCut)
{
    c.output = "out";
    c.patterns = "*.txt";
    scan_prepare(st, c, ui);
    EXPECT_STREQ(st.pattern, "*.txt");
    c.patterns = "";
    scan_prepare(st, c, ui);
    EXPECT_EQ(st.pattern, nullptr);
    c.patterns = std::string(2047, 'a') + "bc";
    scan_prepare(st, c, ui);
    ASSERT_NE(st.pattern, nullptr);
    EXPECT_EQ(strlen(st.pattern), 2047u);
    EXPECT_EQ(std::string(st.pattern), std::string(2047, 'a'));
}

TEST_F(ScanSetup, ActionFlagsAndSummaries)
{
    c.output = "out";
    c.case_insensitive = false;
    c.datestamps = false;

    // Neither action: a plain listing; the sub-options keep their values.
    st.request_flag = 5;
    st.save_flag = 6;
    scan_prepare(st, c, ui);
    EXPECT_EQ(summary_asked(), "LISTING TWINEX ONLY");
    EXPECT_EQ(st.dom_flag, 1);
    EXPECT_EQ(st.m_flag, 0);
    EXPECT_EQ(st.request_flag, 5);
    EXPECT_EQ(st.save_flag, 6);
    EXPECT_EQ(st.i_flag, 0);
    EXPECT_EQ(st.t_flag, 0);

    // Move wins over delete and ignores the sub-options.
    c.move = c.del = true;
    c.request = true;
    c.save = false;
    scan_prepare(st, c, ui);
    EXPECT_EQ(summary_asked(), "MOVING TWINEX to SINKHOLE");
    EXPECT_EQ(st.m_flag, 1);
    EXPECT_EQ(st.dom_flag, 1);
    EXPECT_EQ(st.request_flag, 0);
    EXPECT_EQ(st.save_flag, 1);

    c.move = false;
    scan_prepare(st, c, ui);
    EXPECT_EQ(summary_asked(), "DELETING OLD MODIFIED without Saving");
    EXPECT_EQ(st.dom_flag, -1);
    EXPECT_EQ(st.request_flag, 1);
    EXPECT_EQ(st.save_flag, 0);

    c.save = true;
    c.request = false;
    scan_prepare(st, c, ui);
    EXPECT_EQ(summary_asked(), "DELETING OLD MODIFIED,  SAVING deleted files in SINKHOLE");
    EXPECT_EQ(st.request_flag, 0);
    EXPECT_EQ(st.save_flag, 1);
    EXPECT_EQ(ui.last_message().text, "DELETING OLD MODIFIED,  SAVING deleted files in SINKHOLE\nARE YOU SURE?\n");
}
