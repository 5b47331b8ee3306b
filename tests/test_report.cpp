// Whole reports of listing runs over real trees, compared byte for byte with
// the files in tests/golden: the header, the group blocks, line ends,
// patterns, datestamps, files that vanish, names that hold control bytes,
// and a report cut short by an abort.
#include <string>

#include <gtest/gtest.h>

#include "tests/support/golden.h"
#include "tests/support/tree.h"

namespace {

// Two roots, one group of two and a unique name; the report of each run.
struct TwoRoots {
    TestTree t;
    ScanRun run{t};
    TwoRoots()
    {
        t.file("a/notes.txt", "older", 1000);
        t.file("a/solo", "s", 1000);
        t.file("b/notes.txt", "newer!", 2000);
        run.roots({"a", "b"});
    }
    std::string report()
    {
        run.scan();
        EXPECT_EQ(run.fb.field(PF_FINISHED), "<< FINISHED >>");
        EXPECT_EQ(run.fb.field(PF_ABORT), "AGAIN");
        return run.report();
    }
};

TEST(Report, ListingRunsByteForByte)
{
    TwoRoots plain;   // an earlier report keeps its name; a trailing separator adds none
    plain.t.file("out/twinfiles000.txt", "earlier", 1);
    plain.run.st.outputname += PATH_SEP;
    EXPECT_EQ(plain.report(), golden("listing.txt", plain.t));
    EXPECT_EQ(plain.t.read("out/twinfiles000.txt"), "earlier");

    TwoRoots crlf;
    crlf.run.st.r_flag = 1;
    crlf.run.st.i_flag = 0;
    crlf.run.pattern("*.txt");
    EXPECT_EQ(crlf.report(), golden("listing_crlf_pattern.txt", crlf.t, "\r\n"));

    TestTree t;   // no roots, a pattern: every header line is still there
    ScanRun empty(t);
    empty.pattern("*.doc");
    empty.scan();
    EXPECT_EQ(empty.report(), golden("empty.txt", t));
}

// A size beyond 32 bits, and a file gone once the report exists. Where the
// file system keeps no creation time (or one of exactly 0), none is shown.
TEST(Report, DatestampsGiveTimesAndFullSize)
{
    for (bool birth : {true, false}) {
        TwoRoots f;
        std::error_code ec;
        std::filesystem::resize_file(f.t.path("b/notes.txt"), 5000000000ULL, ec);
        ASSERT_FALSE(ec);
        f.t.set_times("b/notes.txt", 2000, 3000);
        f.t.file("b/gone.txt", "1", 1);
        f.t.file("c/gone.txt", "2", 2);
        f.run.root("c");
        f.run.st.t_flag = 1;
        f.run.fp.no_birth_times = !birth;
        f.run.fp.after(FaultOp::CreateNewFile, 1, [&] { std::filesystem::remove(f.t.path("c/gone.txt")); });
        std::string want = golden("datestamps.txt", f.t);
        for (size_t at = 0; !birth && (at = want.find("CREATED: ", at)) != std::string::npos; at += 10)
            want.replace(at + 9, 24, "-");
        EXPECT_EQ(f.report(), want);
    }
}

TEST(Report, ControlBytesInNamesAreWrittenVisibly)
{
    if (PATH_SEP == '\\')
        GTEST_SKIP() << "no such names on this system";
    TestTree t;
    t.file("a/two\nlines\r\x01\tx\x7f", "1", 1);
    t.file("b/two\nlines\r\x01\tx\x7f", "2", 2);
    t.file("b/caf\xc3\xa9", "1", 1);   // other bytes stay as they are
    t.file("c/caf\xc3\xa9", "2", 2);
    ScanRun run(t);
    run.roots({"a", "b", "c"});
    run.scan();
    EXPECT_EQ(run.report(), golden("control_names.txt", t));
}

// Abort pressed while the third file's status is read (the first query is
// the report's free name): that file's lines are still written, the
// fourth's not, and the report is closed.
TEST(Report, AbortLeavesTheReportAsFarAsWritten)
{
    TestTree t;
    t.file("a/x", "1", 1);
    t.file("b/x", "2", 2);
    t.file("b/y", "1", 1);
    t.file("c/y", "2", 2);
    ScanRun run(t);
    run.st.t_flag = 1;
    run.roots({"a", "b", "c"});
    run.fp.before(FaultOp::Stat, 4, [&] { run.st.abort_flag = 1; });
    run.scan();
    EXPECT_EQ(run.report(), golden("aborted.txt", t));
    EXPECT_EQ(run.fb.field(PF_FINISHED) + run.fb.field(PF_ABORT), "");
    EXPECT_EQ(run.fb.field(PF_WRITTEN_COUNT), "2");
    EXPECT_EQ(run.st.report, nullptr);
}

}  // namespace
