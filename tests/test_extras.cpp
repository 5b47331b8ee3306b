// The console program's further choices on real trees: names left out of
// the walk, deletion only of equal content (copies under other names too), the desktop trash, undoing a
// saving run from its manifest. (JSON is read back by tests/cli/json.sh.)
#include <gtest/gtest.h>

#include <cstdlib>
#include <string>
#include <vector>

#include "report/manifest.h"
#include "report/trash.h"
#include "tests/support/cli_harness.h"
#include "tests/support/golden.h"
#include "tests/support/tree.h"

namespace {

// Names left out are neither walked nor counted, whatever their case, and
// are listed in the header. Of same-sized copies only those with the kept
// file's bytes go; another size is kept without a byte read.
TEST(Extras, ExclusionsAndSameContentByteForByte)
{
    TestTree t;
    t.file("a/n.txt", "AAAA", 500);
    t.file("a/.git/n.txt", "AAAB", 900);
    t.file("b/n.txt", "AAAB", 700);
    t.file("c/n.txt", "AAAB", 300);
    t.file("c/build.TMP", "1", 100);
    t.file("d/n.txt", "AAABB", 100);
    t.file("d/build.TMP", "2", 100);
    ScanRun run(t);
    run.del(false, false);
    run.st.extra.same_content = true;
    run.st.extra.excludes = {".git", "*.tmp"};
    run.roots({"a", "b", "c", "d"});
    run.scan();
    EXPECT_EQ(run.report(), golden("exclude_same_content.txt", t));
    EXPECT_EQ(run.st.extra.bytes_compared, 8u);
    EXPECT_EQ(t.read("a/n.txt") + t.read("d/n.txt") + t.read("a/.git/n.txt"), "AAAAAAABBAAAB");

    ScanRun exact(t);   // -s: an exclusion leaves out only the names of its own case
    exact.st.i_flag = 0;
    exact.st.extra.excludes = {"*.tmp"};
    exact.roots({"c", "d"});
    exact.scan();
    EXPECT_TRUE(has(exact.report(), "build.TMP\n=========\n")) << exact.report();
}

// Copies under other names (--copies, with --unicode beside it) are deleted
// only when their bytes are the kept file's: a mark says nothing of the
// content. (Without --same-content the run is refused: tests/cli.)
TEST(Extras, CopiesAreDeletedOnlyWithTheKeptFilesBytes)
{
    TestTree t;
    t.file("a/report (1).pdf", "PDF1", 3000);
    t.file("b/report.pdf", "PDF1", 2000);
    t.file("c/report - Copy.pdf", "PDF2", 1000);
    t.file("d/Copy of report.pdf", "PDF1", 500);
    TestPlatform sys(T_2005_06_14, false);
    pin_utc();
    CliResult r = run_cli({"-qy", "--no-datestamps", "--unicode", "--copies", "--delete", "--same-content", "-o",
                           t.path("out"), t.path("a"), t.path("b"), t.path("c"), t.path("d")},
                          sys);
    ASSERT_EQ(r.status, CLI_DONE) << r.err;
    EXPECT_EQ(t.read("out/twinfiles000.txt"), golden("copies_same_content.txt", t));
    EXPECT_EQ(t.names("b").size() + t.names("d").size(), 0u);
    EXPECT_EQ(t.read("a/report (1).pdf") + t.read("c/report - Copy.pdf"), "PDF1PDF2");
}

// --keep oldest (of equal times the first in the report stays), a group
// under one root left out by --across-roots, and the size limits at their
// very edges, in the header and the summary.
TEST(Extras, OldestKeptAcrossRootsWithinTheSizeLimits)
{
    TestTree t;
    t.file("a/g.txt", "gg", 1000);
    t.file("a/sub/g.txt", "gg", 2000);
    t.file("a/k.txt", "aa", 1000);
    t.file("b/k.txt", "bb", 1000);
    t.file("c/k.txt", "cc", 2000);
    const char* sizes[] = {"1", "22", "4444", "55555"};
    for (int i = 0; i < 4; ++i)
        t.file(std::string(1, char('a' + i)) + "/s.txt", sizes[i], 1000 - 100 * i);
    TestPlatform sys(T_2005_06_14, true);   // the sizes need a status the listing does not give
    pin_utc();
    CliResult r = run_cli({"-y", "--no-datestamps", "--delete", "--keep", "oldest", "--across-roots", "--min-size",
                           "2", "--max-size=4", "-o", t.path("out"), t.path("a"), t.path("b"), t.path("c"), t.path("d")},
                          sys);
    ASSERT_EQ(r.status, CLI_DONE) << r.err;
    EXPECT_EQ(t.read("out/twinfiles000.txt"), golden("oldest_across_sizes.txt", t));
    EXPECT_TRUE(has(r.err, "twinex: 3 deleted, 2 oldest kept\n")) << r.err;
    EXPECT_EQ(t.read("b/k.txt") + t.read("c/s.txt") + t.read("a/g.txt") + t.read("a/sub/g.txt"), "bb4444gggg");
    EXPECT_FALSE(t.exists("a/k.txt") || t.exists("c/k.txt") || t.exists("b/s.txt"));
}

// A trash made anew is the user's alone; a taken name in it gets the next,
// and the info file, with the path percent-encoded, comes before the file.
// (A trash that takes nothing: test_fault_matrix.)
TEST(Extras, DeletingIntoTheDesktopTrash)
{
    if (PATH_SEP == '\\')
        GTEST_SKIP() << "the Recycle Bin is the shell's; the desktop trash is tested on Linux";
    TestTree t;
    DataHome home(t);
    t.file("b/my notes.txt", "kept", 2000);
    bool info_first = false;
    std::string report;
    for (const char* bytes : {"first", "second"}) {
        t.file("a/my notes.txt", bytes, 1000);
        ScanRun run(t);
        run.del(false, false);
        run.st.extra.trash = true;
        run.roots({"a", "b"});
        run.fp.before(FaultOp::RenameAt, 1, [&] { info_first = t.exists("data/Trash/info/my notes.txt.2.trashinfo"); });
        run.scan();
        report = run.report();
    }
    using std::filesystem::perms;
    for (const char* d : {"data/Trash", "data/Trash/files", "data/Trash/info"})
        EXPECT_EQ(std::filesystem::status(t.path(d)).permissions() & perms::all, perms::owner_all) << d;
    EXPECT_TRUE(has(report, "<< FILE MOVED TO TRASH >>" + t.path("a/my notes.txt"))) << report;
    EXPECT_TRUE(info_first);
    EXPECT_EQ(t.read("data/Trash/files/my notes.txt.2") + t.read("data/Trash/files/my notes.txt"), "secondfirst");
    std::string info = t.read("data/Trash/info/my notes.txt.2.trashinfo");
    EXPECT_EQ(info.rfind("[Trash Info]\nPath=" + percent_encoded(t.path("a/my notes.txt")) + "\nDeletionDate=", 0), 0u);
    EXPECT_TRUE(has(info, "/a/my%20notes.txt\n")) << info;
    EXPECT_FALSE(t.exists("a/my notes.txt"));
}

// -------------------------------------------------------------- --restore

// A taken place keeps its file and a missing parent is made; the manifest
// stays for a second try, which brings back the rest with their times and
// leaves the sinkhole empty. A manifest line that leads out of its sinkhole
// is refused. (The plain restore: tests/cli/exit_codes.sh.)
TEST(Restore, WhatCannotGoBackStaysForASecondTry)
{
    TestTree t;
    const char* moved[] = {"a/x.txt", "b/x.txt", "a/deep/y 100%.dat", "b/y 100%.dat"};
    for (int i = 0; i < 4; ++i)
        t.file(moved[i], moved[i], 1000 + i, 5000);
    ScanRun run(t);
    run.move();
    run.roots({"a", "b"});
    run.scan();
    std::filesystem::remove_all(t.path("a/deep"));
    std::error_code ec;   // a link put where a directory was is not followed
    t.dir("elsewhere");
    std::filesystem::create_directory_symlink(t.path("elsewhere"), t.path("a/deep"), ec);
    bool linked = !ec && std::filesystem::is_symlink(std::filesystem::symlink_status(t.path("a/deep"), ec));
    t.file("a/x.txt", "a newcomer", 10);
    CliResult r = run_cli({"--restore", run.st.sinkholename});
    EXPECT_EQ(r.status, CLI_INCOMPLETE);
    EXPECT_TRUE(has(r.err, "PLACE TAKEN, NOT RESTORED: " + t.path("a/x.txt") + "\n")) << r.err;
    EXPECT_EQ(t.read("a/x.txt"), "a newcomer");
    EXPECT_TRUE(t.names("elsewhere").empty()) << "the restore wrote through a link";
    EXPECT_EQ(t.exists("a/deep/y 100%.dat"), !linked);
    EXPECT_TRUE(t.exists("out/twinfiles000.sinkhole.manifest"));

    if (linked)   // (Wine claims to make links, and makes none)
        std::filesystem::remove(t.path("a/deep"));
    std::filesystem::remove(t.path("a/x.txt"));
    EXPECT_EQ(run_cli({"--restore", run.st.sinkholename}).status, CLI_DONE);
    for (int i = 0; i < 4; ++i) {
        EXPECT_EQ(t.read(moved[i]), moved[i]);
        EXPECT_EQ(t.mtime(moved[i]), 1000 + i) << moved[i];
    }
    EXPECT_EQ(t.names("out"), (std::vector<std::string>{"twinfiles000.sinkhole", "twinfiles000.txt"}));
    EXPECT_TRUE(t.names("out/twinfiles000.sinkhole").empty());

    std::string sep(1, PATH_SEP);   // a line leading out of the sinkhole
    t.file("out/s.manifest", manifest_first_line + ("\nx" + sep + ".." + sep + "y\t1\t1\t2\t3\t" + t.path("y")), 1);
    t.dir("out/s");
    EXPECT_TRUE(has(run_cli({"--restore", t.path("out/s")}).err, "BAD LINE 2 IN THE MANIFEST"));
}

// A move broken off partway (the run is stopped at the third file, and the
// second file's removal fails as its batch completes): what was moved comes back, the copy of the file that never
// left is dropped once it is known to hold that file's bytes, and nothing
// is lost.
TEST(Restore, AnInterruptedMoveIsUndone)
{
    TestTree t;
    for (const char* rel : {"a/x.txt", "b/x.txt", "a/y.txt", "b/y.txt"})
        t.file(rel, std::string(1, rel[2]) + " of " + rel[0], rel[0] * 10 + rel[2]);
    ScanRun run(t);
    run.move();
    run.roots({"a", "b"});
    run.fp.other_volume(t.path("out"));   // copies, not renames
    run.fp.no_birth_times = true;         // written "-", and restored all the same
    run.fp.fail(FaultOp::RemoveFileAt, 2, EIO);
    run.fp.before(FaultOp::OpenFileAt, 3, [&] { run.st.abort_flag = 1; });   // its batch is completed
    run.scan();
    ASSERT_EQ(run.st.numdeleted, 2);
    EXPECT_TRUE(has(TestTree::read_path(run.st.sinkholename + ".manifest"), "\t-\t"));
    FaultPlatform unreadable(system_platform());   // a spare that cannot be compared stays
    unreadable.fail(FaultOp::ReadBytes, 2, EIO);   // the manifest is read first
    EXPECT_EQ(run_cli({"--restore", run.st.sinkholename}, unreadable).status, CLI_INCOMPLETE);
    CliResult r = run_cli({"--restore", run.st.sinkholename});
    EXPECT_EQ(r.status, CLI_DONE) << r.err;
    for (const char* rel : {"a/x.txt", "b/x.txt", "a/y.txt", "b/y.txt"})
        EXPECT_EQ(t.read(rel), std::string(1, rel[2]) + " of " + rel[0]);
    EXPECT_TRUE(t.names("out/twinfiles000.sinkhole").empty());
}

}  // namespace
