// The console program's further options on real trees: names left out of
// the walk, deletion only of equal content, the desktop trash, undoing a
// saving run from its manifest. (JSON is read back by tests/cli/json.sh.)
#include <gtest/gtest.h>

#include <cstdlib>
#include <string>
#include <vector>

#include "report/manifest.h"
#include "report/trash.h"
#include "tests/support/cli_harness.h"
#include "tests/support/tree.h"

namespace {

std::string sep(1, PATH_SEP);

bool has(const std::string& text, const std::string& part)
{
    return text.find(part) != std::string::npos;
}

std::vector<std::string> delete_args(const fs::path& out, std::initializer_list<std::string> more)
{
    std::vector<std::string> a = {"-q", "-y", "--no-datestamps", "-o", out.string(), "--delete"};
    a.insert(a.end(), more);
    return a;
}

// ------------------------------------------------------------ --exclude

TEST(Exclude, LeavesOutNamesUncountedAndListsThemInTheHeader)
{
    TempTree t;
    for (const char* r : {"a", "b"}) {
        t.file(std::string(r) + "/notes.txt", r, 100);
        t.file(std::string(r) + "/.git/notes.txt", r, 100);   // a whole directory left out
        t.file(std::string(r) + "/build.TMP", r, 100);        // the case rule applies
    }
    fs::path out = t.dir("out");
    std::string a = native(t.root() / "a"), b = native(t.root() / "b");
    CliResult r = run_cli({"-q", "-y", "--no-datestamps", "-o", out.string(), "-x", ".git", "--exclude", "*.tmp", a, b});
    ASSERT_EQ(r.status, CLI_DONE) << r.err;
    std::string text = file_text(out / "twinfiles000.txt");
    EXPECT_TRUE(has(text, "TOTAL CHECKED:  2\nEXCLUDED:       .git\n                *.tmp\nNUMBER FOUND:   1\n")) << text;
    EXPECT_TRUE(has(text, "notes.txt\n=========\n")) << text;
    EXPECT_FALSE(has(text, ".git" + sep)) << text;
    EXPECT_FALSE(has(text, "build.TMP")) << text;

    CliResult plain = run_cli({"-q", "-y", "--no-datestamps", "-o", out.string(), a, b});
    EXPECT_FALSE(has(file_text(out / "twinfiles001.txt"), "EXCLUDED")) << "a report without exclusions changed";

    CliResult bad = run_cli({"-q", "-y", "-o", out.string(), "-x", "[a", a});
    EXPECT_EQ(bad.status, CLI_USAGE);
    EXPECT_TRUE(has(bad.err, "PATTERN ERROR")) << bad.err;
}

// ------------------------------------------------------- --same-content

TEST(SameContent, EqualSizeDifferentBytesIsKeptAndTheBytesCompareAreCounted)
{
    TempTree t;
    t.file("b/n.txt", "AAAB", 100);     // the newest: kept
    t.file("a/n.txt", "AAAA", 300);     // same size, other bytes
    t.file("c/n.txt", "AAAB", 500);     // same bytes
    t.file("d/n.txt", "AAABB", 700);    // other size: no byte read
    fs::path out = t.dir("out");
    std::vector<std::string> args = delete_args(out, {"--same-content", native(t.root())});
    args.erase(args.begin());   // not quiet: the summary tells the bytes compared
    CliResult r = run_cli(args);
    ASSERT_EQ(r.status, CLI_DONE) << r.err;
    std::string text = file_text(out / "twinfiles000.txt");
    EXPECT_TRUE(has(text, "<< NOT DELETED - CONTENT DIFFERS >>" + native(t.root() / "a" / "n.txt") + "\n")) << text;
    EXPECT_TRUE(has(text, "<< NOT DELETED - CONTENT DIFFERS >>" + native(t.root() / "d" / "n.txt") + "\n")) << text;
    EXPECT_TRUE(has(text, "<< FILE DELETED >>" + native(t.root() / "c" / "n.txt") + "\n")) << text;
    EXPECT_TRUE(fs::exists(t.root() / "a" / "n.txt") && fs::exists(t.root() / "d" / "n.txt"));
    EXPECT_FALSE(fs::exists(t.root() / "c" / "n.txt"));
    EXPECT_TRUE(has(r.err, "twinex: 8 bytes compared for --same-content\n")) << r.err;

    CliResult alone = run_cli({"-q", "-y", "-o", out.string(), "--same-content", native(t.root())});
    EXPECT_EQ(alone.status, CLI_USAGE) << "without --delete";
}

// The user is asked after the comparison; a file written to meanwhile is
// no longer the one compared, and stays.
TEST(SameContent, AFileChangedBetweenCompareAndRemovalStays)
{
    TestTree t;
    t.file("a/n.txt", "same bytes", 1000);
    t.file("b/n.txt", "same bytes", 2000);
    ScanRun run(t);
    run.del(false, true);
    run.st.extra.same_content = true;
    run.root("a");
    run.root("b");
    run.fb.on_complain([&](const RecordingFeedback::Message&) { t.file("a/n.txt", "new bytes!", 1500); });
    run.scan();
    EXPECT_TRUE(has(run.report(), "<< NOT DELETED - FILE CHANGED SINCE SCAN >>" + t.path("a/n.txt"))) << run.report();
    EXPECT_EQ(t.read("a/n.txt"), "new bytes!");
    EXPECT_EQ(run.st.extra.bytes_compared, 10u);
}

// ---------------------------------------------------------------- --trash

class Trash : public ::testing::Test {
protected:
    void SetUp() override
    {
        if (PATH_SEP == '\\')
            GTEST_SKIP() << "the Recycle Bin is the shell's; the desktop trash is tested on Linux";
        data_ = "XDG_DATA_HOME=" + t.path("data");
        putenv(&data_[0]);
        t.file("b/my notes.txt", "kept", 2000);
        t.file("a/my notes.txt", "old", 1000);
    }
    void TearDown() override
    {
        static char unset[] = "XDG_DATA_HOME=";
        putenv(unset);
    }
    std::string trash(const std::string& rel) const { return "data/Trash/" + rel; }

