#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>
#include <string>

#include "engine/state.h"
#include "tests/support/recording_feedback.h"
#include "tests/support/stub_platform.h"

namespace {

Dnode* new_root(const char* name)
{
    Dnode* d = static_cast<Dnode*>(calloc(1, sizeof(Dnode)));
    d->dname = makestring(name);
    return d;
}

Fnode* new_file(const char* path)
{
    std::string p = native_path(path);
    return new_fnode(p.c_str(), p.rfind(PATH_SEP) + 1);
}

int count(ListHeader* l)
{
    int n = 0;
    for (Node* p = l->head; p && p->next; p = p->next)
        ++n;
    return n;
}

struct Fixture : ::testing::Test {
    StubPlatform sys;
    RecordingFeedback ui;
};

int freed_indexes = 0;
void count_index_free(NameIndex*) { ++freed_indexes; }

}  // namespace

using State = Fixture;

TEST_F(State, StartsEmpty)
{
    ScanState st(sys, ui);
    EXPECT_EQ(FirstNode(&st.flist), nullptr);
    EXPECT_EQ(FirstNode(&st.dlist), nullptr);
    EXPECT_EQ(std::string(banner_text()).rfind("twinex 1.03 ", 0), 0u);
}

TEST_F(State, MakestringCopiesOnlyRealText)
{
    EXPECT_EQ(makestring(nullptr), nullptr);
    EXPECT_EQ(makestring(""), nullptr);
    const char* src = "C:\\DATA\\report.txt";
    char* copy = makestring(src);
    ASSERT_NE(copy, nullptr);
    EXPECT_NE(copy, src);
    EXPECT_STREQ(copy, src);
    free(copy);
}

// Records, their texts, the pattern and the index are all released, and a
// second cleanup on the emptied state is harmless (ASan watches the frees).
TEST_F(State, CleanupEmptiesEverythingAndCanRepeat)
{
    ScanState st(sys, ui);
    cleanup(st);  // nothing to do
    AddTailNode(&st.dlist, &new_root("C:")->node);
    AddTailNode(&st.dlist, &new_root("D:\\WORK")->node);
    Fnode* f = new_file("C:\\DATA\\report.txt");
    EXPECT_STREQ(f->fname, "report.txt");
    AddTailNode(&st.flist, &f->node);
    AddTailNode(&st.flist, &new_file("C:\\DATA\\OLD\\report.txt")->node);
    Fnode* nopath = static_cast<Fnode*>(calloc(1, sizeof(Fnode)));
    AddTailNode(&st.flist, &nopath->node);
    st.pattern = makestring("*.txt");
    st.index = reinterpret_cast<NameIndex*>(&st);  // any non-null: only handed to index_free
    st.index_free = count_index_free;
    freed_indexes = 0;

    cleanup(st);
    EXPECT_EQ(count(&st.flist), 0);
    EXPECT_EQ(count(&st.dlist), 0);
    EXPECT_EQ(st.flist.head, TailSentinel(&st.flist));
    EXPECT_EQ(st.dlist.prev, HeadSentinel(&st.dlist));
    EXPECT_EQ(st.pattern, nullptr);
    EXPECT_EQ(st.index, nullptr);
    EXPECT_EQ(freed_indexes, 1);

    cleanup(st);
    EXPECT_EQ(freed_indexes, 1);
    EXPECT_EQ(count(&st.flist), 0);
}

// A state that still holds records when it goes away releases them (the
// leak checker fails the run otherwise).
TEST_F(State, DestructorReleasesRecords)
{
    ScanState st(sys, ui);
    AddTailNode(&st.dlist, &new_root("C:")->node);
    AddTailNode(&st.flist, &new_file("C:\\a.txt")->node);
    st.pattern = makestring("*");
}

TEST_F(State, FileAndDirectoryTests)
{
    ScanState st(sys, ui);
    sys.files.insert("data.txt");
    sys.dirs.insert("data");
    EXPECT_EQ(isfile(st, "data.txt"), 1);
    EXPECT_EQ(isfile(st, "data"), 0);
    EXPECT_EQ(isfile(st, "missing"), 0);
    EXPECT_EQ(isdirectory(st, "data"), 1);
    EXPECT_EQ(isdirectory(st, "data.txt"), 0);
    EXPECT_EQ(isdirectory(st, "missing"), 0);
}

