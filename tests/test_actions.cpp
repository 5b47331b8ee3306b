// Move and delete runs over real trees: the reports byte for byte, the
// sinkhole's copies with their names and times, questions, protected
// directories, and the rules that keep a file in place (the same file as the
// kept or moved one, a file changed since the scan, a failed removal).
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "report/actions.h"
#include "tests/support/tree.h"

namespace {

using Lines = std::vector<std::string>;

Lines operator+(Lines a, const Lines& b)
{
    a.insert(a.end(), b.begin(), b.end());
    return a;
}

int64_t write_time(const std::string& path)
{
    FileStatus fs;
    EXPECT_TRUE(system_platform().stat(path.c_str(), &fs)) << path;
    return ticks_to_unix(fs.times.write);
}

// One name in three roots: a (oldest), b (newest), c. Collected as b, c, a.
struct ThreeCopies : ::testing::Test {
    TestTree t;
    void SetUp() override
    {
        t.file("a/notes.txt", "AAA", 1000, 1100);
        t.file("b/notes.txt", "BBBB", 3000, 3100);
        t.file("c/notes.txt", "CC", 2000, 2100);
    }
    void roots(ScanRun& run) const
    {
        for (const char* r : {"a", "b", "c"})
            run.root(r);
    }
    Lines head(const ScanRun& run, const std::string& case_line) const
    {
        return {"THIS FILE:      " + run.st.filename,
                std::string("CREATED BY:     ") + banner_text(),
                "CREATION DATE:  Tue Jun 14 14:05:09 2005",
                "DIRECTORIES:    " + t.path("a") + " 1 filenames checked",
                "                " + t.path("b") + " 1 filenames checked",
                "                " + t.path("c") + " 1 filenames checked",
                "TOTAL CHECKED:  3",
                "NUMBER FOUND:   1",
                case_line};
    }
    std::string sink() const { return t.path("out/twinfiles000.sinkhole"); }
};

const std::string DELETE_CASE = "CASE INSENSITIVE SEARCH and MARKING FILES DELETED BY THE \"DELETE\" OPTION";

// ------------------------------------------------------------ move

TEST_F(ThreeCopies, MoveRunMovesEveryFileButTheProtectedOne)
{
    ScanRun run(t);
    run.move();
    run.st.windir = t.path("c");
    roots(run);
    run.scan();
    std::string expected = lines(
        head(run, "CASE INSENSITIVE SEARCH and MARKING FILES MOVED TO SINKHOLE") +
        Lines{"TWINEX moved to directory " + sink(), "", "notes.txt", "=========",
              "<< FILE MOVED >>" + t.path("b/notes.txt"), "<< NOT MOVED - WINDIR >>" + t.path("c/notes.txt"),
              "<< FILE MOVED >>" + t.path("a/notes.txt"), "", "", "", "NUMBER OF FILES MOVED: 2", "", "", "",
              "MOVED FILES SAVED IN:  " + sink(), ""});
    EXPECT_EQ(run.report(), expected);
    EXPECT_EQ(run.st.numdeleted, 2);
    EXPECT_FALSE(t.exists("a/notes.txt"));
    EXPECT_FALSE(t.exists("b/notes.txt"));
    EXPECT_EQ(t.read("c/notes.txt"), "CC");
    EXPECT_EQ(t.names("out/twinfiles000.sinkhole/notes.txt"), (Lines{"notes000.txt", "notes001.txt"}));
    EXPECT_EQ(t.read("out/twinfiles000.sinkhole/notes.txt/notes000.txt"), "BBBB");
    EXPECT_EQ(t.read("out/twinfiles000.sinkhole/notes.txt/notes001.txt"), "AAA");
    EXPECT_EQ(write_time(t.path("out/twinfiles000.sinkhole/notes.txt/notes000.txt")), 3000);
    EXPECT_EQ(write_time(t.path("out/twinfiles000.sinkhole/notes.txt/notes001.txt")), 1000);
    EXPECT_EQ(run.fb.field(PF_ACTION_LABEL), "NUMBER OF FILES MOVED:");
    EXPECT_EQ(run.fb.field(PF_ACTION_COUNT), "2");
    EXPECT_EQ(run.fb.field(PF_SINKHOLE_LABEL), "MOVED FILES SAVED IN:");
    EXPECT_EQ(run.fb.field(PF_SINKHOLE_PATH), sink());
    EXPECT_EQ(run.fb.field_texts(PF_COPYING), (Lines{"COPYING", "", "COPYING", ""}));
    EXPECT_EQ(run.fb.message_count(), 0u);
}

TEST(Actions, CopyNamesKeepTheExtensionAfterTheNumber)
{
    TestTree t;
    const char* names[] = {"notes.txt", "Makefile", "archive.tar.gz", ".profile"};
    for (const char* n : names) {
        t.file(std::string("a/") + n, std::string("old ") + n, 1000);
        t.file(std::string("b/") + n, std::string("new ") + n, 2000);
    }
    ScanRun run(t);
    run.move();
    run.root("a");
    run.root("b");
    run.scan();
    const std::string s = "out/twinfiles000.sinkhole/";
    EXPECT_EQ(t.names(s + "notes.txt"), (Lines{"notes000.txt", "notes001.txt"}));
    EXPECT_EQ(t.names(s + "Makefile"), (Lines{"Makefile000", "Makefile001"}));
    EXPECT_EQ(t.names(s + "archive.tar.gz"), (Lines{"archive.tar000.gz", "archive.tar001.gz"}));
    EXPECT_EQ(t.names(s + ".profile"), (Lines{"000.profile", "001.profile"}));
    EXPECT_EQ(t.read(s + "archive.tar.gz/archive.tar000.gz"), "new archive.tar.gz");
    EXPECT_EQ(t.read(s + ".profile/001.profile"), "old .profile");
    EXPECT_EQ(run.st.numdeleted, 8);
}

TEST(Actions, ExtensionIsFromTheLastDot)
{
    EXPECT_EQ(get_extension(nullptr), nullptr);
    EXPECT_EQ(get_extension(""), nullptr);
    EXPECT_EQ(get_extension("Makefile"), nullptr);
    const char* a = "archive.tar.gz";
    EXPECT_EQ(get_extension(a), a + 11);
    const char* p = ".profile";
    EXPECT_EQ(get_extension(p), p);
    const char* d = "end.";
    EXPECT_EQ(get_extension(d), d + 3);
}

// ------------------------------------------------------------ delete

TEST_F(ThreeCopies, DeleteRunKeepsTheNewestOnly)
{
    ScanRun run(t);
    run.del(false, false);
    roots(run);
    run.scan();
    std::string expected = lines(head(run, DELETE_CASE) +
                                 Lines{"", "notes.txt", "=========", t.path("b/notes.txt"),
                                       "<< FILE DELETED >>" + t.path("c/notes.txt"),
                                       "<< FILE DELETED >>" + t.path("a/notes.txt"), "", "", "",
                                       "NUMBER OF FILES DELETED: 2", ""});
    EXPECT_EQ(run.report(), expected);
    EXPECT_EQ(run.st.numdeleted, 2);
    EXPECT_EQ(t.read("b/notes.txt"), "BBBB");
    EXPECT_FALSE(t.exists("a/notes.txt"));
    EXPECT_FALSE(t.exists("c/notes.txt"));
    EXPECT_EQ(t.names("out"), (Lines{"twinfiles000.txt"}));   // no sinkhole
    EXPECT_TRUE(run.fb.field_texts(PF_SINKHOLE_LABEL).empty());
}

TEST_F(ThreeCopies, DeleteRunWithSavingCopiesOnlyTheRemovedFiles)
{
    ScanRun run(t);
    run.del(true, false);
    roots(run);
    run.scan();
    std::string expected = lines(head(run, DELETE_CASE) +
                                 Lines{"DELETED FILES saved to directory " + sink(), "", "notes.txt", "=========",
                                       t.path("b/notes.txt"), "<< FILE DELETED >>" + t.path("c/notes.txt"),
                                       "<< FILE DELETED >>" + t.path("a/notes.txt"), "", "", "",
                                       "NUMBER OF FILES DELETED: 2", "", "", "", "DELETED FILES SAVED IN:  " + sink(),
                                       ""});
    EXPECT_EQ(run.report(), expected);
    const std::string g = "out/twinfiles000.sinkhole/notes.txt/";
    FileStatus fs;   // before anything reads the copy
    ASSERT_TRUE(system_platform().stat(t.path(g + "notes001.txt").c_str(), &fs));
    EXPECT_EQ(ticks_to_unix(fs.times.access), 1100);
    EXPECT_EQ(ticks_to_unix(fs.times.write), 1000);
    EXPECT_EQ(t.names(g), (Lines{"notes000.txt", "notes001.txt"}));
    EXPECT_EQ(t.read(g + "notes000.txt"), "CC");
    EXPECT_EQ(t.read(g + "notes001.txt"), "AAA");
    EXPECT_EQ(write_time(t.path(g + "notes000.txt")), 2000);
}

TEST(Actions, EachDeletionIsAskedAndCancelKeepsTheFile)
{
    for (int save = 0; save <= 1; ++save) {
        TestTree t2;
        t2.file("a/notes.txt", "AAA", 1000);
        t2.file("b/notes.txt", "BBBB", 3000);
        t2.file("c/notes.txt", "CC", 2000);
        ScanRun run(t2);
        run.del(save != 0, true);
        for (const char* r : {"a", "b", "c"})
            run.root(r);
        run.fb.script({1, 0});
        run.scan();
        std::vector<RecordingFeedback::Message> asked = run.fb.messages();
        ASSERT_EQ(asked.size(), 2u);
        for (size_t i = 0; i < 2; ++i) {
            EXPECT_EQ(asked[i].kind, COMPLAIN_OKCANCEL);
            EXPECT_EQ(asked[i].title, "twinex");
            EXPECT_EQ(*asked[i].msg1, save ? "Do you want to DELETE and SAVE:-" : "Do you want to DELETE:-");
            EXPECT_FALSE(asked[i].msg3);
        }
        EXPECT_EQ(*asked[0].msg2, t2.path("c/notes.txt"));
        EXPECT_EQ(*asked[1].msg2, t2.path("a/notes.txt"));
        std::string report = run.report();
        EXPECT_NE(report.find("\n<< FILE DELETED >>" + t2.path("c/notes.txt") + "\n" + t2.path("a/notes.txt") + "\n"),
                  std::string::npos)
            << report;
        EXPECT_FALSE(t2.exists("c/notes.txt"));
        EXPECT_EQ(t2.read("a/notes.txt"), "AAA");
        EXPECT_EQ(run.st.numdeleted, 1);
        if (save) {
            EXPECT_EQ(t2.names("out/twinfiles000.sinkhole/notes.txt"), (Lines{"notes000.txt"}));
        }
    }
}

TEST_F(ThreeCopies, ProtectedFilesAreNeitherAskedNorTouched)
{
    {
        ScanRun run(t);
        run.del(false, true);
        run.st.systemroot = t.path("c");
        roots(run);
        run.scan();
        ASSERT_EQ(run.fb.message_count(), 1u);   // only a is asked about
        EXPECT_EQ(*run.fb.last_message().msg2, t.path("a/notes.txt"));
        EXPECT_NE(run.report().find("\n<< NOT DELETED - SYSTEMROOT >>" + t.path("c/notes.txt") + "\n"),
                  std::string::npos);
        EXPECT_TRUE(t.exists("c/notes.txt"));
    }
    TestTree t2;
    t2.file("a/x", "old", 1000);
    t2.file("b/x", "new", 2000);
    ScanRun run(t2);
    run.del(false, false);
    run.st.programfiles = t2.path("b");   // the kept file: no marker
    run.root("a");
    run.root("b");
    run.scan();
    EXPECT_NE(run.report().find("=\n" + t2.path("b/x") + "\n<< FILE DELETED >>" + t2.path("a/x") + "\n"),
              std::string::npos);
}

TEST_F(ThreeCopies, AbortDuringAQuestionStopsAfterThatFile)
{
    ScanRun run(t);
    run.del(false, true);
    roots(run);
    run.fb.on_complain([&](const RecordingFeedback::Message&) { run.st.abort_flag = 1; });
    run.scan();
    EXPECT_EQ(run.fb.message_count(), 1u);
    EXPECT_FALSE(t.exists("c/notes.txt"));   // answered OK before the abort took effect
    EXPECT_TRUE(t.exists("a/notes.txt"));
    std::string report = run.report();
    std::string last = "\n<< FILE DELETED >>" + t.path("c/notes.txt") + "\n";
    ASSERT_GE(report.size(), last.size());
    EXPECT_EQ(report.substr(report.size() - last.size()), last);
    EXPECT_EQ(report.find("NUMBER OF FILES"), std::string::npos);
}

// ------------------------------------------------------------ files that must stay

TEST_F(ThreeCopies, FailedRemovalIsReportedAndTheCopyStays)
{
    ScanRun run(t);
    run.del(true, false);
    roots(run);
    run.fp.fail(FaultOp::DeleteFile, 1, EACCES);
    run.scan();
    EXPECT_NE(run.report().find("\n<< NOT DELETED - " + error_text(EACCES) + " >>" + t.path("c/notes.txt") + "\n"),
              std::string::npos)
        << run.report();
    EXPECT_EQ(t.read("c/notes.txt"), "CC");
    EXPECT_EQ(t.read("out/twinfiles000.sinkhole/notes.txt/notes000.txt"), "CC");
    EXPECT_FALSE(t.exists("a/notes.txt"));
    EXPECT_EQ(run.st.numdeleted, 1);
    EXPECT_NE(run.report().find("NUMBER OF FILES DELETED: 1\n"), std::string::npos);
}

TEST_F(ThreeCopies, VanishedFileInAMoveRunIsReportedAsACopyFailure)
{
    ScanRun run(t);
    run.move();
    run.st.t_flag = 1;
    roots(run);
    run.fp.after(FaultOp::CreateNewFile, 1, [&] { std::filesystem::remove(t.path("c/notes.txt")); });
    run.scan();
    std::string c = t.path("c/notes.txt");
    EXPECT_NE(run.report().find("\n" + c + "\n<< COPY TO SINKHOLE FAILED: ERROR:   couldn't open \"" + c +
                                "\" for read, NOT MOVED >>\n<<<<<<== Can't get the datestamp of this file "
                                "==>>>>>>\n\n"),
              std::string::npos)
        << run.report();
    EXPECT_EQ(run.st.numdeleted, 2);
    EXPECT_EQ(t.names("out/twinfiles000.sinkhole/notes.txt").size(), 2u);
    EXPECT_EQ(run.fb.field(PF_COPYING), "");
}

// Two names of one file (hard links): the walk cannot tell, the actions can.
TEST(Actions, SameFileReachedTwiceIsNeitherDeletedNorCopiedTwice)
{
    TestTree t;
    t.file("a/x.txt", "only copy", 1000);
    t.dir("b");
    std::error_code ec;
    std::filesystem::create_hard_link(t.path("a/x.txt"), t.path("b/x.txt"), ec);
    if (ec)
        GTEST_SKIP() << "no hard links here: " << ec.message();
    {
        ScanRun run(t);
        run.del(false, false);
        run.root("a");
        run.root("b");
        run.scan();
        EXPECT_NE(run.report().find("=\n" + t.path("b/x.txt") + "\n<< NOT DELETED - SAME FILE AS KEPT >>" +
                                    t.path("a/x.txt") + "\n"),
                  std::string::npos)
            << run.report();
        EXPECT_EQ(t.read("a/x.txt"), "only copy");
        EXPECT_EQ(run.st.numdeleted, 0);
    }
    ScanRun run(t);
    run.move();
    run.root("a");
    run.root("b");
    run.scan();
    EXPECT_NE(run.report().find("=\n<< FILE MOVED >>" + t.path("b/x.txt") + "\n<< NOT MOVED - SAME FILE AS MOVED >>" +
                                t.path("a/x.txt") + "\n"),
              std::string::npos)
        << run.report();
    EXPECT_EQ(t.names("out/twinfiles000.sinkhole/x.txt"), (Lines{"x000.txt"}));
    EXPECT_EQ(t.read("out/twinfiles000.sinkhole/x.txt/x000.txt"), "only copy");
}

TEST(Actions, OlderCopyNotKnownToBeAnotherFileStays)
{
    TestTree t;
    t.file("a/x.txt", "only copy", 1000);
    t.file("b/x.txt", "older", 500);
    ScanRun run(t);
    run.del(false, false);
    run.root("a");
    run.root("b");
    // Once collected, no identity can be learnt any more.
    run.fp.before(FaultOp::CreateNewFile, 1,
                  [&] { run.fp.fail(FaultOp::Identity, run.fp.calls(FaultOp::Identity) + 1, EACCES, -1); });
    run.scan();
    std::string report = run.report();
    EXPECT_NE(report.find("\n<< NOT DELETED - CAN'T TELL IT FROM THE KEPT FILE >>" + t.path("b/x.txt") + "\n"),
              std::string::npos)
        << report;
    EXPECT_EQ(t.read("a/x.txt"), "only copy");
    EXPECT_EQ(t.read("b/x.txt"), "older");
    EXPECT_EQ(run.st.numdeleted, 0);
}

TEST(Actions, LinkToTheKeptFileDoesNotCostItsTarget)
{
    TestTree t;
    t.file("a/x.txt", "the data", 1000);
    t.dir("b");
    std::error_code ec;
    std::filesystem::create_symlink(t.path("a/x.txt"), t.path("b/x.txt"), ec);
    if (ec)
        GTEST_SKIP() << "no file links here";
    ScanRun run(t);
    run.del(false, false);
    run.st.follow_links = true;
    run.root("a");
    run.root("b");
    run.scan();
    // Equal times: the link, met last, leads; the file it names is kept too.
    EXPECT_NE(run.report().find("<< NOT DELETED - SAME FILE AS KEPT >>" + t.path("a/x.txt")), std::string::npos)
        << run.report();
    EXPECT_EQ(t.read("a/x.txt"), "the data");
}

TEST_F(ThreeCopies, FileChangedSinceTheScanIsNotDeleted)
{
    ScanRun run(t);
    run.del(false, false);
    roots(run);
    run.fp.after(FaultOp::CreateNewFile, 1, [&] { t.set_times("c/notes.txt", 2500, 2500); });
    run.scan();
    EXPECT_NE(run.report().find("\n<< NOT DELETED - FILE CHANGED SINCE SCAN >>" + t.path("c/notes.txt") + "\n"),
              std::string::npos)
        << run.report();
    EXPECT_EQ(t.read("c/notes.txt"), "CC");
    EXPECT_FALSE(t.exists("a/notes.txt"));
}

TEST_F(ThreeCopies, NothingIsDeletedOnceTheKeptFileIsGone)
{
    ScanRun run(t);
    run.del(false, false);
    roots(run);
    run.fp.after(FaultOp::CreateNewFile, 1, [&] { std::filesystem::remove(t.path("b/notes.txt")); });
    run.scan();
    std::string report = run.report();
    EXPECT_NE(report.find("<< NOT DELETED - FILE CHANGED SINCE SCAN >>" + t.path("c/notes.txt")), std::string::npos);
    EXPECT_NE(report.find("<< NOT DELETED - FILE CHANGED SINCE SCAN >>" + t.path("a/notes.txt")), std::string::npos);
    EXPECT_TRUE(t.exists("a/notes.txt"));
    EXPECT_TRUE(t.exists("c/notes.txt"));
    EXPECT_EQ(run.st.numdeleted, 0);
}

// ------------------------------------------------------------ fatal errors

TEST_F(ThreeCopies, NoSinkholeEndsTheProgramWithAnEmptyReport)
{
    ScanRun run(t);
    run.move();
    roots(run);
    run.fp.fail(FaultOp::CreateDirectory, 1, EACCES, -1);
    run.scan();
    ASSERT_EQ(run.fb.message_count(), 1u);
    EXPECT_EQ(*run.fb.last_message().msg1, "Can't create sinkhole");
    EXPECT_EQ(*run.fb.last_message().msg2, "QUITTING...");
    EXPECT_EQ(run.fb.end_requests(), 1);
    EXPECT_EQ(run.report(), "");
    EXPECT_EQ(run.st.report, nullptr);
    for (const char* r : {"a", "b", "c"})
        EXPECT_TRUE(t.exists(std::string(r) + "/notes.txt"));
}

TEST_F(ThreeCopies, NoGroupDirectoryEndsTheProgramWithTheReportSoFar)
{
    ScanRun run(t);
    run.move();
    roots(run);
    run.fp.fail(FaultOp::CreateDirectory, 2, EACCES);   // the first is the sinkhole itself
    run.scan();
    ASSERT_EQ(run.fb.message_count(), 1u);
    EXPECT_EQ(*run.fb.last_message().msg1,
              "Can't create sinkhole sub-directory \"" + sink() + PATH_SEP + "notes.txt\"");
    EXPECT_EQ(run.fb.end_requests(), 1);
    std::string report = run.report();
    const std::string tail = "\n\nnotes.txt\n=========\n";
    ASSERT_GE(report.size(), tail.size());
    EXPECT_EQ(report.substr(report.size() - tail.size()), tail);
    for (const char* r : {"a", "b", "c"})
        EXPECT_TRUE(t.exists(std::string(r) + "/notes.txt"));
    EXPECT_EQ(run.st.numdeleted, 0);
}

}  // namespace
