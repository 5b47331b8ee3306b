// Files and directories that change while a scan runs, at chosen moments:
// an older copy modified, replaced, deleted or made read-only between the
// collection and the report, in every kind of run; directories removed
// while the walk is on its way to them or inside them, or that cannot be
// opened; links met below a root, followed or not, and directories reached
// twice; a very deep tree; names with line breaks and with every byte from
// 0x80 to 0xFF.
#include <algorithm>
#include <string>
#include <tuple>
#include <vector>

#include <gtest/gtest.h>

#include "tests/support/trace_platform.h"
#include "tests/support/tree.h"

namespace {

namespace fs = std::filesystem;

bool on_windows()
{
    return PATH_SEP == '\\';
}

bool contains(const std::string& text, const std::string& part)
{
    return text.find(part) != std::string::npos;
}

size_t count_of(const std::string& text, const std::string& part)
{
    size_t n = 0;
    for (size_t at = text.find(part); at != std::string::npos; at = text.find(part, at + part.size()))
        ++n;
    return n;
}

// The contents of every regular file below `dir` (not following links).
std::vector<std::string> contents_below(const std::string& dir)
{
    std::vector<std::string> out;
    std::error_code ec;
    for (fs::recursive_directory_iterator it(dir, ec), end; !ec && it != end; it.increment(ec))
        if (it->is_regular_file(ec) && !it->is_symlink(ec))
            out.push_back(TestTree::read_path(it->path().string()));
    return out;
}

// The names in a directory as the system's own listing gives their bytes.
std::vector<std::string> raw_names(const std::string& dir)
{
    std::vector<std::string> out;
    std::unique_ptr<DirListing> d = system_platform().open_dir(dir.c_str());
    for (const char* n = d ? d->next() : nullptr; n; n = d->next())
        if (std::string(n) != "." && std::string(n) != "..")
            out.push_back(n);
    std::sort(out.begin(), out.end());
    return out;
}

int64_t write_time(const std::string& path)
{
    FileStatus st;
    return system_platform().stat(path.c_str(), &st) ? ticks_to_unix(st.times.write) : -1;
}

// ------------------------------------------ a file changed before the report

enum class Kind { Move, DeleteSaving, Delete };
enum class Change { Modified, Replaced, Deleted, ReadOnly };

const char* const KIND_NAMES[] = {"Move", "DeleteSaving", "Delete"};
const char* const CHANGE_NAMES[] = {"Modified", "Replaced", "Deleted", "ReadOnly"};

void make_change(const TestTree& t, const std::string& rel, Change c)
{
    std::error_code ec;
    switch (c) {
    case Change::Modified: {
        std::ofstream out(t.path(rel), std::ios::binary | std::ios::app);
        out << " and more";
        break;
    }
    case Change::Replaced:
        fs::remove(t.path(rel), ec);
        break;
    case Change::Deleted:
        fs::remove(t.path(rel), ec);
        return;
    case Change::ReadOnly:
        fs::permissions(t.path(rel), fs::perms::owner_write | fs::perms::group_write | fs::perms::others_write,
                        fs::perm_options::remove, ec);
        return;
    }
    if (c == Change::Replaced)
        t.file(rel, "a new file", 5000);
    else
        t.set_times(rel, 5000, 5000);
}

class ChangedBeforeTheReport : public ::testing::TestWithParam<std::tuple<Kind, Change>> {};

// c/notes.txt, an older copy, is changed after collection. A delete run
// removes only what it collected: a changed file is kept and marked. A move
// saves the file as it is now. A read-only file cannot be removed on
// Windows; elsewhere its directory alone decides.
TEST_P(ChangedBeforeTheReport, TheFileAsItIsNowIsKeptOrSavedWhole)
{
    Kind kind = std::get<0>(GetParam());
    Change change = std::get<1>(GetParam());
    TestTree t;
    t.file("a/notes.txt", "AAA", 1000);
    t.file("b/notes.txt", "BBBB", 3000);
    t.file("c/notes.txt", "CC", 2000);
    ScanRun run(t);
    if (kind == Kind::Move)
        run.move();
    else
        run.del(kind == Kind::DeleteSaving, false);
    for (const char* r : {"a", "b", "c"})
        run.root(r);
    std::string now_bytes;
    run.fp.before(FaultOp::CreateNewFile, 1, [&] {
        make_change(t, "c/notes.txt", change);
        now_bytes = t.exists("c/notes.txt") ? t.read("c/notes.txt") : "";
    });
    run.scan();

    std::string c = t.path("c/notes.txt");
    bool del = kind != Kind::Move;
    bool saving = kind != Kind::Delete;
    bool read_only_stays = change == Change::ReadOnly && on_windows();
    std::string line;   // c's file line, and what follows it
    bool removed = false;
    if (change == Change::Deleted) {
        line = del ? "<< NOT DELETED - FILE CHANGED SINCE SCAN >>" + c + "\n"
                   : c + "\n<< COPY TO SINKHOLE FAILED: ERROR:   couldn't open \"" + c + "\" for read, NOT MOVED >>\n";
    } else if (del && change != Change::ReadOnly) {
        line = "<< NOT DELETED - FILE CHANGED SINCE SCAN >>" + c + "\n";
    } else if (read_only_stays) {
        line = "<< NOT DELETED - " + error_text(EACCES) + " >>" + c + "\n";
    } else {
        line = std::string(del ? "<< FILE DELETED >>" : "<< FILE MOVED >>") + c + "\n";
        removed = true;
    }
    std::string report = run.report();
    EXPECT_TRUE(contains(report, "\n" + line)) << report;
    EXPECT_EQ(run.fb.field(PF_FINISHED), "<< FINISHED >>");

    // The other copies go their usual way: the newest is kept by a delete run.
    EXPECT_EQ(t.exists("b/notes.txt"), del);
    EXPECT_FALSE(t.exists("a/notes.txt"));
    EXPECT_EQ(run.st.numdeleted, (del ? 1 : 2) + (removed ? 1 : 0));

    // c's bytes as they were when the report began are in place or saved whole.
    std::vector<std::string> saved = contents_below(t.path("out/twinfiles000.sinkhole"));
    bool copied = std::count(saved.begin(), saved.end(), now_bytes) == 1;
    if (change != Change::Deleted) {
        EXPECT_EQ(t.exists("c/notes.txt"), !removed);
        if (!removed) {
            EXPECT_EQ(t.read("c/notes.txt"), now_bytes);
        }
        EXPECT_EQ(copied, saving && (removed || read_only_stays)) << "copies: " << saved.size();
    }
    if (copied && change != Change::ReadOnly) {
        std::string sink = t.path("out/twinfiles000.sinkhole/notes.txt");
        bool time_kept = false;
        for (const std::string& name : t.names("out/twinfiles000.sinkhole/notes.txt"))
            time_kept = time_kept || (TestTree::read_path(sink + PATH_SEP + name) == now_bytes &&
                                      write_time(sink + PATH_SEP + name) == 5000);
        EXPECT_TRUE(time_kept) << "the copy lost the file's new time";
    }
}

INSTANTIATE_TEST_SUITE_P(AllRuns, ChangedBeforeTheReport,
                         ::testing::Combine(::testing::Values(Kind::Move, Kind::DeleteSaving, Kind::Delete),
                                            ::testing::Values(Change::Modified, Change::Replaced, Change::Deleted,
                                                              Change::ReadOnly)),
                         [](const ::testing::TestParamInfo<std::tuple<Kind, Change>>& info) {
                             return std::string(KIND_NAMES[int(std::get<0>(info.param))]) +
                                    CHANGE_NAMES[int(std::get<1>(info.param))];
                         });

// Written to while its copy is being made: the copy is not taken for a
// saved file, it is removed, and the file stays where it is.
TEST(UnderFoot, FileWrittenWhileItIsCopiedStaysInPlace)
{
    TestTree t;
    t.file("a/notes.txt", "AAA", 1000);
    t.file("b/notes.txt", "BBBB", 3000);
    ScanRun run(t);
    run.move();
    run.root("a");
    run.root("b");
    run.fp.after(FaultOp::CopyFileNew, 1, [&] {   // b/notes.txt, the first of the group
        std::ofstream(t.path("b/notes.txt"), std::ios::binary | std::ios::app) << " and more";
        t.set_times("b/notes.txt", 4000, 4000);
    });
    run.scan();
    std::string b = t.path("b/notes.txt");
    EXPECT_TRUE(contains(run.report(), "=\n" + b + "\n<< COPY TO SINKHOLE FAILED: ERROR:   \"" + b +
                                           "\" changed while it was copied, NOT MOVED >>\n<< FILE MOVED >>"))
        << run.report();
    EXPECT_EQ(t.read("b/notes.txt"), "BBBB and more");
    EXPECT_EQ(contents_below(t.path("out/twinfiles000.sinkhole")), std::vector<std::string>{"AAA"});
    EXPECT_EQ(run.st.numdeleted, 1);
}

// A deletion question can stay open for long: a file changed meanwhile
// (given another time, or rewritten with another size and its old time put
// back), or a kept file that went away meanwhile, keeps the file asked about.
TEST(UnderFoot, ChangeWhileTheQuestionIsOpenKeepsTheFile)
{
    for (const char* changed : {"c/notes.txt", "c/notes.txt rewritten", "b/notes.txt"}) {
        SCOPED_TRACE(changed);
        TestTree t;
        t.file("a/notes.txt", "AAA", 1000);
        t.file("b/notes.txt", "BBBB", 3000);
        t.file("c/notes.txt", "CC", 2000);
        ScanRun run(t);
        run.del(true, true);
        for (const char* r : {"a", "b", "c"})
            run.root(r);
        std::string c = t.path("c/notes.txt");
        run.fb.on_complain([&](const RecordingFeedback::Message& m) {
            if (m.msg2.value_or("") != c)
                return;
            if (std::string(changed) == "b/notes.txt")
                fs::remove(t.path(changed));
            else if (contains(changed, "rewritten"))
                t.file("c/notes.txt", "other", 2000);
            else
                t.set_times(changed, 2500, 2500);
        });
        run.scan();
        EXPECT_TRUE(contains(run.report(), "\n<< NOT DELETED - FILE CHANGED SINCE SCAN >>" + c + "\n")) << run.report();
        EXPECT_EQ(t.read("c/notes.txt"), contains(changed, "rewritten") ? "other" : "CC");
        bool kept_gone = std::string(changed) == "b/notes.txt";
        // Once the kept file is gone, a (asked after c) is no longer asked about.
        EXPECT_EQ(run.fb.messages().size(), kept_gone ? 1u : 2u);
        EXPECT_EQ(t.exists("a/notes.txt"), kept_gone);
        EXPECT_EQ(run.st.numdeleted, kept_gone ? 0 : 1);
    }
}

// ------------------------------------------------- directories going away

struct Walk {
    TestTree t;
    ScanRun run{t};
    TracePlatform trace{run.fp};
    Walk()
    {
        t.file("r/a/x.txt", "a", 1000);
        t.file("r/gone/x.txt", "g", 1500);
        t.file("r/gone/deep/x.txt", "gd", 1600);
        t.file("r/gone/deep/y.txt", "gd", 1600);
        t.file("r/z/x.txt", "z", 2000);
        t.file("r/z/y.txt", "zy", 2000);
        run.st.sys = &trace;
        run.st.t_flag = 1;
        run.root("r");
    }
};

// Removed after its parent listed it, before it was opened: its files are
// not there, it is counted and named with the reason, and everything else
// is collected and counted.
TEST(UnderFoot, DirectoryRemovedBeforeItIsOpenedIsSkippedAndNamed)
{
    Walk w;
    std::error_code ec;
    bool fired = false;
    w.trace.before_path(FaultOp::OpenDir, w.t.path("r/gone") + PATH_SEP, [&] {
        fs::remove_all(w.t.path("r/gone"), ec);
        fired = true;
    });
    w.run.scan();
    ASSERT_TRUE(fired);
    ASSERT_FALSE(ec) << ec.message();
    std::vector<std::string> files = w.run.files();
    std::sort(files.begin(), files.end());
    EXPECT_EQ(files, (std::vector<std::string>{"r/a/x.txt", "r/z/x.txt"}));
    EXPECT_EQ(w.run.st.numfiles, 3);
    EXPECT_EQ(w.run.fb.message_count(), 0u);
    EXPECT_EQ(w.run.st.numunread, 1);
    EXPECT_EQ(w.run.fb.walk_errors(), std::vector<std::string>{w.t.path("r/gone") + ": " + error_text(ENOENT)});
    EXPECT_EQ(w.run.fb.field(PF_FINISHED), "<< FINISHED >>");
}

// A directory the system refuses to open, and a root that cannot be read:
// each is counted and named with the system's reason.
TEST(UnderFoot, DirectoryThatCannotBeOpenedIsNamed)
{
    Walk w;
    w.run.root("r/none");
    w.run.fp.fail(FaultOp::OpenDir, 2, EACCES);   // the first directory below r
    w.run.scan();
    EXPECT_EQ(w.run.st.numunread, 2);
    std::vector<std::string> errors = w.run.fb.walk_errors();
    ASSERT_EQ(errors.size(), 2u);
    EXPECT_TRUE(contains(errors[0], w.t.path("r") + PATH_SEP)) << errors[0];
    EXPECT_TRUE(contains(errors[0], ": " + error_text(EACCES))) << errors[0];
    EXPECT_EQ(errors[1], w.t.path("r/none") + ": " + error_text(ENOENT));
    EXPECT_EQ(w.run.fb.field(PF_FINISHED), "<< FINISHED >>");
}

// Removed while the walk is inside it, after its first entry: what was
// collected before stays listed, files that are gone get the datestamp
// failure line, a move saves what is still there, and the walk goes on with
// the rest of the tree.
TEST(UnderFoot, DirectoryRemovedWhileItIsWalkedLeavesTheRestIntact)
{
    for (bool move : {false, true}) {
        SCOPED_TRACE(move ? "move run" : "listing run");
        Walk w;
        if (move)
            w.run.move();
        std::error_code ec;
        std::string gone = w.t.path("r/gone") + PATH_SEP;
        int entries = 0;
        bool fired = false;
        w.trace.before_match(
            FaultOp::EntryStatus,
            [&](const std::string& p) {   // the second entry of the directory itself
                bool direct = p.compare(0, gone.size(), gone) == 0 && p.find(PATH_SEP, gone.size()) == std::string::npos;
                return direct && ++entries == 2;
            },
            [&] {
                fs::remove_all(w.t.path("r/gone"), ec);
                fired = true;
            });
        w.run.scan();
        ASSERT_TRUE(fired);
        if (ec)
            GTEST_SKIP() << "this system keeps a directory that is being listed: " << ec.message();
        std::string report = w.run.report();
        int from_gone = 0;
        for (const std::string& rel : w.run.files()) {
            SCOPED_TRACE(rel);
            std::string p = w.t.path(rel);
            if (rel.compare(0, 7, "r/gone/") == 0) {
                ++from_gone;
                EXPECT_TRUE(contains(report, "\n" + p + "\n" +
                                                 (move ? "<< COPY TO SINKHOLE FAILED: ERROR:   couldn't open \"" + p +
                                                             "\" for read, NOT MOVED >>\n"
                                                       : std::string()) +
                                                 "<<<<<<== Can't get the datestamp of this file ==>>>>>>\n\n"))
                    << report;
            } else {
                EXPECT_TRUE(contains(report, "\n" + std::string(move ? "<< FILE MOVED >>" : "") + p + "\n  CREATED: "))
                    << report;
            }
        }
        EXPECT_GE(from_gone, 1) << "the directory's first entry was collected";
        EXPECT_LT(from_gone, 3) << "entries after the removal were collected";
        for (const char* rel : {"r/a/x.txt", "r/z/x.txt"})
            EXPECT_EQ(w.t.exists(rel), !move) << rel;
        EXPECT_EQ(w.run.fb.field(PF_FINISHED), "<< FINISHED >>");
    }
}

// ------------------------------------------------------------ links

// Links met below a root: to a file outside, to a directory outside, into
// the tree, in circles, to themselves and nowhere. Without following, only
// the real files are collected; with it, the targets are too, and each
// directory is walked once however often it is reached, so no file is
// listed twice.
TEST(UnderFoot, LinksAreFollowedOnlyWhenAskedAndEachDirectoryIsWalkedOnce)
{
    if (on_windows())
        GTEST_SKIP() << "directory links are not made here on Windows";
    for (bool follow : {false, true}) {
        SCOPED_TRACE(follow ? "following links" : "not following links");
        TestTree t;
        t.file("r/a/x.txt", "older", 1000);
        t.file("r/b/x.txt", "newer", 2000);
        t.file("r/c/y.txt", "c", 3000);
        t.file("ext/y.txt", "outside", 500);
        t.file("ext/sub/y.txt", "below outside", 400);
        std::error_code ec;
        fs::create_directory_symlink("../b", t.path("r/a/tob"), ec);
        fs::create_directory_symlink("../a", t.path("r/b/toa"), ec);
        fs::create_directory_symlink(".", t.path("r/a/self"), ec);
        fs::create_symlink("loop2", t.path("r/b/loop1"), ec);
        fs::create_symlink("loop1", t.path("r/b/loop2"), ec);
        fs::create_symlink("../../ext/y.txt", t.path("r/c/link.txt"), ec);
        fs::create_directory_symlink("../../ext/sub", t.path("r/c/out"), ec);
        ASSERT_FALSE(ec) << ec.message();
        for (bool kinds : {false, true}) {   // listings that tell links apart, and those that do not
            ScanRun run(t, kinds);
            run.st.follow_links = follow;
            run.root("r");
            run.scan();
            ASSERT_EQ(run.fb.field(PF_FINISHED), "<< FINISHED >>");
            std::vector<std::string> files = run.files();
            std::sort(files.begin(), files.end());
            // r/a or r/b may first be reached through the other's link, as the listing orders them.
            for (std::string& f : files)
                if (f == "r/a/tob/x.txt" || f == "r/b/toa/x.txt")
                    f = f == "r/a/tob/x.txt" ? "r/b/x.txt" : "r/a/x.txt";
            std::sort(files.begin(), files.end());
            if (follow)
                EXPECT_EQ(files, (std::vector<std::string>{"r/a/x.txt", "r/b/x.txt", "r/c/out/y.txt", "r/c/y.txt"}));
            else
                EXPECT_EQ(files, (std::vector<std::string>{"r/a/x.txt", "r/b/x.txt"}));
            EXPECT_EQ(run.st.numfiles, follow ? 5 : 3);   // r/c/link.txt is a file of another name
            EXPECT_EQ(run.st.numunread, 0);
        }
    }
}

// One directory reached twice, here as two roots (through a link on Linux,
// in another letter case on Windows): its files are listed once.
TEST(UnderFoot, DirectoryReachedTwiceIsListedOnce)
{
    TestTree t;
    t.file("r/b/x.txt", "one", 1000);
    t.file("r/b/d/x.txt", "two", 2000);
    std::string second = t.path("r/B");
    if (!on_windows()) {
        std::error_code ec;
        fs::create_directory_symlink("b", t.path("r/lb"), ec);
        ASSERT_FALSE(ec) << ec.message();
        second = t.path("r/lb");
    }
    ScanRun run(t);
    run.del(false, false);
    run.root("r/b");
    run.root_path(second);
    run.scan();
    ASSERT_EQ(run.fb.field(PF_FINISHED), "<< FINISHED >>");
    EXPECT_EQ(run.files(), (std::vector<std::string>{"r/b/d/x.txt", "r/b/x.txt"}));
    EXPECT_EQ(run.st.numfiles, 2);
    EXPECT_EQ(run.st.numdeleted, 1);
    EXPECT_EQ(t.read("r/b/d/x.txt"), "two");
}

// ------------------------------------------------------------ depth

// A file of one name at each of 300 levels: every one is moved, each into
// its own numbered copy, with its bytes and its time.
TEST(UnderFoot, EveryLevelOfAVeryDeepTreeIsMoved)
{
    TestTree t;
    std::string rel = "r";
    std::vector<std::string> rels;
    for (int i = 0; i < 300; ++i) {
        rel += "/d";
        rels.push_back(rel + "/x.txt");
    }
    t.dir(rel);
    if (!t.reachable(rel))
        GTEST_SKIP() << "this system limits the depth";
    for (size_t i = 0; i < rels.size(); ++i)
        t.file(rels[i], "level " + std::to_string(i), 1000 + int64_t(i));
    ScanRun run(t);
    run.move();
    run.root("r");
    run.scan();
    ASSERT_EQ(run.fb.field(PF_FINISHED), "<< FINISHED >>");
    EXPECT_EQ(run.st.numdeleted, 300);
    std::string sink = t.path("out/twinfiles000.sinkhole/x.txt");
    std::vector<std::string> names = t.names("out/twinfiles000.sinkhole/x.txt");
    ASSERT_EQ(names.size(), 300u);
    EXPECT_EQ(names.front(), "x000.txt");
    EXPECT_EQ(names.back(), "x299.txt");
    std::vector<bool> seen(300);
    for (const std::string& name : names) {
        std::string bytes = TestTree::read_path(sink + PATH_SEP + name);
        int level = std::stoi(bytes.substr(6));
        ASSERT_TRUE(level >= 0 && level < 300) << bytes;
        EXPECT_FALSE(seen[size_t(level)]) << "two copies of level " << level;
        seen[size_t(level)] = true;
        EXPECT_EQ(write_time(sink + PATH_SEP + name), 1000 + level);
    }
    std::string report = run.report();
    for (const std::string& r : rels)
        EXPECT_TRUE(contains(report, "\n<< FILE MOVED >>" + t.path(r) + "\n")) << r;
}

// ------------------------------------------------------------ odd names

// A name whose line break would start a line that looks like an outcome:
// the report shows the break escaped, so no line claims a deletion that did
// not happen, while the sinkhole keeps the name's real bytes.
TEST(UnderFoot, LineBreakInANameCannotForgeAReportLine)
{
    if (on_windows())
        GTEST_SKIP() << "file names cannot hold line breaks on Windows";
    TestTree t;
    const std::string name = "n\n<< FILE DELETED >>fake";
    t.file("a/" + name, "older", 1000);
    t.file("b/" + name, "newer", 2000);
    t.file("c/" + name, "oldest", 500);
    ScanRun run(t);
    run.del(true, false);
    run.root("a");
    run.root("b");
    run.root("c");
    run.scan();
    std::string report = run.report();
    std::string shown = "n\\n<< FILE DELETED >>fake";
    EXPECT_TRUE(contains(report, "\n\n" + shown + "\n" + std::string(shown.size(), '=') + "\n" +
                                     t.path("b") + PATH_SEP + shown + "\n"))
        << report;
    EXPECT_EQ(count_of(report, "\n<< FILE DELETED >>"), 2u) << report;
    EXPECT_FALSE(contains(report, "\n<< FILE DELETED >>fake\n")) << report;
    EXPECT_EQ(run.st.numdeleted, 2);
    EXPECT_EQ(t.read("b/" + name), "newer");
    EXPECT_EQ(t.names("out/twinfiles000.sinkhole"), std::vector<std::string>{name});
    std::vector<std::string> saved = contents_below(t.path("out/twinfiles000.sinkhole"));
    std::sort(saved.begin(), saved.end());
    EXPECT_EQ(saved, (std::vector<std::string>{"older", "oldest"}));
}

// Every byte from 0x80 to 0xFF, in names moved into the sinkhole: the
// report shows them unchanged, the underline counts them as bytes, and the
// sinkhole's directory and copies carry the same bytes.
TEST(UnderFoot, HighBytesInNamesAreKeptAsTheyAre)
{
    std::vector<std::string> names;
    for (int start = 0x80; start < 0x100; start += 32) {
        std::string n;
        for (int b = start; b < start + 32; ++b)
            n += char(b);
        names.push_back(n + ".txt");
    }
    TestTree t;
    for (const std::string& n : names) {
        t.file("a/" + n, "a " + n, 1000);
        t.file("b/" + n, "b " + n, 2000);
    }
    ScanRun run(t);
    run.move();
    run.root("a");
    run.root("b");
    run.scan();
    ASSERT_EQ(run.fb.field(PF_FINISHED), "<< FINISHED >>");
    std::string report = run.report();
    EXPECT_EQ(run.st.numdeleted, int32_t(2 * names.size()));
    for (const std::string& n : names) {
        std::string base = n.substr(0, n.size() - 4);
        EXPECT_TRUE(contains(report, "\n\n" + n + "\n" + std::string(n.size(), '=') + "\n<< FILE MOVED >>" +
                                         t.path("b/" + n) + "\n<< FILE MOVED >>" + t.path("a/" + n) + "\n\n"))
            << report;
        std::string dir = "out/twinfiles000.sinkhole/" + n;
        EXPECT_EQ(raw_names(t.path(dir)), (std::vector<std::string>{base + "000.txt", base + "001.txt"}));
        EXPECT_EQ(t.read(dir + "/" + base + "000.txt"), "b " + n);
        EXPECT_EQ(t.read(dir + "/" + base + "001.txt"), "a " + n);
    }
}

}  // namespace