TEST_F(State, ProtectedDirectoriesFromTheEnvironment)
{
    sys.env["windir"] = "C:\\WINNT";
    sys.env["SystemRoot"] = "C:\\WINNT";
    ScanState st(sys, ui);
    read_protected_dirs(st);
    EXPECT_EQ(st.windir, "C:\\WINNT");
    EXPECT_EQ(st.systemroot, "C:\\WINNT");
    EXPECT_EQ(st.programfiles, "");  // not set: protects nothing
}

TEST(SameName, FoldsOnlyAsciiLettersWhenAsked)
{
    EXPECT_TRUE(same_name("Report.TXT", "report.txt", 1));
    EXPECT_FALSE(same_name("Report.TXT", "report.txt", 0));
    EXPECT_TRUE(same_name("report.txt", "report.txt", 0));
    EXPECT_FALSE(same_name("report.txt", "report.tx", 1));
    EXPECT_FALSE(same_name("report.tx", "report.txt", 1));
    EXPECT_TRUE(same_name("", "", 1));
    // Only a..z fold: '@' and '`' sit beside the letters, and bytes above
    // 127 (code-page letters) stay as they are.
    EXPECT_FALSE(same_name("@", "`", 1));
    EXPECT_FALSE(same_name("[", "{", 1));
    EXPECT_FALSE(same_name("\xC4.txt", "\xE4.txt", 1));
    EXPECT_TRUE(same_name("\xC4.txt", "\xC4.TXT", 1));
}

TEST_F(State, QuitErrorStopsAndEnds)
{
    ScanState st(sys, ui);
    quit_error(st, "OUT OF MEMORY");
    auto m = ui.last_message();
    EXPECT_EQ(ui.message_count(), 1u);
    EXPECT_EQ(m.kind, COMPLAIN_ERROR);
    EXPECT_EQ(m.title, "twinex");
    EXPECT_EQ(m.text, "OUT OF MEMORY\nQUITTING...\n");
    EXPECT_EQ(m.msg3, std::nullopt);
    EXPECT_EQ(st.abort_flag.load(), 1);
    EXPECT_TRUE(st.fatal);
    EXPECT_EQ(ui.end_requests(), 1);
}

TEST(ComplainText, LinesAndCut)
{
    EXPECT_EQ(complain_text(nullptr, nullptr, nullptr), "");
    EXPECT_EQ(complain_text(nullptr, nullptr, "only"), "only");
    EXPECT_EQ(complain_text("a", "b", nullptr), "a\nb\n");
    EXPECT_EQ(complain_text("a", nullptr, "c"), "a\nc");
    EXPECT_EQ(complain_text("a", "", "c"), "a\n\nc");
    EXPECT_EQ(complain_text("%s%d", nullptr, nullptr), "%s%d\n");  // no format expansion
    std::string longer(3000, 'x');
    std::string t = complain_text("head", longer.c_str(), "tail");
    EXPECT_EQ(t.size(), 2047u);
    EXPECT_EQ(t.substr(0, 5), "head\n");
}

TEST(RecordingFeedbackScript, AnswersInOrderThenDefault)
{
    RecordingFeedback ui;
    ui.script({0, 1});
    ui.set_default_answer(0);
    EXPECT_EQ(ui.Complain(COMPLAIN_ERROR, "twinex", "x", nullptr, nullptr), 0);  // uses no answer
    EXPECT_EQ(ui.Complain(COMPLAIN_OKCANCEL, "twinex", "q1", nullptr, nullptr), 0);
    EXPECT_EQ(ui.Complain(COMPLAIN_RETRYCANCEL, "twinex", "q2", nullptr, nullptr), 1);
    EXPECT_EQ(ui.Complain(COMPLAIN_OKCANCEL, "twinex", "q3", nullptr, nullptr), 0);
    ui.set_field(PF_COLLECT_COUNT, "1");
    ui.set_field(PF_COLLECT_COUNT, "2");
    ui.set_field(PF_FINISHED, "<< FINISHED >>");
    EXPECT_EQ(ui.field(PF_COLLECT_COUNT), "2");
    EXPECT_EQ(ui.field(PF_WRITE_FILE), "");
    EXPECT_EQ(ui.field_texts(PF_COLLECT_COUNT), (std::vector<std::string>{"1", "2"}));
    EXPECT_EQ(ui.field_events().size(), 3u);
    EXPECT_EQ(ui.messages().size(), 4u);
}