    TestTree t;
    std::string data_;
};

TEST_F(Trash, ATakenNameGetsTheNextAndTheInfoComesFirst)
{
    t.file(trash("files/my notes.txt"), "someone else's", 10);
    t.file(trash("info/my notes.txt.trashinfo"), "[Trash Info]\n", 10);
    ScanRun run(t);
    run.del(false, false);
    run.st.extra.trash = true;
    run.root("a");
    run.root("b");
    bool info_first = false;
    run.fp.before(FaultOp::RenameNew, 1, [&] { info_first = t.exists(trash("info/my notes.txt.2.trashinfo")); });
    run.scan();
    EXPECT_TRUE(has(run.report(), "<< FILE MOVED TO TRASH >>" + t.path("a/my notes.txt"))) << run.report();
    EXPECT_TRUE(info_first);
    EXPECT_EQ(t.read(trash("files/my notes.txt.2")), "old");
    EXPECT_EQ(t.read(trash("files/my notes.txt")), "someone else's");
    std::string info = t.read(trash("info/my notes.txt.2.trashinfo"));
    EXPECT_TRUE(has(info, "[Trash Info]\nPath=" + percent_encoded(t.path("a/my notes.txt")) + "\nDeletionDate="))
        << info;
    EXPECT_TRUE(has(info, "my%20notes.txt"));
    EXPECT_FALSE(t.exists("a/my notes.txt"));
}

// A trash that takes nothing (read-only, whoever runs the test): the file
// stays, with the reason, and is never removed outright instead.
TEST_F(Trash, ATrashThatTakesNothingLeavesTheFileWithTheReason)
{
    for (FaultOp op : {FaultOp::CreateNewFile, FaultOp::RenameNew, FaultOp::CreateDirectory}) {
        std::filesystem::remove_all(t.path("data"));
        ScanRun run(t);
        run.del(false, false);
        run.st.extra.trash = true;
        run.root("a");
        run.root("b");
        run.fp.fail(op, op == FaultOp::CreateNewFile ? 2 : 1, EACCES, -1);   // the report comes first
        run.scan();
        EXPECT_TRUE(has(run.report(), "Permission denied >>" + t.path("a/my notes.txt"))) << run.report();
        EXPECT_EQ(t.read("a/my notes.txt"), "old");
        EXPECT_EQ(run.st.numdeleted, 0);
        EXPECT_TRUE(t.names("data/Trash/info").empty()) << "an info file stays without its file";
    }
}

// -------------------------------------------------------------- --restore

struct Moved {
    TempTree t;
    fs::path out = t.dir("out");
    std::string sinkhole;

