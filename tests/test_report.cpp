// Whole reports of listing runs over real trees, compared byte for byte:
// the header, the group blocks, line ends, datestamps, patterns, names that
// hold control bytes, files that vanish, aborts, and the progress fields.
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "engine/state.h"
#include "tests/support/tree.h"

namespace {

const std::string SEP(1, PATH_SEP);

std::string date(int64_t unix_seconds)
{
    return ctime_text(unix_seconds);
}

// The first lines of every report, up to the roots.
std::vector<std::string> head(const ScanRun& run)
{
    return {"THIS FILE:      " + run.st.filename, std::string("CREATED BY:     ") + banner_text(),
            "CREATION DATE:  Tue Jun 14 14:05:09 2005"};
}

std::vector<std::string> operator+(std::vector<std::string> a, const std::vector<std::string>& b)
{
    a.insert(a.end(), b.begin(), b.end());
    return a;
}

// Two roots, one group of two and a unique name.
struct TwoRoots : ::testing::Test {
    TestTree t;
    void SetUp() override
    {
        t.file("a/notes.txt", "older", 1000);
        t.file("a/solo", "s", 1000);
        t.file("b/notes.txt", "newer!", 2000);
    }
    std::vector<std::string> body(const std::string& found = "1") const
    {
        return {"DIRECTORIES:    " + t.path("a") + " 2 filenames checked",
                "                " + t.path("b") + " 1 filenames checked",
                "TOTAL CHECKED:  3",
                "NUMBER FOUND:   " + found};
    }
};

TEST_F(TwoRoots, ListingReportByteForByte)
{
    ScanRun run(t);
    run.root("a");
    run.root("b");
    run.scan();
    EXPECT_EQ(run.st.filename, t.path("out/twinfiles000.txt"));
    std::string expected = lines(head(run) + body() +
                                 std::vector<std::string>{"CASE INSENSITIVE SEARCH", "", "notes.txt", "=========",
                                                          t.path("b/notes.txt"), t.path("a/notes.txt"), ""});
    EXPECT_EQ(run.report(), expected);
    EXPECT_EQ(run.fb.field(PF_ABORT), "AGAIN");
    EXPECT_EQ(run.fb.field(PF_FINISHED), "<< FINISHED >>");
}

TEST_F(TwoRoots, CarriageReturnsEndEveryLineWhenAsked)
{
    ScanRun run(t);
    run.st.r_flag = 1;
    run.st.i_flag = 0;
    run.root("a");
    run.root("b");
    run.scan();
    std::string expected = lines(head(run) + body() +
                                     std::vector<std::string>{"CASE SENSITIVE SEARCH", "", "notes.txt", "=========",
                                                              t.path("b/notes.txt"), t.path("a/notes.txt"), ""},
                                 "\r\n");
    EXPECT_EQ(run.report(), expected);
}

TEST_F(TwoRoots, PatternLinesAppearWithAPatternEvenWithoutMatches)
{
    {
        ScanRun run(t);
        run.pattern("*.TXT");
        run.root("a");
        run.root("b");
        run.scan();
        std::vector<std::string> b = body();
        b.insert(b.begin() + 3, {"PATTERN:        *.TXT", "MATCHING TOTAL: 2"});
        std::string expected = lines(head(run) + b +
                                     std::vector<std::string>{"CASE INSENSITIVE SEARCH", "", "notes.txt", "=========",
                                                              t.path("b/notes.txt"), t.path("a/notes.txt"), ""});
        EXPECT_EQ(run.report(), expected);
    }
    {
        ScanRun run(t);
        run.pattern("*.doc");
        run.root("a");
        run.root("b");
        run.scan();
        std::vector<std::string> b = body("0");
        b.insert(b.begin() + 3, {"PATTERN:        *.doc", "MATCHING TOTAL: 0"});
        EXPECT_EQ(run.report(), lines(head(run) + b + std::vector<std::string>{"CASE INSENSITIVE SEARCH", ""}));
    }
}

TEST_F(TwoRoots, DatestampLinesGiveTimesAndFullSize)
{
    const int64_t big = 5000000000LL;   // beyond 32 bits
    std::error_code ec;
    std::filesystem::resize_file(t.path("b/notes.txt"), uintmax_t(big), ec);
    ASSERT_FALSE(ec);
    t.set_times("b/notes.txt", 2000, 3000);
    ScanRun run(t);
    run.st.t_flag = 1;
    run.root("a");
    run.root("b");
    run.scan();
    auto stamp = [&](const char* rel, int64_t atime, int64_t mtime, const char* size) {
        FileStatus fs;
        EXPECT_TRUE(system_platform().stat(t.path(rel).c_str(), &fs));
        return "  CREATED: " + date(ticks_to_unix(fs.times.creation)) + " : ACCESSED: " + date(atime) +
               " : MODIFIED: " + date(mtime) + " : SIZE " + size + " bytes";
    };
    std::string expected =
        lines(head(run) + body() +
              std::vector<std::string>{"CASE INSENSITIVE SEARCH", "", "notes.txt", "=========", t.path("b/notes.txt"),
                                       stamp("b/notes.txt", 3000, 2000, "5000000000"), t.path("a/notes.txt"),
                                       stamp("a/notes.txt", 1000, 1000, "5"), ""});
    EXPECT_EQ(run.report(), expected);
    EXPECT_NE(expected.find("ACCESSED: Thu Jan 01 00:50:00 1970 : MODIFIED: Thu Jan 01 00:33:20 1970"),
              std::string::npos);
}

TEST_F(TwoRoots, FileGoneBeforeTheReportGetsTheDatestampFailureLine)
{
    ScanRun run(t);
    run.st.t_flag = 1;
    run.root("a");
    run.root("b");
    // Gone once the report exists, before any file of it is looked at.
    run.fp.after(FaultOp::CreateNewFile, 1, [&] { std::filesystem::remove(t.path("b/notes.txt")); });
    run.scan();
    std::string report = run.report();
    std::string gone = lines({t.path("b/notes.txt"), "<<<<<<== Can't get the datestamp of this file ==>>>>>>", "",
                              t.path("a/notes.txt")});
    EXPECT_NE(report.find(gone), std::string::npos) << report;
    EXPECT_EQ(run.fb.field(PF_FINISHED), "<< FINISHED >>");
}

TEST_F(TwoRoots, EarlierReportsAreKeptAndTheNextNumberIsUsed)
{
    for (const char* n : {"out/twinfiles000.txt", "out/twinfiles001.txt", "out/twinfiles002.txt"})
        t.file(n, "earlier", 1);
    ScanRun run(t);
    run.st.outputname = t.path("out") + SEP;   // a trailing separator gives the same prefix
    run.root("a");
    run.root("b");
    run.scan();
    EXPECT_EQ(run.st.filename, t.path("out/twinfiles003.txt"));
    EXPECT_EQ(run.report().rfind("THIS FILE:      " + t.path("out/twinfiles003.txt") + "\n", 0), 0u);
    EXPECT_EQ(t.read("out/twinfiles001.txt"), "earlier");
}

TEST_F(TwoRoots, ProgressFieldsTellEachPhase)
{
    ScanRun run(t);
    run.root("a");
    run.root("b");
    run.scan();
    const RecordingFeedback& fb = run.fb;
    EXPECT_EQ(fb.field(PF_COLLECT_LABEL), "COLLECTING: ");
    EXPECT_EQ(fb.field(PF_COLLECT_COUNT), "3");
    EXPECT_EQ(fb.field(PF_PROCESS_LABEL), "PROCESSING:");
    EXPECT_EQ(fb.field(PF_PROCESS_COUNT), "1");
    EXPECT_EQ(fb.field(PF_WRITE_LABEL), "WRITING:");
    EXPECT_EQ(fb.field(PF_WRITE_FILE), run.st.filename);
    EXPECT_EQ(fb.field(PF_WRITTEN_LABEL), "WRITTEN: ");
    EXPECT_EQ(fb.field(PF_WRITTEN_COUNT), "1");
    EXPECT_TRUE(fb.field_texts(PF_ACTION_LABEL).empty());
    EXPECT_EQ(fb.field_texts(PF_WRITTEN_COUNT).front(), "0");
}

TEST(Report, NoRootsStillEndsTheDirectoriesLine)
{
    TestTree t;
    ScanRun run(t);
    run.scan();
    EXPECT_EQ(run.report(), lines(head(run) + std::vector<std::string>{"DIRECTORIES:    ", "TOTAL CHECKED:  0",
                                                                       "NUMBER FOUND:   0", "CASE INSENSITIVE SEARCH",
                                                                       ""}));
    EXPECT_EQ(run.fb.field(PF_ABORT), "AGAIN");
}

TEST(Report, ControlBytesInNamesAreWrittenVisibly)
{
    if (PATH_SEP == '\\')
        GTEST_SKIP() << "no such names on this system";
    TestTree t;
    const std::string name = "two\nlines\r\x01\tx\x7f";
    t.file("a/" + name, "1", 1);
    t.file("b/" + name, "2", 2);
    t.file("a/caf\xc3\xa9", "1", 1);   // other bytes stay as they are
    t.file("b/caf\xc3\xa9", "2", 2);
    ScanRun run(t);
    run.root("a");
    run.root("b");
    run.scan();
    std::string v = "two\\nlines\\r\\x01\\tx\\x7f";
    std::string report = run.report();
    std::string group = lines({v, std::string(v.size(), '='), t.path("b") + SEP + v, t.path("a") + SEP + v, ""});
    std::string plain = lines({"caf\xc3\xa9", "=====", t.path("b/caf\xc3\xa9"), t.path("a/caf\xc3\xa9"), ""});
    EXPECT_NE(report.find(group), std::string::npos) << report;
    EXPECT_NE(report.find(plain), std::string::npos) << report;
    EXPECT_EQ(report.find('\r'), std::string::npos);
}

// ------------------------------------------------------------ aborts

TEST(Report, AbortWithinTheGroupsLeavesTheReportAsFarAsWritten)
{
    TestTree t;
    t.file("a/x", "1", 1);
    t.file("b/x", "2", 2);
    t.file("a/y", "1", 1);
    t.file("b/y", "2", 2);
    ScanRun run(t);
    run.st.t_flag = 1;
    run.st.dom_flag = 1;
    run.root("a");
    run.root("b");
    // Pressed while the third file's status is read (the first query is the
    // report's free name): that file's lines are still written, the fourth's not.
    run.fp.before(FaultOp::Stat, 4, [&] { run.st.abort_flag = 1; });
    run.scan();
    std::string report = run.report();
    ASSERT_FALSE(report.empty());
    EXPECT_EQ(report.back(), '\n');
    size_t third = report.find("  CREATED: ", report.find("=\n", report.find("=\n") + 2));
    ASSERT_NE(third, std::string::npos) << report;
    EXPECT_EQ(report.find('\n', third) + 1, report.size()) << report;
    EXPECT_EQ(run.fb.field(PF_FINISHED), "");
    EXPECT_EQ(run.fb.field(PF_ABORT), "");
    EXPECT_EQ(run.fb.field(PF_WRITTEN_COUNT), "2");
    EXPECT_EQ(run.st.report, nullptr);
}

TEST(Report, AbortBeforeTheFirstGroupLeavesTheHeaderOnly)
{
    TestTree t;
    t.file("a/x", "1", 1);
    t.file("b/x", "2", 2);
    ScanRun run(t);
    run.root("a");
    run.root("b");
    run.fp.after(FaultOp::CreateNewFile, 1, [&] { run.st.abort_flag = 1; });
    run.scan();
    std::string report = run.report();
    EXPECT_EQ(report.substr(report.size() - 25), "CASE INSENSITIVE SEARCH\n\n");
    EXPECT_NE(run.st.hThread, nullptr);   // stopped after collection: the handle stays
    EXPECT_EQ(run.fb.field(PF_FINISHED), "");
}

TEST(Report, NoFreeReportNameEndsTheProgram)
{
    TestTree t;
    t.file("a/x", "1", 1);
    ScanRun run(t);
    run.root("a");
    run.fp.fail(FaultOp::CreateNewFile, 1, EACCES, -1);
    run.scan();
    ASSERT_EQ(run.fb.message_count(), 1u);
    EXPECT_EQ(*run.fb.last_message().msg1, "Can't open an output file");
    EXPECT_EQ(*run.fb.last_message().msg2, "QUITTING...");
    EXPECT_EQ(run.fb.end_requests(), 1);
    EXPECT_EQ(run.st.abort_flag, 1);
    EXPECT_EQ(run.fb.field(PF_ABORT), "");
    EXPECT_TRUE(t.names("out").empty());
}

}  // namespace
