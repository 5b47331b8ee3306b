// The drive-and-directory chooser against a fake window and fake drives:
// the drive rows, browsing down and up, choosing roots without duplicates or
// nesting, removing them, the output box and the refusals.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "engine/state.h"
#include "tests/support/fake_window.h"
#include "tests/support/recording_feedback.h"
#include "ui/common/chooser.h"

namespace {

using Rows = std::vector<std::string>;

const char* const kA = "A:  [ REMOVABLE DRIVE ] <UNAVAILABLE>";
const char* const kC = "C:  [ FIXED DRIVE ]";
const char* const kD = "D:  [ CDROM DRIVE ]";

class ChooserTest : public ::testing::Test {
protected:
    DrivePlatform sys;
    RecordingFeedback fb;
    ScanState st{sys, fb};
    FakeWindow w;
    Chooser c{st, w};

    void SetUp() override
    {
        sys.drives['A'] = {DRIVE_KIND_REMOVABLE, false};
        sys.drives['C'] = {DRIVE_KIND_FIXED, true};
        sys.drives['D'] = {DRIVE_KIND_CDROM, true};
        sys.add_dir(win("C:\\WINNT\\SYSTEM"));
        sys.add_dir(win("C:\\DATA\\OLD"));
        sys.add_dir(win("C:\\DATABASE"));
        sys.add_dir(win("C:\\TEMP\\OLD"));
        sys.add_dir(win("C:\\.config"));
        sys.files.insert(win("C:\\boot.ini"));
        sys.files.insert(win("C:\\WINNT\\win.ini"));
        w.create_main_controls();
        ASSERT_EQ(1, SetChooseData(c));
    }

