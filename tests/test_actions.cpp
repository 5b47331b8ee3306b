// Move and delete runs over real trees: the reports byte for byte, the
// sinkhole's copies with their names and times, questions, protected
// directories, and one file reached under two names, which must never be
// lost. (Faults in each step: test_fault_matrix; files changing meanwhile:
// test_under_foot.)
#include <algorithm>
#include <cstdio>
#include <fstream>
#include <functional>
#include <map>
#include <random>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "tests/support/golden.h"
#include "tests/support/tree.h"

namespace {

using Lines = std::vector<std::string>;

// Each copy in the sinkhole's notes.txt directory as "name bytes mtime atime".
Lines copies(const TestTree& t)
{
    Lines out;
    for (const std::string& n : t.names("out/twinfiles000.sinkhole/notes.txt")) {
        std::string rel = "out/twinfiles000.sinkhole/notes.txt/" + n;
        FileTimes times = t.times(rel);   // before the copy is read
        out.push_back(n + " " + t.read(rel) + " " + std::to_string(ticks_to_unix(times.write)) + " " +
                      std::to_string(ticks_to_unix(times.access)));
    }
    return out;
}

TEST(Actions, MoveAndDeleteRunsByteForByte)
{
    const struct {
        const char* golden;
        std::function<void(ThreeCopies&)> setup;
        const char* left;   // of a, b and c, the copies still in place
        Lines saved;
    } runs[] = {
        {"move.txt", [](ThreeCopies& f) { f.run.move(), f.run.st.windir = f.t.path("c"); }, "c",
         {"notes000.txt BBBB 3000 3100", "notes001.txt AAA 1000 1100"}},
        {"delete.txt", [](ThreeCopies& f) { f.run.del(false, false); }, "b", {}},
        {"delete_saved.txt", [](ThreeCopies& f) { f.run.del(true, false); }, "b",
         {"notes000.txt CC 2000 2100", "notes001.txt AAA 1000 1100"}},
    };
    for (const auto& c : runs) {
        SCOPED_TRACE(c.golden);
        ThreeCopies f;
        c.setup(f);
        f.run.scan();
        EXPECT_EQ(f.run.report(), golden(c.golden, f.t));
        for (std::string r : {"a", "b", "c"})
            EXPECT_EQ(f.t.exists(r + "/notes.txt"), has(c.left, r)) << r;
        EXPECT_EQ(copies(f.t), c.saved);
        EXPECT_EQ(f.run.fb.message_count(), 0u);
    }
}

TEST(Actions, CopyNamesKeepTheExtensionAfterTheNumber)
{
    TestTree t;
    const std::pair<std::string, Lines> names[] = {{"Makefile", {"Makefile000", "Makefile001"}},
                                                   {"archive.tar.gz", {"archive.tar000.gz", "archive.tar001.gz"}},
                                                   {".profile", {"000.profile", "001.profile"}}};
    for (const auto& n : names) {
        t.file("a/" + n.first, "old", 1000);
        t.file("b/" + n.first, "new", 2000);
    }
    ScanRun run(t);
    run.move();
    run.roots({"a", "b"});
    run.scan();
    for (const auto& n : names) {
        EXPECT_EQ(t.names("out/twinfiles000.sinkhole/" + n.first), n.second);
        EXPECT_EQ(t.read("out/twinfiles000.sinkhole/" + n.first + "/" + n.second[0]), "new");
    }
}

// c is protected and b is kept: only a is asked about, and Cancel keeps it.
TEST(Actions, OnlyFilesThatMayGoAreAskedAbout)
{
    ThreeCopies f;
    f.run.del(true, true);
    f.run.st.systemroot = f.t.path("c");
    f.run.st.programfiles = f.t.path("b");   // the kept file: no mark
    f.run.fb.script({0});
    f.run.scan();
    ASSERT_EQ(f.run.fb.message_count(), 1u);
    RecordingFeedback::Message m = f.run.fb.last_message();
    EXPECT_EQ(m.kind, COMPLAIN_OKCANCEL);
    EXPECT_EQ(m.title + "|" + m.text, "twinex|Do you want to DELETE and SAVE:-\n" + f.t.path("a/notes.txt") + "\n");
    EXPECT_TRUE(has(f.run.report(), "=\n" + f.t.path("b/notes.txt") + "\n<< NOT DELETED - SYSTEMROOT >>" +
                                         f.t.path("c/notes.txt") + "\n" + f.t.path("a/notes.txt") + "\n\n"));
    EXPECT_EQ(f.t.read("a/notes.txt") + f.t.read("c/notes.txt"), "AAACC");
    EXPECT_TRUE(copies(f.t).empty());
}

// The walk cannot tell two names of one file apart; the actions must.
TEST(Actions, OneFileReachedTwiceIsNeverLost)
{
    const char* marks[] = {
        "{b}\n<< NOT DELETED - SAME FILE AS KEPT >>{a}\n",                     // hard link, delete
        "<< FILE MOVED >>{b}\n<< NOT MOVED - SAME FILE AS MOVED >>{a}\n",      // hard link, move
        "{b}\n<< NOT DELETED - SAME FILE AS KEPT >>{a}\n",                     // file link met last, delete
        "{a}\n<< NOT DELETED - CAN'T TELL IT FROM THE KEPT FILE >>{b}\n",      // no identity after collection
    };
    for (int k = 0; k < 4; ++k) {
        SCOPED_TRACE(marks[k]);
        TestTree t;
        t.file("a/x.txt", "only copy", 1000);
        t.dir("b");
        std::error_code ec;
        if (k < 2)
            std::filesystem::create_hard_link(t.path("a/x.txt"), t.path("b/x.txt"), ec);
        else if (k == 2)
            std::filesystem::create_symlink(t.path("a/x.txt"), t.path("b/x.txt"), ec);
        else
            t.file("b/x.txt", "older", 500);
        if (ec)
            continue;   // no such links here
        ScanRun run(t);
        k == 1 ? run.move() : run.del(false, false);
        run.st.follow_links = k == 2;
        run.fp.hide_ids = k == 3;
        run.roots({"a", "b"});
        run.scan();
        std::string lines = marks[k];
        lines.replace(lines.find("{a}"), 3, t.path("a/x.txt"));
        lines.replace(lines.find("{b}"), 3, t.path("b/x.txt"));
        EXPECT_TRUE(has(run.report(), "=\n" + lines + "\n")) << run.report();
        EXPECT_EQ(t.read("a/x.txt"), "only copy");
        EXPECT_EQ(t.names("out/twinfiles000.sinkhole/x.txt").size(), k == 1 ? 1u : 0u) << "copied twice";
    }
}

// A question waits for no batch: when it is asked, the copies before it are
// on the disk and their originals gone. ABORT completes the batch in hand,
// then the run stops.
TEST(Actions, ABatchEndsAtEachQuestionAndAtAbort)
{
    ThreeCopies asked;
    asked.run.del(true, true);
    asked.run.fp.other_volume(asked.t.path("out"));
    asked.run.fb.script({1, 1});
    bool done_before = false;
    int questions = 0;
    asked.run.fb.on_complain([&](const RecordingFeedback::Message&) {
        if (++questions == 2)
            done_before = !asked.t.exists("c/notes.txt") && copies(asked.t).size() == 1;
    });
    asked.run.scan();
    EXPECT_EQ(questions, 2);
    EXPECT_TRUE(done_before) << "the first answer's file was still waiting at the second question";

    ThreeCopies stopped;
    stopped.run.move();
    stopped.run.fp.other_volume(stopped.t.path("out"));
    stopped.run.fp.before(FaultOp::OpenFileAt, 2, [&] { stopped.run.st.abort_flag = 1; });
    stopped.run.scan();
    EXPECT_EQ(stopped.run.st.numdeleted, 2);
    EXPECT_FALSE(stopped.t.exists("b/notes.txt") || stopped.t.exists("c/notes.txt"));
    EXPECT_EQ(stopped.t.read("a/notes.txt"), "AAA");
    EXPECT_TRUE(has(stopped.run.report(), "<< FILE MOVED >>" + stopped.t.path("c/notes.txt") + "\n"));
    EXPECT_EQ(copies(stopped.t).size(), 2u);
}

// A copy name taken by someone else between its choice and the copy keeps
// their file; the copy fails with its reason and the file stays.
TEST(Actions, ACopyNameTakenMeanwhileKeepsItsFile)
{
    ThreeCopies f;
    f.run.move();
    f.run.fp.other_volume(f.t.path("out"));
    std::string taken;
    f.run.fp.before(FaultOp::CopyToNew, 1, [&] {
        taken = f.run.fp.last(FaultOp::CopyToNew).to;
        std::ofstream(taken, std::ios::binary) << "theirs";
    });
    f.run.scan();
    EXPECT_EQ(TestTree::read_path(taken), "theirs");
    EXPECT_TRUE(has(f.run.report(), f.t.path("b/notes.txt") + "\n<< COPY TO SINKHOLE FAILED: ERROR:   can't copy"))
        << f.run.report();
    EXPECT_EQ(f.t.read("b/notes.txt"), "BBBB");
}

std::vector<std::string> sorted_lines(const std::string& text)
{
    std::vector<std::string> out;
    for (size_t at = 0, end; at < text.size(); at = end + 1) {
        end = std::min(text.find('\n', at), text.size());
        out.push_back(text.substr(at, end - at));
    }
    std::sort(out.begin(), out.end());
    return out;
}

// A library (a reference root inside the root "photos") and a card. Each
// name: a reference copy newer, older and equal in time to the outside
// ones; two reference copies and an outside one; reference copies alone;
// no reference copy.
const struct {
    const char *rel, *bytes;
    int64_t mtime;
} LIBRARY[] = {
    {"photos/lib/new.jpg", "N1", 3000}, {"card/new.jpg", "N2", 1000},
    {"photos/lib/old.jpg", "O1", 1000}, {"card/old.jpg", "O2", 3000}, {"photos/old.jpg", "O3", 2000},
    {"photos/lib/same.jpg", "S1", 2000}, {"card/same.jpg", "S1", 2000},
    {"photos/lib/a/two.jpg", "T1", 2000}, {"photos/lib/b/two.jpg", "T2", 1000}, {"card/two.jpg", "T1", 3000},
    {"photos/lib/a/only.jpg", "A", 1000}, {"photos/lib/b/only.jpg", "B", 2000},
    {"card/none.jpg", "X", 1000}, {"photos/none.jpg", "Y", 2000},
};

// Whatever the run, every reference copy stays as it was, and so does every
// file of a group without one; the other copies go, unless their bytes
// differ from the newest reference copy's under --same-content.
TEST(Reference, ReferenceCopiesStayAndOnlyTheirGroupsAreActedOn)
{
    const struct {
        const char* golden;   // null: the disk alone is checked
        std::function<void(ScanRun&)> setup;
        const char* left;     // outside copies still in place, besides the groups without a reference copy
    } runs[] = {
        {"reference_delete.txt", [](ScanRun& r) { r.del(false, false); }, ""},
        {"reference_move.txt", [](ScanRun& r) { r.move(); }, ""},
        {nullptr, [](ScanRun& r) { r.del(true, false); }, ""},
        {nullptr, [](ScanRun& r) { r.del(false, false), r.st.extra.same_content = true; },
         "card/new.jpg card/old.jpg photos/old.jpg"},
        {nullptr, [](ScanRun& r) { r.del(false, false), r.st.extra.trash = PATH_SEP == '/'; }, ""},
    };
    for (const auto& c : runs) {
        SCOPED_TRACE(c.golden ? c.golden : "");
        TestTree t;
        DataHome home(t);
        for (const auto& f : LIBRARY)
            t.file(f.rel, f.bytes, f.mtime);
        ScanRun run(t);
        c.setup(run);
        run.roots({"photos", "card"});
        run.root("photos/lib", true);
        run.scan();
        // Groups and files follow the order the listings give: their lines are compared as sets.
        EXPECT_EQ(sorted_lines(run.report()), sorted_lines(c.golden ? golden(c.golden, t) : run.report()));
        for (const auto& f : LIBRARY) {
            std::string rel = f.rel;
            bool stays = has(rel, "/lib/") || has(rel, "none") || has(c.left, rel);
            EXPECT_EQ(t.exists(rel) && t.read(rel) == f.bytes, stays) << rel;
        }
        EXPECT_EQ(run.st.numfaults, 0);
    }
}

// A library reached through links from an outside root, with and without
// -L, and a listed file that a link leads into a part of the library the
// walk left out (-x): each of its files stays a reference copy, never
// taken for an outside one by the path it was reached under.
TEST(Reference, NoLinkOrListMakesAReferenceCopyAnOutsideOne)
{
    if (PATH_SEP != '/')
        GTEST_SKIP() << "directory links are not made here on Windows";
    for (bool follow : {false, true}) {
        TestTree t;
        for (const char* rel : {"lib/x.jpg", "lib/y.jpg", "lib/private/y.jpg"})
            t.file(rel, "library", 1000);
        t.file("card/x.jpg", "card", 3000);
        t.file("card/y.jpg", "card", 3000);
        std::filesystem::create_directory_symlink("../lib", t.path("card/tolib"));
        std::filesystem::create_directory_symlink("../lib/private", t.path("card/toprivate"));
        std::filesystem::create_symlink("../lib/x.jpg", t.path("card/link.jpg"));
        // a link to a file is taken only with -L (and then, found by the walk)
        std::FILE* list = input_with(t.path("card/toprivate/y.jpg") + "\n" + t.path("card/link.jpg") + "\n");
        ScanRun run(t);
        run.del(false, false);
        run.st.follow_links = follow;
        run.st.extra.excludes = {"private"};
        run.st.extra.list = list;
        run.root("card");
        run.root("lib", true);
        run.scan();
        std::fclose(list);
        EXPECT_TRUE(has(run.report(), "<< NOT DELETED - REFERENCE >>" + t.path("card/toprivate/y.jpg") + "\n"))
            << run.report();
        for (const char* rel : {"lib/x.jpg", "lib/y.jpg", "lib/private/y.jpg"})
            EXPECT_EQ(t.read(rel), "library") << rel;
        EXPECT_FALSE(t.exists("card/x.jpg") || t.exists("card/y.jpg"));
        EXPECT_EQ(run.st.counts.files, 5);
        EXPECT_EQ(run.st.numrefused, follow ? 0 : 1);
    }
}

// Random trees with two reference roots, one of them inside a root, under
// every kind of run: no reference copy is ever touched; of the other files
// those of a group without a reference copy stay, the rest leave (but for
// --same-content, which may keep them).
TEST(Reference, RandomTreesNoReferenceCopyIsEverTouched)
{
    const std::function<void(ScanRun&)> kinds[] = {
        [](ScanRun& r) { r.move(); },
        [](ScanRun& r) { r.del(false, false); },
        [](ScanRun& r) { r.del(true, false); },
        [](ScanRun& r) { r.del(false, false), r.st.extra.same_content = true; },
        [](ScanRun& r) { r.del(false, false), r.st.extra.trash = PATH_SEP == '/'; },
    };
    for (unsigned seed = 1; seed <= 10; ++seed) {
        std::mt19937 rng(seed);
        TestTree t;
        DataHome home(t);
        std::map<std::string, std::string> made;   // path: bytes
        std::map<std::string, int> reference;      // name: reference copies
        for (int i = 0; i < 40; ++i) {
            std::string rel = rng() % 4 ? std::string("r") + char('0' + rng() % 3) : "r0/ref";
            for (unsigned k = rng() % 3; k > 0; --k)
                rel += "/d" + std::to_string(rng() % 2);
            std::string name = "n" + std::to_string(rng() % 10) + ".txt";
            if (made.emplace(rel + "/" + name, std::string(1, char('a' + rng() % 2))).second) {
                t.file(rel + "/" + name, made[rel + "/" + name], 1000 + int64_t(rng() % 3));
                reference[name] += rel.compare(0, 2, "r2") == 0 || rel.compare(0, 6, "r0/ref") == 0;
            }
        }
        ScanRun run(t);
        kinds[seed % 5](run);
        run.roots({"r0", "r1"});
        run.root("r2", true);
        run.root("r0/ref", true);
        run.scan();
        SCOPED_TRACE("seed " + std::to_string(seed));
        for (const auto& m : made) {
            std::string name = m.first.substr(m.first.rfind('/') + 1);
            bool is_ref = m.first.compare(0, 2, "r2") == 0 || m.first.compare(0, 6, "r0/ref") == 0;
            bool stays = is_ref || !reference[name], as_made = t.exists(m.first) && t.read(m.first) == m.second;
            EXPECT_TRUE(stays ? as_made : run.st.extra.same_content || !t.exists(m.first)) << m.first;
        }
        EXPECT_EQ(run.st.numfaults, 0);
    }
}

}  // namespace
