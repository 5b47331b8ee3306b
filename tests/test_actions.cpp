// Move and delete runs over real trees: the reports byte for byte, the
// sinkhole's copies with their names and times, questions, protected
// directories, and one file reached under two names, which must never be
// lost. (Faults in each step: test_fault_matrix; files changing meanwhile:
// test_under_foot.)
#include <fstream>
#include <functional>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "tests/support/golden.h"
#include "tests/support/tree.h"

namespace {

using Lines = std::vector<std::string>;

bool has(const std::string& text, const std::string& part)
{
    return text.find(part) != std::string::npos;
}

// Each copy in the sinkhole's notes.txt directory as "name bytes mtime atime".
Lines copies(const TestTree& t)
{
    Lines out;
    for (const std::string& n : t.names("out/twinfiles000.sinkhole/notes.txt")) {
        std::string rel = "out/twinfiles000.sinkhole/notes.txt/" + n;
        FileStatus fs;   // before the copy is read
        EXPECT_TRUE(system_platform().stat(t.path(rel).c_str(), &fs));
        out.push_back(n + " " + t.read(rel) + " " + std::to_string(ticks_to_unix(fs.times.write)) + " " +
                      std::to_string(ticks_to_unix(fs.times.access)));
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

}  // namespace

namespace {

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

}  // namespace
