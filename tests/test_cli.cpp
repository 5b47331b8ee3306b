// The console program in the test process: its questions and messages, its
// options, and what only a test inside the process can bring about. The
// real program's exit statuses, summaries and outputs are checked by the
// scripts in tests/cli.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "tests/support/cli_harness.h"
#include "tests/support/golden.h"
#include "tests/support/tree.h"
#include "ui/console/console_feedback.h"

namespace {

const std::string SEP(1, PATH_SEP);

TEST(ConsoleFeedback, AnswersOkOnlyToYesOrOk)
{
    const std::pair<const char*, int> answers[] = {
        {"y\n", 1},      {"Y\n", 1}, {"yes please\n", 1}, {"ok\n", 1},    {"  ok \r\n", 1}, {"y", 1},
        {"n\n", 0},      {"\n", 0},  {"okay\n", 0},       {"no, y\n", 0}, {"", 0}};
    for (const auto& a : answers) {
        FILE* in = input_with(a.first);
        FILE* err = std::tmpfile();
        EXPECT_EQ(ConsoleFeedback(in, err).Complain(COMPLAIN_OKCANCEL, "twinex", "SURE?", nullptr, nullptr), a.second)
            << a.first;
        std::fclose(in);
        std::fclose(err);
    }
}

// Unreadable directories: each named with its reason, the first twenty of a
// run, then how many there were; none, no count.
TEST(ConsoleFeedback, WalkErrorsAreNamedUpToTwentyThenCounted)
{
    FILE* err = std::tmpfile();
    ConsoleFeedback fb(stdin, err);
    fb.tell_walk_errors();
    EXPECT_EQ(contents(err), "");
    std::string want;
    for (int i = 1; i <= 23; ++i) {
        std::string dir = "/x/d" + std::to_string(i) + (i == 1 ? "\n" : "");
        fb.walk_error(dir.c_str(), "Permission denied");
        if (i <= ConsoleFeedback::MAX_WALK_ERRORS)
            want += "twinex: can't read " + (i == 1 ? std::string("/x/d1\\n") : dir) + ": Permission denied\n";
    }
    fb.tell_walk_errors();
    EXPECT_EQ(contents(err), want + "twinex: 23 directories could not be read\n");
    std::fclose(err);
}

// The fatal line, made without the box machinery (for memory running out),
// reads exactly as the box would; a long message is cut to leave room for
// "QUITTING...". (The fatal ends of a scan: test_fault_matrix.)
TEST(ConsoleFeedback, TheFatalLineReadsAsTheBox)
{
    for (const char* msg : {"OUT OF MEMORY", "Can't create sinkhole sub-directory \"/o/a\nb\x01\"", "ends in:", ""}) {
        FILE* boxed = std::tmpfile();
        FILE* fixed = std::tmpfile();
        ConsoleFeedback(stdin, boxed).Complain(COMPLAIN_ERROR, "twinex", msg, "QUITTING...", nullptr);
        ConsoleFeedback(stdin, fixed).show_fatal(msg);
        EXPECT_EQ(contents(fixed), contents(boxed));
        std::fclose(boxed);
        std::fclose(fixed);
    }
    char text[40];
    fatal_text(text, sizeof text, "a message far too long for this little buffer");
    EXPECT_EQ(std::string(text), "a message far too long for\nQUITTING...\n");
}

// The options in their several forms, seen in the report they give.
TEST(CliArgs, OptionsShowInTheReport)
{
    TestTree t;
    t.file("a/x.txt", "old", 1000);
    t.file("b/x.txt", "new", 2000);
    for (const char* rel : {"a/.git/x.txt", "a/y.doc", "b/y.doc"})
        t.file(rel, "other", 3000);
    TestPlatform sys(T_2005_06_14, false);
    pin_utc();
    CliResult r = run_cli({"-qy", "--crlf", "-s", "--no-datestamps", "-p*.txt", "-x", ".git", "--delete", "--ask",
                           "--save", "--output=" + t.path("out"), "--", t.path("a"), t.path("b")},
                          sys, "y\n");
    ASSERT_EQ(r.status, CLI_DONE) << r.err;
    EXPECT_EQ(TestTree::read_path(t.path("out/twinfiles000.txt")), golden("cli_options.txt", t, "\r\n"));
    EXPECT_EQ(t.names("out/twinfiles000.sinkhole/x.txt"), std::vector<std::string>{"x000.txt"});
}

// What cannot be created is named with the system's reason: status 3.
TEST(CliRun, WhatCannotBeCreatedIsNamed)
{
    TestTree t;
    t.file("src/a/x.txt", "old", 1000);
    t.file("src/b/x.txt", "new", 2000);
    t.dir("out");
    const std::string out = root_form(t.path("out").c_str());
    for (const char* made : {"twinfiles000.txt", "twinfiles000.sinkhole"}) {
        FaultPlatform sys(system_platform());
        bool sinkhole = has(made, "sinkhole");
        sys.fail(sinkhole ? FaultOp::CreateDirectory : FaultOp::CreateNewFile, 1, EACCES, -1);
        CliResult r = run_cli({"-q", "-y", sinkhole ? "--move" : "-q", "-o", out, t.path("src")}, sys);
        EXPECT_EQ(r.status, CLI_FATAL) << made;
        EXPECT_EQ(r.err, "twinex: can't create " + out + SEP + made + ": Permission denied\n");
        EXPECT_EQ(r.out, "");
    }
}

}  // namespace
