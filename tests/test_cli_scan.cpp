// Whole runs of twinex-cli on small real trees: the report's path on
// standard output, the questions, the roots and the exit status.
#include <gtest/gtest.h>

#include <atomic>
#include <string>
#include <vector>

#include "tests/support/cli_harness.h"
#include "tests/support/fault_platform.h"

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

    // A listing run asks nothing; the summary goes to the error stream.
    CliResult shown = run_cli({"-o", out.string(), src});
    EXPECT_EQ(shown.status, CLI_DONE);
    std::string second = native(out / "twinfiles001.txt");
    EXPECT_EQ(shown.out, second + "\n");
    EXPECT_EQ(shown.err.rfind("twinex: 1 root, 3 names checked, 1 group, 2 files\ntwinex: done in ", 0), 0u)
        << shown.err;
    EXPECT_NE(shown.err.find(" s; report: " + second + "\n"), std::string::npos) << shown.err;
}

TEST(CliRun, YesNeverAnswersADeletionQuestion)
{
    TempTree t;
    fs::path old_copy = t.file("src/a/x.txt", "old", 500);
    fs::path older_copy = t.file("src/c/x.txt", "older", 900);
    fs::path new_copy = t.file("src/b/x.txt", "new", 10);
    fs::path out = t.dir("out");
    std::vector<std::string> args = {"-y", "--delete", "--ask", "-o", out.string(), (t.root() / "src").string()};

    CliResult kept = run_cli(args, "");   // no answer: no, said once
    EXPECT_EQ(kept.status, CLI_DONE) << kept.err;
    std::string note = " [y/N] n\ntwinex: end of input: this and every later question is answered no\n";
    size_t first = kept.err.find(note);
    EXPECT_NE(first, std::string::npos) << kept.err;
    EXPECT_EQ(kept.err.find(note, first + 1), std::string::npos) << kept.err;
    for (const fs::path& p : {old_copy, older_copy})
        EXPECT_NE(kept.err.find("Do you want to DELETE:- " + native(p) + " [y/N] n\n"), std::string::npos) << kept.err;
    EXPECT_NE(kept.err.find("\ntwinex: 0 deleted, 1 newest kept, 2 answered no\n"), std::string::npos) << kept.err;
    EXPECT_TRUE(fs::exists(old_copy) && fs::exists(older_copy));

    args.insert(args.begin(), "-q");
    CliResult deleted = run_cli(args, "y\nok\n");
    EXPECT_EQ(deleted.status, CLI_DONE) << deleted.err;
    EXPECT_FALSE(fs::exists(old_copy) || fs::exists(older_copy));
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
    CliResult r = run_cli({"-y", "--move", "--save", "-o", out.string(), (t.root() / "src").string()});
    ASSERT_EQ(r.status, CLI_DONE) << r.err;
    std::string report = native(out / "twinfiles000.txt"), sinkhole = native(out / "twinfiles000.sinkhole");
    EXPECT_EQ(r.out, report + "\n" + sinkhole + "\n");
    EXPECT_NE(r.err.find("\ntwinex: 2 moved\n"), std::string::npos) << r.err;
    EXPECT_NE(r.err.find(" s; report: " + report + "; sinkhole: " + sinkhole + "\n"), std::string::npos) << r.err;
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

TEST(CliRun, BadPatternTouchesNothingAndInterruptStops)
{
    TempTree t;
    t.file("src/a/x.txt", "1", 50);
    t.file("src/b/x.txt", "2", 10);
    fs::path out = t.dir("out");
    std::string src = native(t.root() / "src");

    CliResult bad = run_cli({"-q", "-y", "-p", "x\\", "-o", out.string(), src});
    EXPECT_EQ(bad.status, CLI_USAGE);
    EXPECT_EQ(bad.err.rfind("twinex: PATTERN ERROR: Missing character after \"\\\"\ntwinex: a \\ takes", 0), 0u)
        << bad.err;
    EXPECT_EQ(bad.out, "");
    EXPECT_TRUE(fs::is_empty(out));

    std::atomic<int> interrupt{1};   // Ctrl-C already pressed when the scan starts
    CliResult stopped = run_cli({"-q", "-y", "-o", out.string(), src}, "", &interrupt);
    EXPECT_EQ(stopped.status, CLI_STOPPED);
    EXPECT_NE(stopped.err.find("twinex: SCAN ABORTED"), std::string::npos) << stopped.err;
    EXPECT_EQ(stopped.out, "");
}

// What cannot be created is named, with the system's reason.
TEST(CliRun, FatalErrorNamesThePathAndEndsWithStatusThree)
{
    TempTree t;
    t.file("src/a/x.txt", "1", 50);
    t.file("src/b/x.txt", "2", 10);
    std::string src = native(t.root() / "src");
    std::string out = native(t.root() / "out");
    std::string sep(1, PATH_SEP);
    struct Case {
        FaultOp op;
        std::vector<std::string> args;
        std::string line;
    } cases[] = {
        {FaultOp::CreateDirectory, {"-o", out + sep + "new"}, "twinex: can't create " + out + ": Permission denied\n"},
        {FaultOp::CreateNewFile, {"-o", out}, "twinex: can't create " + out + sep + "twinfiles000.txt: Permission denied\n"},
        {FaultOp::CreateDirectory, {"--move", "-o", out},
         "twinex: can't create " + out + sep + "twinfiles000.sinkhole: Permission denied\n"},
    };
    for (const Case& c : cases) {
        FaultPlatform sys(system_platform());
        sys.fail(c.op, 1, EACCES, -1);
        std::vector<std::string> args = {"-q", "-y", src};
        args.insert(args.begin(), c.args.begin(), c.args.end());
        if (c.op == FaultOp::CreateNewFile || c.args[0] == "--move")
            fs::create_directories(out);
        CliResult r = run_cli(args, "", nullptr, sys);
        EXPECT_EQ(r.status, CLI_FATAL) << c.line;
        EXPECT_EQ(r.err, c.line);
        EXPECT_EQ(r.out, "");
    }
}
