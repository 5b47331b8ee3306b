// Whole runs of twinex-cli on small real trees: the report's path on
// standard output, the questions, the roots and the exit status.
#include <gtest/gtest.h>

#include <atomic>
#include <string>
#include <vector>

#include "tests/support/cli_harness.h"

TEST(CliRun, ListingRunPrintsTheReportPath)
{
    TempTree t;
    t.file("src/a/notes.txt", "one", 300);
    t.file("src/b/notes.txt", "two", 100);
    t.file("src/b/alone.txt", "three", 100);
    fs::path out = t.dir("out");
    CliResult r = run_cli({"-q", "-y", "--no-datestamps", "-o", out.string(), (t.root() / "src").string()});
    ASSERT_EQ(r.status, CLI_DONE) << r.err;
    std::string report = native(out / "twinfiles000.txt");
    EXPECT_EQ(r.out, report + "\n");
    std::string text = file_text(report);
    std::string sep(1, PATH_SEP);
    std::string src = native(t.root() / "src");
    EXPECT_NE(text.find("THIS FILE:      " + report + "\n"), std::string::npos);
    EXPECT_NE(text.find("notes.txt\n=========\n" + src + sep + "b" + sep + "notes.txt\n" + src + sep + "a" + sep +
                        "notes.txt\n\n"),
              std::string::npos)
        << text;
    EXPECT_EQ(text.find("alone.txt"), std::string::npos);
    EXPECT_EQ(r.err, "");   // quiet: --yes answers silently

    CliResult shown = run_cli({"-y", "-o", out.string(), src});
    EXPECT_EQ(shown.status, CLI_DONE);
    EXPECT_EQ(shown.err, "twinex: LISTING TWINEX ONLY - ARE YOU SURE? [y/N] y\n");
    EXPECT_EQ(shown.out, native(out / "twinfiles001.txt") + "\n");
}

TEST(CliRun, ScanStartQuestionsAreAskedWithoutYes)
{
    TempTree t;
    t.file("src/a/x.txt", "1", 10);
    t.file("src/b/x.txt", "2", 20);
    std::string src = native(t.root() / "src");

    CliResult cancelled = run_cli({"-q", src}, "n\n");
    EXPECT_EQ(cancelled.status, CLI_STOPPED);
    EXPECT_EQ(cancelled.err, "twinex: NO OUTPUT CHOSEN - Do you want to use:- " + src + " [y/N] n\n");
    EXPECT_FALSE(fs::exists(fs::path(src) / "twinfiles000.txt"));

    CliResult unsure = run_cli({"-q", src}, "y\n");   // input ends at the confirmation
    EXPECT_EQ(unsure.status, CLI_STOPPED);
    EXPECT_NE(unsure.err.find("Do you want to use:- " + src + " [y/N] y\ntwinex: LISTING TWINEX ONLY - ARE YOU SURE? [y/N] \n"),
              std::string::npos)
        << unsure.err;

    CliResult done = run_cli({"-q", src}, "y\nok\n");
    EXPECT_EQ(done.status, CLI_DONE) << done.err;
    EXPECT_EQ(done.out, src + std::string(1, PATH_SEP) + "twinfiles000.txt\n");
}

TEST(CliRun, YesNeverAnswersADeletionQuestion)
{
    TempTree t;
    fs::path old_copy = t.file("src/a/x.txt", "old", 500);
    fs::path new_copy = t.file("src/b/x.txt", "new", 10);
    fs::path out = t.dir("out");
    std::vector<std::string> args = {"-q", "-y", "--delete", "--ask", "-o", out.string(), (t.root() / "src").string()};

    CliResult kept = run_cli(args, "");   // no answer: Cancel
    EXPECT_EQ(kept.status, CLI_DONE) << kept.err;
    EXPECT_NE(kept.err.find("Do you want to DELETE:- " + native(old_copy) + " [y/N] \n"), std::string::npos)
        << kept.err;
    EXPECT_TRUE(fs::exists(old_copy));

    CliResult deleted = run_cli(args, "y\n");
    EXPECT_EQ(deleted.status, CLI_DONE) << deleted.err;
    EXPECT_FALSE(fs::exists(old_copy));
    EXPECT_TRUE(fs::exists(new_copy));
    std::string report = native(out / "twinfiles001.txt");
    EXPECT_EQ(deleted.out, report + "\n");   // no sinkhole line without --save
    EXPECT_NE(file_text(report).find("<< FILE DELETED >>" + native(old_copy)), std::string::npos);
}

