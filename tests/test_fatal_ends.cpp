// The fatal ends that must never pass unnoticed: a report that can no longer
// be written (a failed write, the flush before an action, the close, a real
// full disk) and memory running out on either thread. Each ends with
// "QUITTING...", twinex-cli's status 3 and no report path on its output,
// and no file is acted on once the report can't record it.
#include <cerrno>
#include <cstdlib>
#include <new>
#include <string>

#include <gtest/gtest.h>

#include "tests/support/cli_harness.h"
#include "tests/support/tree.h"
#include "ui/console/console_feedback.h"

namespace {

// Five names in a, b and c, the copy in c the newest: a delete run with
// datestamps removes two files of each group.
struct DeleteRun {
    TestTree t;
    ScanRun run{t};
    DeleteRun()
    {
        for (int i = 0; i < 5; ++i)
            for (const char* d : {"a", "b", "c"})
                t.file(std::string(d) + "/name" + std::to_string(i) + ".txt", d, 1000 + d[0]);
        run.del(false, false);
        run.st.t_flag = 1;
        for (const char* r : {"a", "b", "c"})
            run.root(r);
    }
    void expect_quit(const std::string& message)
    {
        RecordingFeedback::Message m = run.fb.last_message();
        EXPECT_EQ(m.msg1.value_or(""), message);
        EXPECT_EQ(m.msg2.value_or(""), "QUITTING...");
        EXPECT_TRUE(run.st.fatal);
        EXPECT_EQ(run.fb.end_requests(), 1);
        EXPECT_EQ(run.fb.field(PF_FINISHED), "");
        EXPECT_EQ(run.st.report, nullptr) << "the report was left open";
    }
};

void throw_bad_alloc()
{
    throw std::bad_alloc();
}

// A 64 KiB tmpfs on `dir` for the test's life, where the system lets one
// be mounted (Linux, as root).
class SmallDisk {
public:
    explicit SmallDisk(const fs::path& dir) : dir_(dir.string())
    {
        std::string cmd = "mount -t tmpfs -o size=64k tmpfs '" + dir_ + "' 2>/dev/null";
        mounted_ = PATH_SEP == '/' && std::system(cmd.c_str()) == 0;
    }
    ~SmallDisk()
    {
        if (mounted_ && std::system(("umount '" + dir_ + "'").c_str()) != 0)
            ADD_FAILURE() << "can't unmount " << dir_;
    }
    bool mounted() const { return mounted_; }

private:
    std::string dir_;
    bool mounted_;
};

}  // namespace

TEST(ReportWrites, AFailureEndsTheRunBeforeTheNextAction)
{
    int writes = 0;
    {
        DeleteRun clean;
        clean.run.scan();
        ASSERT_EQ(clean.run.fb.field(PF_FINISHED), "<< FINISHED >>");
        ASSERT_EQ(clean.run.st.numdeleted, 10);
        writes = clean.run.fp.calls(FaultOp::WriteFile);
    }
    struct {
        FaultOp op;
        int nth;
        const char* what;
    } cases[] = {{FaultOp::WriteFile, 1, "first write"},      {FaultOp::WriteFile, writes / 2, "a middle write"},
                 {FaultOp::WriteFile, writes, "last write"},  {FaultOp::FlushFile, 3, "flush before the third file"},
                 {FaultOp::CloseFile, 1, "close"}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        DeleteRun s;
        int deleted_then = -1;
        s.run.fp.before(c.op, c.nth, [&] { deleted_then = s.run.fp.calls(FaultOp::DeleteFile); });
        s.run.fp.fail(c.op, c.nth, ENOSPC);
        s.run.scan();
        s.expect_quit("Can't write the output file \"" + s.run.st.filename + "\": " + error_text(ENOSPC));
        EXPECT_EQ(s.run.fp.calls(FaultOp::DeleteFile), deleted_then) << "a file was removed after the failure";
    }
}

TEST(ReportWrites, AFullDiskEndsADeleteRunWithStatus3)
{
    TempTree t;
    SmallDisk disk(t.dir("out"));
    if (!disk.mounted())
        GTEST_SKIP() << "no 64 KiB tmpfs can be mounted here (it takes Linux, root and mount)";
    // 300 groups of two with datestamps: a report of about 150 KiB.
    std::string name = "a-name-long-enough-to-fill-the-report-quickly-";
    for (int i = 0; i < 300; ++i) {
        t.file("src/old/" + name + std::to_string(i), "", 200);
        t.file("src/new/" + name + std::to_string(i), "", 100);
    }
    std::string report = native(t.root() / "out" / "twinfiles000.txt");
    CliResult r = run_cli({"-q", "-y", "--delete", "-o", native(t.root() / "out"), native(t.root() / "src")});
    EXPECT_EQ(r.status, CLI_FATAL);
    EXPECT_EQ(r.out, "");
    EXPECT_NE(r.err.find("Can't write the output file \"" + report + "\": " + error_text(ENOSPC) + " - QUITTING..."),
              std::string::npos)
        << r.err;
    std::string text = file_text(report);
    int removed = 0, unrecorded = 0;
    for (int i = 0; i < 300; ++i) {
        fs::path old = t.root() / "src" / "old" / (name + std::to_string(i));
        if (fs::exists(old))
            continue;
        ++removed;
        unrecorded += text.find("<< FILE DELETED >>" + native(old) + "\n") == std::string::npos;
    }
    EXPECT_GT(removed, 0);
    EXPECT_LT(removed, 300) << "the run went on after the disk was full";
    EXPECT_LE(unrecorded, 1) << "only the file removed just before the disk filled may lack its line";
}

TEST(OutOfMemory, EveryWhereItStrikesEndsOnTheQuitPath)
{
    {
        SCOPED_TRACE("collecting");
        DeleteRun s;
        s.run.fp.before(FaultOp::OpenDir, 3, throw_bad_alloc);
        s.run.scan();
        s.expect_quit("OUT OF MEMORY");
        EXPECT_TRUE(s.t.names("out").empty()) << "a report was made";
    }
    {
        SCOPED_TRACE("acting");
        DeleteRun s;
        s.run.fp.before(FaultOp::DeleteFile, 2, throw_bad_alloc);
        s.run.scan();
        s.expect_quit("OUT OF MEMORY");
        EXPECT_EQ(s.run.st.numdeleted, 1);
        std::string report = s.run.report();
        EXPECT_NE(report.find("<< FILE DELETED >>"), std::string::npos) << "not closed as far as written";
    }
    {
        SCOPED_TRACE("twinex-cli");
        TempTree t;
        t.file("src/a/x", "", 10);
        t.file("src/b/x", "", 20);
        FaultPlatform fp(system_platform());
        fp.before(FaultOp::OpenDir, 2, throw_bad_alloc);
        CliResult r = run_cli({"-q", "-y", "-o", native(t.dir("out")), native(t.root() / "src")}, "", nullptr, fp);
        EXPECT_EQ(r.status, CLI_FATAL);
        EXPECT_EQ(r.out, "");
        EXPECT_EQ(r.err, "twinex: OUT OF MEMORY - QUITTING...\n");
    }
}

// The console's fatal line is made without the box machinery; it must read
// exactly as the box would.
TEST(OutOfMemory, TheFatalLineReadsAsTheBox)
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