    void open(const std::string& row)
    {
        ASSERT_TRUE(w.select(MC_CHOOSE, row)) << row;
        HandleMouseClick(c);
    }
    void choose(const std::string& row)
    {
        ASSERT_TRUE(w.select(MC_CHOOSE, row)) << row;
        SelectForScan(c);
    }
    // Opens drive C and then each named directory below it.
    void browse_to(std::initializer_list<const char*> names)
    {
        open(kC);
        for (const char* n : names)
            open(n);
    }
    Rows roots()
    {
        Rows out;
        for (Node* n = st.dlist.head; n && n->next; n = n->next)
            out.push_back(reinterpret_cast<Dnode*>(n)->dname);
        return out;
    }
    Rows sorted(Rows r)
    {
        std::sort(r.begin(), r.end());
        return r;
    }
};

TEST_F(ChooserTest, DriveListShowsEveryDriveInLetterOrderWithKindAndAvailability)
{
    EXPECT_EQ((Rows{kA, kC, kD}), w.rows[MC_CHOOSE]);
    EXPECT_EQ("", w.texts[MC_PATH]);
    EXPECT_EQ(0u, fb.message_count());

    EXPECT_STREQ("REMOVABLE DRIVE", drive_kind_text(DRIVE_KIND_REMOVABLE));
    EXPECT_STREQ("REMOTE DRIVE", drive_kind_text(DRIVE_KIND_REMOTE));
    EXPECT_STREQ("RAMDISK", drive_kind_text(DRIVE_KIND_RAMDISK));
    EXPECT_STREQ("DOES NOT EXIST!", drive_kind_text(DRIVE_KIND_NO_ROOT_DIR));
    EXPECT_STREQ("UNKNOWN DRIVE TYPE", drive_kind_text(DRIVE_KIND_UNKNOWN));
    EXPECT_STREQ("UNKNOWN DRIVE TYPE", drive_kind_text(77));
}

TEST_F(ChooserTest, UnavailableDriveCanNeitherBeOpenedNorChosen)
{
    open(kA);
    EXPECT_EQ(CHOOSE_DRIVES, c.type);
    EXPECT_EQ("", w.texts[MC_PATH]);
    EXPECT_EQ((Rows{kA, kC, kD}), w.rows[MC_CHOOSE]);

    SelectForScan(c);
    SelectForOutput(c, MC_OUTPUT);
    EXPECT_TRUE(roots().empty());
    EXPECT_EQ("", w.texts[MC_OUTPUT]);
    EXPECT_EQ(0u, fb.message_count());
}

TEST_F(ChooserTest, BrowsingListsSubdirectoriesOnlyAndParentWalksBackToTheDrives)
{
    open(kC);
    EXPECT_EQ(CHOOSE_DIRECTORY, c.type);
    EXPECT_EQ("C:", w.texts[MC_PATH]);
    // Files are not listed, "." and ".." are skipped, dot-directories are kept.
    EXPECT_EQ((Rows{".config", "DATA", "DATABASE", "TEMP", "WINNT"}), sorted(w.rows[MC_CHOOSE]));
    EXPECT_EQ(-1, w.selection[MC_CHOOSE]);

    open("WINNT");
    open("SYSTEM");
    EXPECT_EQ(win("C:\\WINNT\\SYSTEM"), w.texts[MC_PATH]);
    EXPECT_TRUE(w.rows[MC_CHOOSE].empty());

    GetParentDirectory(c);
    EXPECT_EQ(win("C:\\WINNT"), w.texts[MC_PATH]);
    EXPECT_EQ((Rows{"SYSTEM"}), w.rows[MC_CHOOSE]);
    GetParentDirectory(c);
    EXPECT_EQ("C:", w.texts[MC_PATH]);
    EXPECT_EQ(5u, w.rows[MC_CHOOSE].size());
    GetParentDirectory(c);
    EXPECT_EQ(CHOOSE_DRIVES, c.type);
    EXPECT_EQ("", w.texts[MC_PATH]);
    EXPECT_EQ((Rows{kA, kC, kD}), w.rows[MC_CHOOSE]);
    GetParentDirectory(c);
    EXPECT_EQ(CHOOSE_DRIVES, c.type);
    EXPECT_EQ((Rows{kA, kC, kD}), w.rows[MC_CHOOSE]);
    EXPECT_EQ(0u, fb.message_count());
}

TEST_F(ChooserTest, UnreadableDirectorySaysSoInThePathBox)
{
    sys.unreadable.insert(win("C:\\TEMP"));
    browse_to({"TEMP"});
    EXPECT_EQ(win("C:\\TEMP") + " <UNREADABLE>", w.texts[MC_PATH]);
    EXPECT_TRUE(w.rows[MC_CHOOSE].empty());
    EXPECT_EQ(0, SetChooseData(c));   // REFRESH tries the directory again
    EXPECT_EQ(win("C:\\TEMP") + " <UNREADABLE>", w.texts[MC_PATH]);
    sys.unreadable.clear();
    EXPECT_EQ(1, SetChooseData(c));
    EXPECT_EQ(win("C:\\TEMP"), w.texts[MC_PATH]);
    EXPECT_EQ((Rows{"OLD"}), w.rows[MC_CHOOSE]);
    sys.unreadable.insert(win("C:\\TEMP\\OLD"));
    open("OLD");
    GetParentDirectory(c);   // up from the marked directory
    EXPECT_EQ(win("C:\\TEMP"), w.texts[MC_PATH]);
    EXPECT_EQ(0u, fb.message_count());
}

TEST_F(ChooserTest, OutputTakesTheSelectedDirectoryOrDrive)
{
    ASSERT_TRUE(w.select(MC_CHOOSE, kD));
    SelectForOutput(c, MC_OUTPUT);
    EXPECT_EQ("D:", w.texts[MC_OUTPUT]);

    browse_to({"DATA"});
    ASSERT_TRUE(w.select(MC_CHOOSE, "OLD"));
    SelectForOutput(c, MC_OUTPUT);
    EXPECT_EQ(win("C:\\DATA\\OLD"), w.texts[MC_OUTPUT]);
    EXPECT_TRUE(roots().empty());
}

// In another letter case it is the same root only where paths ignore case.
TEST_F(ChooserTest, SameRootTwiceIsKeptOnce)
{
    open(kC);
    choose("DATA");
    choose("DATA");
    sys.add_dir(win("C:\\data"));
    ASSERT_EQ(1, SetChooseData(c));
    choose("data");
    Rows want = PATHS_IGNORE_CASE ? Rows{win("C:\\DATA")} : Rows{win("C:\\DATA"), win("C:\\data")};
    EXPECT_EQ(want, roots());
    EXPECT_EQ(want, w.rows[MC_CHOSEN]);
    EXPECT_EQ(0u, fb.message_count());
}

TEST_F(ChooserTest, RootInsideAChosenDriveIsRefused)
{
    choose(kC);
    open(kC);
    choose("DATA");
    EXPECT_EQ((Rows{"C:"}), roots());
    EXPECT_EQ((Rows{"C:"}), w.rows[MC_CHOSEN]);
    ASSERT_EQ(1u, fb.message_count());
    auto m = fb.last_message();
    EXPECT_EQ("twinex", m.title);
    EXPECT_EQ(win("C:\\DATA"), m.msg1.value_or(""));
    EXPECT_EQ("Not added to chosen list.", m.msg2.value_or(""));
    EXPECT_EQ("It is a subdirectory of existing choice.", m.msg3.value_or(""));
}

TEST_F(ChooserTest, ChoosingADriveDropsTheRootsBelowItAndSaysSo)
{
    browse_to({"TEMP"});
    choose("OLD");
    GetParentDirectory(c);
    choose("DATA");
    choose("DATABASE");   // not below C:\DATA: the separator counts
    ASSERT_EQ((Rows{win("C:\\TEMP\\OLD"), win("C:\\DATA"), win("C:\\DATABASE")}), roots());
    EXPECT_EQ(0u, fb.message_count());

    GetParentDirectory(c);
    choose(kD);
    Rows chosen_when_told;
    fb.on_complain([&](const RecordingFeedback::Message&) { chosen_when_told = w.rows[MC_CHOSEN]; });
    choose(kC);
    EXPECT_EQ((Rows{"D:", "C:"}), chosen_when_told);   // the box comes after the list is rebuilt
    EXPECT_EQ((Rows{"D:", "C:"}), roots());
    EXPECT_EQ((Rows{"D:", "C:"}), w.rows[MC_CHOSEN]);
    ASSERT_EQ(1u, fb.message_count());
    auto m = fb.last_message();
    EXPECT_EQ("Subdirectories of", m.msg1.value_or(""));
    EXPECT_EQ("C:", m.msg2.value_or(""));
    EXPECT_EQ("have been removed from chosen list.", m.msg3.value_or(""));
}

TEST_F(ChooserTest, DoubleClickOnAChosenRootRemovesItKeepingTheOthersInOrder)
{
    open(kC);
    choose("WINNT");
    choose("DATA");
    choose("TEMP");
    ASSERT_TRUE(w.select(MC_CHOSEN, win("C:\\DATA")));
    DeleteItem(c);
    EXPECT_EQ((Rows{win("C:\\WINNT"), win("C:\\TEMP")}), roots());
    EXPECT_EQ((Rows{win("C:\\WINNT"), win("C:\\TEMP")}), w.rows[MC_CHOSEN]);
    EXPECT_EQ(-1, w.selection[MC_CHOSEN]);

    DeleteItem(c);   // nothing selected now
    EXPECT_EQ(2u, roots().size());
    EXPECT_EQ(0u, fb.message_count());
}

TEST_F(ChooserTest, PathsBeyondTheChooserLimitAreRefusedWithAMessage)
{
    // A directory whose path is exactly 260 characters can be opened; one
    // more level cannot, and its subdirectory cannot be chosen either.
    std::string base = win("C:\\DATA\\");
    std::string deep = base + std::string(CHOOSER_PATH - base.size(), 'x');
    ASSERT_EQ(260u, deep.size());
    sys.add_dir(deep + PATH_SEP + "y");
    sys.short_stat = true;   // "y" is listed although its path is too long to query
    browse_to({"DATA"});
    open(std::string(CHOOSER_PATH - base.size(), 'x'));
    EXPECT_EQ(deep, w.texts[MC_PATH]);
    EXPECT_EQ(0u, fb.message_count());

    open("y");
    EXPECT_EQ(deep, w.texts[MC_PATH]);
    ASSERT_EQ(1u, fb.message_count());
    EXPECT_EQ("PATH TOO LONG", fb.last_message().msg1.value_or(""));
    EXPECT_EQ(deep + PATH_SEP + "y", fb.last_message().msg2.value_or(""));

    ASSERT_TRUE(w.select(MC_CHOOSE, "y"));
    SelectForScan(c);
    SelectForOutput(c, MC_OUTPUT);
    EXPECT_TRUE(roots().empty());
    EXPECT_EQ("", w.texts[MC_OUTPUT]);
    EXPECT_EQ(3u, fb.message_count());
    EXPECT_EQ(COMPLAIN_ERROR, fb.last_message().kind);
}

TEST_F(ChooserTest, RefusingListViewsAreReported)
{
    w.refuse_append_at[MC_CHOOSE] = 1;
    EXPECT_EQ(0, SetChooseData(c));
    EXPECT_EQ((Rows{kA}), w.rows[MC_CHOOSE]);
    auto m = fb.last_message();
    EXPECT_EQ("Initialization of controls failed.", m.msg1.value_or(""));
    EXPECT_EQ(std::string("Can't add ") + kC + " to CHOOSE_W", m.msg2.value_or(""));
    EXPECT_EQ("Maybe not enough memory.", m.msg3.value_or(""));

    w.refuse_append_at.clear();
    w.refuse_clear.insert(MC_CHOOSE);
    EXPECT_EQ(0, SetChooseData(c));
    EXPECT_EQ("Can't clear CHOOSE_W listview window.", fb.last_message().msg1.value_or(""));

    // A new root whose row is refused stays chosen.
    w.refuse_clear.clear();
    ASSERT_EQ(1, SetChooseData(c));
    w.refuse_append_at[MC_CHOSEN] = 0;
    choose(kD);
    EXPECT_EQ((Rows{"D:"}), roots());
    m = fb.last_message();
    EXPECT_EQ("Can't add to chosen list", m.msg1.value_or(""));
    EXPECT_EQ("D:", m.msg2.value_or(""));
}

}  // namespace
