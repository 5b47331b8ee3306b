// The rules for chosen scan roots, in one table: no duplicates, no root
// inside another, a parent replacing the roots below it, the separator
// counting, and letter case counting as the file system counts it.
#include <gtest/gtest.h>

#include <sstream>
#include <string>

#include "tests/support/recording_feedback.h"
#include "tests/support/stub_platform.h"
#include "ui/common/roots.h"

namespace {

struct Roots : ::testing::Test {
    StubPlatform sys;
    RecordingFeedback ui;
    ScanState st{sys, ui};

    std::string roots()
    {
        std::string out;
        for (Node* n = st.dlist.head; n && n->next; n = n->next)
            out += "|" + std::string(reinterpret_cast<Dnode*>(n)->dname);
        return out;
    }
};

// The chosen roots (each accepted in turn), one more added, and the roots
// then. Where names ignore case, C:\Data and C:\DATA\OLD are one tree, and
// letting both in would collect its files twice, so that a delete run would
// take a file for an older copy of itself; where they keep it, r and R are
// two directories, and merging them would leave files out.
const struct Row {
    const char *chosen, *added;
    AddRootResult ignoring, keeping;  // where paths ignore letter case, where they keep it
    const char *after_ignoring, *after_keeping;
} rows[] = {
    {"|C:\\Data", "C:\\Data", ROOT_ALREADY_CHOSEN, ROOT_ALREADY_CHOSEN, "|C:\\Data", "|C:\\Data"},
    {"|C:\\Data", "", ROOT_REFUSED, ROOT_REFUSED, "|C:\\Data", "|C:\\Data"},
    {"|C:\\Data", "c:\\dATA", ROOT_ALREADY_CHOSEN, ROOT_ADDED, "|C:\\Data", "|C:\\Data|c:\\dATA"},
    {"|C:", "c:\\data\\old", ROOT_REFUSED, ROOT_ADDED, "|C:", "|C:|c:\\data\\old"},
    {"|R\\sub", "r", ROOT_ADDED_REPLACING, ROOT_ADDED, "|r", "|R\\sub|r"},
    {"|C:", "C:\\DATA", ROOT_REFUSED, ROOT_REFUSED, "|C:", "|C:"},
    {"|C:", "C:x", ROOT_ADDED, ROOT_ADDED, "|C:|C:x", "|C:|C:x"},  // a name that merely starts the same
    {"|C:\\", "C:\\DATA", ROOT_REFUSED, ROOT_REFUSED, "|C:\\", "|C:\\"},
    {"|\\home|\\var\\log", "\\", ROOT_ADDED_REPLACING, ROOT_ADDED_REPLACING, "|\\", "|\\"},
    {"|C:\\DATA|D:\\WORK|C:\\TEMP\\OLD|C:\\DATABASE", "C:", ROOT_ADDED_REPLACING, ROOT_ADDED_REPLACING,
     "|D:\\WORK|C:", "|D:\\WORK|C:"},
    {"|C:\\DATA\\One|C:\\DATABASE|C:\\data\\two", "C:\\DATA", ROOT_ADDED_REPLACING, ROOT_ADDED_REPLACING,
     "|C:\\DATABASE|C:\\DATA", "|C:\\DATABASE|C:\\data\\two|C:\\DATA"},
};

}  // namespace

TEST_F(Roots, Rules)
{
    for (const Row& row : rows) {
        SCOPED_TRACE(std::string(row.chosen) + " then " + row.added);
        cleanup(st);
        std::istringstream chosen(row.chosen + 1);
        for (std::string r; std::getline(chosen, r, '|');) ASSERT_EQ(add_root(st, native_path(r).c_str()), ROOT_ADDED);
        ui.clear();
        const std::string added = native_path(row.added);
        const AddRootResult want = PATHS_IGNORE_CASE ? row.ignoring : row.keeping;
        EXPECT_EQ(add_root(st, added.c_str()), want);
        EXPECT_EQ(roots(), native_path(PATHS_IGNORE_CASE ? row.after_ignoring : row.after_keeping));
        // Only a refusal and a replacement are told.
        std::string told;
        if (want == ROOT_ADDED_REPLACING)
            told = "Subdirectories of\n" + added + "\nhave been removed from chosen list.";
        if (want == ROOT_REFUSED && !added.empty())
            told = added + "\nNot added to chosen list.\nIt is a subdirectory of existing choice.";
        EXPECT_EQ(ui.last_message().text, told);
    }
    EXPECT_EQ(add_root(st, nullptr), ROOT_REFUSED);
}

// Removal takes the exact name, whatever the file system's case rule; the
// quiet add drops roots below it without telling.
TEST_F(Roots, RemoveTakesTheExactNameAndKeepsOrder)
{
    for (const char* r : {"A:\\one", "B:\\two", "C:\\three"}) add_root(st, native_path(r).c_str());
    EXPECT_FALSE(remove_root(st, native_path("b:\\TWO").c_str()));
    EXPECT_TRUE(remove_root(st, native_path("B:\\two").c_str()));
    EXPECT_FALSE(remove_root(st, native_path("B:\\two").c_str()));
    EXPECT_EQ(add_root_quiet(st, "A:"), ROOT_ADDED_REPLACING);
    EXPECT_EQ(roots(), native_path("|C:\\three|A:"));
    EXPECT_EQ(ui.message_count(), 0u);
}
