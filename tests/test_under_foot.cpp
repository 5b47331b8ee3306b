// Files and directories that change while a scan runs, at chosen moments:
// a file changed or replaced before the report, or while its deletion is
// asked about; directories gone before the walk opens them or while it is
// inside them. (A file written to while it is copied is in the fault
// matrix.)
#include <algorithm>
#include <set>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "tests/support/tree.h"

namespace {

namespace fs = std::filesystem;
using Names = std::vector<std::string>;

// The contents of every regular file below `dir`, sorted.
std::multiset<std::string> contents_below(const std::string& dir)
{
    std::multiset<std::string> out;
    std::error_code ec;
    for (fs::recursive_directory_iterator it(dir, ec), end; !ec && it != end; it.increment(ec))
        if (it->is_regular_file(ec))
            out.insert(TestTree::read_path(it->path().string()));
    return out;
}

// ------------------------------------------ a file that changes meanwhile

enum Change { Append, Vanish, SameSizeAndTime, Rewrite, InPlace };

// A change is made just before the report, while c's deletion is asked, or
// (same content) just after c's first bytes were compared.
struct Case {
    const char* what;
    int kind;   // 0 move, 1 delete, 2 delete saving and asking first, 3 delete same content
    char file;  // 'a', 'b' or 'c'
    Change change;
    std::string lines;   // what the report says; {a} {b} {c} stand for the files' paths
    int removed;
    std::multiset<std::string> saved;   // the sinkhole's files
};

const std::string CHANGED = "<< NOT DELETED - FILE CHANGED SINCE SCAN >>";

// b holds the newest of a, b and c; a delete run acts on c before a.
const Case CASES[] = {
    {"c modified", 1, 'c', Append, CHANGED + "{c}\n", 1, {}},
    {"c replaced by a file alike", 1, 'c', SameSizeAndTime, CHANGED + "{c}\n", 1, {}},
    {"c rewritten, its time kept", 2, 'c', Rewrite, CHANGED + "{c}\n<< FILE DELETED >>{a}\n", 1, {"AAA"}},
    {"b, the kept file, gone", 2, 'b', Vanish, CHANGED + "{c}\n" + CHANGED + "{a}\n", 0, {}},
    {"c rewritten in place, its size kept", 1, 'c', InPlace, CHANGED + "{c}\n", 1, {}},
    {"c rewritten in place while compared", 3, 'c', InPlace, CHANGED + "{c}\n", 1, {}},
    {"c modified", 0, 'c', Append, "<< FILE MOVED >>{c}\n", 3, {"AAA", "BBBB", "CC and more"}},
};

// A delete run removes only the file it collected, and only while the kept
// one is there; a move saves a file as it is now, or keeps it.
TEST(UnderFoot, AFileChangedMeanwhileIsKeptOrSavedAsItIsNow)
{
    for (const Case& c : CASES) {
        SCOPED_TRACE(c.what);
        if (c.change == SameSizeAndTime && PATH_SEP == '\\')
            continue;   // the walk learns no identities there
        ThreeCopies f;
        TestTree& t = f.t;
        ScanRun& run = f.run;
        if (c.kind == 3)   // the bytes of b, the kept file
            t.file("a/notes.txt", "BBBB", 1000), t.file("c/notes.txt", "BBBB", 2000);
        c.kind == 0 ? run.move() : run.del(c.kind == 2, c.kind == 2);
        run.st.extra.same_content = c.kind == 3;
        std::string rel = std::string(1, c.file) + "/notes.txt";
        // Windows keeps others from writing to a file held open to act on
        // it: there c cannot be rewritten, and goes as it was collected.
        bool held = PATH_SEP == '\\' && c.change == Rewrite;
        bool rewritten = false;
        auto change = [&] {
            if (c.change == Append) {
                std::ofstream(t.path(rel), std::ios::binary | std::ios::app) << " and more";
                t.set_times(rel, 5000, 5000);
            }
            if (c.change == Vanish)
                fs::remove(t.path(rel));
            if (c.change == SameSizeAndTime) {   // another file, told apart by its identity alone
                t.file("new", "??", 2000);
                fs::rename(t.path("new"), t.path(rel));
            }
            if (c.change == Rewrite) {
                t.file(rel, "other", 2000);
                rewritten = t.read(rel) == "other";
            }
            if (c.change == InPlace) {   // the same file, its bytes changed, a later time
                std::fstream(t.path(rel), std::ios::in | std::ios::out | std::ios::binary) << "XX";
                t.set_times(rel, 2500, 2500);
            }
        };
        if (c.kind == 3)
            run.fp.after(FaultOp::ReadBytes, 1, change);
        else if (c.kind != 2)
            run.fp.before(FaultOp::CreateNewFile, 1, change);
        run.fb.on_complain([&](const RecordingFeedback::Message& m) {
            if (m.msg2.value_or("") == t.path("c/notes.txt"))
                change();
        });
        run.scan();
        EXPECT_EQ(rewritten, c.change == Rewrite && !held);
        std::string lines = held ? "<< FILE DELETED >>{c}\n<< FILE DELETED >>{a}\n" : c.lines;
        for (size_t at; (at = lines.find('{')) != std::string::npos;)
            lines.replace(at, 3, t.path(lines.substr(at + 1, 1) + "/notes.txt"));
        EXPECT_NE(run.report().find("\n" + lines), std::string::npos) << run.report();
        EXPECT_EQ(run.st.numdeleted, held ? 2 : c.removed);
        std::multiset<std::string> saved = held ? std::multiset<std::string>{"AAA", "CC"} : c.saved;
        EXPECT_EQ(contents_below(t.path("out/twinfiles000.sinkhole")), saved);
    }
}

// ----------------------------------- a place swapped between walk and act

// After the walk, c/sub is swapped for another directory holding a file
// alike (same name, size and time: only its bytes differ), for a link to
// it, or c/sub/notes.txt for a link to that file; or, at the very moment
// of its removal, another file is put at its name. A move across volumes
// (which looks at nothing but the file it reaches) and a delete (which
// compares it with what the walk saw) reach neither the outside file nor
// its bytes; c's file stays, told as changed.
TEST(UnderFoot, AnActReachesOnlyTheFileTheWalkFound)
{
    enum Swap { OtherDir, DirLink, FileLink, FileAtRemoval };
    const struct {
        const char* what;
        Swap swap;
        bool move;
        const char* line;   // c's line; {c} stands for its path
    } cases[] = {
        {"directory swapped, move", OtherDir, true, "<< NOT MOVED - FILE CHANGED SINCE SCAN >>{c}\n"},
        {"directory swapped, delete", OtherDir, false, "<< NOT DELETED - FILE CHANGED SINCE SCAN >>{c}\n"},
        {"link for the directory, move", DirLink, true, "<< NOT MOVED - FILE CHANGED SINCE SCAN >>{c}\n"},
        {"link for the file, move", FileLink, true,
         "{c}\n<< COPY TO SINKHOLE FAILED: ERROR:   couldn't open \"{c}\" for read, NOT MOVED >>\n"},
        {"another file at the name, delete", FileAtRemoval, false, "<< NOT DELETED - FILE CHANGED SINCE SCAN >>{c}\n"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        TestTree t;
        t.file("a/notes.txt", "AAA", 1000);
        t.file("b/notes.txt", "BBBB", 3000);
        t.file("c/sub/notes.txt", "CC", 2000);
        t.file("o/sub/notes.txt", "OO", 2000);
        ScanRun run(t);
        c.move ? run.move() : run.del(true, false);
        run.fp.other_volume(t.path("out"));
        run.roots({"a", "b", "c"});
        std::error_code ec, refused;   // Windows keeps others from renaming the file held for its removal
        run.fp.before(FaultOp::RemoveFileAt, 1, [&] {
            if (c.swap == FileAtRemoval && run.fp.last(FaultOp::RemoveFileAt).path == t.path("c/sub/notes.txt")) {
                fs::rename(t.path("c/sub/notes.txt"), t.path("c/away.txt"), refused);
                if (!refused)
                    fs::rename(t.path("o/sub/notes.txt"), t.path("c/sub/notes.txt"));
            }
        }, -1);
        run.fp.before(FaultOp::CreateNewFile, 1, [&] {
            if (c.swap == FileAtRemoval)
                return;
            if (c.swap == FileLink) {
                fs::remove(t.path("c/sub/notes.txt"));
                fs::create_symlink(t.path("o/sub/notes.txt"), t.path("c/sub/notes.txt"), ec);
                return;
            }
            fs::rename(t.path("c/sub"), t.path("c/away"));
            if (c.swap == OtherDir)
                fs::rename(t.path("o/sub"), t.path("c/sub"));
            else
                fs::create_directory_symlink(t.path("o/sub"), t.path("c/sub"), ec);
        });
        run.scan();
        const char* link = c.swap == DirLink ? "c/sub" : "c/sub/notes.txt";
        if (ec || ((c.swap == DirLink || c.swap == FileLink) && !fs::is_symlink(fs::symlink_status(t.path(link), ec))))
            continue;   // no such links here (Wine claims to make them, and makes none)
        EXPECT_EQ(bool(refused), PATH_SEP == '\\' && c.swap == FileAtRemoval);
        std::string line = refused ? "<< FILE DELETED >>{c}\n" : c.line, path = t.path("c/sub/notes.txt");
        for (size_t at; (at = line.find("{c}")) != std::string::npos;)
            line.replace(at, 3, path);
        EXPECT_TRUE(has(run.report(), "\n" + line)) << run.report();
        const char* outside[] = {"c/sub/notes.txt", "o/sub/notes.txt", "o/sub/notes.txt", "c/sub/notes.txt"};
        const char* own[] = {"c/away/notes.txt", "c/away/notes.txt", "c/sub/notes.txt", "c/away.txt"};
        EXPECT_EQ(t.read(refused ? "o/sub/notes.txt" : outside[c.swap]), "OO") << "the outside file was touched";
        EXPECT_EQ(contents_below(t.path("out")).count("OO"), 0u) << "the outside file's bytes were copied";
        if (refused) {   // c's file went as collected, its copy saved
            EXPECT_EQ(contents_below(t.path("out")).count("CC"), 1u) << "c's file is lost";
            continue;
        }
        EXPECT_TRUE(c.swap == FileLink || t.read(own[c.swap]) == "CC") << "c's file is lost";
        EXPECT_GT(run.st.numfaults, 0);
    }
}

// ------------------------------------------------- directories going away

// Directories that go away while the walk is on its way: r/gone after its
// parent listed it and before it was opened, r/mid while the walk is inside
// it (after its first entry), and the root r/none that is not there. The
// two that could not be opened are counted and named with the system's
// reason, and so is r/z/y.txt, an entry whose kind the listing does not
// tell and whose status cannot be read; what was collected stays; the walk
// goes on with the rest.
TEST(UnderFoot, DirectoriesGoneOnTheWalksWayAreNamedAndTheRestCollected)
{
    TestTree t;
    for (const char* rel : {"r/a/x.txt", "r/gone/x.txt", "r/mid/x.txt", "r/mid/y.txt", "r/z/x.txt", "r/z/y.txt"})
        t.file(rel, rel, 1000);
    ScanRun run(t);
    run.root("r");
    run.root("r/none");
    run.fp.fail_path(FaultOp::EntryStatus, t.path("r/z/y.txt"), EACCES);
    std::string gone = t.path("r/gone/"), mid = t.path("r/mid/");
    int entries = 0;
    std::error_code ec;
    run.fp.before(FaultOp::OpenDir, 1, [&] {
        if (run.fp.last(FaultOp::OpenDir).path == gone)
            fs::remove_all(t.path("r/gone"));
    }, -1);
    run.fp.before(FaultOp::EntryStatus, 1, [&] {   // the second entry of r/mid
        if (run.fp.last(FaultOp::EntryStatus).path.compare(0, mid.size(), mid) == 0 && ++entries == 2)
            fs::remove_all(t.path("r/mid"), ec);
    }, -1);
    run.scan();
    if (ec)
        GTEST_SKIP() << "this system keeps a directory that is being listed: " << ec.message();
    ASSERT_EQ(entries, 2);
    Names files = run.files();
    EXPECT_EQ(std::count_if(files.begin(), files.end(), [](const std::string& f) { return f[2] == 'm'; }), 1);
    EXPECT_EQ(run.st.numfiles, 3);
    EXPECT_EQ(run.st.numunread, 3);
    Names errors = run.fb.walk_errors();
    std::sort(errors.begin(), errors.end());
    EXPECT_EQ(errors, (Names{t.path("r/gone") + ": " + error_text(ENOENT), t.path("r/none") + ": " + error_text(ENOENT),
                             t.path("r/z/y.txt") + ": " + error_text(EACCES)}));
}

}  // namespace
