#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "tests/support/recording_feedback.h"
#include "tests/support/stub_platform.h"
#include "ui/common/roots.h"

namespace {

struct Roots : ::testing::Test {
    StubPlatform sys;
    RecordingFeedback ui;
    ScanState st{sys, ui};

    std::vector<std::string> roots()
    {
        std::vector<std::string> out;
        for (Node* n = st.dlist.head; n && n->next; n = n->next) {
            const Dnode* d = reinterpret_cast<const Dnode*>(n);
            EXPECT_EQ(d->numfiles, 0);
            out.push_back(d->dname);
        }
        return out;
    }
    AddRootResult add(const char* p) { return add_root(st, native_path(p).c_str()); }
    static std::string N(const char* p) { return native_path(p); }
};

using V = std::vector<std::string>;

// Letter case counts in the duplicate test, in "below a chosen root" and in
// the dropping of sub-roots as the file system counts it: where names ignore
// case, C:\Data and C:\DATA\OLD are one tree, and letting both in would
// collect its files twice; where they keep it, r and R are two directories,
// and merging them would leave files out.
struct CaseRow {
    const char* chosen;
    const char* added;
    AddRootResult ignoring;   // where paths ignore letter case
    AddRootResult keeping;    // where they keep it
};

const CaseRow case_rows[] = {
    {"C:\\Data", "C:\\Data", ROOT_ALREADY_CHOSEN, ROOT_ALREADY_CHOSEN},
    {"C:\\Data", "c:\\dATA", ROOT_ALREADY_CHOSEN, ROOT_ADDED},
    {"r", "R", ROOT_ALREADY_CHOSEN, ROOT_ADDED},
    {"C:", "c:\\data\\old", ROOT_REFUSED, ROOT_ADDED},
    {"r", "R\\sub", ROOT_REFUSED, ROOT_ADDED},
    {"R\\sub", "r", ROOT_ADDED_REPLACING, ROOT_ADDED},
    {"C:\\data\\two\\deeper", "C:\\DATA", ROOT_ADDED_REPLACING, ROOT_ADDED},
};

}  // namespace

TEST_F(Roots, LetterCaseCountsAsTheFileSystemCountsIt)
{
    for (const CaseRow& row : case_rows) {
        SCOPED_TRACE(std::string(row.chosen) + " then " + row.added);
        cleanup(st);
        ASSERT_EQ(add(row.chosen), ROOT_ADDED);
        AddRootResult want = PATHS_IGNORE_CASE ? row.ignoring : row.keeping;
        EXPECT_EQ(add(row.added), want);
        size_t count = want == ROOT_ADDED ? 2u : 1u;
        EXPECT_EQ(roots().size(), count);
    }
}

TEST_F(Roots, DuplicatesAreIgnoredSilently)
{
    EXPECT_EQ(add("C:\\Data"), ROOT_ADDED);
    EXPECT_EQ(add("C:\\Data"), ROOT_ALREADY_CHOSEN);
    EXPECT_EQ(roots(), V{N("C:\\Data")});
    EXPECT_EQ(ui.message_count(), 0u);
    EXPECT_EQ(add_root(st, ""), ROOT_REFUSED);
    EXPECT_EQ(add_root(st, nullptr), ROOT_REFUSED);
    EXPECT_EQ(ui.message_count(), 0u);
}

TEST_F(Roots, PathInsideAChosenRootIsRefused)
{
    ASSERT_EQ(add("C:"), ROOT_ADDED);
    EXPECT_EQ(add("C:\\DATA"), ROOT_REFUSED);
    auto m = ui.last_message();
    EXPECT_EQ(m.kind, COMPLAIN_ERROR);
    EXPECT_EQ(m.title, "twinex");
    EXPECT_EQ(m.text, N("C:\\DATA") + "\nNot added to chosen list.\nIt is a subdirectory of existing choice.");
    EXPECT_EQ(roots(), V{"C:"});
    // A sibling whose name merely starts the same is no subdirectory.
    EXPECT_EQ(add("C:x"), ROOT_ADDED);
}

TEST_F(Roots, ParentReplacesItsSubdirectories)
{
    add("C:\\DATA");
    add("D:\\WORK");
    add("C:\\TEMP\\OLD");
    add("C:\\DATABASE");
    EXPECT_EQ(roots(), (V{N("C:\\DATA"), N("D:\\WORK"), N("C:\\TEMP\\OLD"), N("C:\\DATABASE")}));
    EXPECT_EQ(ui.message_count(), 0u);  // C:\DATABASE is not below C:\DATA

    EXPECT_EQ(add("C:"), ROOT_ADDED_REPLACING);
    EXPECT_EQ(roots(), (V{N("D:\\WORK"), "C:"}));
    ASSERT_EQ(ui.message_count(), 1u);
    EXPECT_EQ(ui.last_message().text, "Subdirectories of\nC:\nhave been removed from chosen list.");
}

TEST_F(Roots, DroppingNeedsTheSeparator)
{
    add("C:\\DATA\\One");
    add("C:\\DATABASE");
    add("C:\\DATA\\two\\deeper");
    EXPECT_EQ(add("C:\\DATA"), ROOT_ADDED_REPLACING);
    EXPECT_EQ(roots(), (V{N("C:\\DATABASE"), N("C:\\DATA")}));
    EXPECT_FALSE(drop_roots_below(st, N("C:\\DATA\\One").c_str()));
}

// A root that already ends with the separator (the Linux root, or a drive
// root written C:\) is not given a second one.
TEST_F(Roots, RootEndingInTheSeparator)
{
    std::string top(1, PATH_SEP);
    std::string a = top + "home", b = top + "var" + PATH_SEP + "log";
    add_root(st, a.c_str());
    add_root(st, b.c_str());
    EXPECT_EQ(add_root(st, top.c_str()), ROOT_ADDED_REPLACING);
    EXPECT_EQ(roots(), V{top});
    EXPECT_EQ(add_root(st, a.c_str()), ROOT_REFUSED);
}

TEST_F(Roots, RemoveTakesTheExactNameAndKeepsOrder)
{
    add("A:\\one");
    add("B:\\two");
    add("C:\\three");
    EXPECT_FALSE(remove_root(st, N("b:\\TWO").c_str()));
    EXPECT_TRUE(remove_root(st, N("B:\\two").c_str()));
    EXPECT_FALSE(remove_root(st, N("B:\\two").c_str()));
    EXPECT_EQ(roots(), (V{N("A:\\one"), N("C:\\three")}));
    EXPECT_TRUE(remove_root(st, N("C:\\three").c_str()));
    EXPECT_TRUE(remove_root(st, N("A:\\one").c_str()));
    EXPECT_EQ(st.dlist.head, TailSentinel(&st.dlist));
    EXPECT_EQ(add("C:\\three"), ROOT_ADDED);
}
