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
// With `kinds`, the listings tell each entry's kind but not its status.
struct TwoRoots {
    TestTree t;
    ScanRun run;
    explicit TwoRoots(bool kinds = false) : run(t, kinds)
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

// A size beyond 32 bits, and a file gone once the report exists: the report
// gives every file as collection found it. Where the file system keeps no
// creation time (or one of exactly 0), none is shown. One status per file,
// and only for the four whose names are met twice: read by the pool where
// the listing tells kinds only, and none at all where the listing tells
// each status itself (as on Windows); the one query left finds the
// report's free name. Identities are read once per directory, not per file.
TEST(Report, DatestampsGiveTimesAndFullSizeOneStatusPerFile)
{
    for (int run = 0; run < 4; ++run) {
        const bool kinds = run & 1, birth = run & 2;
        TwoRoots f(kinds);
        std::error_code ec;
        std::filesystem::resize_file(f.t.path("b/notes.txt"), 5000000000ULL, ec);
        ASSERT_FALSE(ec);
        f.t.set_times("b/notes.txt", 2000, 3000);
        f.t.file("b/gone.txt", "1", 1);
        f.t.file("c/gone.txt", "2", 2);
        f.run.root("c");
        f.run.st.t_flag = 1;
        f.run.fp.no_birth_times = !birth;
        std::string want = golden("datestamps.txt", f.t);   // while every file is there
        for (size_t at = 0; !birth && (at = want.find("CREATED: ", at)) != std::string::npos; at += 10)
            want.replace(at + 9, 24, "-");
        f.run.fp.after(FaultOp::CreateNewFile, 1, [&] { std::filesystem::remove(f.t.path("c/gone.txt")); });
        EXPECT_EQ(f.report(), want);
        EXPECT_EQ(f.run.fp.calls(FaultOp::Stat), kinds ? 5 : 1);
        EXPECT_EQ(f.run.fp.calls(FaultOp::Identity), 3);
        for (FaultOp op : {FaultOp::OpenForRead, FaultOp::GetFileTimes, FaultOp::OpenFileAt, FaultOp::HandleStatus})
            EXPECT_EQ(f.run.fp.calls(op), 0);
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

// Abort pressed while the third file's line is written: that file's lines
// are still written, the fourth's not, and the report is closed.
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
    run.fp.before(FaultOp::WriteFile, 1, [&] {
        if (run.fp.last(FaultOp::WriteFile).path == t.path("c/y"))
            run.st.abort_flag = 1;
    }, -1);
    run.scan();
    EXPECT_EQ(run.report(), golden("aborted.txt", t));
    EXPECT_EQ(run.fb.field(PF_FINISHED) + run.fb.field(PF_ABORT), "");
    EXPECT_EQ(run.fb.field(PF_WRITTEN_COUNT), "2");
    EXPECT_EQ(run.st.report, nullptr);
}

}  // namespace