TEST(CliRun, MovePrintsTheSinkholeToo)
{
    TempTree t;
    t.file("src/a/x.txt", "1", 50);
    t.file("src/b/x.txt", "2", 10);
    fs::path out = t.dir("out");
    CliResult r = run_cli({"-y", "--move", "--delete", "-o", out.string(), (t.root() / "src").string()});
    ASSERT_EQ(r.status, CLI_DONE) << r.err;
    EXPECT_EQ(r.out, native(out / "twinfiles000.txt") + "\n" + native(out / "twinfiles000.sinkhole") + "\n");
    EXPECT_NE(r.err.find("MOVING TWINEX to SINKHOLE - ARE YOU SURE?"), std::string::npos) << r.err;
}

TEST(CliRun, NestedAndRepeatedRootsFollowTheChooserRules)
{
    TempTree t;
    t.file("src/a/x.txt", "1", 50);
    t.file("src/b/x.txt", "2", 10);
    fs::path out = t.dir("out");
    std::string src = native(t.root() / "src");
    std::string a = native(t.root() / "src" / "a");
    std::string sep(1, PATH_SEP);

    CliResult below = run_cli({"-q", "-y", "-o", out.string(), src, a, src + sep});
    EXPECT_EQ(below.status, CLI_DONE);
    EXPECT_NE(below.err.find("twinex: " + a + " - Not added to chosen list. It is a subdirectory of existing choice.\n"),
              std::string::npos)
        << below.err;
    std::string report = file_text(native(out / "twinfiles000.txt"));
    EXPECT_NE(report.find("DIRECTORIES:    " + src + " 2 filenames checked\nTOTAL CHECKED:  2\n"), std::string::npos)
        << report;

    CliResult above = run_cli({"-q", "-y", "-o", out.string(), a, src});
    EXPECT_EQ(above.status, CLI_DONE);
    EXPECT_NE(above.err.find("twinex: Subdirectories of " + src + " - have been removed from chosen list.\n"),
              std::string::npos)
        << above.err;
}

TEST(CliRun, PatternErrorAndInterruptStopWithStatusOne)
{
    TempTree t;
    t.file("src/a/x.txt", "1", 50);
    t.file("src/b/x.txt", "2", 10);
    fs::path out = t.dir("out");
    std::string src = native(t.root() / "src");

    CliResult bad = run_cli({"-q", "-y", "-p", "x\\", "-o", out.string(), src});
    EXPECT_EQ(bad.status, CLI_STOPPED);
    EXPECT_NE(bad.err.find("PATTERN ERROR: "), std::string::npos) << bad.err;
    EXPECT_EQ(bad.out, "");

    std::atomic<int> interrupt{1};   // Ctrl-C already pressed when the scan starts
    CliResult stopped = run_cli({"-q", "-y", "-o", out.string(), src}, "", &interrupt);
    EXPECT_EQ(stopped.status, CLI_STOPPED);
    EXPECT_NE(stopped.err.find("twinex: SCAN ABORTED"), std::string::npos) << stopped.err;
    EXPECT_EQ(stopped.out, "");
}

TEST(CliRun, FatalErrorEndsWithStatusThree)
{
    TempTree t;
    t.file("src/a/x.txt", "1", 50);
    CliResult r = run_cli({"-q", "-y", "-o", (t.root() / "no-such-dir").string(), native(t.root() / "src")});
    EXPECT_EQ(r.status, CLI_FATAL);
    EXPECT_NE(r.err.find("twinex: Can't open an output file - QUITTING...\n"), std::string::npos) << r.err;
    EXPECT_EQ(r.out, "");
}
