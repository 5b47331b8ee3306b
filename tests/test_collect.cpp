// Collection and grouping over real trees: the order of flist, case folding,
// counting, the pattern, cycles, depth and long paths, aborts, and the indexed
// collection against a plain walk of the list.
#include <list>
#include <random>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "engine/collect.h"
#include "engine/group.h"
#include "match/match.h"
#include "tests/support/fault_platform.h"
#include "tests/support/tree.h"

namespace {

using Names = std::vector<std::string>;

// Runs only the collection of every root, on the test thread.
void collect_all(ScanRun& run)
{
    for (Node* n = FirstNode(&run.st.dlist); n && n->next; n = n->next) {
        Dnode* d = reinterpret_cast<Dnode*>(n);
        get_names(run.st, d->dname, d);
        if (run.st.abort_flag)
            break;
    }
}

std::vector<int> nums(ScanRun& run)
{
    std::vector<int> out;
    for (Node* n = FirstNode(&run.st.flist); n && n->next; n = n->next)
        out.push_back(reinterpret_cast<Fnode*>(n)->num);
    return out;
}

// ------------------------------------------------------------ order of flist

TEST(Collect, NewestFirstThenLaterArrivalsBehindTheFirst)
{
    // Met in the order A (5), B (7), C (7), D (3): C, D, B, A; whether the
    // listing tells the kinds of its entries or each entry's status is read.
    TestTree t;
    t.file("a/x.txt", "A", 5000);
    t.file("b/x.txt", "B", 7000);
    t.file("c/x.txt", "C", 7000);
    t.file("d/x.txt", "D", 3000);
    for (bool kinds : {false, true}) {
        ScanRun run(t, kinds);
        for (const char* r : {"a", "b", "c", "d"})
            run.root(r);
        collect_all(run);
        EXPECT_EQ(run.files(), (Names{"c/x.txt", "d/x.txt", "b/x.txt", "a/x.txt"})) << kinds;

        process_files(run.st);
        EXPECT_EQ(nums(run), (std::vector<int>{0, 1, 2, 3}));
        EXPECT_EQ(run.st.numdups, 1);
    }
}

TEST(Collect, TimesAreReadOnlyForNamesMetTwiceAndOnlyOnce)
{
    TestTree t;
    for (const char* u : {"a/u1", "a/u2", "b/u3", "c/u4"})
        t.file(u, "", 100);
    t.file("a/x", "A", 100);
    t.file("b/x", "B", 300);
    t.file("c/x", "C", 200);
    ScanRun run(t, true);
    for (const char* r : {"a", "b", "c"})
        run.root(r);
    collect_all(run);
    EXPECT_EQ(run.fp.calls(FaultOp::EntryStatus), 2);   // b/x and c/x as they arrive
    EXPECT_EQ(run.fp.calls(FaultOp::Stat), 1);          // a/x once b/x joins it
    process_files(run.st);
    EXPECT_EQ(run.files(), (Names{"b/x", "c/x", "a/x"}));
}

// A file whose status cannot be read when its group forms is left out with
// a warning: ranked by a time nobody knows, it could lead its group, and a
// delete run would then keep it and refuse every older copy.
TEST(Collect, FileWhoseStatusCannotBeReadIsLeftOut)
{
    for (FaultOp failing : {FaultOp::EntryStatus, FaultOp::Stat}) {   // the newcomer b/x, the first a/x
        bool newcomer = failing == FaultOp::EntryStatus;
        SCOPED_TRACE(newcomer ? "newcomer" : "first of its group");
        TestTree t;
        t.file("a/x", "A", 100);
        t.file("b/x", "B", 300);
        t.file("c/x", "C", 200);
        ScanRun run(t, true);
        for (const char* r : {"a", "b", "c"})
            run.root(r);
        run.fp.fail(failing, 1, EIO);
        collect_all(run);
        EXPECT_EQ(run.files(), newcomer ? (Names{"c/x", "a/x"}) : (Names{"b/x", "c/x"}));
        ASSERT_EQ(run.fb.message_count(), 1u);
        RecordingFeedback::Message m = run.fb.last_message();
        EXPECT_EQ(*m.msg1, "WARNING: Can't get datestamp of file");
        EXPECT_EQ(*m.msg2, t.path(newcomer ? "b/x" : "a/x"));
        EXPECT_EQ(run.st.numfiles, 3);
    }
}

TEST(Collect, GroupsStayInOrderOfFirstDiscoveryAndUniqueNamesGo)
{
    TestTree t;
    t.file("a/one", "1", 100);
    t.file("a2/sub/two", "2", 100);
    t.file("b/two", "2b", 200);
    t.file("b/three", "3", 100);
    t.file("c/one", "1c", 50);
    ScanRun run(t);
    for (const char* r : {"a", "a2", "b", "c"})
        run.root(r);
    collect_all(run);
    EXPECT_EQ(run.files(), (Names{"a/one", "c/one", "b/two", "a2/sub/two", "b/three"}));
    process_files(run.st);
    EXPECT_EQ(run.files(), (Names{"a/one", "c/one", "b/two", "a2/sub/two"}));
    EXPECT_EQ(nums(run), (std::vector<int>{0, 1, 0, 1}));
    EXPECT_EQ(run.st.numdups, 2);
    EXPECT_EQ(run.fb.field(PF_PROCESS_COUNT), "2");
}

TEST(Collect, WithoutOrderingNewcomersFollowTheFirstMet)
{
    TestTree t;
    t.file("a/x", "A", 100);
    t.file("b/x", "B", 900);
    t.file("c/x", "C", 500);
    ScanRun run(t);
    run.st.dom_flag = 0;
    for (const char* r : {"a", "b", "c"})
        run.root(r);
    collect_all(run);
    EXPECT_EQ(run.files(), (Names{"a/x", "c/x", "b/x"}));
}

TEST(Collect, LetterCaseFoldsOnlyWhenAsked)
{
    TestTree t;
    t.file("a/Read.Me", "1", 100);
    t.file("b/READ.ME", "2", 200);
    t.file("c/read.me", "3", 300);
    t.file("d/r\xc9" "d.me", "4", 100);   // a byte above 0x7f is never folded
    t.file("e/r\xe9" "d.me", "5", 100);
    {
        ScanRun run(t);
        for (const char* r : {"a", "b", "c", "d", "e"})
            run.root(r);
        run.scan();
        EXPECT_EQ(run.files(), (Names{"c/read.me", "b/READ.ME", "a/Read.Me"}));
        EXPECT_EQ(run.st.numdups, 1);
    }
    {
        ScanRun run(t);
        run.st.i_flag = 0;
        for (const char* r : {"a", "b", "c", "d", "e"})
            run.root(r);
        run.scan();
        EXPECT_TRUE(run.files().empty());
        EXPECT_EQ(run.st.numdups, 0);
        EXPECT_EQ(run.fb.field(PF_PROCESS_COUNT), "0");
    }
}

// ------------------------------------------------------------ counting

TEST(Collect, CountsEveryRegularFilePerRootAndInAll)
{
    TestTree t;
    t.file("a/1", "", 1);
    t.file("a/s/2", "", 1);
    t.file("a/s/t/3", "", 1);
    t.dir("a/empty");
    t.file("b/4", "", 1);
    t.dir("c");
    ScanRun run(t);
    run.root("a");
    run.root("b");
    run.root("c");
    run.root("missing");   // cannot be opened: nothing counted, nothing said
    run.scan();
    std::vector<int> counts;
    for (Node* n = FirstNode(&run.st.dlist); n && n->next; n = n->next)
        counts.push_back(reinterpret_cast<Dnode*>(n)->numfiles);
    EXPECT_EQ(counts, (std::vector<int>{3, 1, 0, 0}));
    EXPECT_EQ(run.st.numfiles, 4);
    EXPECT_EQ(run.st.numpats, 0);
    EXPECT_EQ(run.fb.field(PF_COLLECT_COUNT), "4");
    EXPECT_EQ(run.fb.message_count(), 0u);
}

TEST(Collect, RootWithTrailingSeparatorGetsNoSecondOne)
{
    TestTree t;
    t.file("a/x", "1", 1);
    t.file("b/x", "2", 2);
    ScanRun run(t);
    run.root_path(t.path("a") + PATH_SEP);
    run.root("b");
    collect_all(run);
    ASSERT_EQ(run.files(), (Names{"b/x", "a/x"}));
    Fnode* second = reinterpret_cast<Fnode*>(FirstNode(&run.st.flist)->next);
    EXPECT_EQ(std::string(second->pathname), t.path("a/x"));
    EXPECT_STREQ(second->fname, "x");
}

TEST(Collect, PatternFiltersByTheFilesOwnName)
{
    TestTree t;
    t.file("a/notes.txt", "", 1);
    t.file("a/txt/other.doc", "", 1);
    t.file("b/NOTES.TXT", "", 2);
    t.file("b/c.txt", "", 2);
    ScanRun run(t);
    run.pattern("*.txt");
    run.root("a");
    run.root("b");
    collect_all(run);
    EXPECT_EQ(run.files(), (Names{"b/NOTES.TXT", "a/notes.txt", "b/c.txt"}));
    EXPECT_EQ(run.st.numfiles, 4);
    EXPECT_EQ(run.st.numpats, 3);
}

TEST(Collect, BadPatternStopsTheScanOnTheFirstFileOnly)
{
    uint32_t code = 0;
    ASSERT_TRUE(pattern_error("[abc", &code));
    TestTree t;
    t.dir("empty");
    t.file("a/x", "", 1);
    t.file("a/y", "", 1);
    t.file("b/x", "", 1);
    ScanRun run(t);
    run.pattern("[abc");
    run.root("empty");   // no regular file: no error yet
    run.root("a");
    run.root("b");
    run.scan();
    ASSERT_EQ(run.fb.message_count(), 1u);
    RecordingFeedback::Message m = run.fb.last_message();
    EXPECT_EQ(m.kind, COMPLAIN_ERROR);
    EXPECT_EQ(*m.msg1, std::string("PATTERN ERROR: ") + pattern_errTXT[code]);
    EXPECT_EQ(*m.msg2, "aborting...");
    EXPECT_FALSE(m.msg3);
    EXPECT_EQ(run.st.numfiles, 1);
    EXPECT_EQ(FirstNode(&run.st.flist), nullptr);
    EXPECT_EQ(FirstNode(&run.st.dlist), nullptr);
    EXPECT_EQ(run.st.pattern, nullptr);
    EXPECT_EQ(run.st.hThread, nullptr);
    EXPECT_TRUE(run.st.filename.empty());
    EXPECT_TRUE(run.fb.field_texts(PF_PROCESS_LABEL).empty());
    EXPECT_EQ(run.fb.field(PF_ABORT), "");
}

// ------------------------------------------------------------ cycles, depth, long paths

TEST(Collect, DirectoryLinkIntoItsOwnPathIsNotEnteredAgain)
{
    TestTree t;
    t.file("a/s/x", "1", 1);
    std::error_code ec;
    std::filesystem::create_directory_symlink(t.path("a"), t.path("a/s/back"), ec);
    if (ec)
        GTEST_SKIP() << "no directory links here";
    t.file("b/x", "2", 2);
    ScanRun run(t);
    run.root("a");
    run.root("b");
    run.scan();
    EXPECT_EQ(run.files(), (Names{"b/x", "a/s/x"}));
    EXPECT_EQ(run.st.numfiles, 2);
}

TEST(Collect, DeepTreeIsWalkedToTheBottom)
{
    TestTree t;
    std::string rel = "a";
    for (int i = 0; i < 300; ++i)
        rel += "/d";
    t.dir(rel);
    if (!t.reachable(rel))
        GTEST_SKIP() << "this system limits the depth";
    t.file(rel + "/x", "deep", 2);
    t.file("b/x", "top", 1);
    ScanRun run(t);
    run.root("a");
    run.root("b");
    run.scan();
    EXPECT_EQ(run.files(), (Names{rel + "/x", "b/x"}));
}

TEST(Collect, PathLongerThanTheBufferIsSkippedWithOneWarning)
{
    TestTree t;
    std::string rel = "a";
    std::string part(200, 'n');
    while (t.path(rel).size() < size_t(PATH_BUF) + 300)
        rel += "/" + part;
    t.dir(rel);
    if (!t.reachable(rel))
        GTEST_SKIP() << "this system limits the path length";
    t.file(rel + "/x", "far", 1);
    t.file(rel + "/y", "far", 1);
    t.file("a/x", "near", 2);
    t.file("a/y", "near", 2);
    ScanRun run(t);
    run.root("a");
    run.scan();
    EXPECT_EQ(run.st.numfiles, 2);
    ASSERT_EQ(run.fb.message_count(), 1u);
    EXPECT_EQ(*run.fb.last_message().msg1, "WARNING: Path too long, not scanned");
    EXPECT_TRUE(run.fb.field(PF_FINISHED) == "<< FINISHED >>");
}

// ------------------------------------------------------------ abort

TEST(Collect, AbortDuringCollectionKeepsOnlyCompleteRecords)
{
    TestTree t;
    for (int i = 0; i < 20; ++i)
        t.file("a/s" + std::to_string(i / 7) + "/f" + std::to_string(i % 7), "x", 100 + i);
    t.file("b/f1", "x", 1);
    ScanRun run(t);
    FaultPlatform& fp = run.fp;
    run.root("a");
    run.root("b");
    fp.before(FaultOp::EntryStatus, 11, [&] { run.st.abort_flag = 1; });
    run.scan();
    EXPECT_EQ(run.st.hThread, nullptr);
    EXPECT_LE(run.st.numfiles, 11);
    size_t records = 0;
    for (Node* n = FirstNode(&run.st.flist); n && n->next; n = n->next, ++records)
        EXPECT_EQ(n->next->prev, n);
    EXPECT_LE(records, 10u);
    EXPECT_TRUE(run.fb.field_texts(PF_PROCESS_LABEL).empty());
    EXPECT_EQ(reinterpret_cast<Dnode*>(run.st.dlist.prev)->numfiles, 0);   // root b never reached
}

TEST(Collect, AbortBeforeGroupingLeavesTheListAlone)
{
    TestTree t;
    t.file("a/x", "1", 1);
    t.file("a/y", "1", 1);
    ScanRun run(t);
    run.root("a");
    collect_all(run);
    run.st.abort_flag = 1;
    process_files(run.st);
    EXPECT_EQ(run.files().size(), 2u);
    EXPECT_EQ(run.st.numdups, 0);
}

// ------------------------------------------------------------ against a plain walk

struct Met {
    std::string path;
    std::string name;
    int64_t mtime;
};

// The walk as a plain recursion over the listings.
void plain_walk(Platform& sys, const std::string& dir, std::vector<Met>& out)
{
    std::unique_ptr<DirListing> d = sys.open_dir(dir.c_str());
    if (!d)
        return;
    while (const char* n = d->next()) {
        std::string name = n;
        if (name == "." || name == "..")
            continue;
        std::string p = dir + PATH_SEP + name;
        FileStatus fs;
        if (!sys.stat(p.c_str(), &fs))
            continue;
        if (fs.is_file)
            out.push_back(Met{p, name, fs.times.write});
        else if (fs.is_directory)
            plain_walk(sys, p, out);
    }
}

// The list rule itself: walk from the head to the first equal name; a file
// at least as new goes in front of it, any other directly behind it; a new
// name goes to the end.
std::vector<std::string> plain_order(const std::vector<Met>& met, int i_flag, bool dom)
{
    std::list<Met> l;
    for (const Met& m : met) {
        auto it = l.begin();
        while (it != l.end() && !same_name(it->name.c_str(), m.name.c_str(), i_flag))
            ++it;
        if (it == l.end())
            l.push_back(m);
        else if (dom && !(it->mtime > m.mtime))
            l.insert(it, m);
        else
            l.insert(std::next(it), m);
    }
    std::vector<std::string> out;
    for (const Met& m : l)
        out.push_back(m.path);
    return out;
}

void random_tree(TestTree& t, std::mt19937& rng, int files)
{
    static const char* const stems[] = {"a", "A", "b", "readme", "README", "ReadMe", "x.txt",
                                        "X.TXT", "c", "d", "e", "f", "g", "Makefile", "z"};
    for (int i = 0; i < files; ++i) {
        std::string rel = "r" + std::to_string(rng() % 3);
        int depth = int(rng() % 4);
        for (int k = 0; k < depth; ++k)
            rel += "/sub" + std::to_string(rng() % 3);
        std::string name = stems[rng() % (sizeof stems / sizeof *stems)];
        if (rng() % 3 == 0)
            name += std::to_string(rng() % 40);
        t.file(rel + "/" + name, "", 1000 + int64_t(rng() % 4));   // many equal times
    }
}

TEST(Collect, IndexedCollectionMatchesAPlainWalkOfTheList)
{
    for (unsigned seed = 1; seed <= 4; ++seed) {
        std::mt19937 rng(seed);
        TestTree t;
        random_tree(t, rng, 150);
        std::vector<Met> met;
        for (const char* r : {"r0", "r1", "r2"})
            plain_walk(system_platform(), t.path(r), met);
        for (int i_flag = 0; i_flag <= 1; ++i_flag) {
            for (int dom = 0; dom <= 1; ++dom) {
                ScanRun run(t, (seed + unsigned(dom)) % 2 == 0);   // kinds told by the listing or not
                if (i_flag == dom)   // the system's own listings, which open and query below themselves
                    run.st.sys = &system_platform();
                run.st.i_flag = i_flag;
                run.st.dom_flag = static_cast<signed char>(dom);
                for (const char* r : {"r0", "r1", "r2"})
                    run.root(r);
                collect_all(run);
                std::vector<std::string> got;
                for (Node* n = FirstNode(&run.st.flist); n && n->next; n = n->next)
                    got.push_back(reinterpret_cast<Fnode*>(n)->pathname);
                EXPECT_EQ(got, plain_order(met, i_flag, dom != 0))
                    << "seed " << seed << " i_flag " << i_flag << " dom " << dom;
            }
        }
    }
}

TEST(Collect, ManyNamesGrowTheIndexWithoutLosingAGroup)
{
    TestTree t;
    for (int i = 0; i < 3000; ++i)
        t.file("a/n" + std::to_string(i), "", 10);
    for (int i = 0; i < 3000; i += 3)
        t.file("b/N" + std::to_string(i), "", 20);
    ScanRun run(t);
    run.root("a");
    run.root("b");
    run.scan();
    EXPECT_EQ(run.st.numfiles, 4000);
    EXPECT_EQ(run.st.numdups, 1000);
    Names f = run.files();
    ASSERT_EQ(f.size(), 2000u);
    for (size_t i = 0; i < f.size(); i += 2) {
        EXPECT_EQ(f[i].substr(0, 3), "b/N");
        EXPECT_EQ(f[i + 1].substr(0, 3), "a/n");
        EXPECT_EQ(f[i].substr(3), f[i + 1].substr(3));
    }
}

// ------------------------------------------------------------ protected directories

TEST(Collect, ProtectedIsAPlainPrefixTestInOrder)
{
    RecordingFeedback fb;
    ScanState st(system_platform(), fb);
    EXPECT_EQ(is_protected(st, "C:\\WINDOWS\\X.DLL"), nullptr);
    st.windir = "C:\\WINDOWS";
    st.systemroot = "C:\\WINDOWS";
    st.programfiles = "C:\\Program Files";
    EXPECT_STREQ(is_protected(st, "C:\\WINDOWS\\SYSTEM\\X.DLL"), "WINDIR");
    EXPECT_STREQ(is_protected(st, "C:\\WINDOWSOLD\\X.DLL"), "WINDIR");
    EXPECT_EQ(is_protected(st, "c:\\windows\\x.dll"), nullptr);
    EXPECT_STREQ(is_protected(st, "C:\\Program Files\\a"), "PROGRAMFILES");
    st.windir.clear();
    EXPECT_STREQ(is_protected(st, "C:\\WINDOWS\\X.DLL"), "SYSTEMROOT");
}

}  // namespace
