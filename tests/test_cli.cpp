// The console program: its console questions and messages, its options and
// roots, and the command lines that end before a scan.
#include <gtest/gtest.h>

#include <atomic>
#include <string>
#include <thread>
#include <vector>

#include "report/visible.h"
#include "tests/support/cli_harness.h"
#include "ui/console/console_feedback.h"

namespace {

// Asks one OK/Cancel question answered by `typed`; returns the answer.
int answer_to(const std::string& typed)
{
    FILE* in = input_with(typed);
    FILE* err = std::tmpfile();
    ConsoleFeedback fb(in, err);
    int a = fb.Complain(COMPLAIN_OKCANCEL, "twinex", "LISTING TWINEX ONLY", "ARE YOU SURE?", nullptr);
    std::fclose(in);
    std::fclose(err);
    return a;
}

}  // namespace

TEST(ConsoleFeedback, AnswersOkOnlyToYesOrOk)
{
    EXPECT_EQ(answer_to("y\n"), 1);
    EXPECT_EQ(answer_to("Y\n"), 1);
    EXPECT_EQ(answer_to("yes please\n"), 1);
    EXPECT_EQ(answer_to("ok\n"), 1);
    EXPECT_EQ(answer_to("  ok \r\n"), 1);
    EXPECT_EQ(answer_to("y"), 1);          // last line without its line end
    EXPECT_EQ(answer_to("n\n"), 0);
    EXPECT_EQ(answer_to("\n"), 0);
    EXPECT_EQ(answer_to("okay\n"), 0);
    EXPECT_EQ(answer_to("no, y\n"), 0);
    EXPECT_EQ(answer_to(""), 0);           // end of input is Cancel
}