    Moved()
    {
        t.file("a/x.txt", "x of a", 100);
        t.file("b/x.txt", "x of b", 200);
        t.file("a/deep/y.dat", "y of a", 300);
        t.file("b/y.dat", "y of b", 400);
        CliResult r = run_cli({"-q", "-y", "--no-datestamps", "-o", out.string(), "--move",
                               native(t.root() / "a"), native(t.root() / "b")});
        EXPECT_EQ(r.status, CLI_DONE) << r.err;
        sinkhole = native(out / "twinfiles000.sinkhole");
        EXPECT_FALSE(fs::exists(t.root() / "a" / "x.txt"));
    }
    CliResult restore() { return run_cli({"--restore", sinkhole}); }
    void expect_back(const std::string& rel, const std::string& bytes, int age)
    {
        fs::path p = t.root() / rel;
        ASSERT_TRUE(fs::exists(p)) << rel;
        EXPECT_EQ(file_text(p), bytes);
        auto age_now = fs::file_time_type::clock::now() - fs::last_write_time(p);
        EXPECT_NEAR(std::chrono::duration_cast<std::chrono::seconds>(age_now).count(), age, 5) << rel;
    }
};

TEST(Restore, EveryCopyGoesBackWithItsTimesAndASecondRestoreDoesNothing)
{
    Moved m;
    ASSERT_TRUE(fs::exists(manifest_path(m.sinkhole)));
    CliResult r = m.restore();
    ASSERT_EQ(r.status, CLI_DONE) << r.err;
    m.expect_back("a/x.txt", "x of a", 100);
    m.expect_back("b/x.txt", "x of b", 200);
    m.expect_back("a/deep/y.dat", "y of a", 300);
    m.expect_back("b/y.dat", "y of b", 400);
    EXPECT_TRUE(fs::is_empty(m.sinkhole)) << "copies or group directories stay";
    EXPECT_FALSE(fs::exists(manifest_path(m.sinkhole)));
    CliResult again = m.restore();
    EXPECT_EQ(again.status, CLI_DONE) << again.err;
    EXPECT_TRUE(has(again.err, "NOTHING TO RESTORE")) << again.err;
    m.expect_back("a/x.txt", "x of a", 100);
}

TEST(Restore, ATakenPlaceKeepsItsFileAndAMissingParentIsMade)
{
    Moved m;
    fs::remove_all(m.t.root() / "a" / "deep");
    m.t.file("a/x.txt", "a newcomer", 0);
    CliResult r = m.restore();
    EXPECT_EQ(r.status, CLI_STOPPED);
    EXPECT_TRUE(has(r.err, "PLACE TAKEN, NOT RESTORED: " + native(m.t.root() / "a" / "x.txt") + "\n")) << r.err;
    EXPECT_EQ(file_text(m.t.root() / "a" / "x.txt"), "a newcomer");
    m.expect_back("a/deep/y.dat", "y of a", 300);
    m.expect_back("b/x.txt", "x of b", 200);
    EXPECT_TRUE(fs::exists(manifest_path(m.sinkhole)));

    fs::remove(m.t.root() / "a" / "x.txt");
    CliResult rest = m.restore();
    EXPECT_EQ(rest.status, CLI_DONE) << rest.err;
    m.expect_back("a/x.txt", "x of a", 100);
    EXPECT_TRUE(fs::is_empty(m.sinkhole));
}

// A move broken off partway (the second file's removal fails, then the run
// is stopped): what was moved comes back, the copy of the file that never
// left is dropped, and nothing is lost.
TEST(Restore, AnInterruptedMoveIsUndone)
{
    TestTree t;
    t.file("a/x.txt", "x of a", 1000);
    t.file("b/x.txt", "x of b", 2000);
    t.file("a/y.txt", "y of a", 3000);
    t.file("b/y.txt", "y of b", 4000);
    ScanRun run(t);
    run.move();
    run.root("a");
    run.root("b");
    run.fp.fail(FaultOp::DeleteFile, 2, EIO);
    run.fp.after(FaultOp::DeleteFile, 3, [&] { run.st.abort_flag = 1; });
    run.scan();
    ASSERT_EQ(run.st.numdeleted, 2);
    CliResult r = run_cli({"--restore", run.st.sinkholename});
    EXPECT_EQ(r.status, CLI_DONE) << r.err;
    for (const char* rel : {"a/x.txt", "b/x.txt", "a/y.txt", "b/y.txt"}) {
        ASSERT_TRUE(t.exists(rel)) << rel;
        EXPECT_EQ(t.read(rel), std::string(1, rel[2]) + " of " + rel[0]);
    }
    EXPECT_TRUE(t.names("out/twinfiles000.sinkhole").empty());
}

TEST(Manifest, LinesReadBackWhateverTheNames)
{
    ManifestEntry e;
    ASSERT_TRUE(parse_manifest_line("g/a%09b%0A000.txt\t12\t1\t2\t3\t/x/a%25b\tc", &e) == false);
    ASSERT_TRUE(parse_manifest_line("g/a%09b%0A000.txt\t12\t1\t-2\t3\t/x/a%25b c", &e));
    EXPECT_EQ(e.copy, "g/a\tb\n000.txt");
    EXPECT_EQ(e.original, "/x/a%b c");
    EXPECT_EQ(e.size, 12u);
    EXPECT_EQ(e.times.access, -2);
    EXPECT_FALSE(parse_manifest_line("g/x\t12\t1\t2\t3", &e));
    EXPECT_FALSE(parse_manifest_line("g/x\tBIG\t1\t2\t3\t/o", &e));
    EXPECT_FALSE(parse_manifest_line("g/x\t1\t1\t2\t3\t/o%4", &e));
}

}  // namespace