TEST(ConsoleFeedback, EachQuestionTakesOneLineAndMessagesTakeNone)
{
    FILE* in = input_with("y\nn\n");
    FILE* err = std::tmpfile();
    ConsoleFeedback fb(in, err);
    EXPECT_EQ(fb.Complain(COMPLAIN_ERROR, "twinex", "OUT OF MEMORY", "QUITTING...", nullptr), 0);
    EXPECT_EQ(fb.Complain(COMPLAIN_OKCANCEL, "twinex", "NO OUTPUT CHOSEN", "Do you want to use:-", "/data"), 1);
    EXPECT_EQ(fb.Complain(COMPLAIN_NOTICE, "twinex", "NOTHING TO SCAN", nullptr, nullptr), 0);
    EXPECT_EQ(fb.Complain(COMPLAIN_RETRYCANCEL, "twinex", "AGAIN?", nullptr, nullptr), 0);
    EXPECT_EQ(fb.Complain(COMPLAIN_OKCANCEL, "twinex", "MORE?", nullptr, nullptr), 0);  // input ended
    EXPECT_EQ(fb.Complain(COMPLAIN_OKCANCEL, "twinex", "LAST?", nullptr, nullptr), 0);  // said once
    EXPECT_EQ(contents(err),
              "twinex: OUT OF MEMORY - QUITTING...\n"
              "twinex: NO OUTPUT CHOSEN - Do you want to use:- /data [y/N] "
              "twinex: NOTHING TO SCAN\n"
              "twinex: AGAIN? [y/N] "
              "twinex: MORE? [y/N] n\n"
              "twinex: end of input: this and every later question is answered no\n"
              "twinex: LAST? [y/N] n\n");
    std::fclose(in);
    std::fclose(err);
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

TEST(ConsoleFeedback, BoxLinesReadAsOneSentence)
{
    EXPECT_EQ(join_box_lines("/a/b", "Not added to chosen list.", "It is a subdirectory of existing choice."),
              "/a/b - Not added to chosen list. It is a subdirectory of existing choice.");
    EXPECT_EQ(join_box_lines("Subdirectories of", "/a", "have been removed from chosen list."),
              "Subdirectories of /a - have been removed from chosen list.");
    EXPECT_EQ(join_box_lines("Do you want to DELETE and SAVE:-", "/a/x.txt", nullptr),
              "Do you want to DELETE and SAVE:- /a/x.txt");
    EXPECT_EQ(join_box_lines("WARNING: Can't get datestamp of file", "/a/x", nullptr),
              "WARNING: Can't get datestamp of file /a/x");
    EXPECT_EQ(join_box_lines("Can't open an output file", "QUITTING...", nullptr),
              "Can't open an output file - QUITTING...");
    EXPECT_EQ(join_box_lines("Subdirectories of", "C:\\DATA", "have been removed from chosen list."),
              "Subdirectories of C:\\DATA - have been removed from chosen list.");
    EXPECT_EQ(join_box_lines(nullptr, nullptr, "only"), "only");
    EXPECT_EQ(join_box_lines(nullptr, nullptr, nullptr), "");
    // A name cannot start a new console line.
    EXPECT_EQ(visible_text(std::string("a\nb\r\t\x01\x7f\xe9", 8)), "a\\nb\\r\\t\\x01\\x7f\xe9");
}

TEST(ConsoleFeedback, QuestionsFromTwoThreadsGetOneAnswerEach)
{
    FILE* in = input_with("y\nn\n");
    FILE* err = std::tmpfile();
    ConsoleFeedback fb(in, err);
    std::atomic<int> yes{0};
    auto ask = [&] { yes += fb.Complain(COMPLAIN_OKCANCEL, "twinex", "DELETE?", nullptr, nullptr); };
    auto fields = [&] {
        for (int i = 0; i < 2000; ++i)
            fb.set_field(PF_COLLECT_COUNT, std::to_string(i).c_str());
    };
    std::thread a(ask), b(ask), c(fields);
    a.join();
    b.join();
    c.join();
    EXPECT_EQ(yes.load(), 1);
    EXPECT_EQ(contents(err), "twinex: DELETE? [y/N] twinex: DELETE? [y/N] ");
    EXPECT_EQ(fb.fields()[PF_COLLECT_COUNT], "1999");
    std::fclose(in);
    std::fclose(err);
}

TEST(ConsoleFeedback, StatusLineIsMadeOfTheFieldsAndWipedBeforeMessages)
{
    FieldTexts f;
    f[PF_COLLECT_LABEL] = "COLLECTING: ";
    f[PF_COLLECT_COUNT] = "1200";
    f[PF_PROCESS_LABEL] = "PROCESSING:";
    f[PF_PROCESS_COUNT] = "14";
    EXPECT_EQ(status_text(f, 0), "COLLECTING: 1200  PROCESSING: 14");
    EXPECT_EQ(status_text(f, 10), "COLLECTING");
    f[PF_WRITTEN_LABEL] = "WRITTEN: ";
    f[PF_WRITTEN_COUNT] = "3";
    f[PF_COPYING] = "COPYING";
    EXPECT_EQ(status_text(f, 0), "COLLECTING: 1200  PROCESSING: 14  WRITTEN: 3  COPYING");

    FILE* err = std::tmpfile();
    ConsoleFeedback fb(nullptr, err);
    fb.set_field(PF_COLLECT_LABEL, "COLLECTING: ");
    fb.set_field(PF_COLLECT_COUNT, "12345");
    fb.draw_status(80);
    fb.set_field(PF_COLLECT_COUNT, "9");
    fb.draw_status(80);
    fb.Complain(COMPLAIN_ERROR, "twinex", "WARNING", nullptr, nullptr);
    fb.clear_status();   // nothing left to wipe
    EXPECT_EQ(contents(err), "\rCOLLECTING: 12345\rCOLLECTING: 9    \r" + std::string(13, ' ') + "\rtwinex: WARNING\n");
    std::fclose(err);
}

TEST(CliArgs, OptionsInEveryForm)
{
    std::vector<std::string> words = {"x", "-qyL", "-o", "/out", "-p*.txt", "--crlf", "-s", "--no-datestamps",
                                      "--delete", "--ask", "--save", "/a", "--", "-b"};
    std::vector<char*> argv;
    for (std::string& w : words)
        argv.push_back(&w[0]);
    CliOptions o;
    std::string error;
    ASSERT_TRUE(parse_cli_args((int)argv.size(), argv.data(), &o, &error)) << error;
    EXPECT_TRUE(o.quiet && o.yes && o.follow_links);
    EXPECT_EQ(o.choices.output, "/out");
    EXPECT_EQ(o.choices.patterns, "*.txt");
    EXPECT_TRUE(o.choices.crlf && o.choices.del && o.choices.request && o.choices.save);
    EXPECT_FALSE(o.choices.case_insensitive || o.choices.datestamps);
    EXPECT_EQ(o.roots, (std::vector<std::string>{"/a", "-b"}));

    std::vector<std::string> plain = {"x", "--output=/o", "--pattern", "", "/r"};
    argv.clear();
    for (std::string& w : plain)
        argv.push_back(&w[0]);
    CliOptions p;
    ASSERT_TRUE(parse_cli_args((int)argv.size(), argv.data(), &p, &error)) << error;
    EXPECT_EQ(p.choices.output, "/o");
    EXPECT_EQ(p.choices.patterns, "");
    // Without --ask and --save nothing is asked or saved.
    EXPECT_FALSE(p.choices.request || p.choices.save || p.choices.crlf || p.yes || p.follow_links);
    EXPECT_TRUE(p.choices.case_insensitive && p.choices.datestamps);
}

TEST(CliArgs, UsageErrorsEndWithStatusTwo)
{
    for (std::vector<std::string> bad : std::vector<std::vector<std::string>>{
             {"--bogus"}, {"-x"}, {"-o"}, {"--pattern"}, {"--output="}, {"--quiet=1"}, {"-q", "-z"}}) {
        CliResult r = run_cli(bad);
        EXPECT_EQ(r.status, CLI_USAGE) << bad[0];
        EXPECT_EQ(r.err.rfind("twinex: ", 0), 0u) << r.err;
        EXPECT_NE(r.err.find("usage: twinex-cli"), std::string::npos);
        EXPECT_EQ(r.out, "");
    }
    CliResult help = run_cli({"--help"});
    EXPECT_EQ(help.status, CLI_DONE);
    EXPECT_EQ(help.out.rfind("usage: twinex-cli [options] ROOT...\n", 0), 0u);
    CliResult version = run_cli({"--version"});
    EXPECT_EQ(version.status, CLI_DONE);
    EXPECT_EQ(version.out, std::string(banner_text()) + "\n");
    EXPECT_EQ(version.out.rfind("twinex 1.03", 0), 0u);
}

TEST(CliArgs, RootsAreAbsoluteWithoutTrailingSeparators)
{
    std::string here = root_form(".");
    ASSERT_FALSE(here.empty());
    std::string sep(1, PATH_SEP);
    EXPECT_EQ(root_form(("a" + sep + "." + sep + "b" + sep + ".." + sep + "c" + sep + sep).c_str()),
              here + sep + "a" + sep + "c");
    if (PATH_SEP == '/') {
        EXPECT_EQ(root_form("/"), "/");
        EXPECT_EQ(root_form("//usr//lib/"), "/usr/lib");
        EXPECT_EQ(root_form("/../.."), "/");
    } else {
        EXPECT_EQ(root_form("C:\\"), "C:");
        EXPECT_EQ(root_form("c:"), "c:");
        EXPECT_EQ(root_form("C:\\data\\"), "C:\\data");
    }
}

TEST(CliRun, NothingToScanOrNoDirectory)
{
    CliResult r = run_cli({"-y"});
    EXPECT_EQ(r.status, CLI_USAGE);
    EXPECT_EQ(r.err, "twinex: NOTHING TO SCAN\nusage: twinex-cli [options] ROOT...  (more: twinex-cli --help)\n");
    EXPECT_EQ(r.out, "");

    TempTree t;
    CliResult missing = run_cli({"-y", (t.root() / "nowhere").string()});
    EXPECT_EQ(missing.status, CLI_USAGE);
    EXPECT_NE(missing.err.find("nowhere - NOT A DIRECTORY"), std::string::npos);
}

